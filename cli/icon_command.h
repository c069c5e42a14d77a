#pragma once
// slotkeeper-cli icon: a save's icon as the program shows it, written as a
// PNG file: one cached list frame (64 x 64, its key colour transparent) or
// the whole 512 x 312 detail screen at its first frame.

#include <cstdint>
#include <functional>
#include <string>

#include "cli/console.h"

namespace CLI {
class App;
}

namespace slk {

struct IconOptions {
  std::string card;
  std::string save;
  std::string out;
  std::uint32_t frame = 0;
  bool detail = false;
  // Empty: "psicon/standard.ico" beside the program, in the folder above it,
  // in the current folder, or in the installed data folder. Without it the
  // command refuses.
  std::string standardIcon;
};

int RunIcon(Console& console, const IconOptions& options);

// Adds the "icon" subcommand; `run` is set to run it once it was parsed.
void AddIconCommand(CLI::App& app, IconOptions& options, std::function<int()>& run,
                    Console& console);

}  // namespace slk
