#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/workspace.h"
#include "drivers.h"
#include "fuzz_check.h"
#include "scratch.h"
#include "slot_checks.h"

namespace slk::fuzz {
namespace {

void CheckRefused(Workspace& ws, const ScriptedSink& sink, CardKind kindBefore) {
  const SlotData& slot = ws.At(kLeft);
  FUZZ_CHECK(slot.open);
  FUZZ_CHECK(slot.EntryCount() == 0 && slot.RowCount() == 0);
  FUZZ_CHECK(slot.kind == kindBefore);
  // One message: the opener's, or the reader's own in its place.
  FUZZ_CHECK(sink.shown.size() == 1);
  int shown = sink.shown.front();
  FUZZ_CHECK(shown == MessageId::FileNotOpened || shown == MessageId::NotExpandedCard ||
             shown == MessageId::UnsupportedVersion);
}

void CheckRoundTrip(Workspace& ws, const ScriptedSink& sink, const std::string& extension) {
  Fidelity fidelity = extension == "xmc" ? Fidelity::Exact : Fidelity::PS1Layout;
  std::vector<SaveView> read = ListedSaves(ws, kLeft);
  std::string written = ScratchPath("written." + extension);
  FUZZ_CHECK(SaveCardImage(ws, kLeft, written) == 1);
  FUZZ_CHECK(ws.CreateSlotStore(kRight, 0) == 1);
  FUZZ_CHECK(OpenCardImage(ws, kRight, written) == 1);
  CheckSlotConsistent(ws, kRight);
  CheckSameSaves(read, ListedSaves(ws, kRight), fidelity);
  // Saving what was read back must not drift: the same bytes again.
  std::string again = ScratchPath("again." + extension);
  FUZZ_CHECK(SaveCardImage(ws, kRight, again) == 1);
  FUZZ_CHECK(SameFileBytes(written, again));
  FUZZ_CHECK(sink.shown.empty());
}

// A command that only reads takes an expanded card's saves where they lie in
// the file (SlotData::readsInPlace): the same files taken, the same saves.
void CheckReadInPlace(const std::string& path, bool accepted, const std::vector<SaveView>& saves) {
  ScriptedSink sink;
  Settings settings;
  Workspace ws(sink, settings);
  FUZZ_CHECK(ws.CreateSlotStore(kLeft, 0) == 1);
  ws.At(kLeft).readsInPlace = true;
  FUZZ_CHECK((OpenCardImage(ws, kLeft, path) == 1) == accepted);
  if (!accepted) return;
  CheckSlotConsistent(ws, kLeft);
  CheckSameSaves(saves, ListedSaves(ws, kLeft), Fidelity::Exact);
}

}  // namespace

void FuzzCardImage(Input input, std::string_view extension) {
  std::string ext(extension);
  std::string path = WriteScratchFile("input." + ext, input);
  ScriptedSink sink;
  Settings settings;
  // Every run writes over the last run's file: no backups of scratch files.
  settings.BackupGenerations = 0;
  Workspace ws(sink, settings);
  FUZZ_CHECK(ws.CreateSlotStore(kLeft, 0) == 1);
  CardKind kindBefore = ws.At(kLeft).kind;
  bool accepted = OpenCardImage(ws, kLeft, path) == 1;
  // Whatever the file claims, the slot never holds more than the file did.
  FUZZ_CHECK(ws.At(kLeft).dataFile.Size() <= input.size());
  if (ext == "xmc")
    CheckReadInPlace(path, accepted, accepted ? ListedSaves(ws, kLeft) : std::vector<SaveView>{});
  if (!accepted) {
    CheckRefused(ws, sink, kindBefore);
    return;
  }
  FUZZ_CHECK(sink.shown.empty());
  FUZZ_CHECK(ws.At(kLeft).kind == (ext == "xmc" ? CardKind::PS2 : CardKind::PS1));
  CheckSlotConsistent(ws, kLeft);
  CheckRoundTrip(ws, sink, ext);
  CheckNoTemporaryFiles();
}

std::string_view PickExtension(Input input, std::span<const std::string_view> choices) {
  return choices[input.size() % choices.size()];
}

}  // namespace slk::fuzz
