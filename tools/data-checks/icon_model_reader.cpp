#include "icon_model_reader.h"

#include <bit>

#include "platform/bytes.h"

namespace slk::testing {
namespace {

using platform::ReadS16LE;
using platform::ReadU16LE;
using platform::ReadU32LE;

constexpr std::size_t kTexels = 128 * 128;
constexpr std::uint32_t kTextured = 0x04;
constexpr std::uint32_t kCompressed = 0x08;
constexpr std::uint32_t kNoSizeWord = 0x02;

float FloatAt(std::span<const std::uint8_t> bytes, std::size_t at) {
  return std::bit_cast<float>(*ReadU32LE(bytes, at));
}

bool ReadVertices(std::span<const std::uint8_t> bytes, ReadIcon& icon, std::string& error) {
  std::uint64_t record = 8ull * icon.shapeCount + 16;
  if (20 + record * icon.vertexCount + 20 > bytes.size()) {
    error = "vertex records run past the end";
    return false;
  }
  icon.positions.assign(icon.shapeCount, std::vector<ModelPoint>(icon.vertexCount));
  for (std::uint32_t i = 0; i < icon.vertexCount; ++i) {
    std::size_t at = 20 + static_cast<std::size_t>(record * i);
    for (std::uint32_t s = 0; s < icon.shapeCount; ++s, at += 8)
      icon.positions[s][i] = {*ReadS16LE(bytes, at) / 10240.0f,
                              -*ReadS16LE(bytes, at + 2) / 10240.0f - 1.0f,
                              *ReadS16LE(bytes, at + 4) / 10240.0f};
    icon.normals.push_back(
        {*ReadS16LE(bytes, at), *ReadS16LE(bytes, at + 2), *ReadS16LE(bytes, at + 4)});
  }
  return true;
}

// Returns the offset after the last frame record, or 0 on a fault.
std::size_t ReadAnimation(std::span<const std::uint8_t> bytes, std::size_t at, const ReadIcon& icon,
                          std::string& error) {
  if (*ReadU32LE(bytes, at) != 1 || *ReadU32LE(bytes, at + 16) != icon.shapeCount) {
    error = "animation header: id is not 1 or frame count is not the shape count";
    return 0;
  }
  at += 20;
  for (std::uint32_t s = 0; s < icon.shapeCount; ++s) {
    auto id = ReadU32LE(bytes, at);
    auto keys = ReadU32LE(bytes, at + 4);
    if (!id || !keys || *id != s || *keys == 0 || *keys > 64 ||
        at + 8 + 8ull * *keys > bytes.size()) {
      error = "frame record " + std::to_string(s) + " is malformed";
      return 0;
    }
    float last = -1;
    for (std::uint32_t k = 0; k < *keys; ++k) {
      float time = FloatAt(bytes, at + 8 + 8 * k), weight = FloatAt(bytes, at + 12 + 8 * k);
      if (time <= last || weight < 0 || weight > 1) {
        error = "frame record " + std::to_string(s) + " has keys out of order or range";
        return 0;
      }
      last = time;
    }
    at += 8 + 8ull * *keys;
  }
  return at;
}

bool ReadTexture(std::span<const std::uint8_t> bytes, std::size_t at, ReadIcon& icon,
                 std::string& error) {
  std::size_t remaining = bytes.size() - at;
  if (!(icon.textureType & kTextured)) {
    if (remaining != 0) error = "untextured model with bytes after the animation";
    return remaining == 0;
  }
  if (icon.textureType & kCompressed) {
    auto size = ReadU32LE(bytes, at);
    if (!size || *size != remaining - 4) {
      error = "run-length size word does not match the bytes that follow";
      return false;
    }
    auto texels = DecodeRunLength(bytes.subspan(at + 4));
    if (!texels) error = "run-length codes do not give exactly 16384 texels";
    if (texels) icon.texture = *texels;
    return texels.has_value();
  }
  icon.sizeWord = !(icon.textureType & kNoSizeWord);
  std::size_t want = kTexels * 2 + (icon.sizeWord ? 4 : 0);
  if (remaining != want || (icon.sizeWord && *ReadU32LE(bytes, at) != kTexels * 2)) {
    error = "plain texture is not 32768 bytes (after a size word when bit 1 is clear)";
    return false;
  }
  at += icon.sizeWord ? 4 : 0;
  for (std::size_t i = 0; i < kTexels; ++i) icon.texture.push_back(*ReadU16LE(bytes, at + 2 * i));
  return true;
}

}  // namespace

std::optional<std::vector<std::uint16_t>> DecodeRunLength(std::span<const std::uint8_t> codes) {
  std::vector<std::uint16_t> texels;
  std::size_t at = 0;
  while (texels.size() < kTexels) {
    auto code = ReadS16LE(codes, at);
    if (!code) return std::nullopt;
    at += 2;
    std::size_t count = static_cast<std::size_t>(*code < 0 ? -*code : *code);
    if (texels.size() + count > kTexels) return std::nullopt;
    if (*code < 0) {
      for (std::size_t k = 0; k < count; ++k, at += 2) {
        auto texel = ReadU16LE(codes, at);
        if (!texel) return std::nullopt;
        texels.push_back(*texel);
      }
    } else {
      auto texel = ReadU16LE(codes, at);
      if (!texel || count == 0) return std::nullopt;
      at += 2;
      texels.insert(texels.end(), count, *texel);
    }
  }
  if (at != codes.size()) return std::nullopt;
  return texels;
}

std::optional<ReadIcon> ReadIconModel(std::span<const std::uint8_t> bytes, std::string& error) {
  ReadIcon icon;
  if (bytes.size() < 20 || *ReadU32LE(bytes, 0) != 0x00010000 || FloatAt(bytes, 12) != 1.0f) {
    error = "header is short or its format id or float is not ours";
    return std::nullopt;
  }
  icon.shapeCount = *ReadU32LE(bytes, 4);
  icon.textureType = *ReadU32LE(bytes, 8);
  icon.vertexCount = *ReadU32LE(bytes, 16);
  if (icon.shapeCount < 1 || icon.shapeCount > 8 || icon.vertexCount == 0 ||
      icon.vertexCount % 3 != 0 || icon.textureType > 0xFF) {
    error = "shape count, vertex count or texture type out of range";
    return std::nullopt;
  }
  if (!ReadVertices(bytes, icon, error)) return std::nullopt;
  std::size_t at = 20 + (8ull * icon.shapeCount + 16) * icon.vertexCount;
  at = ReadAnimation(bytes, at, icon, error);
  if (at == 0 || !ReadTexture(bytes, at, icon, error)) return std::nullopt;
  return icon;
}

}  // namespace slk::testing
