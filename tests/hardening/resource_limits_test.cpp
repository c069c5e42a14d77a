// A file's counts and sizes are claims. Whatever they claim (a billion saves,
// files of 4 GiB, 2 GiB of data in a 64 KiB file) a reader may not ask for
// more memory than a few MiB beyond the file's real length, nor put more
// bytes into the slot than the file holds. Every operator new is counted:
// card/ and platform/ allocate through nothing else (no malloc, no mmap), so
// the count is every byte a reader asks for.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "allocation_counter.h"
#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/save_data_image.h"
#include "card/save_operations.h"
#include "card/slot_edit.h"
#include "platform/dib.h"
#include "platform/ini_file.h"
#include "slot_builder.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk {
namespace {

using testing::Buffer;

constexpr std::uint64_t kFewMiB = 4 << 20;
constexpr std::uint64_t k4GiB = std::uint64_t{1} << 32;

void Put16(Buffer& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(Buffer& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void PutText(Buffer& b, std::size_t at, const std::string& text) {
  std::copy(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// .xmc: header, then one save whose directory claims `entryCount` entries
// and whose first file claims `fileSize` bytes.
Buffer Xmc(std::uint32_t saves, std::uint32_t entryCount, std::uint32_t fileSize,
           std::size_t length) {
  Buffer b(length, 0x5A);
  PutText(b, 0, "EXMC");
  Put32(b, 4, saves);
  Put32(b, 8, 1);
  Put32(b, 12, 0);
  PutText(b, 16, "SVDT");
  Put32(b, 20, entryCount);
  PutText(b, 24, "PS2D");
  Put16(b, 32, 0x8427);  // directory entry at 32
  Put32(b, 36, entryCount);
  Put16(b, 112, 0x8497);  // first file entry at 112
  Put32(b, 116, fileSize);
  return b;
}

// .psu: directory header claiming `entryCount`, "." and "..", a file header
// claiming `fileSize`.
Buffer Psu(std::uint32_t entryCount, std::uint32_t fileSize, std::size_t length) {
  Buffer b(length, 0x5A);
  std::fill(b.begin(), b.begin() + 2048, 0);
  Put16(b, 0, 0x8427);
  Put32(b, 4, entryCount);
  Put16(b, 1536, 0x8497);
  Put32(b, 1540, fileSize);
  return b;
}

// A PS1 directory frame claiming `size` at the start of a 64 KiB file.
Buffer FramedClaim(std::uint32_t size, std::size_t length) {
  Buffer b(length, 0x5A);
  std::fill(b.begin(), b.begin() + 128, 0);
  Put32(b, 0, 0x51);
  Put32(b, 4, size);
  Put16(b, 8, 0xFFFF);
  PutText(b, 10, "BASLUS-99999CLAIMS");
  return b;
}

// A bare PS1 card whose every directory frame starts a save of 2 GiB.
Buffer CardClaimingEverything() {
  Buffer b(131072, 0);
  PutText(b, 0, "MC");
  for (int frame = 1; frame <= 15; ++frame) {
    Put32(b, frame * 128u, 0x51);
    Put32(b, frame * 128u + 4, 0x80000000u);
    Put16(b, frame * 128u + 8, static_cast<std::uint16_t>(frame % 15));
  }
  return b;
}

enum class Expect { Refused, Either };

struct Case {
  std::string name;  // its extension picks the reader
  Buffer bytes;
  std::uint64_t length = 0;  // when larger than bytes: the rest is a hole
  Expect expect = Expect::Refused;
  CardKind kind = CardKind::PS2;
};

std::vector<Case> Cases() {
  constexpr std::size_t k64KiB = 65536;
  return {
      {"billion-saves.xmc", Xmc(1000000000u, 3, 100, 512)},
      {"every-save.xmc", Xmc(0xFFFFFFFFu, 3, 100, 512)},
      {"file-of-4gib.xmc", Xmc(1, 3, 0xFFFFFFFFu, k64KiB)},
      {"file-of-2gib.xmc", Xmc(1, 3, 0x80000000u, k64KiB)},
      {"4g-files.xmc", Xmc(1, 0xFFFFFFFFu, 100, k64KiB)},
      // 4 GiB long, almost all hole: the count fits the length, the saves don't.
      {"sparse-4gib.xmc", Xmc(40000000u, 3, 100, 512), k4GiB},
      {"file-of-4gib.psu", Psu(3, 0xFFFFFFFFu, k64KiB)},
      {"4g-files.psd", Psu(0xFFFFFFFFu, 100, k64KiB)},
      {"claims-2gib.psm", FramedClaim(0x80000000u, k64KiB)},
      {"claims-4gib.mc", FramedClaim(0xFFFFE000u, k64KiB)},
      // These take their size from the file, not the claim.
      {"claims-2gib.ps1", FramedClaim(0x80000000u, k64KiB), 0, Expect::Either, CardKind::PS1},
      {"claims-2gib.mcx", FramedClaim(0x80000000u, k64KiB), 0, Expect::Either, CardKind::PS1},
      {"claims-2gib.mcr", CardClaimingEverything(), 0, Expect::Either},
      {"sparse-4gib.mem", Buffer(64, 0), k4GiB},
  };
}

std::string WriteCase(const testing::TempDir& dir, const Case& c) {
  std::string path = dir.File(c.name);
  testing::WriteFileBytes(path, c.bytes);
  if (c.length > c.bytes.size()) std::filesystem::resize_file(path, c.length);
  return path;
}

std::uint64_t LengthOf(const Case& c) {
  return std::max<std::uint64_t>(c.length, c.bytes.size());
}

// Opens or imports `path` into a fresh slot; 1 when it was taken. The slot's
// data file may not hold more than the file did.
std::uint32_t ReadIntoSlot(const std::string& path, CardKind kind, std::uint64_t length) {
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  if (ws.CreateSlotStore(kLeft, 0) != 1) return 2;
  ws.At(kLeft).kind = kind;
  bool card = IsCardImagePath(path);
  std::uint32_t result = card ? OpenCardImage(ws, kLeft, path) : AddSaveImage(ws, kLeft, path);
  if (ws.At(kLeft).dataFile.Size() > length) return 3;
  if (result == 0 && ws.At(kLeft).EntryCount() != 0) return 4;
  return result;
}

void ExpectOutcome(const Case& c, std::uint32_t result) {
  ASSERT_LE(result, 1u) << "2: no slot, 3: slot holds more than the file, 4: refused but changed";
  if (c.expect == Expect::Refused) {
    EXPECT_EQ(result, 0u) << "accepted";
  }
}

TEST(ResourceLimits, ClaimsDoNotBecomeAllocations) {
  testing::TempDir dir;
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    std::string path = WriteCase(dir, c);
    testing::StartCountingAllocations();
    std::uint32_t result = ReadIntoSlot(path, c.kind, LengthOf(c));
    testing::AllocationStats stats = testing::AllocationsSinceStart();
    ExpectOutcome(c, result);
    EXPECT_LE(stats.largestRequest, LengthOf(c) + kFewMiB);
    EXPECT_LE(stats.peakBytes, LengthOf(c) + kFewMiB);
    std::filesystem::remove(path);
  }
}

TEST(ResourceLimits, PlatformReadersIgnoreClaimsToo) {
  // A 64 KiB BMP claiming 32768 x 32768 pixels, and one claiming a palette
  // of four billion colours.
  Buffer bmp(65536, 0);
  PutText(bmp, 0, "BM");
  Put32(bmp, 10, 54);
  Put32(bmp, 14, 40);
  Put32(bmp, 18, 32768);
  Put32(bmp, 22, static_cast<std::uint32_t>(-32768));
  Put16(bmp, 26, 1);
  Put16(bmp, 28, 24);
  testing::StartCountingAllocations();
  EXPECT_FALSE(platform::DecodeBmp(bmp));
  Put16(bmp, 28, 8);
  Put32(bmp, 46, 0xFFFFFFFFu);
  EXPECT_FALSE(platform::DecodeBmp(bmp));
  EXPECT_LE(testing::AllocationsSinceStart().largestRequest, kFewMiB);

  // A settings file of 4 GiB (a hole) is not read at all.
  testing::TempDir dir;
  std::string ini = dir.File("qovan2.ini");
  testing::WriteFileBytes(ini, Buffer{'[', 'S', ']', '\n'});
  std::filesystem::resize_file(ini, k4GiB);
  testing::StartCountingAllocations();
  EXPECT_FALSE(platform::LoadIniFile(ini));
  EXPECT_LE(testing::AllocationsSinceStart().peakBytes, kFewMiB);
}

// The arrays grow with the saves really read: a card of more saves than are
// reserved at first still reads whole and in order. Adding them moves the
// list only a few times: an import of n saves must not cost n squared.
TEST(ResourceLimits, ALongExpandedCardStillReadsWhole) {
  testing::TempDir dir;
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
  constexpr int kSaves = 1000;
  int moves = 0;
  const SaveEntry* first = nullptr;
  for (int i = 0; i < kSaves; ++i) {
    testing::AddPS2Save(ws, kLeft, "SAVE" + std::to_string(i), {});
    if (&ws.At(kLeft).entries.front() != first) ++moves, first = &ws.At(kLeft).entries.front();
  }
  EXPECT_LT(moves, 20);
  std::string path = dir.File("long.xmc");
  ASSERT_EQ(SaveCardImage(ws, kLeft, path), 1u);
  ASSERT_EQ(ws.CreateSlotStore(kRight, 0), 1u);
  ASSERT_EQ(OpenCardImage(ws, kRight, path), 1u);
  ASSERT_EQ(ws.At(kRight).RowCount(), static_cast<std::uint32_t>(kSaves));
  for (int i = 0; i < kSaves; ++i)
    ASSERT_EQ(ws.At(kRight).AtRow(i).name, testing::NameOf("SAVE" + std::to_string(i)));
}

// Undo keeps a deleted save where its bytes already lie, in the slot's data
// file: neither the delete nor undoing and redoing it copies them to memory.
TEST(ResourceLimits, UndoingADeleteKeepsNoCopyOfTheSave) {
  testing::RecordingSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
  constexpr std::size_t kLarge = 32 << 20;
  testing::AddPS2Save(ws, kLeft, "LARGE", {{"data", testing::Pattern(kLarge, 7)}});
  ASSERT_EQ(ws.At(kLeft).AtRow(0).size, kLarge);
  testing::StartCountingAllocations();
  SlotEdit edit(ws, kLeft, ws.At(kLeft).rows[0]);
  DeleteSave(ws, kLeft, 0);
  ASSERT_TRUE(edit.Finish(ws));
  edit.Swap(ws);  // undo
  ASSERT_EQ(ws.At(kLeft).RowCount(), 1u);
  EXPECT_EQ(ws.At(kLeft).AtRow(0).files.size(), 1u);
  edit.Swap(ws);  // redo
  EXPECT_EQ(ws.At(kLeft).RowCount(), 0u);
  EXPECT_LT(testing::AllocationsSinceStart().peakBytes, std::size_t{64} << 10);
}

}  // namespace
}  // namespace slk
