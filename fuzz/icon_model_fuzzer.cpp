// The PS2 icon model decoder, as the list and detail screen use it: the input
// is the list icon of a PS2 save. It builds exactly when the model parser
// takes it, and then with every vertex record inside the file, at most 40
// shapes of four meshes, finite vertices and, for a textured model, the
// picture the parser made; refused, nothing is built and the standard icon
// stands in. Either way the list pre-renders. The run-length texture decoder
// is also fed the input on its own: it never writes past the picture and
// leaves the texels after the ones it reports alone.

#include <algorithm>
#include <memory>

#include "harness/fuzz_check.h"
#include "harness/icon_stage.h"
#include "icons/icon_model.h"

namespace {

void CheckRunLengthDecoder(std::span<const std::uint8_t> input) {
  auto image = slk::fuzz::UntouchedImage();
  std::size_t written = slk::DecodeRunLengthTexture(input, *image);
  FUZZ_CHECK(written <= slk::kIconImageTexels);
  FUZZ_CHECK(slk::fuzz::UntouchedFrom(*image, written));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slk::fuzz;
  namespace m = slk::iconmodel;
  std::span<const std::uint8_t> input(data, size);
  CheckRunLengthDecoder(input);

  auto parsedImage = std::make_unique<slk::IconImage>();
  auto model = slk::ParseIconModel(input, *parsedImage);
  if (model) {
    FUZZ_CHECK(model->shapeCount >= 1 && model->shapeCount <= m::kMaxShapes);
    FUZZ_CHECK(model->shapeCount == std::min(model->fileShapeCount, m::kMaxShapes));
    const std::uint64_t record = m::kShapePositionSize * model->fileShapeCount + m::kVertexTailSize;
    FUZZ_CHECK(m::kHeaderSize + record * model->vertexCount <= size);
  }

  IconStage& stage = IconStage::Get();
  stage.ResetSlot(slk::CardKind::PS2);
  std::uint32_t entry = stage.AddSave(input, false);
  const bool built = stage.Pipeline().DecodeIcon(slk::kLeft, entry) == 1;
  FUZZ_CHECK(built == model.has_value());
  CheckBuiltIcon(stage, built, 4);
  if (built) {
    const slk::CurrentIcon& icon = stage.Ws().Icon();
    FUZZ_CHECK(icon.frameCount == model->shapeCount && icon.vertexCount == model->vertexCount);
    FUZZ_CHECK((icon.textured != 0) == model->textured);
    if (model->textured) FUZZ_CHECK(stage.Pipeline().StagingImage() == *parsedImage);
  }
  CheckListPrerender(stage, built ? model->shapeCount : 0);
  FUZZ_CHECK(stage.Sink().shown.empty());
  return 0;
}
