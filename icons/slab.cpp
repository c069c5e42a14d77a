#include "icons/slab.h"

#include <array>

namespace slk {

namespace {

constexpr float kHalf = 0.8f;
constexpr float kDepth = 0.1f;

struct Face {
  float nx, ny, nz;
  // Six corners, each as signs of (x, y, z) times (kHalf, kHalf, kDepth).
  std::array<std::array<int, 3>, 6> corners;
};

// Front (towards the camera, negative z), left, bottom, right, top, back.
constexpr std::array<Face, 6> kFaces = {{
    {0, 0, -1, {{{-1, -1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, -1, -1}, {-1, 1, -1}, {1, 1, -1}}}},
    {-1, 0, 0, {{{-1, -1, 1}, {-1, -1, -1}, {-1, 1, 1}, {-1, -1, -1}, {-1, 1, 1}, {-1, 1, -1}}}},
    {0, -1, 0, {{{-1, -1, 1}, {1, -1, 1}, {-1, -1, -1}, {1, -1, 1}, {-1, -1, -1}, {1, -1, -1}}}},
    {1, 0, 0, {{{1, -1, -1}, {1, -1, 1}, {1, 1, -1}, {1, -1, 1}, {1, 1, -1}, {1, 1, 1}}}},
    {0, 1, 0, {{{-1, 1, -1}, {1, 1, -1}, {-1, 1, 1}, {1, 1, -1}, {-1, 1, 1}, {1, 1, 1}}}},
    {0, 0, 1, {{{1, -1, 1}, {-1, -1, 1}, {1, 1, 1}, {-1, -1, 1}, {1, 1, 1}, {-1, 1, 1}}}},
}};

constexpr std::size_t kBackFirst = 30;
constexpr float kEdgeCoordinate = 0.75f;

float Scaled(int sign, float size) {
  return sign < 0 ? -size : size;
}

}  // namespace

void BuildSlab(CurrentIcon& icon) {
  std::size_t i = 0;
  for (const Face& face : kFaces) {
    for (const auto& c : face.corners) {
      SlabVertex& v = icon.slab[i++];
      v = SlabVertex{};
      v.x = Scaled(c[0], kHalf);
      v.y = Scaled(c[1], kHalf);
      v.z = Scaled(c[2], kDepth);
      v.nx = face.nx;
      v.ny = face.ny;
      v.nz = face.nz;
    }
  }
}

void SetSlabFrame(CurrentIcon& icon, std::uint32_t frame) {
  const float uL = static_cast<float>(frame % 2) * 0.5f;
  const float vT = static_cast<float>(frame / 2) * 0.5f;
  const float uR = static_cast<float>(frame % 2 + 1) * 0.5f;
  const float vB = static_cast<float>(frame / 2 + 1) * 0.5f;
  // The same order on both faces: the back face's corners run mirrored in x,
  // so its picture reads the right way round from behind.
  const std::array<std::array<float, 2>, 6> picture = {
      {{uL, vT}, {uR, vT}, {uL, vB}, {uR, vT}, {uL, vB}, {uR, vB}}};
  for (std::size_t k = 0; k < 6; ++k) {
    icon.slab[k].u = icon.slab[kBackFirst + k].u = picture[k][0];
    icon.slab[k].v = icon.slab[kBackFirst + k].v = picture[k][1];
  }
  for (std::size_t k = 6; k < kBackFirst; ++k) {
    icon.slab[k].u = kEdgeCoordinate;
    icon.slab[k].v = kEdgeCoordinate;
  }
}

}  // namespace slk
