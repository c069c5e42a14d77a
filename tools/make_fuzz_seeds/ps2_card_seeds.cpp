// Seeds of the PS2 card target: small cards of 64 clusters, empty and with
// several synthetic saves (one deleted so that a chain is fragmented), in
// both forms.

#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_card_image.h"
#include "seeds.h"

namespace slk::tools {
namespace {

constexpr std::uint32_t kSeedPages = 128;
constexpr ps2::CardTime kSeedTime{0, 0, 0, 12, 1, 1, 0xE8, 0x07};

std::vector<std::uint8_t> Filled(std::size_t n, std::uint8_t value) {
  return std::vector<std::uint8_t>(n, value);
}

bool SeedCard(const Corpus& corpus, ps2::Form form, const std::string& name) {
  std::vector<std::uint8_t> empty = ps2::FormatCard({form, kSeedPages, kSeedTime});
  if (!corpus.Add("empty-" + name, empty)) return false;
  platform::Problem why;
  auto card = ps2::Ps2CardImage::Open(std::move(empty), why);
  if (!card) return false;
  auto a = Filled(3000, 0x11), b = Filled(700, 0x22), c = Filled(5000, 0x33);
  auto add = [&](const char* save, const std::vector<std::uint8_t>& bytes) {
    ps2::NewSave s;
    s.name = save;
    s.files = {{"icon.sys", 0x8497, {}, {}, bytes}, {"empty", 0x8497, {}, {}, {}}};
    return card->AddSave(s).result == ps2::AddResult::Added;
  };
  return add("BASLUS-SEED1", a) && add("BASLUS-SEED2", b) && card->DeleteSave("BASLUS-SEED1") &&
         add("BASLUS-SEED3", c) && corpus.Add("saves-" + name, card->Serialize());
}

}  // namespace

bool WritePs2CardSeeds(const SeedFolders& folders) {
  const Corpus& corpus = folders.For("fuzz_card_ps2");
  return SeedCard(corpus, ps2::Form::WithEcc, "ecc.ps2") &&
         SeedCard(corpus, ps2::Form::WithoutEcc, "plain.ps2");
}

}  // namespace slk::tools
