#pragma once
// Internal to gfx: per-vertex work of the fixed-function pipeline. Vertices
// are decoded from their flexible vertex format, transformed and lit, clipped
// in homogeneous space and mapped through the viewport for the rasteriser.

#include <cstdint>
#include <optional>
#include <vector>

#include "gfx/device.h"
#include "gfx/raster.h"
#include "gfx/types.h"

namespace slk::gfx::detail {

// Byte offsets of the parts of one vertex; -1 where the format has none.
struct FvfLayout {
  std::uint32_t stride = 0;
  bool pretransformed = false;
  int normal = -1;
  int diffuse = -1;
  int specular = -1;
  int tex = -1;

  static std::optional<FvfLayout> Of(std::uint32_t fvf);
};

// A vertex in clip space with its lit colour.
struct ClipVertex {
  float x = 0, y = 0, z = 0, w = 1;
  float u = 0, v = 0;
  float r = 0, g = 0, b = 0, a = 0;
};

struct LightingSetup {
  bool enabled = true;
  bool normalizeNormals = false;
  // Vertex diffuse colours replace the material's diffuse (colour-vertex on,
  // diffuse source colour 1).
  bool vertexDiffuse = true;
  ColorValue globalAmbient;
  Material material;
  std::vector<Light> lights;  // the enabled ones
};

class VertexTransformer {
 public:
  VertexTransformer(const Matrix& world, const Matrix& view, const Matrix& projection,
                    const LightingSetup& lighting);

  ClipVertex Process(const std::uint8_t* vertex, const FvfLayout& layout) const;

 private:
  struct CameraLight {
    LightType type;
    Vector3 position;   // camera space
    Vector3 direction;  // camera space, towards the light, unit length
    ColorValue ambient, diffuse;
    ColorValue materialAmbient;  // material ambient x light ambient
    float range, a0, a1, a2;
    // With no distance terms the attenuation is the same at every finite
    // distance: worked out once.
    bool constantAttenuation;
    float attenuation;
  };

  ColorValue Shade(const Vector3& position, const Vector3& normal, const ColorValue& diffuse) const;

  Matrix worldView_;
  Matrix worldViewProjection_;
  float normalMatrix_[3][3] = {};
  LightingSetup lighting_;
  std::vector<CameraLight> lights_;
};

// A pre-transformed vertex (x, y in pixels, z the depth, rhw) as it stands.
RasterVertex PretransformedVertex(const std::uint8_t* vertex, const FvfLayout& layout);

// The clip planes (bits 0 to 6) a vertex lies outside of; 0 when inside all.
unsigned OutCode(const ClipVertex& v);

// Maps a vertex inside the near plane through the viewport.
RasterVertex ToScreen(const ClipVertex& c, const Viewport& viewport);

// Clips the triangle to the near and far planes (and a guard band around the
// viewport), maps what is left through the viewport and rasterises it.
void ClipAndDraw(const ClipVertex& a, const ClipVertex& b, const ClipVertex& c,
                 const Viewport& viewport, Rasterizer& rasterizer);

Matrix Multiply(const Matrix& a, const Matrix& b);

}  // namespace slk::gfx::detail
