// Text through the TextScratch, and numbers from the DigitFont.

#include "display/text_drawing.h"

#include <algorithm>
#include <array>
#include <vector>

#include "platform/text.h"

namespace slk {

namespace {

constexpr std::uint32_t kKeyedBlit = gfx::bltfast::kSrcColorKey | gfx::bltfast::kWait;

platform::PixelTarget TargetOf(const gfx::LockedRect& locked, const gfx::Surface& surface) {
  const gfx::PixelFormat& format = surface.Format();
  platform::PixelTarget target;
  target.pixels = locked.bits.data();
  target.width = surface.Width();
  target.height = surface.Height();
  target.pitch = static_cast<int>(locked.pitch);
  target.bytesPerPixel = static_cast<int>(format.BytesPerPixel());
  target.redMask = format.redMask;
  target.greenMask = format.greenMask;
  target.blueMask = format.blueMask;
  return target;
}

std::span<const std::uint8_t> BytesOf(std::string_view text) {
  return std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

bool IsShiftJisLeadByte(std::uint8_t b) {
  return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// One character of a Shift-JIS text: its bytes and its advance width.
struct Character {
  std::size_t start = 0;
  std::size_t length = 0;
  int width = 0;
};

std::vector<Character> SplitCharacters(const platform::TextRenderer& renderer,
                                       std::string_view text) {
  std::vector<Character> out;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length =
        IsShiftJisLeadByte(static_cast<std::uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
    out.push_back({i, length, renderer.Measure(BytesOf(text.substr(i, length))).width});
    i += length;
  }
  return out;
}

// Index of the character that starts the extension, or `characters.size()`.
std::size_t ExtensionStart(const std::vector<Character>& characters, std::string_view text) {
  for (std::size_t i = characters.size(); i-- > 1;) {
    if (characters[i].length == 1 && text[characters[i].start] == '.') return i;
  }
  return characters.size();
}

std::string Joined(std::string_view text, const std::vector<Character>& characters,
                   std::size_t headEnd, std::size_t tailBegin) {
  std::size_t headBytes =
      headEnd == 0 ? 0 : characters[headEnd - 1].start + characters[headEnd - 1].length;
  std::size_t tailByte = tailBegin < characters.size() ? characters[tailBegin].start : text.size();
  return std::string(text.substr(0, headBytes)) + "..." + std::string(text.substr(tailByte));
}

}  // namespace

std::string ShortenAtEnd(const platform::TextRenderer* renderer, std::string_view sjis,
                         int maxWidth) {
  std::string_view text = sjis.substr(0, sjis.find('\0'));
  if (renderer == nullptr || renderer->Measure(BytesOf(text)).width <= maxWidth) {
    return std::string(text);
  }
  std::vector<Character> characters = SplitCharacters(*renderer, text);
  int budget = std::max(0, maxWidth - renderer->Measure(BytesOf("...")).width);
  std::size_t headEnd = 0;
  for (int used = 0; headEnd < characters.size() && used + characters[headEnd].width <= budget;) {
    used += characters[headEnd++].width;
  }
  // Kerning or undecodable bytes could make the whole wider than its parts.
  std::string shortened = Joined(text, characters, headEnd, characters.size());
  while (headEnd > 0 && renderer->Measure(BytesOf(shortened)).width > maxWidth) {
    shortened = Joined(text, characters, --headEnd, characters.size());
  }
  return shortened;
}

std::string ShortenInMiddle(const platform::TextRenderer* renderer, std::string_view sjis,
                            int maxWidth) {
  std::string_view text = sjis.substr(0, sjis.find('\0'));
  if (renderer == nullptr || renderer->Measure(BytesOf(text)).width <= maxWidth) {
    return std::string(text);
  }
  std::vector<Character> characters = SplitCharacters(*renderer, text);
  int budget = std::max(0, maxWidth - renderer->Measure(BytesOf("...")).width);

  // The extension is kept whole unless it would leave the start less than
  // half of the room.
  std::size_t headEnd = 0;
  std::size_t tailBegin = characters.size();
  int used = 0;
  std::size_t extension = ExtensionStart(characters, text);
  int extensionWidth = 0;
  for (std::size_t i = extension; i < characters.size(); ++i) extensionWidth += characters[i].width;
  if (extension < characters.size() && extensionWidth <= budget / 2) {
    tailBegin = extension;
    used = extensionWidth;
  }
  // Then grow both ends in turn, the start first, while they fit.
  for (bool grew = true; grew;) {
    grew = false;
    if (headEnd < tailBegin && used + characters[headEnd].width <= budget) {
      used += characters[headEnd++].width;
      grew = true;
    }
    if (tailBegin > headEnd && used + characters[tailBegin - 1].width <= budget) {
      used += characters[--tailBegin].width;
      grew = true;
    }
  }
  // Kerning or undecodable bytes could make the whole wider than its parts.
  std::string shortened = Joined(text, characters, headEnd, tailBegin);
  while (renderer->Measure(BytesOf(shortened)).width > maxWidth &&
         (headEnd > 0 || tailBegin < characters.size())) {
    if (headEnd > 0) {
      --headEnd;
    } else {
      ++tailBegin;
    }
    shortened = Joined(text, characters, headEnd, tailBegin);
  }
  return shortened;
}

std::int32_t SplitDigits(std::uint32_t value, std::span<std::uint8_t> digits, std::int32_t count) {
  if (count == 0) {
    count = 1;
    for (std::uint32_t rest = value / 10; rest != 0; rest /= 10) ++count;
  }
  if (count < 1) return count;
  if (static_cast<std::size_t>(count) > digits.size()) return 0;
  std::uint32_t rest = value;
  for (std::int32_t i = count - 1; i >= 0; --i) {
    digits[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rest % 10);
    rest /= 10;
  }
  return count;
}

gfx::Rect TextDrawing::Stage(std::span<const std::uint8_t> text, TextColour colour,
                             int* measuredWidth) const {
  *measuredWidth = 0;
  const gfx::SurfacePtr& scratch = engine_->TextScratch();
  if (renderer_ == nullptr || !scratch) return gfx::Rect{};
  gfx::LockedRect locked;
  if (scratch->Lock(locked) != gfx::Result::Ok) return gfx::Rect{};
  platform::PixelTarget target = TargetOf(locked, *scratch);
  platform::TextExtent extent = renderer_->Draw(target, 0, 0, text, colour.r, colour.g, colour.b);
  scratch->Unlock();
  *measuredWidth = extent.width;
  // Only what the scratch holds can be stamped; the rest of a long text is cut.
  return gfx::Rect{0, 0, std::min(extent.width, scratch->Width()),
                   std::min(extent.height, scratch->Height())};
}

void TextDrawing::DrawBoldText(int x, int y, gfx::Surface& target,
                               std::span<const std::uint8_t> text, TextColour colour, int weight,
                               int centreWidth) const {
  int width = 0;
  gfx::Rect source = Stage(text, colour, &width);
  if (source.Empty() || weight < 1) return;
  // Truncating division: a text wider than the centring width starts left of
  // x and is clipped by the blit.
  int offset = centreWidth != 0 ? (centreWidth - width) / 2 : 0;
  gfx::Surface& scratch = *engine_->TextScratch();
  for (int dy = 0; dy < weight; ++dy) {
    for (int dx = 0; dx < weight; ++dx) {
      target.BltFast(x + offset + dx, y + dy, scratch, source, kKeyedBlit);
    }
  }
}

void TextDrawing::DrawBoldText(int x, int y, gfx::Surface& target, std::string_view text,
                               TextColour colour, int weight, int centreWidth) const {
  DrawBoldText(x, y, target, BytesOf(text), colour, weight, centreWidth);
}

void TextDrawing::DrawOutlinedText(int x, int y, gfx::Surface& target,
                                   std::span<const std::uint8_t> text,
                                   const OutlineColours& colours, int centreWidth) const {
  DrawBoldText(x, y, target, text, colours.outline, 4, centreWidth);
  DrawBoldText(x + 1, y + 1, target, text, colours.face, 2, centreWidth);
}

void TextDrawing::DrawNumber(int rightX, int y, gfx::Surface& target, std::uint32_t value,
                             std::int32_t count) const {
  std::array<std::uint8_t, 32> digits{};
  std::int32_t n = SplitDigits(value, digits, count);
  for (std::int32_t i = 0; i < n; ++i) {
    DrawGlyph(rightX - kDigitWidth * n + kDigitWidth * i, y, target,
              DigitGlyph(digits[static_cast<std::size_t>(i)]));
  }
}

void TextDrawing::DrawGlyph(int x, int y, gfx::Surface& target, const gfx::Rect& glyph) const {
  const gfx::SurfacePtr& font = engine_->DigitFont();
  if (font) target.BltFast(x, y, *font, glyph, kKeyedBlit);
}

int TextDrawing::Measure(std::span<const std::uint8_t> text) const {
  return renderer_ != nullptr ? renderer_->Measure(text).width : 0;
}

}  // namespace slk
