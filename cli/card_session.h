#pragma once
// One command's card model: a Workspace whose two slots hold the cards a
// command works on, with the steps every command shares: loading a file into
// a slot, naming a save by row or name, and writing a slot back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "card/settings.h"
#include "card/workspace.h"
#include "cli/terminal_sink.h"
#include "platform/file_lock.h"

namespace slk {

class CardSession {
 public:
  explicit CardSession(Console& console);

  Workspace& Ws() { return ws_; }
  TerminalSink& Sink() { return sink_; }

  // Opens a card image into the (closed) slot. With `acceptSaveImage`, a save
  // data image is read as an expanded card holding that one save. Shows the
  // program's message and leaves the slot closed on failure. A command that
  // only reads the slot says so (`onlyRead`): an expanded card's saves are
  // then read where they lie in the card, not copied (SlotData::readsInPlace).
  bool LoadCard(Slot s, const std::string& path, bool acceptSaveImage, bool onlyRead = false);

  // Takes the card's write lock until the session ends, so that another
  // writer cannot replace the card between our reading and our writing it;
  // the commands that read a card and write it back take it before reading.
  // Waits a little for another holder, then refuses with the program's
  // message and the reason.
  bool LockCard(const std::string& path);

  // Writes the slot as a card image, replacing `path` only once the new file
  // is complete (under the card's lock). A PS1 card image that cannot carry the slot's saves is
  // refused with a note of why, then the program's message.
  bool SaveCard(Slot s, const std::string& path);

  // The row a save argument names: a row number as `list` shows it, or else
  // an exact save name. Prints why and returns nothing when no row or more
  // than one save matches.
  std::optional<std::uint32_t> FindRow(Slot s, const std::string& path, std::string_view saveName);

 private:
  Settings settings_;
  TerminalSink sink_;
  Workspace ws_;
  std::vector<std::pair<std::string, platform::FileLock>> locks_;
};

// A save or file name, or a title, from Shift-JIS to UTF-8.
std::string TextOf(const Name64& text);

// Why the slot cannot be written as a PS1 card image, or nothing when it can.
std::optional<std::string> WhyNotPS1Card(const Workspace& ws, Slot s);

}  // namespace slk
