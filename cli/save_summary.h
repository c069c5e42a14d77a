#pragma once
// What `list` tells about a save, in UTF-8 and plain numbers, shared by the
// text table and the JSON document.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "card/workspace.h"

namespace slk {

struct FileSummary {
  std::string name;
  std::uint32_t size = 0;
  SaveMode mode = 0;
};

struct SaveSummary {
  std::uint32_t row = 0;
  std::string name;
  std::string title;
  bool ps1 = false;
  SaveMode mode = 0;
  std::uint32_t size = 0;    // bytes
  std::uint32_t sizeKB = 0;  // as the window's detail screen shows it
  std::string time;          // "YYYY-MM-DD hh:mm:ss"
  std::string sha256;        // empty unless asked for
  std::vector<FileSummary> files;
};

// The save in `row` of the slot. With `withDigest`, the SHA-256 of its bytes
// as the slot holds them (a PS1 save's blocks; a PS2 save's files back to
// back); nothing when those bytes cannot be read back.
std::optional<SaveSummary> SummarizeSave(Workspace& ws, Slot s, std::uint32_t row, bool withDigest);

std::string FormatTime(const TimeStamp& time);

}  // namespace slk
