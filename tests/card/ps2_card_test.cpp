#include "card/ps2/ps2_card_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "card/ps2/ps2_card_format.h"
#include "card/ps2/ps2_ecc.h"
#include "card/ps2/ps2_save_mapping.h"
#include "platform/bytes.h"
#include "support/corpus.h"
#include "support/temp_dir.h"

namespace slk::ps2 {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr CardTime kTime{0, 5, 4, 3, 2, 1, 0xE8, 0x07};  // 2024-01-02 03:04:05 in Japan
constexpr std::uint32_t kSmallPages = 512;               // 256 clusters
constexpr std::size_t kRaw = kPageSize + kSpareSize;

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + (i >> 8));
  return b;
}

Ps2CardImage OpenOk(Bytes bytes) {
  platform::Problem why;
  auto card = Ps2CardImage::Open(std::move(bytes), why);
  EXPECT_TRUE(card.has_value()) << static_cast<int>(why.reason) << " " << why.field;
  return std::move(*card);
}

// A save to add, owning its files' bytes.
struct ExpectedSave {
  std::string name;
  std::vector<std::pair<std::string, Bytes>> files;

  NewSave ToNew() const {
    NewSave s;
    s.name = name;
    for (const auto& [fileName, bytes] : files)
      s.files.push_back({fileName, 0x8497, {}, {}, bytes});
    return s;
  }
};

void ExpectHolds(const Ps2CardImage& card, const ExpectedSave& expected) {
  const Ps2Save* save = card.FindSave(expected.name);
  ASSERT_NE(save, nullptr) << expected.name;
  ASSERT_EQ(save->files.size(), expected.files.size());
  for (std::size_t i = 0; i < expected.files.size(); ++i) {
    EXPECT_EQ(save->files[i].name, expected.files[i].first);
    EXPECT_EQ(card.ReadFile(save->files[i]), expected.files[i].second) << expected.files[i].first;
  }
}

// Raw edits of a card with ECC, the page's code rewritten so that only the
// edited field is wrong.
void PatchU32(Bytes& image, std::uint32_t cluster, std::size_t offset, std::uint32_t value) {
  std::uint32_t page = cluster * 2 + static_cast<std::uint32_t>(offset / kPageSize);
  std::uint8_t* raw = image.data() + std::size_t{page} * kRaw;
  platform::PutU32LE(raw + offset % kPageSize, value);
  ComputePageEcc(std::span<const std::uint8_t, kPageSize>(raw, kPageSize),
                 std::span<std::uint8_t, kEccBytes>(raw + kPageSize, kEccBytes));
}

bool HasFault(const Ps2CardImage& card, FaultKind kind) {
  auto faults = card.Check();
  return std::any_of(faults.begin(), faults.end(), [&](const Fault& f) { return f.kind == kind; });
}

// A page's codes are worked out four chunks at a time (with AVX2 or GFNI
// where the processor has them): the same codes as chunk by chunk, each way,
// for pages of every density of set bits.
TEST(Ps2EccTest, PageCodesAreTheCodesOfItsChunks) {
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int round = 0; round < 3000; ++round) {
    std::array<std::uint8_t, kPageSize> page{};
    for (std::uint8_t& b : page) {
      state = state * 6364136223846793005ull + 1442695040888963407ull;
      auto r = static_cast<std::uint8_t>(state >> 56);
      b = round % 3 == 0   ? r
          : round % 3 == 1 ? (r < 8 ? static_cast<std::uint8_t>(1u << r) : 0)
                           : static_cast<std::uint8_t>(~(r < 4 ? 1u << r : 0));
    }
    for (PageEccCode way : {PageEccCode::Chunks, PageEccCode::Avx2, PageEccCode::Gfni}) {
      std::array<std::uint8_t, kEccBytes> codes{};
      if (!ComputePageEccWith(way, page, codes)) continue;
      for (std::size_t q = 0; q < kEccChunksPerPage; ++q) {
        EccCode chunk = ComputeEcc(
            std::span<const std::uint8_t>(page).subspan(q * kEccChunk).first<kEccChunk>());
        EXPECT_EQ(chunk, (EccCode{codes[3 * q], codes[3 * q + 1], codes[3 * q + 2]}))
            << round << " " << q << " " << static_cast<int>(way);
      }
    }
  }
}

TEST(Ps2EccTest, FlippedBitsAreCorrectedOrReported) {
  Bytes chunk = Pattern(kEccChunk, 3);
  EccCode good = ComputeEcc(std::span<const std::uint8_t, kEccChunk>(chunk.data(), kEccChunk));
  EXPECT_EQ(ComputeEcc(std::array<std::uint8_t, kEccChunk>{}), (EccCode{0x77, 0x7F, 0x7F}));
  struct Case {
    std::size_t byte;  // kEccChunk + n: bit in code byte n
    std::uint8_t mask;
    EccResult expect;
  };
  for (Case c :
       {Case{0, 0x01, EccResult::Corrected}, Case{77, 0x80, EccResult::Corrected},
        Case{127, 0x10, EccResult::Corrected}, Case{kEccChunk + 0, 0x04, EccResult::Corrected},
        Case{kEccChunk + 2, 0x40, EccResult::Corrected}, Case{5, 0x03, EccResult::Uncorrectable}}) {
    SCOPED_TRACE(c.byte);
    Bytes data = chunk;
    EccCode code = good;
    if (c.byte < kEccChunk)
      data[c.byte] ^= c.mask;
    else
      code[c.byte - kEccChunk] ^= c.mask;
    EXPECT_EQ(CheckEcc(std::span<std::uint8_t, kEccChunk>(data.data(), kEccChunk), code), c.expect);
    if (c.expect == EccResult::Corrected) {
      EXPECT_EQ(data, chunk);
      EXPECT_EQ(code, good);
    }
  }
}

// The emulator's 8 and 16 MB sizes (32 and 64 MB differ only in the count),
// with and without the spare bytes.
TEST(Ps2CardTest, FormattedCardsOpenEmptyInBothForms) {
  struct Case {
    Form form;
    std::uint32_t pages;
    std::size_t size;
    std::uint64_t free;
  };
  for (Case c : {Case{Form::WithEcc, 16384, 8'650'752, 8134 * 1024},
                 Case{Form::WithoutEcc, 16384, 8'388'608, 8134 * 1024},
                 Case{Form::WithEcc, 32768, 17'301'504, 16294 * 1024}}) {
    Bytes bytes = FormatCard({c.form, c.pages, kTime});
    EXPECT_EQ(bytes.size(), c.size);
    Ps2CardImage card = OpenOk(bytes);
    EXPECT_EQ(card.ImageForm(), c.form);
    EXPECT_TRUE(card.ListSaves().empty());
    EXPECT_TRUE(card.Check().empty());
    EXPECT_EQ(card.FreeBytes(), c.free);
    EXPECT_EQ(card.Serialize(), bytes);
    // Each form turns into the other and back to the same bytes.
    Form other = c.form == Form::WithEcc ? Form::WithoutEcc : Form::WithEcc;
    EXPECT_EQ(card.SerializeAs(other), FormatCard({other, c.pages, kTime}));
    EXPECT_EQ(OpenOk(card.SerializeAs(other)).SerializeAs(c.form), bytes);
  }
  EXPECT_TRUE(FormatCard({Form::WithEcc, 48, kTime}).empty());
}

TEST(Ps2CardTest, AddDeleteAndAddAgainFragmentsChainsAndKeepsEverythingElse) {
  Bytes fresh = FormatCard({Form::WithEcc, kSmallPages, kTime});
  Ps2CardImage card = OpenOk(fresh);
  ExpectedSave a{"BASLUS-00001A",
                 {{"icon.sys", Pattern(964, 1)}, {"empty", {}}, {"data", Pattern(3000, 2)}}};
  ExpectedSave b{"BASLUS-00002B", {{"icon.sys", Pattern(964, 3)}, {"data", Pattern(2048, 4)}}};
  ExpectedSave c{"BASLUS-00003C", {{"icon.sys", Pattern(100, 5)}, {"big", Pattern(9000, 6)}}};
  ASSERT_EQ(card.AddSave(a.ToNew()).result, AddResult::Added);
  ASSERT_EQ(card.AddSave(b.ToNew()).result, AddResult::Added);
  Bytes withAB = card.Serialize();
  std::uint64_t freeAB = card.FreeBytes();

  ASSERT_TRUE(card.DeleteSave(a.name));
  EXPECT_EQ(card.FindSave(a.name), nullptr);
  EXPECT_GT(card.FreeBytes(), freeAB);
  // Only the FAT and the root entry's page change on delete.
  std::size_t changed = 0;
  for (std::size_t p = 0; p < kSmallPages; ++p)
    changed += !std::equal(withAB.begin() + p * kRaw, withAB.begin() + (p + 1) * kRaw,
                           card.Serialize().begin() + p * kRaw);
  EXPECT_EQ(changed, 2u);

  ASSERT_EQ(card.AddSave(c.ToNew()).result, AddResult::Added);
  const Ps2File& big = card.FindSave(c.name)->files[1];
  EXPECT_NE(std::adjacent_find(big.clusters.begin(), big.clusters.end(),
                               [](std::uint32_t x, std::uint32_t y) { return y != x + 1; }),
            big.clusters.end());
  EXPECT_TRUE(card.Check().empty());
  ExpectHolds(card, b);
  ExpectHolds(card, c);
  EXPECT_EQ(card.FindSave(c.name)->rootIndex, 2u);  // the freed root entry is reused

  Ps2CardImage again = OpenOk(card.Serialize());
  EXPECT_EQ(again.ListSaves().size(), 2u);
  ExpectHolds(again, b);
  ExpectHolds(again, c);
  EXPECT_EQ(again.Serialize(), card.Serialize());

  // Deleting everything frees all but the root's second cluster.
  ASSERT_TRUE(card.DeleteSave(b.name));
  ASSERT_TRUE(card.DeleteSave(c.name));
  EXPECT_EQ(card.FreeBytes(), OpenOk(fresh).FreeBytes() - kClusterSize);
}

TEST(Ps2CardTest, RefusedAddsChangeNothing) {
  Ps2CardImage card = OpenOk(FormatCard({Form::WithEcc, kSmallPages, kTime}));
  ExpectedSave a{"A", {{"f", Pattern(10, 1)}}};
  ASSERT_EQ(card.AddSave(a.ToNew()).result, AddResult::Added);
  Bytes before = card.Serialize();
  std::uint64_t free = card.FreeBytes();
  struct Case {
    ExpectedSave save;
    AddResult expect;
  };
  for (const Case& c : {Case{a, AddResult::NameExists}, Case{{"", {}}, AddResult::BadName},
                        Case{{std::string(33, 'X'), {}}, AddResult::BadName},
                        Case{{"B", {{"a/b", {}}}}, AddResult::BadName},
                        Case{{"B", {{"huge", Bytes(free + 1)}}}, AddResult::NoSpace}}) {
    AddOutcome out = card.AddSave(c.save.ToNew());
    EXPECT_EQ(out.result, c.expect) << c.save.name;
    EXPECT_EQ(card.Serialize(), before);
    if (c.expect == AddResult::NoSpace) {
      EXPECT_EQ(out.freeBytes, free);
      EXPECT_GT(out.neededBytes, free);
    }
  }
}

TEST(Ps2CardTest, BadEraseBlocksAreNeverAllocated) {
  Bytes bytes = FormatCard({Form::WithEcc, kSmallPages, kTime});
  std::uint64_t freshFree = OpenOk(bytes).FreeBytes();
  PatchU32(bytes, 0, kBadBlockListOffset, 2);  // absolute clusters 16-23, data clusters 6-13
  Ps2CardImage card = OpenOk(bytes);
  EXPECT_EQ(card.FreeBytes(), freshFree - 8 * kClusterSize);
  ASSERT_EQ(card.AddSave(ExpectedSave{"A", {{"f", Pattern(20 * kClusterSize, 1)}}}.ToNew()).result,
            AddResult::Added);
  for (std::uint32_t c : card.FindSave("A")->files[0].clusters) EXPECT_TRUE(c < 6 || c > 13) << c;
}

TEST(Ps2CardTest, EccErrorsInDataAreCorrectedOrReported) {
  Ps2CardImage built = OpenOk(FormatCard({Form::WithEcc, kSmallPages, kTime}));
  ExpectedSave a{"A", {{"data", Pattern(2048, 9)}}};
  ASSERT_EQ(built.AddSave(a.ToNew()).result, AddResult::Added);
  std::uint32_t page = (10 + built.FindSave("A")->files[0].clusters[0]) * 2;
  // Also as the slot reads a card: the pages whose codes matched noted piece
  // by piece while reading, and only the others worked out again.
  for (auto [mask, noted] : {std::pair{0x08, false}, {0x18, false}, {0x08, true}, {0x18, true}}) {
    Bytes bytes = built.Serialize();
    bytes[page * kRaw + 200] ^= mask;
    PagesWithMatchingCodes known(bytes.size());
    for (std::size_t at = 0; at < bytes.size(); at += PagesWithMatchingCodes::kPieceBytes)
      known.Note(at, std::span<const std::uint8_t>(bytes).subspan(
                         at, std::min(PagesWithMatchingCodes::kPieceBytes, bytes.size() - at)));
    platform::Problem why;
    std::optional<Ps2CardImage> opened = Ps2CardImage::Open(bytes, why, noted ? &known : nullptr);
    ASSERT_TRUE(opened);
    Ps2CardImage& card = *opened;
    EXPECT_EQ(card.Serialize(), bytes);  // reading repairs nothing on disk
    if (mask == 0x08) {
      EXPECT_EQ(card.Check(), (std::vector<Fault>{{FaultKind::EccCorrected, page, ""}}));
      EXPECT_FALSE(card.Damaged());
      ExpectHolds(card, a);
    } else {
      EXPECT_EQ(card.Check(), (std::vector<Fault>{{FaultKind::EccUncorrectable, page, ""}}));
      EXPECT_TRUE(card.Damaged());
    }
  }
}

TEST(Ps2CardTest, BrokenChainsAndDirectoriesAreReportedWithoutHanging) {
  Ps2CardImage built = OpenOk(FormatCard({Form::WithEcc, kSmallPages, kTime}));
  ASSERT_EQ(
      built.AddSave(ExpectedSave{"A", {{"f1", Pattern(3000, 1)}, {"f2", Pattern(1500, 2)}}}.ToNew())
          .result,
      AddResult::Added);
  ASSERT_EQ(built.AddSave(ExpectedSave{"B", {{"g", Pattern(2000, 3)}}}.ToNew()).result,
            AddResult::Added);
  const auto& f1 = built.FindSave("A")->files[0].clusters;
  const auto& f2 = built.FindSave("A")->files[1].clusters;
  const auto& g = built.FindSave("B")->files[0].clusters;
  constexpr std::uint32_t kFat = 9, kData = 10;
  struct Case {
    const char* what;
    std::uint32_t cluster;
    std::size_t offset;
    std::uint32_t value;
    FaultKind expect;
  };
  for (const Case& c : {
           Case{"loop", kFat, 4 * f1[2], f1[0] | kFatAllocated, FaultKind::ChainLoop},
           Case{"cross link", kFat, 4 * f2[1], g[0] | kFatAllocated, FaultKind::CrossLinked},
           Case{"out of range", kFat, 4 * f1[0], 5000 | kFatAllocated, FaultKind::ChainOutOfRange},
           Case{"into free", kFat, 4 * f1[1], kFatFree, FaultKind::ChainIntoFree},
           Case{"save length lies", kData + built.FindSave("A")->rootIndex / 2,
                (built.FindSave("A")->rootIndex % 2) * kEntrySize + kEntryLengthOffset, 100000,
                FaultKind::BadDirectory},
           Case{"root length lies", kData, kEntryLengthOffset, 0xFFFFFFFF, FaultKind::BadDirectory},
           Case{"FAT outside the card", 8, 0, 70000, FaultKind::FatUnreadable},
       }) {
    SCOPED_TRACE(c.what);
    Bytes bytes = built.Serialize();
    PatchU32(bytes, c.cluster, c.offset, c.value);
    Ps2CardImage card = OpenOk(bytes);
    EXPECT_TRUE(HasFault(card, c.expect));
    EXPECT_TRUE(card.Damaged());
    EXPECT_EQ(card.Serialize(), bytes);
  }
}

// Links cannot be written into a FAT cluster the card does not name, so the
// clusters it covers are never given out, even after a delete.
TEST(Ps2CardTest, ClustersOfAnUnreadableFatClusterAreNeverAllocated) {
  constexpr std::uint32_t kPages = 1024;  // 512 clusters: two FAT clusters
  Ps2CardImage built = OpenOk(FormatCard({Form::WithEcc, kPages, kTime}));
  ExpectedSave big{"BIG", {{"f", Pattern(300 * kClusterSize, 1)}}};
  ASSERT_EQ(built.AddSave(big.ToNew()).result, AddResult::Added);
  Bytes bytes = built.Serialize();
  PatchU32(bytes, 8, 4, 70000);  // the second FAT cluster lies outside the card
  Ps2CardImage card = OpenOk(bytes);
  ASSERT_TRUE(HasFault(card, FaultKind::FatUnreadable));
  ASSERT_TRUE(card.DeleteSave("BIG"));
  // The first FAT cluster's 256 entries, less the root's two clusters; the
  // chain's last cluster, past the first FAT cluster, stays taken.
  EXPECT_EQ(card.FreeBytes(), 254 * kClusterSize);
  ExpectedSave next{"NEXT", {{"f", Pattern(252 * kClusterSize, 2)}}};
  ASSERT_EQ(card.AddSave(next.ToNew()).result, AddResult::Added);
  ExpectHolds(OpenOk(card.Serialize()), next);
}

TEST(Ps2CardTest, ImagesThatAreNotCardsAreRefusedWithTheirReason) {
  Bytes good = FormatCard({Form::WithEcc, kSmallPages, kTime});
  struct Case {
    const char* what;
    Bytes bytes;
    platform::Reason reason;
  };
  Bytes truncated(good.begin(), good.end() - 1);
  Bytes badMagic = good;
  badMagic[0] = 'X';
  Bytes badPage = good;
  platform::PutU16LE(badPage.data() + kPageLenOffset, 1024);
  Bytes badRoot = good;
  platform::PutU32LE(badRoot.data() + kRootClusterOffset, 0xFFFFFF);
  for (const Case& c : {Case{"empty", {}, platform::Reason::TooShort},
                        Case{"truncated", truncated, platform::Reason::SizeMismatch},
                        Case{"magic", badMagic, platform::Reason::BadMagic},
                        Case{"page length", badPage, platform::Reason::BadField},
                        Case{"root cluster", badRoot, platform::Reason::BadField}}) {
    platform::Problem why;
    EXPECT_FALSE(Ps2CardImage::Open(c.bytes, why).has_value()) << c.what;
    EXPECT_EQ(why.reason, c.reason) << c.what;
  }
}

// Card times are Japan time: 03:04:05 on 2 January there is 18:04:05 on
// 1 January in UTC.
TEST(Ps2CardTest, CardTimesConvertToLocalTimeAndBack) {
  const char* old = std::getenv("TZ");
  std::string saved = old ? old : "";
  setenv("TZ", "UTC", 1);
  tzset();
  TimeStamp local = CardTimeToLocal(kTime);
  EXPECT_EQ(local.bytes, (std::array<std::uint8_t, 8>{0, 5, 4, 18, 1, 1, 0xE8, 0x07}));
  EXPECT_EQ(LocalToCardTime(local), kTime);
  EXPECT_EQ(CardTimeToLocal(CardTime{}), TimeStamp{});
  if (old)
    setenv("TZ", saved.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// A save listed as a record and added back from the record's bytes arrives
// with the same names, modes, sizes, times and bytes.
TEST(Ps2CardTest, SavesMapToRecordsAndBack) {
  Ps2CardImage card = OpenOk(FormatCard({Form::WithEcc, kSmallPages, kTime}));
  ExpectedSave expected{"BESLES-00001",
                        {{"icon.sys", Pattern(964, 1)}, {"data", Pattern(1500, 2)}}};
  NewSave save = expected.ToNew();
  save.modified = CardTimeToLocal(kTime);
  save.files[1].modified = save.modified;
  save.files[1].mode = 0x8417;
  ASSERT_EQ(card.AddSave(save).result, AddResult::Added);

  EXPECT_TRUE(CarriedBySaveModel(*card.FindSave(expected.name)));
  SaveEntry entry = ToSaveEntry(*card.FindSave(expected.name));
  EXPECT_EQ(entry.entryCount, 4u);
  EXPECT_EQ(entry.size, 964u + 1500u);
  EXPECT_EQ(entry.time, save.modified);
  EXPECT_EQ(entry.files[1].mode, 0x8417);
  EXPECT_EQ(entry.files[1].time, save.modified);
  Bytes joined = expected.files[0].second;
  joined.insert(joined.end(), expected.files[1].second.begin(), expected.files[1].second.end());

  Ps2CardImage other = OpenOk(FormatCard({Form::WithoutEcc, kSmallPages, kTime}));
  ASSERT_EQ(other.AddSave(FromSaveEntry(entry, joined)).result, AddResult::Added);
  ExpectHolds(other, expected);
  SaveEntry back = ToSaveEntry(*other.FindSave(expected.name));
  EXPECT_EQ(back.time, entry.time);
  EXPECT_EQ(back.files[1].mode, entry.files[1].mode);
  EXPECT_EQ(back.files[1].time, entry.files[1].time);
}

TEST(Ps2CardCorpusTest, EmulatorCardsListTheirSavesAndWriteBackUnchanged) {
  std::string corpus = (slk::testing::CorpusDir() / "mymcplus").string();
  Bytes mc01 = slk::testing::ReadFileBytes(corpus + "/mc01.ps2");
  Bytes mc02 = slk::testing::ReadFileBytes(corpus + "/mc02.ps2");
  if (mc01.empty() || mc02.empty()) GTEST_SKIP() << "no corpus at " << corpus;

  Ps2CardImage card = OpenOk(mc01);
  EXPECT_TRUE(card.Check().empty());
  EXPECT_EQ(card.Serialize(), mc01);
  ASSERT_EQ(card.ListSaves().size(), 2u);
  const Ps2Save& system = card.ListSaves()[0];
  EXPECT_EQ(system.name, "BEDATA-SYSTEM");
  EXPECT_TRUE(system.hidden);
  const Ps2Save& rez = card.ListSaves()[1];
  EXPECT_EQ(rez.name, "BESCES-50501REZ");
  EXPECT_FALSE(rez.hidden);
  std::vector<std::pair<std::string, std::uint32_t>> files;
  for (const Ps2File& f : rez.files) files.emplace_back(f.name, f.size);
  EXPECT_EQ(files, (std::vector<std::pair<std::string, std::uint32_t>>{
                       {"icon.sys", 964}, {"rez.ico", 46360}, {"BESCES-50501REZ", 3072}}));
  // That each file is the one other tools export is SaveFormatsTest's.
  EXPECT_EQ(system.files.size(), 2u);

  Ps2CardImage empty = OpenOk(mc02);
  EXPECT_TRUE(empty.ListSaves().empty());
  EXPECT_EQ(empty.FreeBytes(), 8134u * 1024);
  // A new card is laid out as the emulator tool formats one.
  CardTime rootTime;
  std::copy_n(mc02.begin() + 82 * kRaw + kEntryCreatedOffset, 8, rootTime.begin());
  EXPECT_EQ(FormatCard({Form::WithEcc, 16384, rootTime}), mc02);
}

}  // namespace
}  // namespace slk::ps2
