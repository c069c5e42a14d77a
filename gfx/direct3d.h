#pragma once
// The Direct3D object: device creation, Z-buffer format enumeration and
// vertex buffers.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "gfx/desktop.h"
#include "gfx/pixel_format.h"
#include "gfx/surface.h"

namespace slk::gfx {

class Device;

// The device types by the name of their interface identifiers. Only Rgb (the
// software rasteriser) exists on a desktop without hardware.
enum class DeviceType { TnLHal, Hal, Rgb };

// Enumeration callbacks return true to go on, false to stop.
using FormatCallback = std::function<bool(const PixelFormat&)>;

// Size in bytes of one vertex of a flexible vertex format; 0 when the format
// has no position, both positions, or texture sets beyond one.
std::uint32_t VertexSize(std::uint32_t fvf);

struct VertexBufferDesc {
  std::uint32_t caps = 0;
  std::uint32_t fvf = 0;
  std::uint32_t numVertices = 0;
};

class VertexBuffer {
 public:
  VertexBuffer(std::uint32_t fvf, std::uint32_t vertexCount);
  VertexBuffer(const VertexBuffer&) = delete;
  VertexBuffer& operator=(const VertexBuffer&) = delete;

  std::uint32_t Fvf() const { return fvf_; }
  std::uint32_t VertexCount() const { return count_; }
  std::uint32_t Stride() const { return stride_; }

  // The whole buffer, VertexCount() x Stride() bytes. SurfaceBusy while locked.
  Result Lock(std::span<std::uint8_t>& out);
  Result Unlock();
  bool IsLocked() const { return locked_; }
  std::span<const std::uint8_t> Bytes() const { return bytes_; }

 private:
  std::uint32_t fvf_;
  std::uint32_t count_;
  std::uint32_t stride_;
  std::vector<std::uint8_t> bytes_;
  bool locked_ = false;
};

using VertexBufferPtr = std::shared_ptr<VertexBuffer>;

class Direct3D {
 public:
  explicit Direct3D(Desktop& desktop) : desktop_(&desktop) {}

  // The target needs caps::k3DDevice and a 16, 24 or 32-bit RGB format. The
  // hardware types fail with NoDevice unless the desktop offers them.
  Result CreateDevice(DeviceType type, const SurfacePtr& target, std::shared_ptr<Device>& out);
  Result EnumZBufferFormats(DeviceType type, const FormatCallback& callback);
  Result CreateVertexBuffer(const VertexBufferDesc& description, VertexBufferPtr& out,
                            std::uint32_t flags);

 private:
  bool TypeAvailable(DeviceType type) const;

  Desktop* desktop_;
};

}  // namespace slk::gfx
