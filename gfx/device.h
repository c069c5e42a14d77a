#pragma once
// The 3D device: the fixed-function pipeline state (render states,
// transforms, viewport, lights, material, texture stage 0) and the drawing
// calls. Everything is drawn in software into the render target and the
// Z-buffer attached to it; the same calls always give the same pixels.

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <span>
#include <vector>

#include "gfx/desktop.h"
#include "gfx/direct3d.h"
#include "gfx/surface.h"
#include "gfx/types.h"

namespace slk::gfx {

namespace detail {
class VertexBatch;
struct FvfLayout;
class Rasterizer;
}  // namespace detail

enum class TransformState : std::uint32_t { World = 1, View = 2, Projection = 3 };

enum class RenderState : std::uint32_t {
  Antialias = 2,
  ZEnable = 7,
  ZWriteEnable = 14,
  SrcBlend = 19,
  DestBlend = 20,
  CullMode = 22,
  ZFunc = 23,
  DitherEnable = 26,
  AlphaBlendEnable = 27,
  SpecularEnable = 29,
  Lighting = 137,
  Ambient = 139,
  ColorVertex = 141,
  NormalizeNormals = 143,
  DiffuseMaterialSource = 145,
};

// Values of the render states.
namespace cmp {
constexpr std::uint32_t kNever = 1, kLess = 2, kEqual = 3, kLessEqual = 4, kGreater = 5,
                        kNotEqual = 6, kGreaterEqual = 7, kAlways = 8;
}
namespace cull {
constexpr std::uint32_t kNone = 1, kCw = 2, kCcw = 3;
}
namespace blend {
constexpr std::uint32_t kZero = 1, kOne = 2, kSrcAlpha = 5, kInvSrcAlpha = 6;
}
namespace mcs {
constexpr std::uint32_t kMaterial = 0, kColor1 = 1, kColor2 = 2;
}

enum class PrimitiveType : std::uint32_t {
  PointList = 1,
  LineList = 2,
  LineStrip = 3,
  TriangleList = 4,
  TriangleStrip = 5,
  TriangleFan = 6,
};

enum class LightType : std::uint32_t { Point = 1, Spot = 2, Directional = 3 };

struct Light {
  LightType type = LightType::Directional;
  ColorValue diffuse{1, 1, 1, 0};
  ColorValue specular;
  ColorValue ambient;
  Vector3 position;
  Vector3 direction{0, 0, 1};
  float range = 0;
  float falloff = 0;
  float attenuation0 = 0;
  float attenuation1 = 0;
  float attenuation2 = 0;
  float theta = 0;
  float phi = 0;
};

// The range that means "no limit": the square root of the largest float.
inline const float kLightRangeMax = std::sqrt(std::numeric_limits<float>::max());

struct Material {
  ColorValue diffuse;
  ColorValue ambient;
  ColorValue specular;
  ColorValue emissive;
  float power = 0;
};

struct Viewport {
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  float minZ = 0;
  float maxZ = 1;
};

struct DeviceCaps {
  DeviceType type = DeviceType::Rgb;
  std::uint32_t triangleRasterCaps = 0;
};

class Device {
 public:
  Device(Desktop& desktop, DeviceType type, const SurfacePtr& target);
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;
  ~Device();

  Result GetCaps(DeviceCaps& out) const;
  Result EnumTextureFormats(const FormatCallback& callback) const;

  // The viewport is kept; drawing is always clipped to the target as well.
  Result SetRenderTarget(const SurfacePtr& target, std::uint32_t flags);
  const SurfacePtr& GetRenderTarget() const { return target_; }

  Result SetRenderState(RenderState state, std::uint32_t value);
  std::uint32_t GetRenderState(RenderState state) const;
  Result SetTransform(TransformState state, const Matrix& matrix);
  Result GetTransform(TransformState state, Matrix& out) const;
  Result SetViewport(const Viewport& viewport);
  Result GetViewport(Viewport& out) const;
  Result SetLight(std::uint32_t index, const Light& light);
  Result GetLight(std::uint32_t index, Light& out) const;
  Result LightEnable(std::uint32_t index, bool enable);
  bool IsLightEnabled(std::uint32_t index) const;
  Result SetMaterial(const Material& material);
  Result GetMaterial(Material& out) const;
  // Stage 0 only; an empty pointer unbinds. The surface needs caps::kTexture.
  Result SetTexture(std::uint32_t stage, const SurfacePtr& texture);
  const SurfacePtr& GetTexture() const { return texture_; }

  // With no rectangles the whole viewport is cleared; otherwise the given
  // rectangles, each within the viewport. flags: clear::kTarget, kZBuffer.
  Result Clear(std::span<const Rect> rects, std::uint32_t flags, Color color, float z,
               std::uint32_t stencil);
  Result BeginScene();
  Result EndScene();
  // The bounding box of the pixels the drawing calls below covered on the
  // render target since the last ResetDrawnArea, whether or not they passed
  // the Z test: all that a frame must restore before the next is drawn.
  const Rect& DrawnArea() const { return drawnArea_; }
  void ResetDrawnArea() { drawnArea_ = Rect{}; }
  // Triangle lists only, inside a scene.
  Result DrawPrimitiveVB(PrimitiveType type, const VertexBuffer& buffer, std::uint32_t startVertex,
                         std::uint32_t vertexCount, std::uint32_t flags);
  // The same from vertices in memory, `vertexCount` x VertexSize(fvf) bytes.
  Result DrawPrimitive(PrimitiveType type, std::uint32_t fvf,
                       std::span<const std::uint8_t> vertices, std::uint32_t vertexCount,
                       std::uint32_t flags);

 private:
  struct LightSlot {
    Light light;
    bool enabled = false;
  };
  struct TextureCache;

  Result Draw(PrimitiveType type, std::uint32_t fvf, std::span<const std::uint8_t> vertices,
              std::uint32_t vertexCount);
  void DrawTransformed(const std::uint8_t* vertices, std::uint32_t vertexCount,
                       const detail::FvfLayout& layout, detail::Rasterizer& rasterizer);
  Rect ViewportRect() const;

  Desktop* desktop_;
  DeviceType type_;
  SurfacePtr target_;
  SurfacePtr texture_;
  std::array<std::uint32_t, 256> renderStates_{};
  std::array<Matrix, 4> transforms_;
  Viewport viewport_;
  std::map<std::uint32_t, LightSlot> lights_;
  Material material_;
  bool inScene_ = false;
  std::unique_ptr<TextureCache> textureCache_;
  // Kept from draw to draw so that drawing allocates nothing once warmed up.
  std::unique_ptr<detail::VertexBatch> batch_;
  Rect drawnArea_{};
};

using DevicePtr = std::shared_ptr<Device>;

}  // namespace slk::gfx
