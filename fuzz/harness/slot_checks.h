#pragma once
// What the fuzz targets assert about a slot: its records are consistent with
// each other and with its data file, and two slots list the same saves.

#include <cstdint>
#include <vector>

#include "card/messages.h"
#include "card/workspace.h"

namespace slk::fuzz {

// Answers every question the same way (Yes; the preselected kind) and keeps
// the messages shown, so that a run depends on nothing but its input.
class ScriptedSink : public MessageSink {
 public:
  void ShowMessage(int id) override { shown.push_back(id); }
  bool AskYesNo(int id) override {
    asked.push_back(id);
    return true;
  }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }

  std::vector<int> shown;
  std::vector<int> asked;
};

// A listed save as the user sees it: its records, its bytes, and what is
// derived from them. Icon positions are kept relative to the save's start.
struct SaveView {
  SaveEntry entry;
  std::vector<std::uint8_t> bytes;
};

std::vector<SaveView> ListedSaves(Workspace& ws, Slot s);

// How much of a save a format carries through a write and a read.
enum class Fidelity {
  Exact,     // .xmc, .psu/.psd: every field, names byte for byte, times
  PS1Layout  // PS1 layouts: names up to their first NUL, no times (read anew)
};

// Aborts unless both lists hold the same saves in the same order.
void CheckSameSaves(const std::vector<SaveView>& a, const std::vector<SaveView>& b,
                    Fidelity fidelity);

// Aborts unless the slot's entries lie back to back in its data file, each
// listed once in order, with file lists, titles and icons inside their save,
// and every PS1 save one file of whole blocks.
void CheckSlotConsistent(Workspace& ws, Slot s);

}  // namespace slk::fuzz
