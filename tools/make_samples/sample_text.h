#pragma once
// Small helpers the sample saves share: fixed dates, and titles written in
// UTF-8 in the source and stored as Shift-JIS as the consoles keep them.

#include <string>

#include "card/save_entry.h"

namespace slk::tools {

TimeStamp At(int year, int month, int day, int hour, int minute, int second);

std::string ToShiftJis(const std::string& utf8);

}  // namespace slk::tools
