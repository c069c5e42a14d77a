// .ps2/.mc2/.vmc: the PS2 memory card image, read, checked, then changed in
// place. Seeds are small cards (64 clusters) holding several saves.

#include <algorithm>

#include "card/ps2/ps2_card_image.h"
#include "harness/fuzz_check.h"

namespace {

using slk::ps2::Ps2CardImage;

void CheckListing(const Ps2CardImage& card, std::size_t inputSize) {
  FUZZ_CHECK(card.FreeBytes() <= inputSize);
  FUZZ_CHECK(card.Damaged() == slk::ps2::HasDamage(card.Check()));
  for (const slk::ps2::Ps2Save& save : card.ListSaves()) {
    for (const slk::ps2::Ps2File& file : save.files) {
      std::vector<std::uint8_t> bytes = card.ReadFile(file);
      FUZZ_CHECK(bytes.size() <= file.size);
      FUZZ_CHECK(bytes.size() <= inputSize);
      FUZZ_CHECK(file.damaged || file.isDirectory || bytes.size() == file.size);
    }
  }
}

Ps2CardImage Reopen(const Ps2CardImage& card) {
  slk::platform::Problem why;
  auto again = Ps2CardImage::Open(card.Serialize(), why);
  FUZZ_CHECK(again.has_value());
  return std::move(*again);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> input(data, data + size);
  slk::platform::Problem why;
  auto card = Ps2CardImage::Open(input, why);
  if (!card) {
    FUZZ_CHECK(why.reason != slk::platform::Reason::None);
    return 0;
  }
  FUZZ_CHECK(card->Serialize() == input);
  CheckListing(*card, size);

  // Read as the slot reads it, the pages whose codes match noted piece by
  // piece (pieces of a few pages here, so that small cards have several):
  // the same faults and saves.
  slk::ps2::PagesWithMatchingCodes known(size);
  const std::size_t piece = (slk::ps2::kPageSize + slk::ps2::kSpareSize) * (1 + size % 5);
  for (std::size_t at = 0; at < size; at += piece)
    known.Note(at, std::span<const std::uint8_t>(input).subspan(at, std::min(piece, size - at)));
  auto noted = Ps2CardImage::Open(input, why, &known);
  FUZZ_CHECK(noted.has_value());
  FUZZ_CHECK(noted->Check() == card->Check());
  FUZZ_CHECK(noted->ListSaves().size() == card->ListSaves().size());

  // Deleting the first save frees space and leaves a card that opens. On a
  // damaged card another broken chain that stopped at the save's clusters
  // may run on into clusters that read as free, so only a sound card must
  // gain space.
  if (!card->ListSaves().empty()) {
    std::string name = card->ListSaves().front().name;
    std::uint64_t freeBefore = card->FreeBytes();
    bool damaged = card->Damaged();
    FUZZ_CHECK(card->DeleteSave(name));
    FUZZ_CHECK(damaged || card->FreeBytes() >= freeBefore);
    FUZZ_CHECK(card->Serialize().size() == size);
    CheckListing(Reopen(*card), size);
  }

  // A save that is added reads back the same from the written bytes.
  const std::vector<std::uint8_t> data1(1500, 0xA5);
  const std::vector<std::uint8_t> data2(10, 0x5A);
  slk::ps2::NewSave save;
  save.name = "FUZZ-SAVE";
  save.files = {{"icon.sys", 0x8497, {}, {}, data1}, {"data", 0x8497, {}, {}, data2}};
  std::vector<std::uint8_t> before = card->Serialize();
  slk::ps2::AddOutcome out = card->AddSave(save);
  FUZZ_CHECK(card->Serialize().size() == size);
  if (out.result != slk::ps2::AddResult::Added) {
    FUZZ_CHECK(card->Serialize() == before);
    return 0;
  }
  Ps2CardImage again = Reopen(*card);
  const slk::ps2::Ps2Save* added = again.FindSave(save.name);
  FUZZ_CHECK(added != nullptr && added->files.size() == 2);
  FUZZ_CHECK(again.ReadFile(added->files[0]) == data1);
  FUZZ_CHECK(again.ReadFile(added->files[1]) == data2);
  CheckListing(again, size);
  return 0;
}
