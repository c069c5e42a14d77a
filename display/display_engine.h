#pragma once
// The display engine's device and objects: the DirectDraw and Direct3D
// objects, the device, every surface the program draws with, the vertex
// buffers of the icon models, and the fixed matrices. InitDisplay makes them
// once, in a fixed order; ReleaseDisplay releases them in another fixed order.
// Used from the main thread and from the rendering thread, never at once
// (the rendering thread is paused whenever the main thread touches them).

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "display/matrix.h"
#include "gfx/desktop.h"
#include "gfx/device.h"
#include "gfx/direct3d.h"
#include "gfx/direct_draw.h"
#include "gfx/pixel_format.h"
#include "gfx/surface.h"

namespace slk {

// Position and width of one colour channel in a pixel.
struct ChannelMask {
  std::uint32_t shift = 32;  // zero bits below the channel; 32 for an empty mask
  std::uint32_t width = 0;   // consecutive one bits from there upwards
  friend bool operator==(const ChannelMask&, const ChannelMask&) = default;
};

ChannelMask ChannelMaskOf(std::uint32_t mask);

struct PixelLayout {
  std::uint32_t primaryBytesPerPixel = 0;  // all plain surfaces share the primary format
  std::uint32_t textureBytesPerPixel = 0;
  ChannelMask textureRed;
  ChannelMask textureGreen;
  ChannelMask textureBlue;
};

// True when the display device can be made on this desktop.
bool CheckDirectX7(gfx::Desktop& desktop);

inline constexpr int kClientWidth = 512;
inline constexpr int kClientHeight = 312;

class DisplayEngine {
 public:
  static constexpr int kSlots = 2;
  static constexpr int kCells = 9;
  static constexpr int kFramesPerCell = 8;
  static constexpr int kModelFrameCount = 160;
  static constexpr int kSpinSteps = 360;

  // [slot][grid cell][frame]
  using IconFrameCacheArray =
      std::array<std::array<std::array<gfx::SurfacePtr, kFramesPerCell>, kCells>, kSlots>;
  using ModelFrameArray = std::array<gfx::VertexBufferPtr, kModelFrameCount>;
  using SpinTableArray = std::array<Matrix, kSpinSteps>;
  // Told the name of each reference as it is released, e.g. "Device" or
  // "IconFrameCache[1][8][7]".
  using ReleaseObserver = std::function<void(std::string_view)>;

  DisplayEngine() = default;
  DisplayEngine(const DisplayEngine&) = delete;
  DisplayEngine& operator=(const DisplayEngine&) = delete;
  ~DisplayEngine();

  // Makes everything for the window, which must outlive the engine's objects.
  // On false whatever was made stays for ReleaseDisplay.
  bool InitDisplay(const gfx::Window& window, bool halPriority);
  // Releases every reference in the fixed order; empty ones are skipped, so a
  // second call does nothing.
  void ReleaseDisplay();
  bool PrimaryLost() const;
  void RestoreSurfaces();
  bool LoadBitmaps();

  bool CreatePlainSurface(gfx::SurfacePtr& out, int width, int height, std::uint32_t extraCaps,
                          bool keyed);
  bool LoadBitmapInto(const gfx::SurfacePtr& surface, int bitmapId);
  bool ChooseZBuffer(gfx::DeviceType type);
  bool ChooseTextureFormat(bool hardware);
  void SetProjection(float nearPlane, float farPlane);
  void SetViewLookAt(const gfx::Vector3& from, const gfx::Vector3& at);

  void SetReleaseObserver(ReleaseObserver observer) { releaseObserver_ = std::move(observer); }

  const std::shared_ptr<gfx::DirectDraw>& DirectDraw() const { return directDraw_; }
  const std::shared_ptr<gfx::Direct3D>& Direct3D() const { return direct3D_; }
  const gfx::DevicePtr& Device() const { return device_; }
  const gfx::SurfacePtr& PrimarySurface() const { return primarySurface_; }
  const std::shared_ptr<gfx::Clipper>& Clipper() const { return clipper_; }
  const gfx::SurfacePtr& RenderTarget() const { return renderTarget_; }
  const gfx::SurfacePtr& RenderTargetZBuffer() const { return renderTargetZ_; }
  const gfx::SurfacePtr& IconTarget() const { return iconTarget_; }
  const gfx::SurfacePtr& IconTargetZBuffer() const { return iconTargetZ_; }
  const gfx::SurfacePtr& ComposeSurface() const { return composeSurface_; }
  const IconFrameCacheArray& IconFrameCache() const { return iconFrameCache_; }
  const gfx::SurfacePtr& TitleSurface() const { return titleSurface_; }
  const gfx::SurfacePtr& TextScratch() const { return textScratch_; }
  const gfx::SurfacePtr& IconTexture() const { return iconTexture_; }
  const gfx::VertexBufferPtr& BackgroundQuad() const { return backgroundQuad_; }
  // The icon pipeline creates and releases these.
  ModelFrameArray& ModelFrames() { return modelFrames_; }
  const ModelFrameArray& ModelFrames() const { return modelFrames_; }
  const gfx::SurfacePtr& Backdrop() const { return backdrop_; }
  const gfx::SurfacePtr& MarkerBall() const { return markerBall_; }
  const gfx::SurfacePtr& ScrollButtonSheet() const { return scrollButtonSheet_; }
  const gfx::SurfacePtr& ActionButtonSheet() const { return actionButtonSheet_; }
  const gfx::SurfacePtr& BusyBanner() const { return busyBanner_; }
  const gfx::SurfacePtr& DigitFont() const { return digitFont_; }
  const gfx::SurfacePtr& MoreArrows() const { return moreArrows_; }
  const slk::PixelLayout& PixelLayout() const { return pixelLayout_; }
  const SpinTableArray& SpinTable() const { return spinTable_; }
  const Matrix& ListIconWorld() const { return listIconWorld_; }
  const Matrix& DetailIconWorld() const { return detailIconWorld_; }

 private:
  bool ChooseDevice(bool halPriority);
  void DropDeviceChoice();
  bool CreateSurfaces();
  void SetRenderStates();
  void SetLights();
  void SetMaterial();
  void FillMatrices();
  template <typename T>
  void Release(std::shared_ptr<T>& reference, std::string_view name);

  std::shared_ptr<gfx::DirectDraw> directDraw_;
  std::shared_ptr<gfx::Direct3D> direct3D_;
  gfx::DevicePtr device_;
  gfx::SurfacePtr primarySurface_;
  std::shared_ptr<gfx::Clipper> clipper_;
  gfx::SurfacePtr renderTarget_;
  gfx::SurfacePtr renderTargetZ_;
  gfx::SurfacePtr iconTarget_;
  gfx::SurfacePtr iconTargetZ_;
  gfx::SurfacePtr composeSurface_;
  IconFrameCacheArray iconFrameCache_;
  gfx::SurfacePtr titleSurface_;
  gfx::SurfacePtr textScratch_;
  gfx::SurfacePtr iconTexture_;
  gfx::VertexBufferPtr backgroundQuad_;
  ModelFrameArray modelFrames_;
  gfx::SurfacePtr backdrop_;
  gfx::SurfacePtr markerBall_;
  gfx::SurfacePtr scrollButtonSheet_;
  gfx::SurfacePtr actionButtonSheet_;
  gfx::SurfacePtr busyBanner_;
  gfx::SurfacePtr digitFont_;
  gfx::SurfacePtr moreArrows_;

  slk::PixelLayout pixelLayout_;
  SpinTableArray spinTable_{};
  Matrix listIconWorld_;
  Matrix detailIconWorld_;
  ReleaseObserver releaseObserver_;
};

}  // namespace slk
