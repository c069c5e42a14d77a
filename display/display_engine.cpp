// Set-up and release of the display device and its objects.

#include "display/display_engine.h"

#include <string>

namespace slk {

namespace {

using gfx::Failed;
using gfx::Result;

// One-line names of array entries for the release observer.
std::string Indexed(std::string_view name, std::initializer_list<int> indices) {
  std::string out(name);
  // Appended piece by piece: GCC 12 at -O2 and above misreports the
  // temporary of "[" + std::to_string(i) as an overlapping memcpy.
  for (int i : indices) {
    out += '[';
    out += std::to_string(i);
    out += ']';
  }
  return out;
}

}  // namespace

ChannelMask ChannelMaskOf(std::uint32_t mask) {
  const gfx::ChannelBits bits = gfx::ChannelBitsOf(mask);
  return ChannelMask{bits.shift, bits.width};
}

bool CheckDirectX7(gfx::Desktop& desktop) {
  std::shared_ptr<gfx::DirectDraw> probe;
  if (Failed(gfx::DirectDrawCreate(desktop, probe))) return false;
  probe.reset();
  return true;
}

DisplayEngine::~DisplayEngine() {
  ReleaseDisplay();
}

bool DisplayEngine::InitDisplay(const gfx::Window& window, bool halPriority) {
  for (auto& slot : iconFrameCache_) {
    for (auto& cell : slot) {
      for (auto& frame : cell) frame.reset();
    }
  }
  for (auto& frame : modelFrames_) frame.reset();

  if (gfx::DirectDrawCreate(window.GetDesktop(), directDraw_) != Result::Ok) return false;
  if (Failed(directDraw_->SetCooperativeLevel(window, gfx::coop::kNormal))) return false;

  gfx::SurfaceDesc primary;
  primary.flags = gfx::desc::kCaps;
  primary.caps = gfx::caps::kPrimarySurface;
  if (Failed(directDraw_->CreateSurface(primary, primarySurface_))) return false;

  // 256-colour and lower desktops are refused.
  gfx::PixelFormat format;
  if (Failed(primarySurface_->GetPixelFormat(format)) || format.bitCount < 16) return false;
  pixelLayout_.primaryBytesPerPixel = format.bitCount / 8;

  if (!CreatePlainSurface(renderTarget_, kClientWidth, kClientHeight, gfx::caps::k3DDevice,
                          false) ||
      !CreatePlainSurface(iconTarget_, 64, 64, gfx::caps::k3DDevice, false)) {
    return false;
  }

  if (Failed(directDraw_->CreateClipper(0, clipper_)) || Failed(clipper_->SetWindow(&window, 0)) ||
      Failed(primarySurface_->SetClipper(clipper_))) {
    return false;
  }
  if (Failed(directDraw_->QueryDirect3D(direct3D_))) return false;
  if (!ChooseDevice(halPriority)) return false;
  if (Failed(device_->SetRenderTarget(renderTarget_, 0)) ||
      Failed(device_->SetRenderState(gfx::RenderState::ZEnable, 1))) {
    return false;
  }
  if (!CreateSurfaces()) return false;
  if (!LoadBitmaps()) return false;

  SetProjection(4.0f, 6.0f);
  SetViewLookAt(gfx::Vector3{0, 0, 0}, gfx::Vector3{0, 0, 5});
  SetRenderStates();
  SetLights();
  SetMaterial();
  FillMatrices();
  return true;
}

bool DisplayEngine::ChooseDevice(bool halPriority) {
  static constexpr gfx::DeviceType kHardwareFirst[] = {gfx::DeviceType::TnLHal,
                                                       gfx::DeviceType::Hal, gfx::DeviceType::Rgb};
  static constexpr gfx::DeviceType kSoftwareOnly[] = {gfx::DeviceType::Rgb};
  std::span<const gfx::DeviceType> types =
      halPriority ? std::span<const gfx::DeviceType>(kHardwareFirst) : kSoftwareOnly;
  for (gfx::DeviceType type : types) {
    if (Failed(direct3D_->CreateDevice(type, renderTarget_, device_))) continue;
    bool hardware = type != gfx::DeviceType::Rgb;
    if (ChooseZBuffer(type) && ChooseTextureFormat(hardware)) return true;
    DropDeviceChoice();
  }
  return false;
}

void DisplayEngine::DropDeviceChoice() {
  // A render target takes one Z-buffer: the next device type's must find the
  // place free, so ours are detached before they are released.
  if (renderTargetZ_ && renderTarget_) renderTarget_->DeleteAttachedSurface(*renderTargetZ_);
  if (iconTargetZ_ && iconTarget_) iconTarget_->DeleteAttachedSurface(*iconTargetZ_);
  Release(renderTargetZ_, "RenderTargetZBuffer");
  Release(iconTargetZ_, "IconTargetZBuffer");
  Release(iconTexture_, "IconTexture");
  Release(device_, "Device");
}

bool DisplayEngine::ChooseZBuffer(gfx::DeviceType type) {
  gfx::DeviceCaps caps;
  if (Failed(device_->GetCaps(caps))) return false;
  if ((caps.triangleRasterCaps & gfx::kRasterCapsZBufferlessHsr) != 0) return true;

  gfx::SurfaceDesc d = renderTarget_->GetSurfaceDesc();
  d.flags = gfx::desc::kCaps | gfx::desc::kWidth | gfx::desc::kHeight | gfx::desc::kPixelFormat;
  bool hardware = type != gfx::DeviceType::Rgb;
  d.caps = gfx::caps::kZBuffer | (hardware ? gfx::caps::kVideoMemory : gfx::caps::kSystemMemory);
  const std::uint32_t colorDepth = d.format ? d.format->bitCount : 0;
  d.format.reset();  // no Z format found yet

  for (std::uint32_t wanted : {16u, colorDepth, 0u}) {
    direct3D_->EnumZBufferFormats(type, [&](const gfx::PixelFormat& f) {
      if ((f.flags & gfx::pf::kZBuffer) == 0) return true;
      if (wanted != 0 && f.bitCount != wanted) return true;
      d.format = f;
      return false;
    });
    if (d.format) break;
  }
  if (!d.format) return false;

  if (Failed(directDraw_->CreateSurface(d, renderTargetZ_))) return false;
  d.width = d.height = 64;
  if (Failed(directDraw_->CreateSurface(d, iconTargetZ_))) return false;
  return !Failed(renderTarget_->AddAttachedSurface(renderTargetZ_)) &&
         !Failed(iconTarget_->AddAttachedSurface(iconTargetZ_));
}

bool DisplayEngine::ChooseTextureFormat(bool hardware) {
  gfx::SurfaceDesc d;
  d.flags = gfx::desc::kCaps | gfx::desc::kHeight | gfx::desc::kWidth | gfx::desc::kPixelFormat |
            gfx::desc::kTextureStage;
  d.width = d.height = 128;
  d.textureStage = 0;
  d.caps = gfx::caps::kTexture | (hardware ? gfx::caps::kVideoMemory : gfx::caps::kSystemMemory);
  constexpr std::uint32_t kNotColour =
      gfx::pf::kLuminance | gfx::pf::kBumpLuminance | gfx::pf::kBumpDuDv;
  for (bool only16 : {true, false}) {
    device_->EnumTextureFormats([&](const gfx::PixelFormat& f) {
      if ((f.flags & kNotColour) != 0) return true;
      if (only16 && f.bitCount != 16) return true;
      d.format = f;
      return false;
    });
    if (d.format) break;
  }
  if (!d.format) return false;
  if (Failed(directDraw_->CreateSurface(d, iconTexture_))) return false;

  pixelLayout_.textureBytesPerPixel = d.format->bitCount / 8;
  pixelLayout_.textureRed = ChannelMaskOf(d.format->redMask);
  pixelLayout_.textureGreen = ChannelMaskOf(d.format->greenMask);
  pixelLayout_.textureBlue = ChannelMaskOf(d.format->blueMask);
  return true;
}

bool DisplayEngine::CreatePlainSurface(gfx::SurfacePtr& out, int width, int height,
                                       std::uint32_t extraCaps, bool keyed) {
  gfx::SurfaceDesc d;
  d.flags = gfx::desc::kCaps | gfx::desc::kHeight | gfx::desc::kWidth;
  d.width = width;
  d.height = height;
  d.caps = extraCaps | gfx::caps::kOffscreenPlain;
  if (keyed) {
    d.flags |= gfx::desc::kCkSrcBlt;
    d.srcColorKey = gfx::ColorKey{0, 0};
  }
  return directDraw_->CreateSurface(d, out) == Result::Ok;
}

bool DisplayEngine::CreateSurfaces() {
  gfx::VertexBufferDesc quad{0, gfx::fvf::kXyzRhw | gfx::fvf::kDiffuse, 6};
  if (Failed(direct3D_->CreateVertexBuffer(quad, backgroundQuad_, 0))) return false;
  if (!CreatePlainSurface(composeSurface_, kClientWidth, kClientHeight, 0, false)) return false;
  if (!CreatePlainSurface(backdrop_, kClientWidth, kClientHeight, 0, false)) return false;
  for (auto& slot : iconFrameCache_) {
    for (auto& cell : slot) {
      for (auto& frame : cell) {
        if (!CreatePlainSurface(frame, 64, 64, 0, false)) return false;
      }
    }
  }
  return CreatePlainSurface(titleSurface_, 260, 44, 0, true) &&
         CreatePlainSurface(textScratch_, 516, 22, 0, true) &&
         CreatePlainSurface(markerBall_, 16, 16, 0, true) &&
         CreatePlainSurface(scrollButtonSheet_, 48, 144, 0, false) &&
         CreatePlainSurface(actionButtonSheet_, 192, 128, 0, true) &&
         CreatePlainSurface(busyBanner_, 250, 60, 0, true) &&
         CreatePlainSurface(digitFont_, 140, 36, 0, true) &&
         CreatePlainSurface(moreArrows_, 32, 16, 0, true);
}

bool DisplayEngine::PrimaryLost() const {
  return primarySurface_ && primarySurface_->IsLost() == Result::SurfaceLost;
}

void DisplayEngine::RestoreSurfaces() {
  if (!directDraw_) return;
  directDraw_->RestoreAllSurfaces();
  LoadBitmaps();
}

template <typename T>
void DisplayEngine::Release(std::shared_ptr<T>& reference, std::string_view name) {
  if (!reference) return;
  if (releaseObserver_) releaseObserver_(name);
  reference.reset();
}

void DisplayEngine::ReleaseDisplay() {
  Release(iconTexture_, "IconTexture");
  for (int i = 0; i < kModelFrameCount; ++i) {
    if (modelFrames_[i]) Release(modelFrames_[i], Indexed("ModelFrames", {i}));
  }
  for (int s = 0; s < kSlots; ++s) {
    for (int c = 0; c < kCells; ++c) {
      for (int f = 0; f < kFramesPerCell; ++f) {
        auto& frame = iconFrameCache_[s][c][f];
        if (frame) Release(frame, Indexed("IconFrameCache", {s, c, f}));
      }
    }
  }
  Release(textScratch_, "TextScratch");
  Release(titleSurface_, "TitleSurface");
  Release(backgroundQuad_, "BackgroundQuad");
  Release(backdrop_, "Backdrop");
  Release(markerBall_, "MarkerBall");
  Release(scrollButtonSheet_, "ScrollButtonSheet");
  Release(digitFont_, "DigitFont");
  Release(busyBanner_, "BusyBanner");
  Release(actionButtonSheet_, "ActionButtonSheet");
  Release(moreArrows_, "MoreArrows");
  Release(device_, "Device");
  Release(direct3D_, "Direct3D");
  Release(clipper_, "Clipper");
  Release(renderTargetZ_, "RenderTargetZBuffer");
  Release(iconTargetZ_, "IconTargetZBuffer");
  Release(composeSurface_, "ComposeSurface");
  Release(iconTarget_, "IconTarget");
  Release(renderTarget_, "RenderTarget");
  Release(primarySurface_, "PrimarySurface");
  Release(directDraw_, "DirectDraw");
}

}  // namespace slk
