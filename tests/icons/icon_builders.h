#pragma once
// Small builders for icon data: PS1 title-frame icons and PS2 icon model
// files, written byte by byte the way the formats lay them out.

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace slk::testing {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::size_t at, std::uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2);
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, static_cast<std::uint16_t>(v));
  Put16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void Append16(Bytes& b, std::uint16_t v) {
  Put16(b, b.size(), v);
}
inline void Append32(Bytes& b, std::uint32_t v) {
  Put32(b, b.size(), v);
}
inline std::uint32_t Get32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at] | b[at + 1] << 8 | b[at + 2] << 16) |
         static_cast<std::uint32_t>(b[at + 3]) << 24;
}
inline float FloatAt(std::span<const std::uint8_t> b, std::size_t at) {
  return std::bit_cast<float>(Get32(b, at));
}

// A PS1 save's first 8 KiB block: the title frame with its display flag and
// palette, then the frames' bitmaps. Every pixel of frame f is index
// `fill[f]` unless changed with SetPixel.
struct PS1Icon {
  std::uint8_t flag = 0x11;
  std::array<std::uint16_t, 16> palette{};
  std::array<std::array<std::uint8_t, 256>, 4> pixels{};  // [frame][y * 16 + x]

  void FillFrame(int frame, std::uint8_t index) { pixels[frame].fill(index); }
  void SetPixel(int frame, int x, int y, std::uint8_t index) { pixels[frame][y * 16 + x] = index; }

  Bytes Build(std::size_t size = 8192) const {
    Bytes b(size, 0);
    b[0] = 'S';
    b[1] = 'C';
    b[2] = flag;
    for (int i = 0; i < 16; ++i) Put16(b, 0x60 + 2 * i, palette[i]);
    for (int f = 0; f < 4; ++f) {
      for (int i = 0; i < 128; ++i) {
        std::size_t at = 0x80 + 128 * f + i;
        if (at >= b.size()) continue;
        b[at] = static_cast<std::uint8_t>(pixels[f][2 * i] | (pixels[f][2 * i + 1] << 4));
      }
    }
    return b;
  }
};

struct ModelVertex {
  std::vector<std::array<std::int16_t, 3>> positions;  // one per shape
  std::array<std::int16_t, 3> normal{0, 0, -4096};
  std::array<std::int16_t, 2> uv{0, 0};
  std::array<std::uint8_t, 3> colour{0x80, 0x80, 0x80};
};

// A PS2 icon model file.
struct ModelFile {
  std::uint32_t shapes = 1;
  std::uint32_t textureType = 0x07;
  std::vector<ModelVertex> vertices;
  std::uint32_t animationFrames = 1;  // fifth word of the animation header
  std::uint32_t keysPerFrame = 1;
  Bytes texture;  // appended as it stands after the animation section

  // A flat 128 x 128 texture of one colour, as plain texels.
  static Bytes PlainTexture(std::uint16_t colour) {
    Bytes b;
    for (int i = 0; i < 128 * 128; ++i) Append16(b, colour);
    return b;
  }

  Bytes Build() const {
    Bytes b;
    Append32(b, 0x00010000);
    Append32(b, shapes);
    Append32(b, textureType);
    Append32(b, 0x3F800000);
    Append32(b, static_cast<std::uint32_t>(vertices.size()));
    for (const ModelVertex& v : vertices) {
      for (std::uint32_t s = 0; s < shapes; ++s) {
        auto p = s < v.positions.size() ? v.positions[s] : v.positions.back();
        for (auto c : p) Append16(b, static_cast<std::uint16_t>(c));
        Append16(b, 0);
      }
      for (auto c : v.normal) Append16(b, static_cast<std::uint16_t>(c));
      Append16(b, 0);
      for (auto c : v.uv) Append16(b, static_cast<std::uint16_t>(c));
      for (auto c : v.colour) b.push_back(c);
      b.push_back(0);
    }
    Append32(b, 1);  // animation header: id, frame length, speed, offset, frames
    Append32(b, 60);
    Append32(b, 0x3F800000);
    Append32(b, 0);
    Append32(b, animationFrames);
    for (std::uint32_t f = 0; f < animationFrames; ++f) {
      Append32(b, f);
      Append32(b, keysPerFrame);
      for (std::uint32_t k = 0; k < keysPerFrame; ++k) {
        Append32(b, 0);
        Append32(b, 0x3F800000);
      }
    }
    b.insert(b.end(), texture.begin(), texture.end());
    return b;
  }
};

// A triangle (three vertices) with the same position in every shape unless
// `shapeOffsets` moves it: shape s is shifted by shapeOffsets[s] in x.
inline std::vector<ModelVertex> Triangle(std::uint32_t shapes,
                                         const std::vector<std::int16_t>& shapeOffsets = {}) {
  const std::array<std::array<std::int16_t, 3>, 3> base = {
      {{-4000, 0, 0}, {4000, 0, 0}, {0, -8000, 0}}};
  std::vector<ModelVertex> out(3);
  for (int i = 0; i < 3; ++i) {
    for (std::uint32_t s = 0; s < shapes; ++s) {
      auto p = base[i];
      if (s < shapeOffsets.size()) p[0] = static_cast<std::int16_t>(p[0] + shapeOffsets[s]);
      out[i].positions.push_back(p);
    }
  }
  out[1].uv = {4096, 0};
  out[2].uv = {2048, 4096};
  return out;
}

// A model of that triangle with `shapes` shapes, one animation record per
// shape and a plain texture of one colour.
inline ModelFile TexturedTriangle(std::uint32_t shapes,
                                  const std::vector<std::int16_t>& offsets = {},
                                  std::uint16_t colour = 0x7FFF) {
  ModelFile f;
  f.shapes = shapes;
  f.animationFrames = shapes;
  f.vertices = Triangle(shapes, offsets);
  f.texture = ModelFile::PlainTexture(colour);
  return f;
}

}  // namespace slk::testing
