#pragma once
// A strict reader of PS2 icon model files for the tests of our generated
// models. It shares no code with the generator, so a writer fault cannot hide
// behind a matching reader fault: every count must agree with the bytes, the
// animation records must add up, and the texture must end exactly at the end
// of the file.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace slk::testing {

struct ModelPoint {
  float x, y, z;  // model space: file / 10240, y negated and the floor at -1
};

struct ReadIcon {
  std::uint32_t shapeCount = 0;
  std::uint32_t textureType = 0;
  std::uint32_t vertexCount = 0;
  std::vector<std::vector<ModelPoint>> positions;  // [shape][vertex]
  std::vector<std::array<std::int16_t, 3>> normals;
  std::vector<std::uint16_t> texture;  // 16384 texels when textured
  bool sizeWord = false;               // a plain texture came after a size word
};

// The model, or the first thing wrong with it in `error`.
std::optional<ReadIcon> ReadIconModel(std::span<const std::uint8_t> bytes, std::string& error);

// Run-length codes (without the size word) to texels; nullopt when the codes
// do not give exactly 16384 texels with nothing left over.
std::optional<std::vector<std::uint16_t>> DecodeRunLength(std::span<const std::uint8_t> codes);

}  // namespace slk::testing
