// The detail screen of one save: composed once per opened save onto the
// RenderTarget and kept as a snapshot in the ComposeSurface; the rendering
// thread then only restores the snapshot and draws the spinning model.

#include "icons/detail_screen.h"

#include <algorithm>
#include <bit>

#include "card/utility.h"
#include "icons/icon_pipeline.h"
#include "platform/bytes.h"

namespace slk {

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 312;
constexpr int kTextColumn = 252;
constexpr int kTextColumnWidth = 260;
constexpr gfx::Point kTitleBox{252, 66};
constexpr int kDateRow = 111;
constexpr int kTimeRow = 133;
constexpr std::array<int, 3> kNumberRightEdges = {416, 456, 496};
constexpr gfx::Point kSizeNumber{468, 155};

constexpr std::size_t kQuadVertexSize = 20;
// x, y and which background colour, in the quad's vertex order: two
// triangles over the whole target.
struct QuadCorner {
  float x, y;
  std::size_t colour;
};
constexpr std::array<QuadCorner, 6> kQuadCorners = {{{0, 0, 0},
                                                     {kWidth, 0, 1},
                                                     {0, kHeight, 2},
                                                     {kWidth, 0, 1},
                                                     {0, kHeight, 2},
                                                     {kWidth, kHeight, 3}}};

std::span<const std::uint8_t> Text(std::string_view s) {
  return AsBytes(s);
}

}  // namespace

std::span<const std::uint8_t> DetailCaption(const SaveEntry& entry, const ListTexts& texts) {
  std::span<const std::uint8_t> caption =
      Text(entry.IsPS1() ? texts.ps1SaveData : texts.ps2SaveData);
  return caption.first(std::min(caption.size(), texts.ps2SaveData.size()));
}

void IconPipeline::FillBackgroundQuad(Slot slot, std::uint32_t entryIndex) {
  const gfx::VertexBufferPtr& quad = engine_.BackgroundQuad();
  const SlotData& data = ws_.At(slot);
  if (!quad || entryIndex >= data.EntryCount()) return;
  const SaveEntry& entry = data.entries[entryIndex];
  std::span<std::uint8_t> bytes;
  if (quad->Lock(bytes) != gfx::Result::Ok) return;
  for (std::size_t i = 0; i < kQuadCorners.size() && (i + 1) * kQuadVertexSize <= bytes.size();
       ++i) {
    std::uint8_t* v = bytes.data() + i * kQuadVertexSize;
    const QuadCorner& c = kQuadCorners[i];
    platform::PutU32LE(v, std::bit_cast<std::uint32_t>(c.x));
    platform::PutU32LE(v + 4, std::bit_cast<std::uint32_t>(c.y));
    platform::PutU32LE(v + 8, std::bit_cast<std::uint32_t>(0.0f));
    platform::PutU32LE(v + 12, std::bit_cast<std::uint32_t>(1.0f));
    platform::PutU32LE(v + 16, entry.backgroundColours[c.colour]);
  }
  quad->Unlock();
}

void IconPipeline::DrawDetailBackground() {
  const gfx::DevicePtr& device = engine_.Device();
  device->BeginScene();
  SetViewportRect(0, 0, kWidth, kHeight);
  device->Clear({}, gfx::clear::kZBuffer, 0, 1.0f, 0);
  device->SetTexture(0, nullptr);
  // Source alpha over the list: it shows faintly through the gradient.
  device->SetRenderState(gfx::RenderState::AlphaBlendEnable, 1);
  if (engine_.BackgroundQuad())
    device->DrawPrimitiveVB(gfx::PrimitiveType::TriangleList, *engine_.BackgroundQuad(), 0, 6, 0);
  device->SetRenderState(gfx::RenderState::AlphaBlendEnable, 0);
  device->EndScene();
}

void IconPipeline::DrawDetailTexts(gfx::Surface& target, const SaveEntry& entry) {
  if (drawing_ == nullptr || texts_ == nullptr) return;
  drawing_->DrawOutlinedText(0, 11, target, DetailCaption(entry, *texts_), kCaptionColours, kWidth);
  std::span<const std::uint8_t> name(entry.name.data(), BoundedLength(entry.name));
  drawing_->DrawOutlinedText(kTextColumn, 44, target, name, kLabelColours, kTextColumnWidth);
  if (engine_.TitleSurface()) {
    target.BltFast(kTitleBox.x, kTitleBox.y, *engine_.TitleSurface(), std::nullopt,
                   gfx::bltfast::kSrcColorKey | gfx::bltfast::kWait);
  }
  drawing_->DrawOutlinedText(kTextColumn, 110, target, Text(texts_->upData), kLabelColours, 0);
  drawing_->DrawOutlinedText(kTextColumn, 154, target, Text(texts_->size), kLabelColours, 0);
}

void IconPipeline::DrawDetailNumbers(gfx::Surface& target, const SaveEntry& entry) {
  if (drawing_ == nullptr) return;
  const TimeStamp& t = entry.time;
  const std::array<std::uint32_t, 3> date = {t.Year(), t.Month(), t.Day()};
  const std::array<std::uint32_t, 3> time = {t.Hour(), t.Minute(), t.Second()};
  for (std::size_t k = 0; k < 3; ++k) {
    const int x = kNumberRightEdges[k];
    // The separator glyphs start where the number before them ends.
    drawing_->DrawNumber(x, kDateRow, target, date[k], k == 0 ? 4 : 2);
    drawing_->DrawNumber(x, kTimeRow, target, time[k], 2);
    if (k == 2) break;
    drawing_->DrawGlyph(x, kDateRow, target, kSlashGlyph);
    drawing_->DrawGlyph(x, kTimeRow, target, kColonGlyph);
  }
  drawing_->DrawNumber(kSizeNumber.x, kSizeNumber.y, target, DetailSizeKB(entry), 0);
  drawing_->DrawGlyph(kSizeNumber.x, kSizeNumber.y, target, kKiloByteGlyph);
}

std::uint32_t IconPipeline::BuildDetailScreen(Slot slot, std::uint32_t entryIndex) {
  const gfx::SurfacePtr& target = engine_.RenderTarget();
  const gfx::DevicePtr& device = engine_.Device();
  const SlotData& data = ws_.At(slot);
  if (!target || !device || !engine_.ComposeSurface() || entryIndex >= data.EntryCount()) return 0;
  const SaveEntry& entry = data.entries[entryIndex];
  device->SetRenderTarget(target, 0);

  target->BltFast(0, 0, *engine_.ComposeSurface(), std::nullopt, gfx::bltfast::kWait);
  FillBackgroundQuad(slot, entryIndex);
  DrawDetailBackground();
  DrawDetailTexts(*target, entry);
  DrawDetailNumbers(*target, entry);
  if (engine_.MarkerBall()) {
    for (const gfx::Point& at : kDetailCornerBalls) {
      target->BltFast(at.x, at.y, *engine_.MarkerBall(), std::nullopt,
                      gfx::bltfast::kSrcColorKey | gfx::bltfast::kWait);
    }
  }
  engine_.ComposeSurface()->BltFast(0, 0, *target, std::nullopt, gfx::bltfast::kWait);
  SetViewportRect(kDetailModelViewport[0], kDetailModelViewport[1], kDetailModelViewport[2],
                  kDetailModelViewport[3]);

  const std::uint32_t result = DecodeIconOrStandard(slot, entryIndex);
  if (counters_ != nullptr) {
    counters_->spinAngle = 0;
    counters_->modelFrame = 0;
  }
  return result;
}

}  // namespace slk
