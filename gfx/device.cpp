#include "gfx/device.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "gfx/pipeline.h"
#include "gfx/raster.h"
#include "gfx/vertex_batch.h"

namespace slk::gfx {

namespace {

bool Valid(RenderState state) {
  return static_cast<std::uint32_t>(state) < 256;
}

std::size_t Index(RenderState state) {
  return static_cast<std::size_t>(state);
}

std::size_t Index(TransformState state) {
  return static_cast<std::size_t>(state);
}

std::uint32_t QuantizeDepth(float z, std::uint32_t bytes) {
  float d = z < 0.0f ? 0.0f : (z > 1.0f ? 1.0f : z);
  return bytes == 2 ? static_cast<std::uint32_t>(d * 65535.0f + 0.5f)
                    : static_cast<std::uint32_t>(static_cast<double>(d) * 4294967295.0 + 0.5);
}

void FillRect(Surface& s, const Rect& r, std::uint32_t value) {
  if (r.Empty()) return;
  // One row pixel by pixel, the others copied from it.
  const std::uint32_t bpp = s.Format().BytesPerPixel();
  const std::size_t rowBytes = static_cast<std::size_t>(r.Width()) * bpp;
  std::uint8_t* first = s.Row(r.top) + static_cast<std::size_t>(r.left) * bpp;
  for (std::size_t x = 0; x < rowBytes; x += bpp) StorePixel(first + x, bpp, value);
  for (int y = r.top + 1; y < r.bottom; ++y) {
    std::memcpy(s.Row(y) + static_cast<std::size_t>(r.left) * bpp, first, rowBytes);
  }
}

// Unpacking keeps, shifts and repeats bits, and ORs the channels together, so
// the unpacked value of a pixel is the OR of those of its bytes: a table per
// byte of the pixel replaces the codec.
void DecodeTexels(const Surface& texture, detail::TextureImage& image) {
  const FormatCodec codec(texture.Format());
  const std::uint32_t bpp = texture.Format().BytesPerPixel();
  Color* out = image.texels.data();
  if (bpp == 0 || bpp > 4) {
    for (int y = 0; y < image.height; ++y) {
      for (int x = 0; x < image.width; ++x) {
        *out++ = codec.Unpack(LoadPixel(texture.Row(y) + static_cast<std::size_t>(x) * bpp, bpp));
      }
    }
    return;
  }
  std::array<std::array<Color, 256>, 4> tables;
  for (std::uint32_t b = 0; b < bpp; ++b) {
    for (std::uint32_t v = 0; v < 256; ++v) tables[b][v] = codec.Unpack(v << (8 * b));
  }
  for (int y = 0; y < image.height; ++y) {
    const std::uint8_t* p = texture.Row(y);
    for (int x = 0; x < image.width; ++x, p += bpp) {
      Color c = tables[0][p[0]];
      for (std::uint32_t b = 1; b < bpp; ++b) c |= tables[b][p[b]];
      *out++ = c;
    }
  }
}

}  // namespace

// The decoded form of the bound texture, kept until the texture changes.
struct Device::TextureCache {
  const Surface* surface = nullptr;
  std::uint64_t version = 0;
  detail::TextureImage image;

  const detail::TextureImage& For(const Surface& texture) {
    if (surface == &texture && version == texture.ContentVersion()) return image;
    image.width = texture.Width();
    image.height = texture.Height();
    image.texels.resize(static_cast<std::size_t>(image.width) * image.height);
    DecodeTexels(texture, image);
    surface = &texture;
    version = texture.ContentVersion();
    return image;
  }
};

Device::Device(Desktop& desktop, DeviceType type, const SurfacePtr& target)
    : desktop_(&desktop),
      type_(type),
      target_(target),
      textureCache_(std::make_unique<TextureCache>()),
      batch_(std::make_unique<detail::VertexBatch>()) {
  for (Matrix& m : transforms_) m = Matrix::Identity();
  viewport_.width = static_cast<std::uint32_t>(target->Width());
  viewport_.height = static_cast<std::uint32_t>(target->Height());
  // The pipeline's documented defaults.
  renderStates_[Index(RenderState::ZEnable)] = target->AttachedZBuffer() ? 1 : 0;
  renderStates_[Index(RenderState::ZWriteEnable)] = 1;
  renderStates_[Index(RenderState::ZFunc)] = cmp::kLessEqual;
  renderStates_[Index(RenderState::CullMode)] = cull::kCcw;
  renderStates_[Index(RenderState::Lighting)] = 1;
  renderStates_[Index(RenderState::SrcBlend)] = blend::kOne;
  renderStates_[Index(RenderState::DestBlend)] = blend::kZero;
  renderStates_[Index(RenderState::ColorVertex)] = 1;
  renderStates_[Index(RenderState::DiffuseMaterialSource)] = mcs::kColor1;
}

Device::~Device() = default;

Result Device::GetCaps(DeviceCaps& out) const {
  out.type = type_;
  out.triangleRasterCaps = 0x00000001 | 0x00000010 | 0x00000080;  // dither, z test, subpixel
  return Result::Ok;
}

Result Device::EnumTextureFormats(const FormatCallback& callback) const {
  if (!callback) return Result::InvalidParams;
  for (const PixelFormat& f : desktop_->Options().textureFormats) {
    if (!callback(f)) break;
  }
  return Result::Ok;
}

Result Device::SetRenderTarget(const SurfacePtr& target, std::uint32_t flags) {
  if (flags != 0 || !target || (target->Caps() & caps::k3DDevice) == 0) {
    return Result::InvalidParams;
  }
  target_ = target;
  return Result::Ok;
}

Result Device::SetRenderState(RenderState state, std::uint32_t value) {
  if (!Valid(state)) return Result::InvalidParams;
  renderStates_[Index(state)] = value;
  return Result::Ok;
}

std::uint32_t Device::GetRenderState(RenderState state) const {
  return Valid(state) ? renderStates_[Index(state)] : 0;
}

Result Device::SetTransform(TransformState state, const Matrix& matrix) {
  if (Index(state) < 1 || Index(state) > 3) return Result::InvalidParams;
  transforms_[Index(state)] = matrix;
  return Result::Ok;
}

Result Device::GetTransform(TransformState state, Matrix& out) const {
  if (Index(state) < 1 || Index(state) > 3) return Result::InvalidParams;
  out = transforms_[Index(state)];
  return Result::Ok;
}

Result Device::SetViewport(const Viewport& v) {
  auto right = static_cast<std::uint64_t>(v.x) + v.width;
  auto bottom = static_cast<std::uint64_t>(v.y) + v.height;
  if (v.width == 0 || v.height == 0 || right > static_cast<std::uint64_t>(target_->Width()) ||
      bottom > static_cast<std::uint64_t>(target_->Height()) || !(v.minZ >= 0.0f) ||
      !(v.maxZ <= 1.0f) || v.minZ > v.maxZ) {
    return Result::InvalidParams;
  }
  viewport_ = v;
  return Result::Ok;
}

Result Device::GetViewport(Viewport& out) const {
  out = viewport_;
  return Result::Ok;
}

Result Device::SetLight(std::uint32_t index, const Light& light) {
  lights_[index].light = light;
  return Result::Ok;
}

Result Device::GetLight(std::uint32_t index, Light& out) const {
  auto it = lights_.find(index);
  if (it == lights_.end()) return Result::InvalidParams;
  out = it->second.light;
  return Result::Ok;
}

Result Device::LightEnable(std::uint32_t index, bool enable) {
  // Enabling a light never set gives the default light (white, directional).
  lights_[index].enabled = enable;
  return Result::Ok;
}

bool Device::IsLightEnabled(std::uint32_t index) const {
  auto it = lights_.find(index);
  return it != lights_.end() && it->second.enabled;
}

Result Device::SetMaterial(const Material& material) {
  material_ = material;
  return Result::Ok;
}

Result Device::GetMaterial(Material& out) const {
  out = material_;
  return Result::Ok;
}

Result Device::SetTexture(std::uint32_t stage, const SurfacePtr& texture) {
  if (stage != 0) return Result::InvalidParams;
  if (texture && (texture->Caps() & caps::kTexture) == 0) return Result::InvalidParams;
  texture_ = texture;
  return Result::Ok;
}

Rect Device::ViewportRect() const {
  Rect r{static_cast<int>(viewport_.x), static_cast<int>(viewport_.y),
         static_cast<int>(viewport_.x + viewport_.width),
         static_cast<int>(viewport_.y + viewport_.height)};
  return Intersect(r, target_->Bounds());
}

Result Device::Clear(std::span<const Rect> rects, std::uint32_t flags, Color color, float z,
                     std::uint32_t /*stencil*/) {
  if (target_->IsLost() != Result::Ok) return Result::SurfaceLost;
  if (target_->IsLocked()) return Result::SurfaceBusy;
  Surface* depth = target_->AttachedZBuffer().get();
  if ((flags & clear::kZBuffer) != 0 && depth == nullptr) return Result::InvalidParams;
  const Rect viewport = ViewportRect();
  const std::span<const Rect> areas = rects.empty() ? std::span(&viewport, 1) : rects;
  std::uint32_t pixel = FormatCodec(target_->Format()).Pack(color);
  for (const Rect& area : areas) {
    const Rect r = Intersect(area, viewport);
    if ((flags & clear::kTarget) != 0) FillRect(*target_, r, pixel);
    if ((flags & clear::kZBuffer) != 0) {
      std::uint32_t bytes = depth->Format().BytesPerPixel();
      FillRect(*depth, Intersect(r, depth->Bounds()), QuantizeDepth(z, bytes));
    }
  }
  target_->Touch();
  return Result::Ok;
}

Result Device::BeginScene() {
  if (inScene_) return Result::AlreadyInScene;
  inScene_ = true;
  return Result::Ok;
}

Result Device::EndScene() {
  if (!inScene_) return Result::NotInScene;
  inScene_ = false;
  return Result::Ok;
}

Result Device::DrawPrimitiveVB(PrimitiveType type, const VertexBuffer& buffer,
                               std::uint32_t startVertex, std::uint32_t vertexCount,
                               std::uint32_t flags) {
  if (buffer.IsLocked()) return Result::VertexBufferLocked;
  if (flags != 0) return Result::InvalidParams;
  if (static_cast<std::uint64_t>(startVertex) + vertexCount > buffer.VertexCount()) {
    return Result::InvalidParams;
  }
  auto bytes = buffer.Bytes().subspan(static_cast<std::size_t>(startVertex) * buffer.Stride());
  return Draw(type, buffer.Fvf(), bytes, vertexCount);
}

Result Device::DrawPrimitive(PrimitiveType type, std::uint32_t fvf,
                             std::span<const std::uint8_t> vertices, std::uint32_t vertexCount,
                             std::uint32_t flags) {
  if (flags != 0) return Result::InvalidParams;
  if (static_cast<std::uint64_t>(vertexCount) * VertexSize(fvf) > vertices.size()) {
    return Result::InvalidParams;
  }
  return Draw(type, fvf, vertices, vertexCount);
}

Result Device::Draw(PrimitiveType type, std::uint32_t fvf, std::span<const std::uint8_t> vertices,
                    std::uint32_t vertexCount) {
  if (!inScene_) return Result::NotInScene;
  if (type != PrimitiveType::TriangleList) return Result::Unsupported;
  auto layout = detail::FvfLayout::Of(fvf);
  if (!layout) return Result::InvalidParams;
  if (target_->IsLost() != Result::Ok) return Result::SurfaceLost;
  if (target_->IsLocked()) return Result::SurfaceBusy;

  Surface* depth = target_->AttachedZBuffer().get();
  Rect clip = ViewportRect();
  if (depth != nullptr) clip = Intersect(clip, depth->Bounds());
  detail::RasterState rs;
  rs.zTest = GetRenderState(RenderState::ZEnable) != 0 && depth != nullptr;
  rs.zWrite = rs.zTest && GetRenderState(RenderState::ZWriteEnable) != 0;
  rs.zFunc = GetRenderState(RenderState::ZFunc);
  rs.blend = GetRenderState(RenderState::AlphaBlendEnable) != 0;
  rs.srcBlend = GetRenderState(RenderState::SrcBlend);
  rs.destBlend = GetRenderState(RenderState::DestBlend);
  rs.cullMode = GetRenderState(RenderState::CullMode);
  if (texture_) rs.texture = &textureCache_->For(*texture_);
  detail::Rasterizer rasterizer(*target_, rs.zTest ? depth : nullptr, clip, rs);

  const std::uint8_t* base = vertices.data();
  if (layout->pretransformed) {
    const std::uint32_t triangles = vertexCount / 3;
    const std::size_t stride = layout->stride;
    for (std::uint32_t t = 0; t < triangles; ++t) {
      const std::uint8_t* v = base + stride * 3 * t;
      rasterizer.Triangle(detail::PretransformedVertex(v, *layout),
                          detail::PretransformedVertex(v + stride, *layout),
                          detail::PretransformedVertex(v + 2 * stride, *layout));
    }
  } else {
    DrawTransformed(base, vertexCount, *layout, rasterizer);
  }
  const Rect& drawn = rasterizer.Drawn();
  if (!drawn.Empty()) {
    drawnArea_ = drawnArea_.Empty() ? drawn
                                    : Rect{std::min(drawnArea_.left, drawn.left),
                                           std::min(drawnArea_.top, drawn.top),
                                           std::max(drawnArea_.right, drawn.right),
                                           std::max(drawnArea_.bottom, drawn.bottom)};
  }
  target_->Touch();
  return Result::Ok;
}

void Device::DrawTransformed(const std::uint8_t* vertices, std::uint32_t vertexCount,
                             const detail::FvfLayout& layout, detail::Rasterizer& rasterizer) {
  detail::LightingSetup lighting;
  lighting.enabled = GetRenderState(RenderState::Lighting) != 0;
  lighting.normalizeNormals = GetRenderState(RenderState::NormalizeNormals) != 0;
  lighting.vertexDiffuse = GetRenderState(RenderState::ColorVertex) != 0 &&
                           GetRenderState(RenderState::DiffuseMaterialSource) == mcs::kColor1;
  Color ambient = GetRenderState(RenderState::Ambient);
  lighting.globalAmbient =
      ColorValue{((ambient >> 16) & 0xFF) / 255.0f, ((ambient >> 8) & 0xFF) / 255.0f,
                 (ambient & 0xFF) / 255.0f, (ambient >> 24) / 255.0f};
  lighting.material = material_;
  for (const auto& [index, slot] : lights_) {
    if (slot.enabled) lighting.lights.push_back(slot.light);
  }
  detail::VertexTransformer transformer(transforms_[1], transforms_[2], transforms_[3], lighting);
  batch_->Draw(vertices, vertexCount, layout, transformer, viewport_, rasterizer);
}

}  // namespace slk::gfx
