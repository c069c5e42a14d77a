// Pre-rendering of the list's icon frames: every frame of every visible save
// is drawn once into a 64 x 64 surface of the IconFrameCache, so that the
// list animates by blitting, never by drawing a model per displayed frame.

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "icons/colour_key.h"
#include "icons/icon_pipeline.h"

namespace slk {

namespace {

constexpr std::uint32_t kCellSide = 64;
constexpr gfx::Color kClearColour = 0xFFFFFF;

// A square of a surface locked for the length of a scope.
class SurfaceLock {
 public:
  explicit SurfaceLock(gfx::Surface& surface) : surface_(surface) {
    ok_ = surface_.Lock(rect_) == gfx::Result::Ok;
  }
  SurfaceLock(const SurfaceLock&) = delete;
  SurfaceLock& operator=(const SurfaceLock&) = delete;
  ~SurfaceLock() {
    if (ok_) surface_.Unlock();
  }
  bool Ok() const { return ok_; }
  PixelPlane Plane(int side, std::uint32_t bytesPerPixel) const {
    return PixelPlane{rect_.bits, rect_.pitch, bytesPerPixel, side, side};
  }

 private:
  gfx::Surface& surface_;
  gfx::LockedRect rect_;
  bool ok_ = false;
};

}  // namespace

void IconPipeline::DrawMesh(std::uint32_t mesh) {
  const gfx::DevicePtr& device = engine_.Device();
  const gfx::VertexBufferPtr& buffer = engine_.ModelFrames()[mesh];
  device->BeginScene();
  if (buffer) {
    device->DrawPrimitiveVB(gfx::PrimitiveType::TriangleList, *buffer, 0, ws_.Icon().vertexCount,
                            0);
  }
  device->EndScene();
}

void IconPipeline::RenderCellFrame(Slot slot, std::uint32_t cell, std::uint32_t frame,
                                   std::uint32_t mesh) {
  const gfx::DevicePtr& device = engine_.Device();
  gfx::Surface& target = *engine_.IconTarget();
  gfx::Surface* depth = target.AttachedZBuffer().get();
  const std::uint32_t bpp = engine_.PixelLayout().primaryBytesPerPixel;
  device->Clear({}, gfx::clear::kTarget | gfx::clear::kZBuffer, kClearColour, 1.0f, 0);

  // What an untouched pixel holds, to tell the background from the icon.
  std::optional<std::pair<std::uint32_t, std::uint32_t>> cleared;
  if (depth != nullptr) {
    SurfaceLock colourLock(target), depthLock(*depth);
    if (colourLock.Ok() && depthLock.Ok()) {
      cleared.emplace(colourLock.Plane(kCellSide, bpp).At(0, 0),
                      depthLock.Plane(kCellSide, depth->Format().BytesPerPixel()).At(0, 0));
    }
  }
  DrawMesh(mesh);

  // The icon's own pixels decide the key; then the background is made of
  // the key alone. Without a depth to tell the background by, the target is
  // filled with the key and the icon drawn over it again.
  std::uint32_t key = kKeySearchLimit;
  bool background = false;
  {
    SurfaceLock colourLock(target);
    if (colourLock.Ok()) {
      PixelPlane pixels = colourLock.Plane(kCellSide, bpp);
      key = ChooseKeyColour(pixels);
      if (cleared) {
        SurfaceLock depthLock(*depth);
        if (depthLock.Ok()) {
          FillBackgroundWithKey(pixels, depthLock.Plane(kCellSide, depth->Format().BytesPerPixel()),
                                cleared->first, cleared->second, key);
          background = true;
        }
      }
      if (!background) FillWithKey(pixels, key);
    }
  }
  if (!background) {
    device->Clear({}, gfx::clear::kZBuffer, 0, 1.0f, 0);
    DrawMesh(mesh);
  }

  const gfx::SurfacePtr& cached = engine_.IconFrameCache()[slot][cell][frame];
  if (!cached) return;
  cached->BltFast(0, 0, target, std::nullopt, gfx::bltfast::kWait);
  cached->SetColorKey(gfx::ColorKey{key, key});
}

void IconPipeline::PrerenderSlotIcons(Slot slot, std::uint32_t first, ListFrames which) {
  const gfx::DevicePtr& device = engine_.Device();
  if (!device || !engine_.IconTarget()) return;
  device->SetTransform(gfx::TransformState::World, engine_.ListIconWorld());
  device->SetRenderTarget(engine_.IconTarget(), 0);
  SetViewportRect(0, 0, kCellSide, kCellSide);

  const SlotData& data = ws_.At(slot);
  // The difference is taken unsigned: a first row past the end renders
  // nothing rather than wrapping round.
  const std::uint32_t rows = data.RowCount();
  const std::uint32_t visible = first < rows ? std::min<std::uint32_t>(rows - first, 9) : 0;
  // The first frames alone need only the first key shape's mesh.
  keyShapes_ = which == ListFrames::FirstOnly ? 1 : std::numeric_limits<std::uint32_t>::max();
  for (std::uint32_t c = 0; c < visible; ++c) {
    const std::uint32_t entryIndex = data.rows[first + c];
    DecodeIconOrStandard(slot, entryIndex);
    const CurrentIcon& icon = ws_.Icon();
    // A PS2 icon's key shapes are every fourth mesh. A cell shows at least
    // one frame, transparent when no icon at all could be built, so that the
    // list clock always has something to count.
    const std::uint32_t stride = MeshStride();
    const std::uint32_t frames = std::clamp<std::uint32_t>(icon.frameCount, 1, kListFramesPerCell);
    // Until the rest are drawn the cell shows its first frame only.
    ws_.CellFrameCount()[slot][c] = which == ListFrames::FirstOnly ? 1 : frames;
    const std::uint32_t from = which == ListFrames::Rest ? 1 : 0;
    const std::uint32_t to = which == ListFrames::FirstOnly ? 1 : frames;
    for (std::uint32_t f = from; f < to; ++f)
      RenderCellFrame(slot, c, f, std::min(f * stride, DisplayEngine::kModelFrameCount - 1u));
  }
  keyShapes_ = 0;
  device->SetRenderTarget(engine_.RenderTarget(), 0);
}

}  // namespace slk
