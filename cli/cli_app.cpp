#include "cli/cli_app.h"

#include <CLI/CLI.hpp>
#include <functional>

#include "cli/commands.h"
#include "cli/icon_command.h"

namespace slk {
namespace {

constexpr const char* kSaveHelp =
    "a save: its row number as `list` shows it (0-based) or its exact name";
constexpr const char* kForceHelp =
    "write saves whose blocks break off on the card they came from, with the blocks found, "
    "and damaged PS2 card images as they stand (refused without it)";

using Command = std::function<int()>;

// Flags that choose between alternatives, turned into the options' values
// once parsing is done.
struct ChoiceFlags {
  bool ps1 = false;
  bool ps2 = false;
  bool yes = false;
  bool no = false;
  bool ecc = false;
  bool noEcc = false;

  std::optional<ps2::Form> Form() const {
    if (ecc) return ps2::Form::WithEcc;
    if (noEcc) return ps2::Form::WithoutEcc;
    return std::nullopt;
  }
};

// The form of a PS2 card image to write: pages with or without their spare
// bytes.
void AddFormFlags(CLI::App* sub, ChoiceFlags& f) {
  CLI::Option* ecc =
      sub->add_flag("--ecc", f.ecc, "a PS2 card image with the ECC spare bytes (8,650,752 bytes)");
  sub->add_flag("--no-ecc", f.noEcc, "a PS2 card image without them (8,388,608 bytes)")
      ->excludes(ecc);
}

void AddList(CLI::App& app, ListOptions& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "list", "List the saves of card images and save data images (one table per file)");
  sub->add_flag("--json", o.json, "print one JSON document instead of tables");
  sub->add_option("FILE", o.files, "card images or save data images")->required();
  sub->callback([&] { run = [&] { return RunList(c, o); }; });
}

void AddNew(CLI::App& app, NewOptions& o, ChoiceFlags& f, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "new",
      "Write an empty card in the format of OUT's extension (a PS2 card: .xmc, or .ps2, .mc2, "
      ".vmc for a formatted 8 MB PS2 card image)");
  CLI::Option_group* kind = sub->add_option_group("kind", "the kind of card");
  kind->add_flag("--ps1", f.ps1, "a PS1 card (15 blocks; .xmc makes it an expanded card)");
  kind->add_flag("--ps2", f.ps2, "a PS2 card: expanded (.xmc, any saves) or a card image (.ps2)");
  kind->require_option(1);
  sub->add_option("OUT", o.out, "the card image to write")->required();
  AddFormFlags(sub, f);
  sub->callback([&] {
    o.kind = f.ps1 ? CardKind::PS1 : CardKind::PS2;
    o.form = f.Form();
    run = [&] { return RunNew(c, o); };
  });
}

void AddConvert(CLI::App& app, ConvertOptions& o, ChoiceFlags& f, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "convert", "Write a card image in another card image format (by OUT's extension)");
  sub->add_option("IN", o.in, "the card image to read")->required();
  sub->add_option("OUT", o.out, "the card image to write")->required();
  sub->add_flag("--force", o.force, kForceHelp);
  AddFormFlags(sub, f);
  sub->callback([&] {
    o.form = f.Form();
    run = [&] { return RunConvert(c, o); };
  });
}

void AddImport(CLI::App& app, ImportOptions& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "import", "Add save data images to a card and write it back (to CARD, or to OUT)");
  sub->add_option("CARD", o.card, "the card image")->required();
  sub->add_option("SAVEFILE", o.saveFiles,
                  "save data images or PS2 save folders, added in this order")
      ->required();
  sub->add_option("-o,--output", o.out, "write the card here instead of over CARD");
  sub->add_flag("--force", o.force, kForceHelp);
  sub->callback([&] { run = [&] { return RunImport(c, o); }; });
}

void AddExport(CLI::App& app, ExportOptions& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "export", "Write one save as a save data image (format by OUT's extension)");
  sub->add_option("CARD", o.card, "a card image or save data image")->required();
  sub->add_option("SAVE", o.save, kSaveHelp)->required();
  sub->add_option("OUT", o.out, "the save data image to write (ending in '/': a folder in it)")
      ->required();
  sub->add_flag("--folder", o.folder, "write the save as the new folder OUT (PS2 saves)");
  sub->callback([&] { run = [&] { return RunExport(c, o); }; });
}

void AddCopy(CLI::App& app, CopyOptions& o, ChoiceFlags& f, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "copy", "Copy a save into another card under the rules of Copy, and write that card");
  sub->add_option("SRC", o.source, "the card (or save data image) to copy from")->required();
  sub->add_option("SAVE", o.save, kSaveHelp)->required();
  sub->add_option("DST", o.target, "the card image to copy into")->required();
  sub->add_option("-o,--output", o.out, "write the card here instead of over DST");
  sub->add_flag("--force", o.force, kForceHelp);
  auto* yes = sub->add_flag("--yes", f.yes, "answer Yes to \"Do you wish to add it?\"");
  auto* no = sub->add_flag("--no", f.no, "answer No to \"Do you wish to add it?\"");
  yes->excludes(no);
  sub->callback([&] {
    o.answer = f.yes ? PresetAnswer::Yes : f.no ? PresetAnswer::No : PresetAnswer::None;
    run = [&] { return RunCopy(c, o); };
  });
}

void AddDelete(CLI::App& app, DeleteOptions& o, Command& run, Console& c) {
  CLI::App* sub =
      app.add_subcommand("delete", "Delete saves from a card and write it back (to CARD, or OUT)");
  sub->add_option("CARD", o.card, "the card image")->required();
  sub->add_option("SAVE", o.saves, std::string(kSaveHelp) + "; several may be given")->required();
  sub->add_option("-o,--output", o.out, "write the card here instead of over CARD");
  sub->add_flag("--force", o.force, kForceHelp);
  sub->callback([&] { run = [&] { return RunDelete(c, o); }; });
}

void AddRename(CLI::App& app, RenameOptions& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "rename", "Give a save another name and write the card back (to CARD, or OUT)");
  sub->add_option("CARD", o.card, "the card image")->required();
  sub->add_option("SAVE", o.save, kSaveHelp)->required();
  sub->add_option("NEWNAME", o.name,
                  "the new name: at most 20 characters for a PS1 save, 32 for a PS2 save")
      ->required();
  sub->add_option("-o,--output", o.out, "write the card here instead of over CARD");
  sub->add_flag("--force", o.force, kForceHelp);
  sub->callback([&] { run = [&] { return RunRename(c, o); }; });
}

void AddCheck(CLI::App& app, std::vector<std::string>& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "check", "Report what is wrong in card images (read-only); exit 1 when anything is");
  sub->add_option("FILE", o, "card images")->required();
  sub->callback([&] { run = [&] { return RunCheck(c, o); }; });
}

void AddBackups(CLI::App& app, std::string& card, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "backups", "List the backups kept of a card before it was written over (newest first)");
  sub->add_option("CARD", card, "the card image")->required();
  sub->callback([&] { run = [&] { return RunBackups(c, card); }; });
}

void AddRestore(CLI::App& app, RestoreOptions& o, Command& run, Console& c) {
  CLI::App* sub = app.add_subcommand(
      "restore", "Write a backup back over the card (the card as it is now is kept as a backup)");
  sub->add_option("CARD", o.card, "the card image")->required();
  sub->add_option("GENERATION", o.generation, "the backup's number as `backups` lists it")
      ->default_val(1);
  sub->callback([&] { run = [&] { return RunRestore(c, o); }; });
}

}  // namespace

const char* VersionText() {
  return "slotkeeper-cli " SLOTKEEPER_VERSION_TEXT;
}

int RunCli(int argc, const char* const* argv, Console& console) {
  CLI::App app("Lists, converts, checks and edits PlayStation memory card images.",
               "slotkeeper-cli");
  app.set_version_flag("--version", VersionText());
  app.require_subcommand(1);
  app.footer("Exit status: 0 success, 1 refused (the reason on stderr), 2 usage error.");

  Command run;
  ChoiceFlags flags;
  ListOptions list;
  NewOptions fresh;
  ConvertOptions convert;
  ImportOptions import;
  ExportOptions exportOptions;
  CopyOptions copy;
  DeleteOptions erase;
  RenameOptions rename;
  std::vector<std::string> check;
  IconOptions icon;
  std::string backupsCard;
  RestoreOptions restore;
  AddList(app, list, run, console);
  AddNew(app, fresh, flags, run, console);
  AddConvert(app, convert, flags, run, console);
  AddImport(app, import, run, console);
  AddExport(app, exportOptions, run, console);
  AddCopy(app, copy, flags, run, console);
  AddDelete(app, erase, run, console);
  AddRename(app, rename, run, console);
  AddCheck(app, check, run, console);
  AddIconCommand(app, icon, run, console);
  AddBackups(app, backupsCard, run, console);
  AddRestore(app, restore, run, console);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e, console.out, console.err);
    return code == 0 ? ExitCode::Success : ExitCode::Usage;
  }
  return run ? run() : ExitCode::Usage;
}

}  // namespace slk
