// The save formats of other tools (.max, .cbs, .sps/.xps, .psv, .vmp, .mcs,
// raw PS1 saves) and the LZARI decoder, one target each, chosen by the
// FUZZ_FORMAT_* definition the target is built with.

#include <cstring>

#include "card/formats/codecs.h"
#include "card/formats/save_formats.h"
#include "harness/fuzz_check.h"

namespace {

using namespace slk::formats;

template <typename Save, typename Read, typename Write>
[[maybe_unused]] void RoundTrip(const Save& save, Read read, Write write) {
  slk::platform::Problem why;
  slk::formats::Bytes written = write(save);
  auto again = read(written, why);
  FUZZ_CHECK(again.has_value());
  FUZZ_CHECK(write(*again) == written);
}

[[maybe_unused]] std::size_t Ps2Bytes(const Ps2SaveData& save) {
  std::size_t n = 0;
  for (const Ps2SaveFile& f : save.files) n += f.bytes.size();
  return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ByteView input(data, size);
  slk::platform::Problem why;
#if defined(FUZZ_FORMAT_LZARI)
  if (size < 2) return 0;
  std::size_t want = static_cast<std::size_t>(data[0] | data[1] << 8);
  auto out = LzariDecode(input.subspan(2), want);
  FUZZ_CHECK(!out || out->size() == want);
  return 0;
#elif defined(FUZZ_FORMAT_MAX) || defined(FUZZ_FORMAT_CBS) || defined(FUZZ_FORMAT_SPS)
#if defined(FUZZ_FORMAT_MAX)
  auto save = ReadMaxSave(input, why);
#elif defined(FUZZ_FORMAT_CBS)
  auto save = ReadCbsSave(input, why);
#else
  auto save = ReadSharkPortSave(input, why);
#endif
  if (!save) {
    FUZZ_CHECK(why.reason != slk::platform::Reason::None);
    return 0;
  }
  FUZZ_CHECK(Ps2Bytes(*save) <= kMaxSaveBytes);
#if defined(FUZZ_FORMAT_SPS)
  FUZZ_CHECK(Ps2Bytes(*save) <= size);
#endif
  RoundTrip(*save, ReadCbsSave, WriteCbsSave);
  auto readPsv = [](ByteView b, slk::platform::Problem& w) -> std::optional<Ps2SaveData> {
    auto psv = ReadPsvSave(b, w);
    if (!psv) return std::nullopt;
    return psv->ps2;
  };
  RoundTrip(*save, readPsv, [](const Ps2SaveData& s) { return WritePsvSave(s); });
  if (Ps2Bytes(*save) < 65536) RoundTrip(*save, ReadMaxSave, WriteMaxSave);
  return 0;
#elif defined(FUZZ_FORMAT_PSV)
  auto psv = ReadPsvSave(input, why);
  if (!psv) {
    FUZZ_CHECK(why.reason != slk::platform::Reason::None);
    return 0;
  }
  FUZZ_CHECK(psv->ps1.has_value() != psv->ps2.has_value());
  if (psv->ps1) {
    FUZZ_CHECK(psv->ps1->blocks.size() <= size);
    auto again = ReadPsvSave(WritePsvSave(*psv->ps1), why);
    FUZZ_CHECK(again && again->signatureValid && again->ps1->blocks == psv->ps1->blocks);
  } else {
    FUZZ_CHECK(Ps2Bytes(*psv->ps2) <= size);
    auto again = ReadPsvSave(WritePsvSave(*psv->ps2), why);
    FUZZ_CHECK(again && again->signatureValid &&
               again->ps2->files.size() == psv->ps2->files.size());
  }
  return 0;
#elif defined(FUZZ_FORMAT_VMP)
  auto vmp = ReadVmpCard(input, why);
  if (!vmp) {
    FUZZ_CHECK(why.reason != slk::platform::Reason::None);
    return 0;
  }
  FUZZ_CHECK(vmp->card.size() == kPs1CardSize);
  auto again = ReadVmpCard(WriteVmpCard(vmp->card), why);
  FUZZ_CHECK(again && again->signatureValid && again->card == vmp->card);
  return 0;
#elif defined(FUZZ_FORMAT_PS1)
  auto mcs = ReadMcsSave(input, why);
  if (mcs) {
    FUZZ_CHECK(mcs->blocks.size() % kPs1BlockSize == 0 && mcs->blocks.size() <= size);
    auto again = ReadMcsSave(WriteMcsSave(*mcs), why);
    FUZZ_CHECK(again && again->blocks == mcs->blocks && again->name == mcs->name);
  } else {
    FUZZ_CHECK(why.reason != slk::platform::Reason::None);
  }
  why = {};
  auto raw = ReadRawPs1Save(input, "RAW", why);
  FUZZ_CHECK(raw.has_value() != (why.reason != slk::platform::Reason::None));
  FUZZ_CHECK(!raw || raw->blocks.size() == size);
  return 0;
#else
#error "build with one FUZZ_FORMAT_* definition"
#endif
}
