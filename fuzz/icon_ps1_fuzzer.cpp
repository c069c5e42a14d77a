// The PS1 icon decoder, on its own and as the list and detail screen use it.
// On its own: a refusal leaves the picture alone and happens only when the
// bytes end before the last frame; every texel shows the grey fill or a
// colour of the icon's palette; bytes after the frames change nothing. In
// the pipeline: the input is the first block of a PS1 save, which always
// holds a whole icon, so it always builds, with one slab mesh per frame, and
// its frames pre-render into the list.

#include <algorithm>
#include <set>
#include <vector>

#include "card/ps1_card.h"
#include "harness/fuzz_check.h"
#include "harness/icon_stage.h"
#include "icons/ps1_icon.h"

namespace {

using slk::IconImage;

void CheckDecoderAlone(std::span<const std::uint8_t> input) {
  auto image = slk::fuzz::UntouchedImage();
  auto frames = slk::DecodePS1Image(input, *image);
  if (input.size() <= slk::ps1icon::kFlagOffset) {
    FUZZ_CHECK(!frames);
  }
  if (!frames) {
    FUZZ_CHECK(slk::fuzz::UntouchedFrom(*image, 0));
    if (input.size() > slk::ps1icon::kFlagOffset) {
      std::uint32_t wanted = slk::PS1FrameCount(input[slk::ps1icon::kFlagOffset]);
      FUZZ_CHECK(input.size() < slk::ps1icon::kBitmapOffset + wanted * slk::ps1icon::kBitmapSize);
    }
    return;
  }
  FUZZ_CHECK(*frames >= 1 && *frames <= slk::ps1icon::kMaxFrames);
  FUZZ_CHECK(*frames == slk::PS1FrameCount(input[slk::ps1icon::kFlagOffset]));

  std::set<slk::ConsoleColour> allowed{slk::ps1icon::kFillColour};
  for (std::size_t i = 0; i < 16; ++i) {
    std::size_t at = slk::ps1icon::kPaletteOffset + 2 * i;
    allowed.insert(static_cast<slk::ConsoleColour>(input[at] | input[at + 1] << 8));
  }
  for (slk::ConsoleColour c : *image) FUZZ_CHECK(allowed.count(c) == 1);

  std::vector<std::uint8_t> longer(input.begin(), input.end());
  longer.resize(input.size() + 300, 0x5C);
  auto again = std::make_unique<IconImage>();
  auto framesAgain = slk::DecodePS1Image(longer, *again);
  FUZZ_CHECK(framesAgain == frames && *again == *image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slk::fuzz;
  std::span<const std::uint8_t> input(data, size);
  CheckDecoderAlone(input);

  std::vector<std::uint8_t> block(slk::kBlockSize, 0);
  std::copy_n(input.begin(), std::min<std::size_t>(size, block.size()), block.begin());
  IconStage& stage = IconStage::Get();
  stage.ResetSlot(slk::CardKind::PS1);
  std::uint32_t entry = stage.AddSave(block, true);
  FUZZ_CHECK(stage.Pipeline().DecodeIcon(slk::kLeft, entry) == 1);
  CheckBuiltIcon(stage, true, 1);
  const std::uint32_t frames = stage.Ws().Icon().frameCount;
  FUZZ_CHECK(frames == slk::PS1FrameCount(block[slk::ps1icon::kFlagOffset]));
  CheckListPrerender(stage, frames);
  FUZZ_CHECK(stage.Sink().shown.empty());
  return 0;
}
