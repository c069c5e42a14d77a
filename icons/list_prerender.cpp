// Pre-rendering of the list's icon frames: every frame of every visible save
// is drawn once into a 64 x 64 surface of the IconFrameCache, so that the
// list animates by blitting, never by drawing a model per displayed frame.

#include <algorithm>

#include "icons/colour_key.h"
#include "icons/icon_pipeline.h"

namespace slk {

namespace {

constexpr std::uint32_t kCellSide = 64;
constexpr gfx::Color kClearColour = 0xFFFFFF;

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
  const gfx::SurfacePtr& target = engine_.IconTarget();
  device->Clear({}, gfx::clear::kTarget | gfx::clear::kZBuffer, kClearColour, 1.0f, 0);
  DrawMesh(mesh);

  // The icon's own pixels decide the key; then the background is made of
  // the key alone by drawing the icon again over a target filled with it.
  std::uint32_t key = kKeySearchLimit;
  gfx::LockedRect locked;
  if (target->Lock(locked) == gfx::Result::Ok) {
    const std::uint32_t bpp = engine_.PixelLayout().primaryBytesPerPixel;
    key = ChooseKeyColour(locked.bits, locked.pitch, kCellSide, kCellSide, bpp);
    FillWithKey(locked.bits, locked.pitch, kCellSide, kCellSide, bpp, key);
    target->Unlock();
  }
  device->Clear({}, gfx::clear::kZBuffer, 0, 1.0f, 0);
  DrawMesh(mesh);

  const gfx::SurfacePtr& cached = engine_.IconFrameCache()[slot][cell][frame];
  if (!cached) return;
  cached->BltFast(0, 0, *target, std::nullopt, gfx::bltfast::kWait);
  cached->SetColorKey(gfx::ColorKey{key, key});
}

void IconPipeline::PrerenderSlotIcons(Slot slot, std::uint32_t first) {
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
  for (std::uint32_t c = 0; c < visible; ++c) {
    const std::uint32_t entryIndex = data.rows[first + c];
    DecodeIconOrStandard(slot, entryIndex);
    const CurrentIcon& icon = ws_.Icon();
    // A PS2 icon's key shapes are every fourth mesh. A cell shows at least
    // one frame, transparent when no icon at all could be built, so that the
    // list clock always has something to count.
    const std::uint32_t stride = MeshStride();
    const std::uint32_t frames = std::clamp<std::uint32_t>(icon.frameCount, 1, kListFramesPerCell);
    ws_.CellFrameCount()[slot][c] = frames;
    for (std::uint32_t f = 0; f < frames; ++f)
      RenderCellFrame(slot, c, f, std::min(f * stride, DisplayEngine::kModelFrameCount - 1u));
  }
  device->SetRenderTarget(engine_.RenderTarget(), 0);
}

}  // namespace slk
