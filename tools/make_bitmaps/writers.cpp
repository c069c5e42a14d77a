#include "tools/make_bitmaps/writers.h"

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace slk::tools {
namespace {

using Bytes = std::vector<std::uint8_t>;

void PutU16(Bytes& out, std::size_t at, std::uint16_t v) {
  out[at] = static_cast<std::uint8_t>(v);
  out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(Bytes& out, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::vector<Rgb> BuildPalette(const Image& image, int bits, const std::string& path) {
  std::vector<Rgb> palette;
  if (std::find(image.pixels.begin(), image.pixels.end(), Rgb{}) != image.pixels.end()) {
    palette.push_back(Rgb{});
  }
  for (const Rgb& p : image.pixels) {
    if (std::find(palette.begin(), palette.end(), p) == palette.end()) palette.push_back(p);
  }
  const std::size_t capacity = std::size_t{1} << bits;
  if (palette.size() > capacity) {
    throw std::runtime_error(path + ": " + std::to_string(palette.size()) + " colours for " +
                             std::to_string(bits) + " bits per pixel");
  }
  palette.resize(capacity);  // unused entries black
  return palette;
}

std::size_t PaletteIndex(const std::vector<Rgb>& palette, Rgb colour) {
  return static_cast<std::size_t>(std::find(palette.begin(), palette.end(), colour) -
                                  palette.begin());
}

// One stored row; the leftmost pixel of an indexed row sits in the high bits.
void EncodeRow(const Image& image, int y, int bits, const std::vector<Rgb>& palette,
               std::uint8_t* row) {
  for (int x = 0; x < image.width; ++x) {
    const Rgb& p = image.At(x, y);
    if (bits == 24) {
      row[3 * x] = p.b;
      row[3 * x + 1] = p.g;
      row[3 * x + 2] = p.r;
      continue;
    }
    const std::size_t bit = static_cast<std::size_t>(x) * bits;
    const unsigned shift = 8 - bits - bit % 8;
    row[bit / 8] |= static_cast<std::uint8_t>(PaletteIndex(palette, p) << shift);
  }
}

}  // namespace

void WriteBmp(const std::string& path, const Image& image, int bits) {
  if (bits != 24 && bits != 4 && bits != 1) throw std::runtime_error("unsupported depth");
  const std::vector<Rgb> palette =
      bits == 24 ? std::vector<Rgb>{} : BuildPalette(image, bits, path);
  const std::size_t stride = ((static_cast<std::size_t>(image.width) * bits + 31) / 32) * 4;
  const std::size_t pixelOffset = 14 + 40 + 4 * palette.size();
  const std::size_t fileSize = pixelOffset + stride * image.height;

  Bytes out(fileSize, 0);
  out[0] = 'B';
  out[1] = 'M';
  PutU32(out, 2, static_cast<std::uint32_t>(fileSize));
  PutU32(out, 10, static_cast<std::uint32_t>(pixelOffset));
  PutU32(out, 14, 40);  // BITMAPINFOHEADER
  PutU32(out, 18, static_cast<std::uint32_t>(image.width));
  PutU32(out, 22, static_cast<std::uint32_t>(image.height));  // positive: bottom-up
  PutU16(out, 26, 1);
  PutU16(out, 28, static_cast<std::uint16_t>(bits));
  PutU32(out, 34, static_cast<std::uint32_t>(stride * image.height));
  PutU32(out, 38, 2835);  // 72 dots per inch
  PutU32(out, 42, 2835);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    out[54 + 4 * i] = palette[i].b;
    out[54 + 4 * i + 1] = palette[i].g;
    out[54 + 4 * i + 2] = palette[i].r;
  }
  for (int y = 0; y < image.height; ++y) {
    EncodeRow(image, y, bits, palette, &out[pixelOffset + stride * (image.height - 1 - y)]);
  }

  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
  file.close();
  if (!file) throw std::runtime_error("cannot write " + path);
}

void WritePng(const std::string& path, const Image& image, int zoom) {
  const int w = image.width * zoom;
  const int h = image.height * zoom;
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Rgb& p = image.At(x / zoom, y / zoom);
      std::uint8_t* q = &rgb[(static_cast<std::size_t>(y) * w + x) * 3];
      q[0] = p.r;
      q[1] = p.g;
      q[2] = p.b;
    }
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(w);
  png.height = static_cast<png_uint_32>(h);
  png.format = PNG_FORMAT_RGB;
  if (png_image_write_to_file(&png, path.c_str(), 0, rgb.data(), 0, nullptr) == 0) {
    throw std::runtime_error("cannot write " + path + ": " + png.message);
  }
}

void WritePng(const std::string& path, const RgbaImage& image) {
  std::vector<std::uint8_t> rgba(image.pixels.size() * 4);
  const auto byte = [](float v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const Rgba& p = image.pixels[i];
    rgba[4 * i] = byte(p.r);
    rgba[4 * i + 1] = byte(p.g);
    rgba[4 * i + 2] = byte(p.b);
    rgba[4 * i + 3] = byte(p.a);
  }
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  png.width = static_cast<png_uint_32>(image.width);
  png.height = static_cast<png_uint_32>(image.height);
  png.format = PNG_FORMAT_RGBA;
  if (png_image_write_to_file(&png, path.c_str(), 0, rgba.data(), 0, nullptr) == 0) {
    throw std::runtime_error("cannot write " + path + ": " + png.message);
  }
}

}  // namespace slk::tools
