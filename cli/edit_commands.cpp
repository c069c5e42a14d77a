// The commands that write: new, convert, import, export, copy, delete and
// rename.
// Each reads its cards into the slots, runs the card operations the window
// runs, and writes through the same replace-when-complete path; a refusal
// leaves every file as it was.

#include <algorithm>
#include <ostream>

#include "card/card_image.h"
#include "card/image_formats.h"
#include "card/ps2_card_slot.h"
#include "card/save_data_image.h"
#include "card/save_folder_slot.h"
#include "card/save_operations.h"
#include "card/save_rename.h"
#include "cli/card_session.h"
#include "cli/commands.h"
#include "cli/save_folders.h"

namespace slk {
namespace {

int Result(bool ok) {
  return ok ? ExitCode::Success : ExitCode::Refused;
}

// --ecc and --no-ecc choose the form of a PS2 card image and nothing else.
bool FormFitsTarget(Console& console, const char* command, const std::optional<ps2::Form>& form,
                    const std::string& out) {
  if (!form || IsPS2CardPath(out)) return true;
  console.err << "slotkeeper-cli: " << command << ": --ecc and --no-ecc choose the form of a PS2 "
              << "card image (.ps2, .mc2, .vmc); " << out << " is not one\n";
  return false;
}

// Why a save cannot be written in a save format, and what to write instead.
std::string WhyNotExported(const FormatRow& format, const SaveEntry& save) {
  std::string as(".");
  as += ExtensionOf(format);
  if (!format.writable) return as + " is read but never written (write .psu or .psd instead)";
  std::string what = !save.IsPS1()                        ? "a PS2 save"
                     : format.carries == Carries::PS2Only ? "a PS1 save"
                                                          : "the save is not made of whole blocks";
  return what + " cannot be written as " + as + " (write .psu or .psd instead)";
}

const std::string& TargetOf(const std::string& out, const std::string& card) {
  return out.empty() ? card : out;
}

}  // namespace

int RunNew(Console& console, const NewOptions& options) {
  const FormatRow* format = FormatOfPath(options.out, FileKind::CardImage);
  // A PS2 card exists only as an expanded card image; the other way round a
  // PS1 card may be written as .xmc, which then makes it an expanded card, as
  // the window's Save As does.
  if (options.kind == CardKind::PS2 && format && format->layout == FormatLayout::PS1Card) {
    console.err << "slotkeeper-cli: new: a PS2 card is written as .xmc only (" << options.out
                << " names a PS1 card image)\n";
    return ExitCode::Usage;
  }
  if (options.kind == CardKind::PS1 && IsPS2CardPath(options.out)) {
    console.err << "slotkeeper-cli: new: " << options.out
                << " names a PS2 card image; a PS1 card is written as .mcr, .mem and the like\n";
    return ExitCode::Usage;
  }
  if (!FormFitsTarget(console, "new", options.form, options.out)) return ExitCode::Usage;
  CardSession session(console);
  if (!session.Ws().CreateSlotStore(kLeft, 0)) {
    session.Sink().SetContext(options.out);
    session.Sink().ShowMessage(MessageId::FileNotPreserved);
    return ExitCode::Refused;
  }
  session.Ws().At(kLeft).kind = options.kind;
  if (IsPS2CardPath(options.out)) {
    session.Ws().At(kLeft).ps2Card = NewPS2Card(options.form.value_or(ps2::Form::WithEcc));
    session.Ws().At(kLeft).kind = CardKind::PS2Card;
  }
  return Result(session.SaveCard(kLeft, options.out));
}

int RunConvert(Console& console, const ConvertOptions& options) {
  if (!FormFitsTarget(console, "convert", options.form, options.out)) return ExitCode::Usage;
  CardSession session(console);
  session.Sink().SetForce(options.force);
  if (!session.LockCard(options.out) || !session.LoadCard(kLeft, options.in, false, true))
    return ExitCode::Refused;
  platform::Problem why;
  if (options.form && !MakePS2CardInForm(session.Ws(), kLeft, *options.form, why)) {
    session.Sink().SetContext(options.out);
    session.Sink().ShowProblem(MessageId::FileNotPreserved, why);
    return ExitCode::Refused;
  }
  return Result(session.SaveCard(kLeft, options.out));
}

int RunImport(Console& console, const ImportOptions& options) {
  CardSession session(console);
  session.Sink().SetForce(options.force);
  if (!session.LockCard(TargetOf(options.out, options.card)) ||
      !session.LoadCard(kLeft, options.card, false))
    return ExitCode::Refused;
  // Thousands of small saves: their bytes go into the slot's temporary file
  // many at a time, and each icon.sys is read back from memory. A write that
  // fails shows at a later save, or here, as the temporary folder's fault.
  platform::File& slotFile = session.Ws().At(kLeft).dataFile;
  slotFile.GatherWrites();
  for (const std::string& path : options.saveFiles) {
    session.Sink().SetContext(path);
    if (!AddSaveImageOrFolder(session.Ws(), kLeft, path)) return ExitCode::Refused;
  }
  if (!slotFile.StopGathering()) {
    ShowReadFailure(session.Ws(), kLeft, options.saveFiles.back());
    return ExitCode::Refused;
  }
  return Result(session.SaveCard(kLeft, TargetOf(options.out, options.card)));
}

int RunExport(Console& console, const ExportOptions& options) {
  CardSession session(console);
  if (!session.LoadCard(kLeft, options.card, true, true)) return ExitCode::Refused;
  std::optional<std::uint32_t> row = session.FindRow(kLeft, options.card, options.save);
  if (!row) return ExitCode::Refused;
  session.Sink().SetContext(options.out);
  std::string folder = ExportFolderPath(session.Ws(), kLeft, *row, options.out, options.folder);
  if (!folder.empty()) return Result(SaveSaveFolder(session.Ws(), kLeft, *row, folder) != 0);
  std::optional<SaveFormat> format = SaveFormatOf(options.out);
  const SaveEntry& save = session.Ws().At(kLeft).AtRow(*row);
  if (format && !SaveImageCarries(*format, save))
    session.Sink().Note(WhyNotExported(RowOf(*format), save));
  return Result(SaveSaveImage(session.Ws(), kLeft, *row, options.out) != 0);
}

int RunCopy(Console& console, const CopyOptions& options) {
  CardSession session(console);
  session.Sink().SetForce(options.force);
  if (!session.LoadCard(kLeft, options.source, true)) return ExitCode::Refused;
  std::optional<std::uint32_t> row = session.FindRow(kLeft, options.source, options.save);
  if (!row) return ExitCode::Refused;
  if (!session.LockCard(TargetOf(options.out, options.target)) ||
      !session.LoadCard(kRight, options.target, false))
    return ExitCode::Refused;
  session.Sink().SetContext(options.target);
  session.Sink().SetAnswer(options.answer);
  if (!CopySave(session.Ws(), kLeft, *row)) return ExitCode::Refused;
  return Result(session.SaveCard(kRight, TargetOf(options.out, options.target)));
}

int RunDelete(Console& console, const DeleteOptions& options) {
  CardSession session(console);
  session.Sink().SetForce(options.force);
  if (!session.LockCard(TargetOf(options.out, options.card)) ||
      !session.LoadCard(kLeft, options.card, false))
    return ExitCode::Refused;
  // Every save is named as the card lists it before anything is deleted, so
  // that row numbers do not shift under the later arguments.
  std::vector<std::uint32_t> rows;
  for (const std::string& saveName : options.saves) {
    std::optional<std::uint32_t> row = session.FindRow(kLeft, options.card, saveName);
    if (!row) return ExitCode::Refused;
    rows.push_back(*row);
  }
  std::sort(rows.begin(), rows.end(), std::greater<>());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  for (std::uint32_t row : rows) DeleteSave(session.Ws(), kLeft, row);
  return Result(session.SaveCard(kLeft, TargetOf(options.out, options.card)));
}

int RunRename(Console& console, const RenameOptions& options) {
  CardSession session(console);
  session.Sink().SetForce(options.force);
  if (!session.LockCard(TargetOf(options.out, options.card)) ||
      !session.LoadCard(kLeft, options.card, false))
    return ExitCode::Refused;
  std::optional<std::uint32_t> row = session.FindRow(kLeft, options.card, options.save);
  if (!row) return ExitCode::Refused;
  session.Sink().SetContext(options.card);
  if (!RenameSave(session.Ws(), kLeft, *row, options.name)) return ExitCode::Refused;
  return Result(session.SaveCard(kLeft, TargetOf(options.out, options.card)));
}

}  // namespace slk
