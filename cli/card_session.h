#pragma once
// One command's card model: a Workspace whose two slots hold the cards a
// command works on, with the steps every command shares: loading a file into
// a slot, naming a save by row or name, and writing a slot back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "card/settings.h"
#include "card/workspace.h"
#include "cli/terminal_sink.h"

namespace slk {

class CardSession {
 public:
  explicit CardSession(Console& console);

  Workspace& Ws() { return ws_; }
  TerminalSink& Sink() { return sink_; }

  // Opens a card image into the (closed) slot. With `acceptSaveImage`, a save
  // data image is read as an expanded card holding that one save. Shows the
  // program's message and leaves the slot closed on failure.
  bool LoadCard(Slot s, const std::string& path, bool acceptSaveImage);

  // Writes the slot as a card image, replacing `path` only once the new file
  // is complete. A PS1 card image that cannot carry the slot's saves is
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
};

// A save or file name, or a title, from Shift-JIS to UTF-8.
std::string TextOf(const Name64& text);

// Why the slot cannot be written as a PS1 card image, or nothing when it can.
std::optional<std::string> WhyNotPS1Card(const Workspace& ws, Slot s);

}  // namespace slk
