#include "platform/text.h"

#include <unistd.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "platform/font_lookup.h"
#include "platform/sjis.h"
#include "platform/text_libraries.h"

namespace slk::platform {
namespace {

// A 16-pixel em gives the cell of the Japanese system font that the program's
// layout was made for: 16 x 16 full-width characters and 8-pixel half-width
// ones on 16-pixel lines, which fit the 22-pixel text scratch surface.
constexpr FT_UInt kPixelsPerEm = 16;

struct LibraryDeleter {
  void operator()(FT_Library library) const { FreeType()->doneFreeType(library); }
};
struct FaceDeleter {
  void operator()(FT_Face face) const { FreeType()->doneFace(face); }
};
using LibraryPtr = std::unique_ptr<FT_LibraryRec_, LibraryDeleter>;
using FacePtr = std::unique_ptr<FT_FaceRec_, FaceDeleter>;

// FreeType reads the font through this rather than mapping the file whole:
// of a mapped file every page FreeType looks at stays resident (IPAGothic's
// 576 KiB at the first frame, this kernel's fault-around mapping 64 KiB at
// a time), while read it keeps only the tables it holds and the glyphs'
// bytes while it loads them.
unsigned long ReadFont(FT_Stream stream, unsigned long offset, unsigned char* buffer,
                       unsigned long count) {
  // A count of 0 asks whether `offset` can be sought to; 0 means it can.
  if (count == 0) return offset <= stream->size ? 0 : 1;
  const int fd = static_cast<int>(stream->descriptor.value);
  unsigned long done = 0;
  while (done < count) {
    ssize_t n = ::pread(fd, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n <= 0) break;
    done += static_cast<unsigned long>(n);
  }
  return done;
}

// One rendered character: its advance and its ink, one byte per pixel,
// placed relative to the pen position on the baseline.
struct Glyph {
  int advance = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int rows = 0;
  std::vector<std::uint8_t> ink;
};

Glyph CopyBitmap(const FT_GlyphSlot slot) {
  Glyph glyph;
  glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
  const FT_Bitmap& bitmap = slot->bitmap;
  bool mono = bitmap.pixel_mode == FT_PIXEL_MODE_MONO;
  bool gray = bitmap.pixel_mode == FT_PIXEL_MODE_GRAY;
  if ((!mono && !gray) || bitmap.pitch < 0 || bitmap.buffer == nullptr) return glyph;
  glyph.left = slot->bitmap_left;
  glyph.top = slot->bitmap_top;
  glyph.width = static_cast<int>(bitmap.width);
  glyph.rows = static_cast<int>(bitmap.rows);
  glyph.ink.resize(static_cast<std::size_t>(glyph.width) * static_cast<std::size_t>(glyph.rows));
  for (int y = 0; y < glyph.rows; ++y) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
    for (int x = 0; x < glyph.width; ++x) {
      bool on = mono ? ((row[x >> 3] >> (7 - (x & 7))) & 1) != 0 : row[x] >= 128;
      glyph.ink[static_cast<std::size_t>(y * glyph.width + x)] = on ? 1 : 0;
    }
  }
  return glyph;
}

int RoundToPixels(FT_Pos value26_6) {
  return static_cast<int>((value26_6 + 32) >> 6);
}

// A channel cut to the mask's bits; a mask wider than 8 bits is filled by
// scaling, so 255 stays full intensity.
std::uint32_t Channel(std::uint8_t value, std::uint32_t mask) {
  if (mask == 0) return 0;
  int shift = std::countr_zero(mask);
  int bits = std::popcount(mask >> shift);
  std::uint32_t scaled =
      bits <= 8 ? value >> (8 - bits)
                : static_cast<std::uint32_t>(
                      (std::uint64_t{value} * ((std::uint64_t{1} << bits) - 1) + 127) / 255);
  return (scaled << shift) & mask;
}

void PutPixel(std::uint8_t* p, int bytesPerPixel, std::uint32_t value) {
  for (int i = 0; i < bytesPerPixel; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

bool IsUsable(const PixelTarget& t) {
  if (t.pixels == nullptr || t.width <= 0 || t.height <= 0) return false;
  if (t.bytesPerPixel < 1 || t.bytesPerPixel > 4) return false;
  std::int64_t rowBytes = std::int64_t{t.width} * t.bytesPerPixel;
  return std::abs(std::int64_t{t.pitch}) >= rowBytes;
}

// A half-open span [begin, end) of one axis, already clipped.
struct Span {
  std::int64_t begin;
  std::int64_t end;
  bool Contains(std::int64_t v) const { return v >= begin && v < end; }
};

Span Clip(std::int64_t start, std::int64_t length, int limit) {
  return {std::max<std::int64_t>(start, 0), std::min<std::int64_t>(start + length, limit)};
}

}  // namespace

std::uint32_t TextPixelValue(const PixelTarget& target, std::uint8_t r, std::uint8_t g,
                             std::uint8_t b) {
  std::uint32_t value =
      Channel(r, target.redMask) | Channel(g, target.greenMask) | Channel(b, target.blueMask);
  if (value != 0) return value;
  std::uint32_t masks = target.redMask | target.greenMask | target.blueMask;
  return masks != 0 ? masks & (~masks + 1) : 1;
}

struct TextRenderer::Impl {
  // The face reads the file through `stream` until it is done: declared
  // before it, they are destroyed after it.
  File fontFile;
  FT_StreamRec stream{};
  LibraryPtr library;
  FacePtr face;
  std::string fontPath;
  int ascent = 0;
  int lineHeight = 0;

  mutable std::mutex mutex;  // guards everything below and the face's glyph slot
  mutable ShiftJisDecoder decoder;
  mutable std::unordered_map<char32_t, Glyph> cache;

  const Glyph& GlyphFor(char32_t codePoint) const;
  std::vector<const Glyph*> Layout(std::span<const std::uint8_t> sjis, int* width) const;
};

const Glyph& TextRenderer::Impl::GlyphFor(char32_t codePoint) const {
  auto found = cache.find(codePoint);
  if (found != cache.end()) return found->second;
  Glyph glyph;
  const FreeTypeFunctions& ft = *FreeType();
  FT_UInt index = ft.getCharIndex(face.get(), codePoint);
  // Native hinting aimed at one-bit output gives the crispest strokes; a
  // character the font lacks shows the font's missing-glyph box.
  if (ft.loadGlyph(face.get(), index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) ==
      0) {
    glyph = CopyBitmap(face->glyph);
  } else {
    glyph.advance = lineHeight / 2;
  }
  return cache.emplace(codePoint, std::move(glyph)).first->second;
}

std::vector<const Glyph*> TextRenderer::Impl::Layout(std::span<const std::uint8_t> sjis,
                                                     int* width) const {
  std::vector<const Glyph*> glyphs;
  std::int64_t total = 0;
  for (char32_t c : decoder.Decode(sjis)) {
    glyphs.push_back(&GlyphFor(c));
    total += glyphs.back()->advance;
  }
  *width = static_cast<int>(std::min<std::int64_t>(total, INT_MAX / 2));
  return glyphs;
}

TextRenderer::TextRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextRenderer::~TextRenderer() = default;

std::unique_ptr<TextRenderer> TextRenderer::Create(std::string* error) {
  std::string path = FindJapaneseFont(error);
  if (path.empty()) return nullptr;
  return CreateFromFile(path, error);
}

std::unique_ptr<TextRenderer> TextRenderer::CreateSharingFontconfig(std::string* error) {
  std::string path = FindJapaneseFont(error, FontConfiguration::Shared);
  if (path.empty()) return nullptr;
  return CreateFromFile(path, error);
}

std::unique_ptr<TextRenderer> TextRenderer::CreateFromFile(const std::string& fontPath,
                                                           std::string* error) {
  auto fail = [&](const std::string& why) {
    if (error != nullptr) *error = why + " " + std::string(kFontInstallHint);
    return nullptr;
  };
  auto impl = std::make_unique<Impl>();
  impl->fontPath = fontPath;
  FT_Library library = nullptr;
  const FreeTypeFunctions* ft = FreeType();
  if (!ft || ft->initFreeType(&library) != 0) return fail("FreeType could not be started.");
  impl->library.reset(library);
  impl->fontFile = File::OpenForReading(fontPath);
  FT_Face face = nullptr;
  if (!impl->fontFile.IsOpen()) {
    return fail("The font file \"" + fontPath + "\" could not be loaded.");
  }
  impl->stream.descriptor.value = impl->fontFile.Descriptor();
  impl->stream.size = static_cast<unsigned long>(impl->fontFile.Size());
  impl->stream.read = ReadFont;
  FT_Open_Args args{};
  args.flags = FT_OPEN_STREAM;
  args.stream = &impl->stream;
  if (ft->openFace(library, &args, 0, &face) != 0) {
    return fail("The font file \"" + fontPath + "\" could not be loaded.");
  }
  impl->face.reset(face);
  if (!FT_IS_SCALABLE(face) || ft->setPixelSizes(face, 0, kPixelsPerEm) != 0) {
    return fail("The font \"" + fontPath + "\" cannot be drawn at 16 pixels.");
  }
  // The line is the font's own ascender plus descender, each rounded once,
  // so that it does not grow by a pixel of rounding on each side.
  FT_Fixed scale = face->size->metrics.y_scale;
  impl->ascent = RoundToPixels(ft->mulFix(face->ascender, scale));
  impl->lineHeight = impl->ascent + RoundToPixels(ft->mulFix(-face->descender, scale));
  if (impl->lineHeight <= 0) return fail("The font \"" + fontPath + "\" has no line height.");
  return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(impl)));
}

int TextRenderer::LineHeight() const {
  return impl_->lineHeight;
}
const std::string& TextRenderer::FontPath() const {
  return impl_->fontPath;
}

TextExtent TextRenderer::Measure(std::span<const std::uint8_t> sjis) const {
  std::lock_guard lock(impl_->mutex);
  TextExtent extent{0, impl_->lineHeight};
  impl_->Layout(sjis, &extent.width);
  return extent;
}

TextExtent TextRenderer::Draw(PixelTarget& target, int x, int y, std::span<const std::uint8_t> sjis,
                              std::uint8_t r, std::uint8_t g, std::uint8_t b) const {
  std::lock_guard lock(impl_->mutex);
  TextExtent extent{0, impl_->lineHeight};
  std::vector<const Glyph*> glyphs = impl_->Layout(sjis, &extent.width);
  if (!IsUsable(target)) return extent;

  const int bpp = target.bytesPerPixel;
  const Span columns = Clip(x, extent.width, target.width);
  const Span rows = Clip(y, extent.height, target.height);
  auto pixelAt = [&](std::int64_t px, std::int64_t py) {
    return target.pixels + py * target.pitch + px * bpp;
  };
  // The opaque background: the cell, as far as it lies on the target.
  for (std::int64_t py = rows.begin; py < rows.end && columns.begin < columns.end; ++py) {
    std::memset(pixelAt(columns.begin, py), 0,
                static_cast<std::size_t>((columns.end - columns.begin) * bpp));
  }
  const std::uint32_t colour = TextPixelValue(target, r, g, b);
  std::int64_t pen = x;
  const std::int64_t baseline = std::int64_t{y} + impl_->ascent;
  for (const Glyph* glyph : glyphs) {
    for (int gy = 0; gy < glyph->rows; ++gy) {
      std::int64_t py = baseline - glyph->top + gy;
      if (!rows.Contains(py)) continue;
      for (int gx = 0; gx < glyph->width; ++gx) {
        std::int64_t px = pen + glyph->left + gx;
        if (columns.Contains(px) && glyph->ink[static_cast<std::size_t>(gy * glyph->width + gx)]) {
          PutPixel(pixelAt(px, py), bpp, colour);
        }
      }
    }
    pen += glyph->advance;
  }
  return extent;
}

}  // namespace slk::platform
