#include "icons/icon_model.h"

#include <algorithm>
#include <bit>

#include "platform/bytes.h"

namespace slk {

namespace {

using platform::ByteSpan;
using namespace iconmodel;

// File positions are in units of 1/10240; a file y of 0 sits at model y -1.0.
constexpr float kPositionScale = 1.0f / 10240.0f;
constexpr float kUnitScale = 1.0f / 4096.0f;

float S16At(const std::uint8_t* p) {
  return static_cast<float>(static_cast<std::int16_t>(platform::GetU16LE(p)));
}

bool FitsVertices(ByteSpan bytes, std::uint64_t vertexCount, std::uint64_t recordSize) {
  std::uint64_t available = bytes.size() - kHeaderSize;
  return recordSize != 0 && vertexCount <= available / recordSize;
}

void ReadVertices(ByteSpan bytes, std::size_t recordSize, IconModel& m) {
  const std::size_t V = m.vertexCount;
  m.positions.resize(static_cast<std::size_t>(m.shapeCount) * V * 3);
  m.normals.resize(V * 3);
  if (m.textured)
    m.texCoords.resize(V * 2);
  else
    m.colours.resize(V);
  for (std::size_t i = 0; i < V; ++i) {
    const std::uint8_t* record = bytes.data() + kHeaderSize + i * recordSize;
    for (std::size_t s = 0; s < m.shapeCount; ++s) {
      const std::uint8_t* p = record + kShapePositionSize * s;
      float* out = &m.positions[(s * V + i) * 3];
      out[0] = S16At(p) * kPositionScale;
      out[1] = -S16At(p + 2) * kPositionScale - 1.0f;
      out[2] = S16At(p + 4) * kPositionScale;
    }
    const std::uint8_t* tail = record + kShapePositionSize * m.fileShapeCount;
    m.normals[i * 3] = S16At(tail) * kUnitScale;
    m.normals[i * 3 + 1] = -S16At(tail + 2) * kUnitScale;
    m.normals[i * 3 + 2] = S16At(tail + 4) * kUnitScale;
    if (m.textured) {
      m.texCoords[i * 2] = S16At(tail + 8) * kUnitScale;
      m.texCoords[i * 2 + 1] = S16At(tail + 10) * kUnitScale;
    } else {
      m.colours[i] = static_cast<std::uint32_t>(tail[12]) << 16 |
                     static_cast<std::uint32_t>(tail[13]) << 8 | tail[14];
    }
  }
}

// Position just past the animation section, or nothing when it runs out.
std::optional<std::size_t> SkipAnimation(ByteSpan bytes, std::size_t start) {
  auto frames = platform::ReadU32LE(bytes, start + kAnimationFrameCountOffset);
  if (!frames || !platform::InBounds(bytes, start, kAnimationHeaderSize)) return std::nullopt;
  std::size_t at = start + kAnimationHeaderSize;
  for (std::uint32_t f = 0; f < *frames; ++f) {
    auto keys = platform::ReadU32LE(bytes, at + 4);
    if (!keys) return std::nullopt;
    std::uint64_t length = 8 + 8 * static_cast<std::uint64_t>(*keys);
    if (length > bytes.size() - at) return std::nullopt;
    at += static_cast<std::size_t>(length);
  }
  return at;
}

bool ReadTexture(ByteSpan bytes, std::size_t at, bool compressed, IconImage& image) {
  const std::size_t remaining = bytes.size() - at;
  if (compressed) {
    // The size word is there in every file we know; what follows is trusted
    // only as far as the bytes go.
    if (remaining < kSizeWord) return false;
    image.fill(0);
    DecodeRunLengthTexture(bytes.subspan(at + kSizeWord), image);
    return true;
  }
  // Real plain textures carry no size word, whatever bit 1 of the type says;
  // a word is there only when the bytes left say so.
  if (remaining == kPlainTextureSize + kSizeWord) at += kSizeWord;
  if (!platform::InBounds(bytes, at, kPlainTextureSize)) return false;
  for (std::size_t t = 0; t < kIconImageTexels; ++t)
    image[t] = platform::GetU16LE(bytes.data() + at + 2 * t);
  return true;
}

}  // namespace

std::optional<IconModel> ParseIconModel(std::span<const std::uint8_t> bytes, IconImage& image) {
  auto shapes = platform::ReadU32LE(bytes, kShapeCountOffset);
  auto type = platform::ReadU32LE(bytes, kTextureTypeOffset);
  auto vertices = platform::ReadU32LE(bytes, kVertexCountOffset);
  if (!shapes || !type || !vertices || *shapes == 0 || *vertices == 0) return std::nullopt;

  const std::uint64_t recordSize =
      kShapePositionSize * static_cast<std::uint64_t>(*shapes) + kVertexTailSize;
  if (!FitsVertices(bytes, *vertices, recordSize)) return std::nullopt;

  IconModel m;
  m.fileShapeCount = *shapes;
  m.shapeCount = std::min(*shapes, kMaxShapes);
  m.vertexCount = *vertices;
  const std::uint32_t textureType = *type & 0xFFFF;
  m.textured = (textureType & kTexturedBit) != 0;

  const std::size_t vertexEnd =
      kHeaderSize + static_cast<std::size_t>(*vertices) * static_cast<std::size_t>(recordSize);
  auto textureStart = SkipAnimation(bytes, vertexEnd);
  if (!textureStart) return std::nullopt;
  if (m.textured && !ReadTexture(bytes, *textureStart, (textureType & kCompressedBit) != 0, image))
    return std::nullopt;

  ReadVertices(bytes, static_cast<std::size_t>(recordSize), m);
  return m;
}

std::size_t DecodeRunLengthTexture(std::span<const std::uint8_t> stream, IconImage& image) {
  std::size_t out = 0;
  std::size_t at = 0;
  while (out < kIconImageTexels) {
    auto code = platform::ReadS16LE(stream, at);
    if (!code) break;
    at += 2;
    if (*code < 0) {
      std::size_t n = static_cast<std::size_t>(-static_cast<int>(*code));
      std::size_t whole = std::min({n, kIconImageTexels - out, (stream.size() - at) / 2});
      for (std::size_t k = 0; k < whole; ++k)
        image[out++] = platform::GetU16LE(stream.data() + at + 2 * k);
      if (whole < n) break;  // cut at the image's end or the stream's
      at += 2 * n;
    } else {
      auto word = platform::ReadU16LE(stream, at);
      if (!word) break;
      at += 2;
      std::size_t n =
          std::min<std::size_t>(static_cast<std::size_t>(*code), kIconImageTexels - out);
      std::fill_n(image.begin() + static_cast<std::ptrdiff_t>(out), n, *word);
      out += n;
    }
  }
  return out;
}

void WriteMeshVertices(const IconModel& m, std::uint32_t mesh, std::span<std::uint8_t> out) {
  const std::size_t V = m.vertexCount;
  const std::uint32_t s = mesh / 4;
  const std::uint32_t j = mesh % 4;
  const std::uint32_t next = (s + 1 == m.shapeCount) ? 0 : s + 1;
  const float t = static_cast<float>(j) * 0.25f;
  const float* from = &m.positions[s * V * 3];
  const float* to = &m.positions[next * V * 3];
  auto put = [](std::uint8_t* p, float f) {
    platform::PutU32LE(p, std::bit_cast<std::uint32_t>(f));
  };
  for (std::size_t i = 0; i < V && (i + 1) * kMeshVertexSize <= out.size(); ++i) {
    std::uint8_t* v = out.data() + i * kMeshVertexSize;
    for (std::size_t c = 0; c < 3; ++c) {
      float a = from[i * 3 + c];
      put(v + 4 * c, j == 0 ? a : a + (to[i * 3 + c] - a) * t);
      put(v + 12 + 4 * c, m.normals[i * 3 + c]);
    }
    if (m.textured) {
      put(v + 24, m.texCoords[i * 2]);
      put(v + 28, m.texCoords[i * 2 + 1]);
    } else {
      platform::PutU32LE(v + 24, m.colours[i]);
      platform::PutU32LE(v + 28, m.colours[i]);
    }
  }
}

}  // namespace slk
