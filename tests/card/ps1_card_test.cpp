#include "card/ps1_card.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/formats/save_formats.h"
#include "card/image_formats.h"
#include "platform/io_faults.h"
#include "save_test_fixture.h"
#include "support/card_inputs.h"

namespace slk {
namespace {

using testing::Buffer;
using testing::PS1CardBuilder;
using testing::ReadFileBytes;
using testing::WriteFileBytes;

// A card with a 3-block save in blocks 1-3 and a 1-block save in block 4.
PS1CardBuilder TwoSaves() {
  PS1CardBuilder card;
  card.Directory(1, 0x51, 3 * 8192, 1, "BASLUS-00001GAME")
      .Directory(2, 0x52, 0, 2, "")
      .Directory(3, 0x53, 0, 0xFFFF, "")
      .Directory(4, 0x51, 8192, 0xFFFF, "BESLES-00002")
      .Block(1, 0x11, "First", 3)
      .Block(2, 0x12)
      .Block(3, 0x13)
      .Block(4, 0x14, "Second", 1);
  return card;
}

Buffer WithHeader(const Buffer& card, std::size_t headerSize, const char* signature) {
  Buffer file(headerSize + card.size(), 0);
  std::memcpy(file.data(), signature, std::strlen(signature));
  std::copy(card.begin(), card.end(), file.begin() + static_cast<std::ptrdiff_t>(headerSize));
  return file;
}

// The blocks of `card` in the order given, as one save's bytes.
Buffer Blocks(const PS1CardBuilder& card, std::initializer_list<int> blocks) {
  Buffer bytes;
  for (int b : blocks) testing::Append(bytes, card.BlockBytes(b));
  return bytes;
}

class PS1CardTest : public testing::SaveTest {
 protected:
  // Opens `bytes` saved as `name` into Left; the slot stays open either way.
  std::uint32_t Open(const Buffer& bytes, const std::string& name) {
    std::string path = Write(name, bytes);
    ws.CloseSlot(kLeft);
    ws.CreateSlotStore(kLeft, 0);
    return OpenCardImage(ws, kLeft, path);
  }

  void ExpectTwoSaves(const PS1CardBuilder& card) {
    ASSERT_EQ(ws.At(kLeft).RowCount(), 2u);
    const SaveEntry& first = ws.At(kLeft).AtRow(0);
    EXPECT_EQ(Text(first.name), "BASLUS-00001GAME");
    EXPECT_EQ(first.size, 3u * 8192);
    EXPECT_EQ(first.mode, kModePS1Directory);
    EXPECT_EQ(first.entryCount, 3u);
    ASSERT_EQ(first.files.size(), 1u);
    EXPECT_EQ(first.files[0].mode, kModePS1File);
    EXPECT_EQ(Text(first.title), "First");
    EXPECT_EQ(SaveBytes(kLeft, 0), Blocks(card, {1, 2, 3}));
    EXPECT_EQ(SaveBytes(kLeft, 1), card.BlockBytes(4));
  }
};

TEST_F(PS1CardTest, EveryVariantReadsTheSameSavesAndWritesThemBack) {
  PS1CardBuilder card = TwoSaves();
  // DexDrive files read with their signature, a zeroed header or none; the
  // other extensions read back below what was written of these bytes.
  const std::pair<Buffer, std::string> inputs[] = {
      {WithHeader(card.Bytes(), 64, "VgsM"), "a.mem"},
      {WithHeader(card.Bytes(), 3904, "123-456-STD"), "a.gme"},
      {WithHeader(card.Bytes(), 3904, ""), "b.gme"},
      {card.Bytes(), "c.gme"},
      {card.Bytes(), "a.mcr"}};
  for (const auto& [bytes, name] : inputs) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Open(bytes, name), 1u);
    ExpectTwoSaves(card);
    EXPECT_EQ(ws.At(kLeft).kind, CardKind::PS1);
  }
  // Every PS1 card format of the table, under each of its extensions.
  int written = 0;
  for (const FormatRow& row : kFormats) {
    if (row.kind != FileKind::CardImage || row.layout != FormatLayout::PS1Card) continue;
    std::size_t header = row.variant == PS1Variant::Mem   ? 64
                         : row.variant == PS1Variant::Gme ? 3904
                         : row.variant == PS1Variant::Vmp ? 128
                                                          : 0;
    for (std::string_view ext : row.extensions) {
      if (ext.empty()) continue;
      SCOPED_TRACE(ext);
      std::string out = dir.File("out." + std::string(ext));
      ASSERT_EQ(SaveCardImage(ws, kLeft, out), 1u);
      Buffer bytes = ReadFileBytes(out);
      EXPECT_EQ(bytes.size(), header + 131072);
      ASSERT_EQ(Open(bytes, "back." + std::string(ext)), 1u);
      ExpectTwoSaves(card);
      // Data blocks come out exactly where the builder put them.
      EXPECT_TRUE(std::equal(card.Bytes().begin() + 8192, card.Bytes().begin() + 5 * 8192,
                             bytes.begin() + static_cast<std::ptrdiff_t>(header) + 8192));
      // The PSP and Vita check the header's signature over the card.
      if (row.variant == PS1Variant::Vmp) {
        platform::Problem why;
        std::optional<formats::VmpCard> vmp = formats::ReadVmpCard(bytes, why);
        ASSERT_TRUE(vmp);
        EXPECT_TRUE(vmp->signatureValid);
      }
      ++written;
    }
  }
  EXPECT_EQ(written, 11);  // 6 + .vgs, .ddf, .srm, .vm1, .vmp
  EXPECT_TRUE(sink.shown.empty());
}

// Written, a card's directory is byte for byte the one the builder lays out
// (first, middle and last states, sizes, links, the name only in a first
// block, free frames, checksums), then the broken-sector list; as .gme it
// follows DexDrive's header with every state and link.
TEST_F(PS1CardTest, WrittenDirectoryAndDexDriveHeaderAreWhole) {
  PS1CardBuilder card = TwoSaves();
  ASSERT_EQ(Open(card.Bytes(), "a.mcr"), 1u);
  ASSERT_EQ(SaveCardImage(ws, kLeft, dir.File("out.mcr")), 1u);
  Buffer b = ReadFileBytes(dir.File("out.mcr"));
  ASSERT_EQ(b.size(), 131072u);
  EXPECT_EQ(Buffer(b.begin(), b.begin() + 16 * 128),
            Buffer(card.Bytes().begin(), card.Bytes().begin() + 16 * 128));
  for (int frame = 16; frame < 36; ++frame) {
    EXPECT_EQ(b[frame * 128], 0xFF) << frame;
    EXPECT_EQ(b[frame * 128 + 8], 0xFF) << frame;
    EXPECT_EQ(b[frame * 128 + 127], 0x00) << frame;
  }
  ASSERT_EQ(SaveCardImage(ws, kLeft, dir.File("out.gme")), 1u);
  b = ReadFileBytes(dir.File("out.gme"));
  ASSERT_EQ(b.size(), 3904u + 131072u);
  EXPECT_EQ(Buffer(b.begin(), b.begin() + 3904), card.DexDriveHeader());
  EXPECT_EQ(Buffer(b.begin() + 0x16, b.begin() + 0x1B), (Buffer{0x51, 0x52, 0x53, 0x51, 0xA0}));
  EXPECT_EQ(b[3904], 'M');
}

TEST_F(PS1CardTest, AnEmptySlotSavesAsAFullBlankCard) {
  ws.CreateSlotStore(kLeft, 0);
  ASSERT_EQ(SaveCardImage(ws, kLeft, dir.File("e.mem")), 1u);
  Buffer mem = ReadFileBytes(dir.File("e.mem"));
  ASSERT_EQ(mem.size(), 131136u);
  EXPECT_EQ(std::string(mem.begin(), mem.begin() + 4), "VgsM");
  EXPECT_EQ(mem[16], 0x00);
  EXPECT_EQ(mem[17], 0x02);
  EXPECT_EQ(mem[64 + 127], 0x0E);
  EXPECT_EQ(mem[64 + 128 + 127], 0xA0);
}

// Another tool writes a one-save card as header, block 0 and the save's
// blocks. The blocks it left out read as free, whatever block 0 says of them.
TEST_F(PS1CardTest, DexDriveFileCutAfterItsLastSaveOpensAndIsWrittenWhole) {
  PS1CardBuilder card;
  card.Directory(1, 0x51, 8192, 0xFFFF, "BASLUS-00001ONE")
      .Directory(6, 0x51, 8192, 0xFFFF, "BEYOND")
      .Block(1, 0x11, "One", 1);
  Buffer whole = WithHeader(card.Bytes(), 3904, "123-456-STD");
  Buffer cut(whole.begin(), whole.begin() + 3904 + 2 * 8192);
  ASSERT_EQ(cut.size(), 20288u);
  ASSERT_EQ(Open(cut, "short.gme"), 1u);
  ASSERT_EQ(ws.At(kLeft).RowCount(), 1u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(0).name), "BASLUS-00001ONE");
  EXPECT_EQ(SaveBytes(kLeft, 0), card.BlockBytes(1));
  ASSERT_EQ(SaveCardImage(ws, kLeft, dir.File("short.gme")), 1u);
  Buffer written = ReadFileBytes(dir.File("short.gme"));
  ASSERT_EQ(written.size(), 3904u + 131072u);
  EXPECT_EQ(written[3904 + 6 * 128], 0xA0) << "block 6 is free";
  EXPECT_TRUE(sink.shown.empty());
}

// Deleted and free blocks between saves are skipped, a fragmented save
// follows its links, stale fields in a last block are normal, and middle or
// last blocks that no save reaches never start one.
TEST_F(PS1CardTest, SavesFollowTheirLinksPastDeletedFreeAndOrphanBlocks) {
  PS1CardBuilder card;
  card.Directory(1, 0x51, 8192, 0xFFFF, "LIVE1")
      .Directory(2, 0xA1, 8192 * 2, 2, "OLDDELETED")
      .Directory(3, 0xA3, 0, 0xFFFF, "")
      .Directory(4, 0x51, 3 * 8192, 6, "FRAG")  // blocks 4 -> 7 -> 5
      .Directory(5, 0x53, 8192, 0xFFFF, "STALE")
      .Directory(6, 0x51, 8192, 0xFFFF, "OTHER")
      .Directory(7, 0x52, 0, 4, "")
      .Directory(10, 0x52, 8192, 10, "ORPHAN")
      .Directory(11, 0x53, 8192, 0xFFFF, "ORPHAN2");
  for (int b : {1, 2, 4, 5, 6, 7, 10, 11}) card.Block(b, static_cast<std::uint8_t>(b));
  card.Block(1, 1, "a", 1).Block(4, 4, "frag", 3).Block(6, 6, "other", 1);
  ASSERT_EQ(Open(card.Bytes(), "a.mcr"), 1u);
  ASSERT_EQ(ws.At(kLeft).RowCount(), 3u);
  EXPECT_EQ(Text(ws.At(kLeft).AtRow(1).name), "FRAG");
  EXPECT_EQ(SaveBytes(kLeft, 0), card.BlockBytes(1));
  EXPECT_EQ(SaveBytes(kLeft, 1), Blocks(card, {4, 7, 5}));
  EXPECT_EQ(SaveBytes(kLeft, 2), card.BlockBytes(6));
}

// A broken chain keeps the blocks found before the break: the save is never
// read outside the card nor through another save's blocks. A save left with
// fewer blocks than its size asks for remembers how many it should have.
TEST_F(PS1CardTest, BrokenChainsKeepTheBlocksFoundBeforeTheBreak) {
  struct Case {
    const char* what;
    std::uint32_t size;
    std::uint16_t link;
    std::uint32_t secondState;
    std::uint16_t secondLink;
    std::uint32_t expectedBlocks;
    std::uint32_t declaredBlocks;  // 0: the save is whole
  } cases[] = {
      {"link outside the card", 3 * 8192, 40, 0x52, 2, 1, 3},
      {"absurd size and link", 474152960, 827, 0x52, 2, 1, 15},
      {"loop back to itself", 3 * 8192, 1, 0x52, 1, 2, 3},
      {"link to a free block", 2 * 8192, 1, 0xA0, 0xFFFF, 1, 2},
      {"link to another save's first block", 2 * 8192, 1, 0x51, 0xFFFF, 1, 2},
      {"size of zero", 0, 0xFFFF, 0xA0, 0xFFFF, 1, 0},
      {"size not a whole number of blocks", 10000, 1, 0x53, 0xFFFF, 2, 0},
      {"chain shorter than the size", 4 * 8192, 1, 0x53, 0xFFFF, 2, 4},
      {"last block that links on", 3 * 8192, 1, 0x53, 2, 2, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PS1CardBuilder card;
    card.Directory(1, 0x51, c.size, c.link, "SAVE")
        .Directory(2, c.secondState, 0, c.secondLink, "")
        .Directory(3, 0x53, 0, 0xFFFF, "");
    ASSERT_EQ(Open(card.Bytes(), "a.mcr"), 1u);
    ASSERT_GE(ws.At(kLeft).RowCount(), 1u);
    EXPECT_EQ(ws.At(kLeft).AtRow(0).size, c.expectedBlocks * 8192);
    EXPECT_EQ(ws.At(kLeft).AtRow(0).declaredBlocks, c.declaredBlocks);
  }
}

TEST_F(PS1CardTest, MalformedOrTruncatedImagesAreRefusedWithTheirReason) {
  using platform::Reason;
  Buffer good = TwoSaves().Bytes();
  Buffer badMagic = good;
  badMagic[2] = 1;
  Buffer text(140000, 'x');  // a long text file named like a card
  struct Case {
    const char* what;
    Buffer bytes;
    std::string name;
    Reason reason;
    std::uint64_t have = 0, need = 0;
  } cases[] = {
      {"MC with a nonzero third byte", badMagic, "a.mcr", Reason::BadMagic},
      {"one byte short", Buffer(good.begin(), good.end() - 1), "a.mcr", Reason::TooShort, 131071,
       131072},
      {"mem without room for its header", good, "a.mem", Reason::TooShort, 131072, 131136},
      {"gme cut inside a block",
       WithHeader(Buffer(good.begin(), good.begin() + 16384 + 100), 3904, "123-456-STD"), "a.gme",
       Reason::TooShort},
      {"gme cut inside block 0",
       WithHeader(Buffer(good.begin(), good.begin() + 4096), 3904, "123-456-STD"), "a.gme",
       Reason::TooShort},
      {"unsigned gme cut after a block",
       WithHeader(Buffer(good.begin(), good.begin() + 16384), 3904, ""), "a.gme", Reason::TooShort},
      {"empty file", Buffer{}, "a.mcd", Reason::TooShort, 0, 131072},
      {"vmp without its header", good, "a.vmp", Reason::TooShort, 131072, 131200},
      {"vmp of another magic", WithHeader(good, 128, "\x01PMV"), "a.vmp", Reason::BadMagic},
      {"text", text, "notes.mcr", Reason::BadMagic},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ClearSink();
    ExpectRefusal(Open(c.bytes, c.name), MessageId::FileNotOpened, c.reason, dir.File(c.name));
    if (c.need != 0) {
      EXPECT_EQ(sink.problems[0].have, c.have);
      EXPECT_EQ(sink.problems[0].need, c.need);
    }
    EXPECT_EQ(ws.At(kLeft).EntryCount(), 0u);
  }
  ClearSink();
  ExpectRefusal(Open(good, "a.bin"), MessageId::NotCardImage);

  // What the file system says: no such file, a folder, a file we may not read.
  std::filesystem::create_directory(dir.File("folder.mcr"));
  std::string locked = dir.File("locked.mcr");
  WriteFileBytes(locked, good);
  std::filesystem::permissions(locked, std::filesystem::perms::none);
  bool privileged = ::geteuid() == 0;  // root reads it anyway
  struct Place {
    std::string path;
    Reason reason;
  } places[] = {{dir.File("missing.mcr"), Reason::NotFound},
                {dir.File("folder.mcr"), Reason::NotRegularFile},
                {locked, Reason::PermissionDenied}};
  ws.CreateSlotStore(kRight, 0);
  for (const Place& place : places) {
    if (privileged && place.reason == Reason::PermissionDenied) continue;
    SCOPED_TRACE(place.path);
    ClearSink();
    ExpectRefusal(OpenCardImage(ws, kRight, place.path), MessageId::FileNotOpened, place.reason,
                  place.path);
  }
}

TEST_F(PS1CardTest, RowsThatAPS1CardCannotHoldAreRefusedBeforeTheFileIsTouched) {
  ASSERT_EQ(Open(TwoSaves().Bytes(), "a.mcr"), 1u);
  std::string target = dir.File("keep.mcr");
  WriteFileBytes(target, Buffer{1, 2, 3});

  ws.At(kLeft).AtRow(1).mode = 0x8427;  // now a PS2 save
  EXPECT_EQ(SaveCardImage(ws, kLeft, target), 0u);
  ws.At(kLeft).AtRow(1).mode = kModePS1Directory;

  // 3 + 1 + 12 blocks = 16.
  ws.AddEntry(kLeft, 12 * 8192);
  SaveEntry& big = ws.At(kLeft).entries.back();
  big = ws.At(kLeft).AtRow(1);
  big.files[0].size = big.size = 12 * 8192;
  ws.ListLastEntry(kLeft);
  EXPECT_EQ(SaveCardImage(ws, kLeft, target), 0u);

  EXPECT_EQ(sink.shown,
            (std::vector<int>{MessageId::FileNotPreserved, MessageId::FileNotPreserved}));
  EXPECT_EQ(ReadFileBytes(target), (Buffer{1, 2, 3}));
  EXPECT_EQ(dir.EntryCount(), 2u);
}

TEST_F(PS1CardTest, SavesThroughALinkAndRefusesAReadOnlyCardSayingWhy) {
  ASSERT_EQ(Open(TwoSaves().Bytes(), "a.mcr"), 1u);
  std::filesystem::create_directory(dir.File("emu"));
  WriteFileBytes(dir.File("emu/card.mcr"), Buffer{1, 2, 3});
  std::filesystem::create_symlink("emu/card.mcr", dir.File("card.mcr"));
  ASSERT_EQ(SaveCardImage(ws, kLeft, dir.File("card.mcr")), 1u);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("card.mcr")));
  EXPECT_EQ(ReadFileBytes(dir.File("emu/card.mcr")).size(), 131072u);

  std::filesystem::permissions(dir.File("emu/card.mcr"), std::filesystem::perms(0444));
  ExpectRefusal(SaveCardImage(ws, kLeft, dir.File("card.mcr")), MessageId::FileNotPreserved,
                platform::Reason::ReadOnlyFile);
}

TEST_F(PS1CardTest, AFullTemporaryFolderIsNamedAsTheReasonACardDidNotOpen) {
  platform::FailNthIo(platform::IoStep::Write, 1, ENOSPC);
  std::uint32_t opened = Open(TwoSaves().Bytes(), "a.mcr");
  platform::DisarmIoFaults();
  ExpectRefusal(opened, MessageId::FileNotOpened, platform::Reason::TempSpaceFull);
}

}  // namespace
}  // namespace slk
