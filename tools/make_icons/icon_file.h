#pragma once
// Our PS2 icon model files: the model in memory and the writer of the file.
//
// File layout (little-endian):
//   4 bytes at 0x00: format id 0x00010000
//   4 bytes at 0x04: S, number of animation shapes
//   4 bytes at 0x08: texture type (bit 1: no size word before a plain
//                    texture, bit 2: textured, bit 3: run-length texture)
//   4 bytes at 0x0C: float 1.0
//   4 bytes at 0x10: V, number of vertices, three per triangle
//   V records of 8S + 16 bytes: S positions (s16 x, y, z, w), the normal
//     (s16 x, y, z, w; 4096 = 1.0), the texture coordinate (s16 u, v; 4096 =
//     1.0) and the colour (u8 r, g, b, a)
//   20-byte animation header: id 1, frame length, float speed, play offset,
//     number of frame records (S)
//   per shape: shape id, key count K, K keys of (float time, float weight)
//   texture when textured: run-length (u32 byte size, then s16 codes: c < 0
//     copies -c texels, c >= 0 repeats the next texel c times), or 16384 plain
//     texels, preceded by a 4-byte size word only when bit 1 is clear.
//
// Positions are stored as file = model x 10240 with y negated and moved so
// that the floor, model Y = -1, is file y = 0.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/make_icons/canvas.h"
#include "tools/make_icons/geometry.h"

namespace slk::tools {

namespace TextureType {
constexpr std::uint32_t kNoSizeWord = 0x02;
constexpr std::uint32_t kTextured = 0x04;
constexpr std::uint32_t kCompressed = 0x08;

constexpr std::uint32_t kUntextured = 0x03;    // vertex colours only
constexpr std::uint32_t kPlain = 0x07;         // plain texels, no size word
constexpr std::uint32_t kPlainSix = 0x06;      // the same, written by other tools
constexpr std::uint32_t kPlainSized = 0x05;    // plain texels after a size word
constexpr std::uint32_t kRunLength = 0x0E;     // run-length texture
constexpr std::uint32_t kRunLengthOdd = 0x0F;  // the same with bit 0 set
}  // namespace TextureType

struct IconModel {
  std::string name;  // file name the samples store it under
  std::uint32_t textureType = TextureType::kPlain;
  // One mesh per animation shape, all with the same vertices in the same
  // order; the file keeps only the positions of the others.
  std::vector<Mesh> shapes;
  // The shape whose normals, texture coordinates and colours the file keeps:
  // the one in the middle of a movement gives the least shading error.
  int referenceShape = 0;
  Texture texture{};
  std::uint32_t framesPerShape = 8;  // animation frames between two key shapes

  bool Textured() const { return (textureType & TextureType::kTextured) != 0; }
};

// Empty when the model can be written; else what is wrong with it.
std::string CheckIconModel(const IconModel& model);

std::vector<std::uint8_t> WriteIconModel(const IconModel& model);

// Run-length codes for texels, without the size word.
std::vector<std::uint8_t> EncodeRunLength(std::span<const std::uint16_t> texels);

// The model's position as the file stores it, and back; the preview draws
// what the file holds.
std::int16_t FileCoordinate(float value);
Vec3 StoredPosition(Vec3 position);

}  // namespace slk::tools
