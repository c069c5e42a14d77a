#include "card/formats/save_formats.h"
#include "platform/bytes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "card/formats/codecs.h"
#include "card/formats/ps2_card_bridge.h"
#include "card/formats/save_folder.h"
#include "card/ps2/ps2_card_format.h"
#include "platform/bytes.h"
#include "support/corpus.h"
#include "support/temp_dir.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace slk::formats {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> Corpus(const char* sub) {
  fs::path p = testing::CorpusDir() / sub;
  return fs::exists(p) ? std::optional(p) : std::nullopt;
}

Bytes ReadAll(const fs::path& p) {
  return testing::ReadFileBytes(p.string());
}

Bytes Pattern(std::size_t n, std::uint8_t seed) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i)
    b[i] = static_cast<std::uint8_t>(i % 97 < 40 ? seed + i / 13 : (i * 31 + seed) ^ (i >> 7));
  return b;
}

TimeStamp Stamp(std::uint8_t second) {
  return TimeStamp{{0, second, 4, 3, 2, 1, 0xE8, 0x07}};
}

Ps2SaveData MadeSave() {
  Bytes iconSys(964, 0);
  std::memcpy(iconSys.data(), "PS2D", 4);
  iconSys[6] = 6;  // line break after "Ｔｅｓ"
  const std::uint8_t title[] = {0x82, 0x73, 0x82, 0x85, 0x82, 0x93, 0x82, 0x94};
  std::memcpy(iconSys.data() + 0xC0, title, sizeof title);
  std::memcpy(iconSys.data() + 0x104, "list.ico", 8);
  std::memcpy(iconSys.data() + 0x144, "list.ico", 8);
  std::memcpy(iconSys.data() + 0x184, "list.ico", 8);
  Ps2SaveData s;
  s.name = "BESLES-12345TEST";
  s.created = Stamp(1);
  s.modified = Stamp(2);
  s.files = {{"icon.sys", 0x8497, Stamp(3), Stamp(4), iconSys},
             {"list.ico", 0x8497, Stamp(5), Stamp(6), Pattern(20000, 9)},
             {"empty", 0x8417, Stamp(7), Stamp(8), {}},
             {"data", 0x8497, Stamp(9), Stamp(10), Pattern(3001, 200)}};
  return s;
}

// What each PS2 form keeps of a save besides names and bytes.
struct Ps2Form {
  std::string name;
  std::function<std::optional<Ps2SaveData>(ByteView, platform::Problem&)> read;
  std::function<Bytes(const Ps2SaveData&)> write;  // empty: read only
  bool keepsModes;
  bool keepsTimes;
};

std::optional<Ps2SaveData> ReadPsvPs2(ByteView b, platform::Problem& why) {
  auto psv = ReadPsvSave(b, why);
  if (!psv) return std::nullopt;
  EXPECT_TRUE(psv->signatureValid);
  return psv->ps2;
}

const std::vector<Ps2Form>& Ps2Forms() {
  static const std::vector<Ps2Form> forms = {
      {"max", ReadMaxSave, WriteMaxSave, false, false},
      {"cbs", ReadCbsSave, WriteCbsSave, true, true},
      {"sps", ReadSharkPortSave, WriteSharkPortSave, true, true},
      {"xps", ReadSharkPortSave, {}, true, true},
      {"PSV", ReadPsvPs2, [](const Ps2SaveData& s) { return WritePsvSave(s); }, true, true},
  };
  return forms;
}

void ExpectSameSave(const Ps2SaveData& got, const Ps2SaveData& want, const Ps2Form& form,
                    bool compareTimes = true) {
  EXPECT_EQ(got.name, want.name);
  ASSERT_EQ(got.files.size(), want.files.size());
  for (std::size_t i = 0; i < want.files.size(); ++i) {
    SCOPED_TRACE(want.files[i].name);
    EXPECT_EQ(got.files[i].name, want.files[i].name);
    EXPECT_EQ(got.files[i].bytes, want.files[i].bytes);
    if (form.keepsModes) {
      EXPECT_EQ(got.files[i].mode, want.files[i].mode);
    }
    if (compareTimes && form.keepsTimes) {
      EXPECT_EQ(got.files[i].created, want.files[i].created);
      EXPECT_EQ(got.files[i].modified, want.files[i].modified);
    }
  }
}

void ExpectEveryTruncationRefused(const Bytes& whole, const std::function<bool(ByteView)>& reads) {
  for (std::size_t n = 0; n < whole.size(); ++n)
    ASSERT_FALSE(reads(ByteView(whole.data(), n))) << "accepted " << n << " of " << whole.size();
}

// Each PS2 form writes a save that reads back the same and is refused when
// cut anywhere; a card carries the save there and back too.
TEST(SaveFormatsTest, Ps2FormsRoundTripAndRefuseTruncation) {
  Ps2SaveData empty = MadeSave();
  empty.files.clear();
  for (const Ps2SaveData& save : {MadeSave(), empty})
    for (const Ps2Form& form : Ps2Forms()) {
      if (!form.write) continue;
      SCOPED_TRACE(form.name + std::to_string(save.files.size()));
      Bytes written = form.write(save);
      platform::Problem why;
      auto back = form.read(written, why);
      ASSERT_TRUE(back) << static_cast<int>(why.reason) << " " << why.field;
      ExpectSameSave(*back, save, form);
      EXPECT_EQ(form.write(*back), written);
      ExpectEveryTruncationRefused(written, [&](ByteView b) {
        platform::Problem w;
        bool ok = form.read(b, w).has_value();
        EXPECT_TRUE(ok || w.reason != platform::Reason::None);
        return ok;
      });
    }

  // Onto a card and back, the save is the same.
  platform::Problem why;
  auto card = ps2::Ps2CardImage::Open(
      ps2::FormatCard({ps2::Form::WithEcc, 512, ps2::CardTime{0, 0, 0, 12, 1, 1, 0xE8, 0x07}}),
      why);
  ASSERT_TRUE(card);
  ASSERT_EQ(card->AddSave(AsNewSave(MadeSave())).result, ps2::AddResult::Added);
  Ps2SaveData back = FromCardSave(*card, *card->FindSave(MadeSave().name));
  ExpectSameSave(back, MadeSave(), Ps2Forms()[1]);
  EXPECT_EQ(back.modified, MadeSave().modified);

  // A .cbs that claims far more than its deflated body can hold is refused
  // before a buffer of the claimed size is made.
  Bytes cbs = WriteCbsSave(MadeSave());
  platform::PutU32LE(cbs.data() + 0x0C, 60u << 20);
  EXPECT_FALSE(ReadCbsSave(cbs, why));
  EXPECT_EQ(why.reason, platform::Reason::SizeMismatch);
}

TEST(SaveFormatsTest, EveryRezFormGivesTheCardsSave) {
  auto dir = Corpus("mymcplus");
  if (!dir) GTEST_SKIP() << "corpus absent";
  platform::Problem why;
  auto card = ps2::Ps2CardImage::Open(ReadAll(*dir / "mc01.ps2"), why);
  ASSERT_TRUE(card);
  const ps2::Ps2Save* onCard = card->FindSave("BESCES-50501REZ");
  ASSERT_NE(onCard, nullptr);
  const Ps2SaveData want = FromCardSave(*card, *onCard);
  const char* files[] = {"BESCES-50501REZ.max", "BESCES-50501REZ.cbs", "BESCES-50501REZ.sps",
                         "BESCES-50501REZ.xps", "BESCES-5050152455A.PSV"};
  // The exports were made at other times than the card's copy, so their
  // times are compared among themselves: the device formats agree.
  std::vector<Ps2SaveData> read;
  for (std::size_t i = 0; i < Ps2Forms().size(); ++i) {
    const Ps2Form& form = Ps2Forms()[i];
    SCOPED_TRACE(form.name);
    auto got = form.read(ReadAll(*dir / files[i]), why);
    ASSERT_TRUE(got) << static_cast<int>(why.reason) << " " << why.field;
    Ps2SaveData expected = want;
    if (i == 4) {
      // The .PSV was exported after more play: the game's data file has
      // its size but other contents.
      ASSERT_EQ(got->files.size(), 3u);
      EXPECT_EQ(got->files[2].bytes.size(), expected.files[2].bytes.size());
      expected.files[2].bytes = got->files[2].bytes;
    }
    ExpectSameSave(*got, expected, form, false);
    read.push_back(*got);
  }
  ExpectSameSave(read[2], read[1], Ps2Forms()[2]);  // .sps against .cbs, times included
  ExpectSameSave(read[3], read[1], Ps2Forms()[3]);
}

// A save read from a device format goes onto a card and comes back the same.
TEST(SaveFormatsTest, Ps1SingleSavesReadWriteAndRefuseTruncation) {
  Bytes blocks = Pattern(2 * kPs1BlockSize, 4);
  blocks[0] = 'S';
  blocks[1] = 'C';
  blocks[3] = 2;
  Ps1SaveData save{"BASLUS-00001TEST", blocks};
  platform::Problem why;
  struct Case {
    const char* name;
    Bytes written;
    std::function<std::optional<Ps1SaveData>(ByteView, platform::Problem&)> read;
  };
  std::vector<Case> cases = {
      {"mcs", WriteMcsSave(save), ReadMcsSave},
      {"raw", blocks,
       [](ByteView b, platform::Problem& w) { return ReadRawPs1Save(b, "BASLUS-00001TEST", w); }},
      {"psv", WritePsvSave(save),
       [](ByteView b, platform::Problem& w) -> std::optional<Ps1SaveData> {
         auto p = ReadPsvSave(b, w);
         if (!p) return std::nullopt;
         return p->ps1;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto back = c.read(c.written, why);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->name, save.name);
    EXPECT_EQ(back->blocks, save.blocks);
    // A raw save cut at a block's end is a shorter save: nothing tells it
    // from a save whose title frame claims more blocks than it has.
    Bytes whole = c.written;
    if (std::string(c.name) == "raw") whole.resize(kPs1BlockSize - 1);
    ExpectEveryTruncationRefused(whole, [&](ByteView b) {
      platform::Problem w;
      return c.read(b, w).has_value();
    });
  }
  // Games' block counts can lie (a 1-block save claiming 7): the raw save is
  // the blocks the file holds.
  Bytes lying(blocks.begin(), blocks.begin() + kPs1BlockSize);
  lying[3] = 7;
  auto raw = ReadRawPs1Save(lying, "BASLUS-00001TEST", why);
  ASSERT_TRUE(raw) << static_cast<int>(why.reason);
  EXPECT_EQ(raw->blocks, lying);
}

// The signatures of the PS3's and the PSP's files check out, and so do ours
// when written again (with this program's seed for .vmp) holding the same
// save or card. That every corpus file opens is the corpus sweep's.
TEST(SaveFormatsTest, CorpusSignaturesCheckOut) {
  auto ps3 = Corpus("save-file-converter/ps1-ps3"), psp = Corpus("save-file-converter/ps1-psp");
  if (!ps3 || !psp) GTEST_SKIP() << "corpus absent";
  int checked = 0;
  for (const auto& e : fs::directory_iterator(*ps3)) {
    if (e.path().extension() != ".PSV") continue;
    SCOPED_TRACE(e.path().filename().string());
    platform::Problem why;
    auto psv = ReadPsvSave(ReadAll(e.path()), why);
    ASSERT_TRUE(psv && psv->ps1);
    EXPECT_TRUE(psv->signatureValid);
    EXPECT_EQ(psv->ps1->blocks[0], 'S');
    auto again = ReadPsvSave(WritePsvSave(*psv->ps1), why);
    ASSERT_TRUE(again && again->ps1);
    EXPECT_TRUE(again->signatureValid);
    EXPECT_EQ(again->ps1->blocks, psv->ps1->blocks);
    EXPECT_EQ(again->ps1->name, psv->ps1->name);
    ++checked;
  }
  for (const auto& e : fs::directory_iterator(*psp)) {
    std::string name = e.path().filename().string();
    if (!name.ends_with(".VMP") && !name.ends_with(".vmp")) continue;
    SCOPED_TRACE(name);
    platform::Problem why;
    auto vmp = ReadVmpCard(ReadAll(e.path()), why);
    ASSERT_TRUE(vmp);
    EXPECT_EQ(vmp->signatureValid, name.find("no-signature") == std::string::npos);
    auto again = ReadVmpCard(WriteVmpCard(vmp->card), why);
    ASSERT_TRUE(again);
    EXPECT_TRUE(again->signatureValid);
    EXPECT_EQ(again->card, vmp->card);
    ++checked;
  }
  EXPECT_EQ(checked, 2 + 6);
}

TEST(SaveFormatsTest, LzariRoundTripsAndRefusesAShortStream) {
  // Round trips are the .max form's. Decoders that read ones past the end of the stream (as the
  // original's bit reader does at end of file) get the same bytes.
  Bytes data = Pattern(5000, 1);
  Bytes packed = LzariEncode(data);
  Bytes ones = packed;
  ones.insert(ones.end(), 8, 0xFF);
  EXPECT_EQ(LzariDecode(ones, data.size()), data);
  packed.resize(packed.size() / 2);
  EXPECT_FALSE(LzariDecode(packed, data.size()));
}

// A save written as a folder reads back with its names, bytes, times and the
// write bit of each file's mode; nothing else lies beside the folder.
TEST(SaveFolderTest, WrittenFolderReadsBack) {
  testing::TempDir dir;
  Ps2SaveData save = MadeSave();
  save.files[3].mode = 0x8495;  // "data" may not be written
  std::string path = dir.File(save.name);
  platform::Problem why;
  ASSERT_TRUE(WriteSaveFolder(save, path, why)) << static_cast<int>(why.reason);
  EXPECT_EQ(dir.EntryCount(), 1u);
  auto back = ReadSaveFolder(path + "/", why);
  ASSERT_TRUE(back) << static_cast<int>(why.reason) << " " << why.field;
  // A folder keeps no order: files come sorted by name.
  Ps2SaveData want = save;
  std::sort(want.files.begin(), want.files.end(),
            [](const Ps2SaveFile& a, const Ps2SaveFile& b) { return a.name < b.name; });
  for (Ps2SaveFile& f : want.files) f.created = f.modified;
  ExpectSameSave(*back, want, {"folder", {}, {}, false, true});
  EXPECT_EQ(back->modified, save.modified);
  EXPECT_EQ(back->files[0].mode, 0x8495);  // "data"
  EXPECT_EQ(back->files[1].mode, 0x8497);
}

// Every name from a card that cannot name one file in the folder, and a name
// that is taken, is refused before anything is made.
TEST(SaveFolderTest, WritingRefusesBadNamesAndTakenPlaces) {
  testing::TempDir dir;
  using platform::Reason;
  const struct {
    std::string name;
    Reason reason;
  } bad[] = {{"", Reason::BadFileName},
             {".", Reason::BadFileName},
             {"..", Reason::BadFileName},
             {"../x", Reason::BadFileName},
             {"a/b", Reason::BadFileName},
             {std::string("a\0b", 3), Reason::BadFileName},
             {"icon.sys", Reason::BadFileName},  // a second file of that name
             {std::string(65, 'n'), Reason::NameTooLong}};
  for (const auto& c : bad) {
    SCOPED_TRACE(c.name);
    for (bool asSaveName : {false, true}) {
      if (asSaveName && c.name == "icon.sys") continue;
      Ps2SaveData save = MadeSave();
      if (asSaveName)
        save.name = c.name;
      else
        save.files.push_back({c.name, 0x8497, {}, {}, Bytes(3, 1)});
      platform::Problem why;
      EXPECT_FALSE(WriteSaveFolder(save, dir.File("out"), why));
      EXPECT_EQ(why.reason, c.reason);
      EXPECT_EQ(dir.EntryCount(), 0u);
    }
  }
  platform::Problem why;
  testing::WriteFileBytes(dir.File("file"), {1});
  ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
  for (const char* taken : {"file", "folder"}) {
    EXPECT_FALSE(WriteSaveFolder(MadeSave(), dir.File(taken), why));
    EXPECT_EQ(why.reason, Reason::AlreadyExists);
  }
  // A folder that is not there is named, not the save that was to go in it.
  EXPECT_FALSE(WriteSaveFolder(MadeSave(), dir.File("missing/save"), why));
  EXPECT_EQ(why.path, dir.File("missing"));
  EXPECT_EQ(dir.EntryCount(), 2u);
}

// A write that fails half-way (the file size limit cuts the second file)
// leaves no folder, finished or not.
TEST(SaveFolderTest, AFailedWriteLeavesNothing) {
  testing::TempDir dir;
  Ps2SaveData save = MadeSave();
  save.files.push_back({"zbig", 0x8497, {}, {}, Bytes(256 * 1024, 7)});
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  platform::Problem why;
  bool written = WriteSaveFolder(save, dir.File("out"), why);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(written);
  EXPECT_NE(why.reason, platform::Reason::None);
  EXPECT_EQ(dir.EntryCount(), 0u);
}

// What a folder may hold: files only, within the limits of a save.
TEST(SaveFolderTest, ReadingRefusesWhatNoSaveHolds) {
  using platform::Reason;
  const struct {
    const char* what;
    std::function<void(const std::string&)> make;
    Reason reason;
  } cases[] = {
      {"subfolder", [](const std::string& f) { mkdir((f + "/sub").c_str(), 0755); },
       Reason::FolderInSave},
      {"link", [](const std::string& f) { symlink("/etc/hostname", (f + "/l").c_str()); },
       Reason::LinkInSave},
      {"fifo", [](const std::string& f) { mkfifo((f + "/p").c_str(), 0644); },
       Reason::NotRegularFile},
      {"long name",
       [](const std::string& f) { testing::WriteFileBytes(f + "/" + std::string(65, 'x'), {}); },
       Reason::NameTooLong},
      {"too many files",
       [](const std::string& f) {
         for (std::size_t i = 0; i <= kMaxSaveFolderFiles; ++i)
           testing::WriteFileBytes(f + "/" + std::to_string(i), {});
       },
       Reason::TooManyFiles},
      {"too large",
       [](const std::string& f) {
         // Sparse: the size is refused before any byte is read.
         testing::WriteFileBytes(f + "/a", {1});
         testing::WriteFileBytes(f + "/b", {});
         ASSERT_EQ(truncate((f + "/b").c_str(), kMaxSaveBytes), 0);
       },
       Reason::TooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDir dir;
    std::string folder = dir.File("BESLES-12345TEST");
    ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
    testing::WriteFileBytes(folder + "/icon.sys", Bytes(964, 0));
    c.make(folder);
    platform::Problem why;
    EXPECT_FALSE(ReadSaveFolder(folder, why));
    EXPECT_EQ(why.reason, c.reason);
  }
  platform::Problem why;
  EXPECT_FALSE(ReadSaveFolder("/nonexistent-slk-folder", why));
  EXPECT_EQ(why.reason, Reason::NotFound);
}

}  // namespace
}  // namespace slk::formats
