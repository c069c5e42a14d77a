#include "icon_stage.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "card/utility.h"
#include "fuzz_check.h"
#include "icons/icon_model.h"

namespace slk::fuzz {
namespace {

gfx::DesktopOptions SmallDesktop() {
  gfx::DesktopOptions options;
  options.width = 640;
  options.height = 400;
  options.format = gfx::PixelFormat::ForDesktopBits(16);
  return options;
}

}  // namespace

IconStage& IconStage::Get() {
  static IconStage stage;
  return stage;
}

IconStage::IconStage() : desktop_(SmallDesktop()), window_(desktop_, {20, 10}) {
  FUZZ_CHECK(engine_.InitDisplay(window_, false));
  pipeline_ = std::make_unique<IconPipeline>(engine_, ws_, SLOTKEEPER_STANDARD_ICON);
  // Without a font the titles are measured and drawn as nothing; the rest
  // of the checks still run.
  std::string error;
  renderer_ = platform::TextRenderer::Create(&error);
  text_ = std::make_unique<TextDrawing>(engine_, renderer_.get());
  panels_ = std::make_unique<Panels>(engine_, shell_, ws_, *text_);
}

IconStage::~IconStage() {
  panels_.reset();
  pipeline_.reset();
  engine_.ReleaseDisplay();
}

void IconStage::ResetSlot(CardKind kind) {
  ws_.CloseSlot(kLeft);
  FUZZ_CHECK(ws_.CreateSlotStore(kLeft, 0) == 1);
  ws_.At(kLeft).kind = kind;
  sink_.shown.clear();
}

std::uint32_t IconStage::AddSave(std::span<const std::uint8_t> bytes, bool ps1) {
  FUZZ_CHECK(ws_.AddEntry(kLeft, bytes.size()));
  SaveEntry& e = ws_.At(kLeft).entries.back();
  e.size = static_cast<std::uint32_t>(bytes.size());
  if (ps1) {
    e.mode = kModePS1Directory;
    e.name = CardFileName(AsBytes("BASLUS-00000ICON"));
    e.files = {SaveFileEntry{kModePS1File, e.size, e.time, e.name}};
  } else {
    // A PS2 save of one file that its icon.sys names as every icon.
    e.mode = 0x8427;
    Name64 icon = CardFileName(AsBytes("list.ico"));
    e.name = CardFileName(AsBytes("BASLUS-00000ICON"));
    e.files = {SaveFileEntry{0x8497, e.size, e.time, icon}};
    ws_.IconNames().fill(icon);
  }
  e.entryCount = static_cast<std::uint32_t>(e.files.size() + 2);
  platform::File& data = ws_.At(kLeft).dataFile;
  FUZZ_CHECK(data.Seek(e.offset));
  FUZZ_CHECK(data.WriteExact(bytes.data(), bytes.size()));
  ws_.ResolveIcons(kLeft, e);
  FUZZ_CHECK(e.useStandardIcon == 0);
  ws_.ListLastEntry(kLeft);
  return ws_.At(kLeft).EntryCount() - 1;
}

void CheckBuiltIcon(IconStage& stage, bool built, std::uint32_t meshStride) {
  const CurrentIcon& icon = stage.Ws().Icon();
  const DisplayEngine::ModelFrameArray& meshes = stage.Engine().ModelFrames();
  if (!built) {
    FUZZ_CHECK(icon.frameCount == 0 && icon.meshCount == 0 && icon.vertexCount == 0);
    for (const gfx::VertexBufferPtr& mesh : meshes) FUZZ_CHECK(!mesh);
    return;
  }
  FUZZ_CHECK(icon.frameCount >= 1 && icon.vertexCount >= 1);
  FUZZ_CHECK(icon.meshCount == icon.frameCount * meshStride);
  FUZZ_CHECK(icon.meshCount <= meshes.size());
  for (std::size_t k = 0; k < meshes.size(); ++k) {
    const gfx::VertexBufferPtr& mesh = meshes[k];
    if (k >= icon.meshCount) {
      FUZZ_CHECK(!mesh);
      continue;
    }
    FUZZ_CHECK(mesh && mesh->VertexCount() == icon.vertexCount && !mesh->IsLocked());
    FUZZ_CHECK(mesh->Stride() == kMeshVertexSize);
    std::span<const std::uint8_t> bytes = mesh->Bytes();
    // Position and normal, then a texture co-ordinate (two floats) or two
    // colours: the rasteriser must never be handed a NaN or an infinity.
    const std::size_t floats = icon.textured != 0 ? 8 : 6;
    for (std::size_t v = 0; v < icon.vertexCount; ++v) {
      for (std::size_t i = 0; i < floats; ++i) {
        float value;
        std::memcpy(&value, bytes.data() + v * kMeshVertexSize + 4 * i, sizeof value);
        FUZZ_CHECK(std::isfinite(value));
      }
    }
  }
}

std::unique_ptr<IconImage> UntouchedImage() {
  auto image = std::make_unique<IconImage>();
  image->fill(kUntouched);
  return image;
}

bool UntouchedFrom(const IconImage& image, std::size_t first) {
  return std::all_of(image.begin() + static_cast<std::ptrdiff_t>(std::min(first, image.size())),
                     image.end(), [](ConsoleColour c) { return c == kUntouched; });
}

void CheckListPrerender(IconStage& stage, std::uint32_t frames) {
  stage.Pipeline().PrerenderSlotIcons(kLeft, 0);
  const std::uint32_t shown = stage.Ws().CellFrameCount()[kLeft][0];
  FUZZ_CHECK(shown >= 1 && shown <= kListFramesPerCell);
  if (frames != 0) FUZZ_CHECK(shown == std::min(frames, kListFramesPerCell));
}
}  // namespace slk::fuzz

// Every icon target links this: the display and the font are made before
// fuzzing starts, so that what they keep for good is never taken for a leak
// of the first input.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  slk::fuzz::IconStage::Get();
  return 0;
}
