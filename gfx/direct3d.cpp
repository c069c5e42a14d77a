#include "gfx/direct3d.h"

#include "gfx/device.h"

namespace slk::gfx {

std::uint32_t VertexSize(std::uint32_t fvf) {
  std::uint32_t size = 0;
  switch (fvf & fvf::kPositionMask) {
    case fvf::kXyz:
      size = 12;
      break;
    case fvf::kXyzRhw:
      size = 16;
      break;
    default:
      return 0;
  }
  if ((fvf & fvf::kNormal) != 0) size += 12;
  if ((fvf & fvf::kDiffuse) != 0) size += 4;
  if ((fvf & fvf::kSpecular) != 0) size += 4;
  std::uint32_t texSets = (fvf & fvf::kTexCountMask) >> 8;
  if (texSets > 1) return 0;
  size += 8 * texSets;
  return size;
}

VertexBuffer::VertexBuffer(std::uint32_t fvf, std::uint32_t vertexCount)
    : fvf_(fvf),
      count_(vertexCount),
      stride_(VertexSize(fvf)),
      bytes_(static_cast<std::size_t>(vertexCount) * stride_, 0) {}

Result VertexBuffer::Lock(std::span<std::uint8_t>& out) {
  if (locked_) return Result::SurfaceBusy;
  locked_ = true;
  out = bytes_;
  return Result::Ok;
}

Result VertexBuffer::Unlock() {
  if (!locked_) return Result::NotLocked;
  locked_ = false;
  return Result::Ok;
}

bool Direct3D::TypeAvailable(DeviceType type) const {
  return type == DeviceType::Rgb || desktop_->Options().hardwareDevices;
}

Result Direct3D::CreateDevice(DeviceType type, const SurfacePtr& target,
                              std::shared_ptr<Device>& out) {
  out.reset();
  if (!TypeAvailable(type)) return Result::NoDevice;
  if (!target || (target->Caps() & caps::k3DDevice) == 0) return Result::InvalidParams;
  const PixelFormat& f = target->Format();
  if ((f.flags & pf::kRgb) == 0 || (f.flags & pf::kPaletteIndexed8) != 0 || f.bitCount < 16) {
    return Result::InvalidPixelFormat;
  }
  out = std::make_shared<Device>(*desktop_, type, target);
  return Result::Ok;
}

Result Direct3D::EnumZBufferFormats(DeviceType type, const FormatCallback& callback) {
  if (!TypeAvailable(type)) return Result::NoDevice;
  if (!callback) return Result::InvalidParams;
  const auto& formats = type == DeviceType::Rgb ? desktop_->Options().zBufferFormats
                                                : desktop_->Options().hardwareZBufferFormats;
  for (const PixelFormat& f : formats) {
    if (!callback(f)) break;
  }
  return Result::Ok;
}

Result Direct3D::CreateVertexBuffer(const VertexBufferDesc& d, VertexBufferPtr& out,
                                    std::uint32_t flags) {
  out.reset();
  if (flags != 0 || d.numVertices == 0 || VertexSize(d.fvf) == 0) return Result::InvalidParams;
  out = std::make_shared<VertexBuffer>(d.fvf, d.numVertices);
  return Result::Ok;
}

}  // namespace slk::gfx
