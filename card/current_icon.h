#pragma once
// Counts of the icon decoded last, kept by the workspace so that the display
// can draw the detail model without knowing how it was decoded.

#include <array>
#include <cstdint>

namespace slk {

// Position, normal and one texture coordinate: the textured vertex layout.
struct SlabVertex {
  float x = 0, y = 0, z = 0;
  float nx = 0, ny = 0, nz = 0;
  float u = 0, v = 0;
};

struct CurrentIcon {
  std::uint32_t frameCount = 0;
  std::uint16_t textured = 0;
  std::uint32_t meshCount = 0;
  std::uint32_t vertexCount = 0;
  std::array<SlabVertex, 36> slab{};
};

}  // namespace slk
