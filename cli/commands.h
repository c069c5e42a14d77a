#pragma once
// The commands of slotkeeper-cli. Each returns the process's exit code
// (ExitCode in console.h) and prints through the console it is given.

#include <optional>
#include <string>
#include <vector>

#include "card/ps2/ps2_layout.h"
#include "card/save_entry.h"
#include "cli/console.h"
#include "cli/terminal_sink.h"

namespace slk {

struct ListOptions {
  bool json = false;
  std::vector<std::string> files;
};

struct NewOptions {
  CardKind kind = CardKind::PS1;
  std::string out;
  std::optional<ps2::Form> form;  // --ecc or --no-ecc: a PS2 card image's form
};

// Every command that writes a card takes --force: write saves whose blocks
// broke off on the card they came from (refused without it).
struct ConvertOptions {
  std::string in;
  std::string out;
  bool force = false;
  std::optional<ps2::Form> form;
};

struct ImportOptions {
  std::string card;
  std::vector<std::string> saveFiles;
  std::string out;  // empty: write back to `card`
  bool force = false;
};

struct ExportOptions {
  std::string card;
  std::string save;
  std::string out;
  bool folder = false;  // write the save as the folder `out`
};

struct CopyOptions {
  std::string source;
  std::string save;
  std::string target;
  std::string out;  // empty: write back to `target`
  PresetAnswer answer = PresetAnswer::None;
  bool force = false;
};

struct DeleteOptions {
  std::string card;
  std::vector<std::string> saves;
  std::string out;  // empty: write back to `card`
  bool force = false;
};

struct RenameOptions {
  std::string card;
  std::string save;
  std::string name;
  std::string out;  // empty: write back to `card`
  bool force = false;
};

struct RestoreOptions {
  std::string card;
  std::size_t generation = 1;  // 1 is the newest, as `backups` numbers them
};

int RunList(Console& console, const ListOptions& options);
int RunNew(Console& console, const NewOptions& options);
int RunConvert(Console& console, const ConvertOptions& options);
int RunImport(Console& console, const ImportOptions& options);
int RunExport(Console& console, const ExportOptions& options);
int RunCopy(Console& console, const CopyOptions& options);
int RunDelete(Console& console, const DeleteOptions& options);
int RunRename(Console& console, const RenameOptions& options);
int RunCheck(Console& console, const std::vector<std::string>& files);
int RunBackups(Console& console, const std::string& card);
int RunRestore(Console& console, const RestoreOptions& options);

}  // namespace slk
