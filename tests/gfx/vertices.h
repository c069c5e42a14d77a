#pragma once
// Builds vertex bytes for draw tests, field by field in little-endian order.

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <vector>

namespace slk::gfx::test {

class Vertices {
 public:
  Vertices& F(std::initializer_list<float> values) {
    for (float f : values) {
      std::uint32_t bits;
      std::memcpy(&bits, &f, sizeof bits);
      U(bits);
    }
    return *this;
  }
  Vertices& U(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
  }
  // Pre-transformed, coloured: x, y, z, rhw, diffuse (format 0x44).
  Vertices& Screen(float x, float y, float z, std::uint32_t color, float rhw = 1.0f) {
    return F({x, y, z, rhw}).U(color);
  }
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace slk::gfx::test
