// Every file of the corpus of real files (SLOTKEEPER_CORPUS, see its
// MANIFEST.md) through what `slotkeeper-cli list` runs: it opens, or it is
// refused for the reason the table below gives it. Skipped without the corpus.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "card/card_image.h"
#include "card/save_data_image.h"
#include "card/save_folder_slot.h"
#include "support/corpus.h"
#include "support/recording_sink.h"
#include "support/temp_dir.h"

namespace slk {
namespace {

namespace fs = std::filesystem;

enum class Outcome {
  Opens,
  // A loose file of a PS2 save folder (icon.sys, an icon, the game's data):
  // the folder is the save; alone the file is refused.
  FolderPart,
};

constexpr int kAnyCount = -1;

// The first rule whose folder and ending fit a file's path (relative to the
// corpus) is that file's expectation.
struct Rule {
  std::string_view under;   // leading part of the path
  std::string_view ending;  // trailing part, any letter case
  Outcome outcome;
  int saves = kAnyCount;
};

constexpr Rule kRules[] = {
    // A save whose title block claims 7 blocks on a card that gives it 1.
    {"go-psx-memcard/epsxe000 copy.mcr", "", Outcome::Opens, 7},
    // DexDrive files cut after their last save.
    {"save-file-converter/ps1-dexdrive/castlevania-symphony-of-the-night.1368.gme", "",
     Outcome::Opens, 1},
    {"save-file-converter/ps1-dexdrive/castlevania-symphony-of-the-night.3172.gme", "",
     Outcome::Opens, 0},
    {"mymcplus/mc01.ps2", "", Outcome::Opens, 2},
    {"mymcplus/mc02.ps2", "", Outcome::Opens, 0},
    // Hostile cards (FreePSXBoot): sizes and links far outside the card open
    // as what can be read.
    {"freepsxboot/", "", Outcome::Opens, 1},
    // Raw PS1 saves named like cards.
    {"tonyhax/old-mcd/", ".mcd", Outcome::Opens, 1},
    // PS2 save folders as a file manager copies them off a console.
    {"ps2-memcard-backup/", "", Outcome::FolderPart},
    {"fmcb-installer/INSTALL/", "", Outcome::FolderPart},
    {"opentuna/", "", Outcome::FolderPart},
    {"apollo-ps2/", "", Outcome::FolderPart},
    {"ps2-save-manager/", "", Outcome::FolderPart},
    {"ps2iconsys/BASLUS-20811NFSU/", "", Outcome::FolderPart},
    {"ps2iconsys/root/", "", Outcome::FolderPart},
    // Single saves, one each.
    {"", ".mcs", Outcome::Opens, 1},
    {"", ".psv", Outcome::Opens, 1},
    {"", ".psu", Outcome::Opens, 1},
    {"", ".max", Outcome::Opens, 1},
    {"", ".cbs", Outcome::Opens, 1},
    {"", ".sps", Outcome::Opens, 1},
    {"", ".xps", Outcome::Opens, 1},
    {"save-file-converter/", ".srm", Outcome::Opens, 1},  // raw saves
    {"psx_mc_cli/BESLES-04095XSMOTO", "", Outcome::Opens, 1},
    // Cards, full or blank.
    {"", ".mcr", Outcome::Opens},
    {"", ".mcd", Outcome::Opens},
    {"", ".gme", Outcome::Opens},
    {"", ".vmp", Outcome::Opens},
};

bool EndsWithAnyCase(std::string_view text, std::string_view ending) {
  return text.size() >= ending.size() &&
         std::equal(ending.begin(), ending.end(), text.end() - ending.size(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) ==
                  std::tolower(static_cast<unsigned char>(b));
         });
}

const Rule* RuleFor(std::string_view path) {
  for (const Rule& rule : kRules)
    if (path.starts_with(rule.under) && EndsWithAnyCase(path, rule.ending)) return &rule;
  return nullptr;
}

struct Result {
  bool opened = false;
  std::uint32_t saves = 0;
  CardKind kind = CardKind::PS2;
  std::vector<SaveEntry> rows;
  testing::RecordingSink sink;
};

// What `list` does with one file: a card image into a slot, or a save data
// image into an expanded card, which takes any save.
void Read(const std::string& path, Result& result) {
  Settings settings;
  Workspace ws(result.sink, settings);
  ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
  switch (KindOfPath(path)) {
    case PathKind::CardImage:
      result.opened = OpenCardImage(ws, kLeft, path) != 0;
      break;
    case PathKind::SaveDataImage:
      ws.At(kLeft).kind = CardKind::PS2;
      result.opened = AddSaveImage(ws, kLeft, path) != 0;
      break;
    case PathKind::Neither:
      result.sink.ShowMessage(MessageId::NotCardImage);
      break;
  }
  result.saves = ws.At(kLeft).RowCount();
  result.kind = ws.At(kLeft).kind;
  for (std::uint32_t row = 0; row < result.saves; ++row)
    result.rows.push_back(ws.At(kLeft).AtRow(row));
}

std::string Text(const Name64& field) {
  return std::string(reinterpret_cast<const char*>(field.data()),
                     strnlen(reinterpret_cast<const char*>(field.data()), field.size()));
}

// What a real file's saves must look like: a PS1 card's saves are whole
// blocks, at most 15; a .mcs save is named by its frame and is its blocks;
// a real .psu has its title and icon.
void ExpectSensibleSaves(const fs::path& file, const Result& result) {
  for (const SaveEntry& e : result.rows) {
    if (result.kind != CardKind::PS1) continue;
    EXPECT_GE(e.size, 8192u);
    EXPECT_LE(e.size, 15u * 8192);
    EXPECT_EQ(e.size % 8192, 0u);
  }
  if (result.rows.size() != 1) return;
  const SaveEntry& e = result.rows[0];
  if (EndsWithAnyCase(file.string(), ".mcs")) {
    std::string bytes = testing::ReadFileText(file.string());
    EXPECT_EQ(e.size, bytes.size() - 128);
    EXPECT_EQ(Text(e.name), bytes.substr(10, 20).c_str());
  } else if (EndsWithAnyCase(file.string(), ".psu")) {
    EXPECT_EQ(e.useStandardIcon, 0u);
    EXPECT_GT(e.titleLine1Length, 0);
  }
}

TEST(CorpusSweep, EveryFileOpensOrIsRefusedForItsNamedReason) {
  fs::path corpus = testing::CorpusDir();
  if (!fs::exists(corpus / "MANIFEST.md")) GTEST_SKIP() << "no corpus at " << corpus;
  std::map<const Rule*, int> used;
  std::set<fs::path> folders;
  int opened = 0;
  for (const auto& item : fs::recursive_directory_iterator(corpus)) {
    if (!item.is_regular_file()) continue;
    std::string path = fs::relative(item.path(), corpus).string();
    if (path == "MANIFEST.md" || path == "provenance.tsv") continue;
    SCOPED_TRACE(path);
    const Rule* rule = RuleFor(path);
    ASSERT_NE(rule, nullptr) << "a corpus file the table does not name";
    ++used[rule];
    Result result;
    Read(item.path().string(), result);
    switch (rule->outcome) {
      case Outcome::Opens:
        EXPECT_TRUE(result.opened);
        if (rule->saves != kAnyCount) {
          EXPECT_EQ(result.saves, static_cast<std::uint32_t>(rule->saves));
        }
        opened += result.opened;
        ExpectSensibleSaves(item.path(), result);
        break;
      case Outcome::FolderPart:
        folders.insert(item.path().parent_path());
        // Not a card and no save on its own, said in so many words.
        EXPECT_FALSE(result.opened);
        EXPECT_EQ(result.sink.shown.size(), 1u);
        if (result.sink.shown != std::vector<int>{MessageId::NotCardImage}) {
          EXPECT_EQ(result.sink.problems.size(), 1u);
        }
        break;
    }
  }
  for (const Rule& rule : kRules)
    EXPECT_GT(used[&rule], 0) << "no corpus file fits the rule for " << rule.under << rule.ending;
  EXPECT_EQ(opened, 108);

  // The folders those loose files lie in are saves, unless they hold
  // folders themselves, which no save does.
  for (const fs::path& folder : folders) {
    SCOPED_TRACE(folder.string());
    bool nested = std::any_of(fs::directory_iterator(folder), fs::directory_iterator(),
                              [](const fs::directory_entry& e) { return e.is_directory(); });
    Result result;
    Settings settings;
    Workspace ws(result.sink, settings);
    ASSERT_EQ(ws.CreateSlotStore(kLeft, 0), 1u);
    ws.At(kLeft).kind = CardKind::PS2;
    EXPECT_EQ(AddSaveFolder(ws, kLeft, folder.string()) != 0, !nested);
    EXPECT_EQ(result.sink.problems.size(), nested ? 1u : 0u);
  }
  EXPECT_EQ(folders.size(), 30u);
}

}  // namespace
}  // namespace slk
