#pragma once
// The PS2 icon model file: a header, V vertex records (one position per
// animation shape, a normal, a texture co-ordinate and a colour), the
// animation section, and for textured models a plain or run-length texture.
// Everything here is untrusted: every count and offset is checked against the
// bytes present, and a model that does not fit its bytes yields nothing.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "icons/icon_image.h"

namespace slk {

namespace iconmodel {
// 4 bytes at 0x04: S, the number of animation shapes.
inline constexpr std::size_t kShapeCountOffset = 0x04;
// 4 bytes at 0x08: texture type; low 16 bits used. Bit 2 textured, bit 3
// run-length compressed.
inline constexpr std::size_t kTextureTypeOffset = 0x08;
// 4 bytes at 0x10: V, the number of vertices (three per triangle).
inline constexpr std::size_t kVertexCountOffset = 0x10;
inline constexpr std::size_t kHeaderSize = 0x14;
// Per vertex: S x 8 bytes of positions (s16 x, y, z, unused), then 8 bytes of
// normal (s16 x, y, z, unused), 4 of texture co-ordinate (s16 u, v) and 4 of
// colour (u8 red, green, blue, unused).
inline constexpr std::size_t kShapePositionSize = 8;
inline constexpr std::size_t kVertexTailSize = 16;
// 20 bytes of animation header; 4 bytes at +0x10 of it: the number of frame
// records that follow. Each record: 4 bytes, 4 bytes key count K, 8 + 8 K
// more bytes.
inline constexpr std::size_t kAnimationHeaderSize = 20;
inline constexpr std::size_t kAnimationFrameCountOffset = 16;
inline constexpr std::uint32_t kTexturedBit = 0x04;
inline constexpr std::uint32_t kCompressedBit = 0x08;
// A plain texture: 128 x 128 u16 texels, preceded by a 4-byte size word only
// when exactly that many bytes remain.
inline constexpr std::size_t kPlainTextureSize = 2 * kIconImageTexels;
inline constexpr std::size_t kSizeWord = 4;
// The mesh table holds 160 meshes of 4 per shape.
inline constexpr std::uint32_t kMaxShapes = 40;
}  // namespace iconmodel

// A decoded model in model space, ready to be blended into meshes.
struct IconModel {
  std::uint32_t fileShapeCount = 0;  // S as the file gives it
  std::uint32_t shapeCount = 0;      // shapes kept: S, at most 40
  std::uint32_t vertexCount = 0;
  bool textured = false;
  std::vector<float> positions;        // [shape][vertex][x, y, z]
  std::vector<float> normals;          // [vertex][x, y, z]
  std::vector<float> texCoords;        // [vertex][u, v]; textured models only
  std::vector<std::uint32_t> colours;  // [vertex] 0x00RRGGBB; untextured models only
};

// Reads the model; for a textured model also fills `image` (which may be
// partly written when the model turns out unusable).
std::optional<IconModel> ParseIconModel(std::span<const std::uint8_t> bytes, IconImage& image);

// Decodes a run-length texture stream into the image: a negative code -n
// copies n words, a code n >= 0 repeats the next word n times. Stops at the
// end of the bytes or once the image is full, cutting the run that would
// pass its end. Returns the number of texels written.
std::size_t DecodeRunLengthTexture(std::span<const std::uint8_t> stream, IconImage& image);

// Vertices of mesh k = 4 s + j: shape s moved j quarters of the way towards
// the next shape (the last shape moves towards shape 0). Writes vertexCount
// 32-byte vertices into `out`: position, normal, then texture co-ordinate
// (textured) or diffuse and specular colour (untextured).
void WriteMeshVertices(const IconModel& model, std::uint32_t mesh, std::span<std::uint8_t> out);

inline constexpr std::size_t kMeshVertexSize = 32;

}  // namespace slk
