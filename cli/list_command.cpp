// `list`: every save of card images and save data images, as text tables or
// as one JSON document.

#include <nlohmann/json.hpp>
#include <ostream>

#include "card/card_image.h"
#include "card/formats/crypto_library.h"
#include "card/image_formats.h"
#include "card/ps1_card.h"
#include "card/ps2/ps2_save_mapping.h"
#include "card/save_data_image.h"
#include "card/save_folder_slot.h"
#include "cli/card_session.h"
#include "cli/commands.h"
#include "cli/printable.h"
#include "cli/save_summary.h"
#include "cli/text_table.h"

namespace slk {
namespace {

struct ListedFile {
  std::string path;
  std::string format;  // extension as the format lists spell it
  bool saveImage = false;
  CardKind kind = CardKind::PS2;
  std::vector<SaveSummary> saves;
  // A PS2 card image: its free space, whether it is damaged, and the saves
  // the rows cannot carry (kept on the card, not listed).
  std::uint64_t freeKB = 0;
  bool damaged = false;
  std::uint32_t unlisted = 0;
  std::string error;  // set when the file could not be read
};

std::string JoinShown(TerminalSink& sink) {
  std::string joined;
  for (const std::string& text : sink.TakeShown()) joined += (joined.empty() ? "" : " ") + text;
  return joined;
}

ListedFile ReadListedFile(Console& console, const std::string& path, bool withDigest) {
  ListedFile file;
  file.path = path;
  CardSession session(console);
  if (!session.LoadCard(kLeft, path, true, true)) {
    file.error = JoinShown(session.Sink());
    return file;
  }
  const FormatRow* card = !IsSaveFolder(path) && KindOfPath(path) == PathKind::CardImage
                              ? FormatOfPath(path, FileKind::CardImage)
                              : nullptr;
  const SlotData& slot = session.Ws().At(kLeft);
  file.kind = slot.kind;
  bool folder = IsSaveFolder(path);
  file.saveImage = (folder || card == nullptr) && slot.kind != CardKind::PS2Card;
  if (slot.ps2Card) {
    file.format = path.substr(path.find_last_of('.') + 1);
    file.freeKB = slot.ps2Card->FreeBytes() / 1024;
    file.damaged = slot.ps2Card->Damaged();
    for (const ps2::Ps2Save& save : slot.ps2Card->ListSaves())
      if (!ps2::CarriedBySaveModel(save)) ++file.unlisted;
  } else if (folder) {
    file.format = "folder";
  } else {
    const FormatRow& format = card ? *card : *SaveImageFormat(path);
    // A raw save goes by many extensions, or none.
    file.format = format.layout == FormatLayout::RawPs1 ? "raw" : ExtensionOf(format);
  }
  // The digests are libcrypto's.
  platform::Problem why;
  if (withDigest && !formats::CryptoLoads(why)) {
    session.Sink().ShowProblem(MessageId::FileNotOpened, why);
    file.error = JoinShown(session.Sink());
    return file;
  }
  for (std::uint32_t row = 0; row < slot.RowCount(); ++row) {
    std::optional<SaveSummary> save = SummarizeSave(session.Ws(), kLeft, row, withDigest);
    if (!save) {
      session.Sink().ShowMessage(MessageId::FileNotOpened);
      file.error = JoinShown(session.Sink());
      return file;
    }
    file.saves.push_back(std::move(*save));
  }
  // A save data image has no card kind of its own: it is its save's.
  if (file.saveImage && !file.saves.empty())
    file.kind = file.saves.front().ps1 ? CardKind::PS1 : CardKind::PS2;
  return file;
}

const char* KindName(CardKind kind) {
  switch (kind) {
    case CardKind::PS1:
      return "PS1";
    case CardKind::PS2:
      return "PS2";
    case CardKind::PS2Card:
      return "PS2CARD";
  }
  return "PS2";
}

nlohmann::ordered_json JsonOf(const ListedFile& file) {
  if (!file.error.empty()) return {{"file", file.path}, {"error", file.error}};
  nlohmann::ordered_json saves = nlohmann::ordered_json::array();
  for (const SaveSummary& save : file.saves) {
    nlohmann::ordered_json files = nlohmann::ordered_json::array();
    for (const FileSummary& f : save.files)
      files.push_back({{"name", f.name}, {"size", f.size}, {"mode", f.mode}});
    saves.push_back({{"row", save.row},
                     {"name", save.name},
                     {"title", save.title},
                     {"ps1", save.ps1},
                     {"mode", save.mode},
                     {"size", save.size},
                     {"time", save.time},
                     {"sha256", save.sha256},
                     {"files", std::move(files)}});
  }
  nlohmann::ordered_json json{
      {"file", file.path}, {"format", file.format}, {"kind", KindName(file.kind)}};
  if (file.kind == CardKind::PS2Card) {
    json["freeKB"] = file.freeKB;
    json["damaged"] = file.damaged;
    json["unlisted"] = file.unlisted;
  }
  json["saves"] = std::move(saves);
  return json;
}

std::string SizeText(const SaveSummary& save) {
  if (save.ps1) {
    std::uint32_t blocks = save.size / kBlockSize;
    return std::to_string(blocks) + (blocks == 1 ? " block" : " blocks");
  }
  return std::to_string(save.sizeKB) + " KB";
}

// A title padded with line breaks or blanks (a text-form icon.sys read as a
// binary one) shows what text it has, not a row of '?'.
std::string TitleCell(const std::string& title) {
  auto blank = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  std::size_t begin = 0;
  std::size_t end = title.size();
  while (begin < end && blank(title[begin])) ++begin;
  while (end > begin && blank(title[end - 1])) --end;
  return title.substr(begin, end - begin);
}

std::string HeadingOf(const ListedFile& file) {
  std::string count =
      std::to_string(file.saves.size()) + (file.saves.size() == 1 ? " save" : " saves");
  if (file.saveImage && file.format == "folder") return file.path + ": save folder, " + count;
  if (file.saveImage) return file.path + ": save data image (." + file.format + "), " + count;
  if (file.kind == CardKind::PS2)
    return file.path + ": expanded card (." + file.format + "), " + count;
  if (file.kind == CardKind::PS2Card) {
    std::string text = file.path + ": PS2 card image (." + file.format + "), " + count + ", " +
                       std::to_string(file.freeKB) + " KB free";
    if (file.unlisted != 0)
      text += ", " + std::to_string(file.unlisted) + " with subfolders not listed";
    return text + (file.damaged ? ", damaged" : "");
  }
  std::uint32_t blocks = 0;
  for (const SaveSummary& save : file.saves) blocks += save.size / kBlockSize;
  return file.path + ": PS1 card (." + file.format + "), " + count + ", " + std::to_string(blocks) +
         " of 15 blocks used";
}

void PrintTable(std::ostream& out, const ListedFile& file) {
  using Align = TextTable::Align;
  out << Printable(HeadingOf(file)) << '\n';
  if (file.saves.empty()) {
    out << "  (no saves)\n";
    return;
  }
  TextTable table({"Row", "Name", "Title", "Type", "Size", "Date"},
                  {Align::Right, Align::Left, Align::Left, Align::Left, Align::Right, Align::Left});
  for (const SaveSummary& save : file.saves)
    table.AddRow({std::to_string(save.row), save.name, TitleCell(save.title),
                  save.ps1 ? "PS1" : "PS2", SizeText(save), save.time});
  table.Print(out);
  if (file.kind != CardKind::PS2Card) return;
  for (const SaveSummary& save : file.saves) {
    std::string files;
    for (const FileSummary& f : save.files)
      files += (files.empty() ? "" : ", ") + f.name + " " + std::to_string(f.size);
    out << "  " << save.row << ' ' << Printable(save.name) << ": " << Printable(files) << '\n';
  }
}

}  // namespace

int RunList(Console& console, const ListOptions& options) {
  int exit = ExitCode::Success;
  nlohmann::ordered_json files = nlohmann::ordered_json::array();
  bool first = true;
  for (const std::string& path : options.files) {
    ListedFile file = ReadListedFile(console, path, options.json);
    if (!file.error.empty()) exit = ExitCode::Refused;
    if (options.json) {
      files.push_back(JsonOf(file));
    } else if (file.error.empty()) {
      if (!first) console.out << '\n';
      PrintTable(console.out, file);
      first = false;
    }
  }
  if (options.json) {
    // Paths come from the command line and need not be UTF-8; the document
    // must still be valid JSON.
    nlohmann::ordered_json document{{"files", std::move(files)}};
    console.out << document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
                << '\n';
  }
  return exit;
}

}  // namespace slk
