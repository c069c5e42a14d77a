#pragma once
// The settings file "qovan2.ini": read once at start-up, rewritten at
// shut-down. Only the sections "Setting" and "Directory" are ours; anything
// else a user or another program put in the file is kept.

#include <string>

#include "card/settings.h"

namespace slk {

constexpr const char* kSettingsFileName = "qovan2.ini";

// The file in the per-user configuration folder ($XDG_CONFIG_HOME, else
// ~/.config).
std::string DefaultSettingsPath();

// Missing keys take their defaults; a missing file gives the first-start
// values (see the README). `currentDirectory` is the folder the program was
// started in, the default of every path. A file that exists but could not be
// read whole (permissions, size) also gives the first-start values, and sets
// `unreadable` when given.
Settings LoadSettings(const std::string& path, const std::string& currentDirectory,
                      bool* unreadable = nullptr);

// Replaces the two sections with the record, in the order the program has
// always written them; the remembered slot paths are the given ones, not the
// record's. False when the file could not be written (nothing is reported to
// the user: the settings are simply not kept). A file that exists but cannot
// be read whole is never written over: what it holds would be lost.
bool SaveSettings(const std::string& path, const Settings& settings,
                  const std::string& leftSlotPath, const std::string& rightSlotPath);

}  // namespace slk
