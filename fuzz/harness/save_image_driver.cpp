#include <string>

#include "card/ps1_card.h"
#include "card/save_data_image.h"
#include "card/utility.h"
#include "card/workspace.h"
#include "drivers.h"
#include "fuzz_check.h"
#include "scratch.h"
#include "slot_checks.h"

namespace slk::fuzz {
namespace {

void OpenSlot(Workspace& ws, Slot s, CardKind kind) {
  FUZZ_CHECK(ws.CreateSlotStore(s, 0) == 1);
  ws.At(s).kind = kind;
}

// A one-block PS1 save already in the slot, so that a refused or accepted
// import can be seen to leave earlier saves alone.
void AddResidentSave(Workspace& ws, Slot s) {
  std::vector<std::uint8_t> bytes(kBlockSize);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  const char title[] = "RESIDENT";
  bytes[0] = 'S';
  bytes[1] = 'C';
  std::copy(std::begin(title), std::end(title), bytes.begin() + 4);
  FUZZ_CHECK(ws.AddEntry(s, bytes.size()));
  SaveEntry& e = ws.At(s).entries.back();
  e.mode = kModePS1Directory;
  e.entryCount = 3;
  e.name = CardFileName(AsBytes("BASLUS-00000RESIDENT"));
  e.size = kBlockSize;
  e.files = {SaveFileEntry{kModePS1File, e.size, e.time, e.name}};
  FUZZ_CHECK(ws.At(s).dataFile.Seek(e.offset));
  FUZZ_CHECK(ws.At(s).dataFile.WriteExact(bytes.data(), bytes.size()));
  ws.ReadPS1Title(s, e.offset, e);
  ws.ResolveIcons(s, e);
  ws.ListLastEntry(s);
}

void CheckExportRoundTrip(Workspace& ws, const ScriptedSink& sink, const std::string& extension,
                          CardKind kind, const SaveView& imported) {
  Fidelity fidelity =
      extension == "psu" || extension == "psd" ? Fidelity::Exact : Fidelity::PS1Layout;
  std::uint32_t row = ws.At(kLeft).RowCount() - 1;
  std::string written = ScratchPath("written." + extension);
  FUZZ_CHECK(SaveSaveImage(ws, kLeft, row, written) == 1);
  OpenSlot(ws, kRight, kind);
  FUZZ_CHECK(AddSaveImage(ws, kRight, written) == 1);
  CheckSlotConsistent(ws, kRight);
  CheckSameSaves({imported}, ListedSaves(ws, kRight), fidelity);
  // The PS1 layouts carry no time of writing: exporting again is byte-exact.
  if (fidelity == Fidelity::PS1Layout) {
    std::string again = ScratchPath("again." + extension);
    FUZZ_CHECK(SaveSaveImage(ws, kRight, 0, again) == 1);
    FUZZ_CHECK(SameFileBytes(written, again));
  }
  FUZZ_CHECK(sink.shown.empty());
}

}  // namespace

ImportOutcome FuzzSaveImage(Input input, std::string_view extension, CardKind kind) {
  std::string ext(extension);
  std::string path = WriteScratchFile("input." + ext, input);
  ScriptedSink sink;
  Settings settings;
  // Every run writes over the last run's file: no backups of scratch files.
  settings.BackupGenerations = 0;
  Workspace ws(sink, settings);
  OpenSlot(ws, kLeft, kind);
  AddResidentSave(ws, kLeft);
  std::vector<SaveView> before = ListedSaves(ws, kLeft);
  std::uint64_t dataBefore = ws.At(kLeft).dataFile.Size();

  bool accepted = AddSaveImage(ws, kLeft, path) == 1;
  FUZZ_CHECK(ws.At(kLeft).dataFile.Size() <= dataBefore + input.size());
  std::vector<SaveView> after = ListedSaves(ws, kLeft);
  if (!accepted) {
    FUZZ_CHECK(ws.At(kLeft).EntryCount() == before.size());
    CheckSameSaves(before, after, Fidelity::Exact);
    // One message: the opener's, or the reader's or a PS1 card's rule's own.
    FUZZ_CHECK(sink.shown.size() == 1);
    int shown = sink.shown.front();
    FUZZ_CHECK(shown == MessageId::FileNotOpened || shown == MessageId::NotSaveDataImage ||
               shown == MessageId::PS2IntoPS1Card || shown == MessageId::SameDataName ||
               shown == MessageId::Exceeds15Blocks);
    return {};
  }
  FUZZ_CHECK(sink.shown.empty());
  CheckSlotConsistent(ws, kLeft);
  FUZZ_CHECK(after.size() == before.size() + 1);
  CheckSameSaves(before, {after.begin(), after.end() - 1}, Fidelity::Exact);
  const SaveView& imported = after.back();
  if (kind == CardKind::PS1) FUZZ_CHECK(imported.entry.IsPS1());
  CheckExportRoundTrip(ws, sink, ext, kind, imported);
  CheckNoTemporaryFiles();
  return {true, imported.entry.IsPS1()};
}

}  // namespace slk::fuzz
