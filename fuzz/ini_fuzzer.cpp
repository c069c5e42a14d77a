// The settings file: read as the program reads it at start-up, its two
// sections replaced and written back as at shut-down, and read again.
// Reading never fails; writing keeps every other line; what was written is
// what is read back.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "harness/fuzz_check.h"
#include "harness/scratch.h"
#include "platform/ini_file.h"

namespace {

using slk::platform::IniEntry;
using slk::platform::IniFile;

constexpr std::array<std::string_view, 8> kSettingKeys = {
    "DefaultImage",   "UseDefaultImage", "LockImagePS1", "LockImagePS2",
    "LockAutoIconic", "HALpriority",     "AnimationCut", "UseSlotPath"};
constexpr std::array<std::string_view, 3> kDirectoryKeys = {"LockPath", "LSlotPath", "RSlotPath"};

// What a value becomes once written: one line.
std::string OneLine(std::string value) {
  for (char& c : value)
    if (c == '\r' || c == '\n') c = ' ';
  return value;
}

// The two sections as the program writes them back: the numbers it parsed,
// and the paths as it read them (any bytes at all).
std::vector<IniEntry> SettingsToWrite(const IniFile& ini) {
  std::vector<IniEntry> entries;
  for (std::string_view key : kSettingKeys)
    entries.push_back({std::string(key), std::to_string(ini.GetInt("Setting", key, 0))});
  return entries;
}

std::vector<IniEntry> FoldersToWrite(const IniFile& ini) {
  std::vector<IniEntry> entries;
  for (std::string_view key : kDirectoryKeys)
    entries.push_back({std::string(key), ini.GetString("Directory", key, "")});
  return entries;
}

void CheckWritten(const IniFile& back, std::string_view section,
                  const std::vector<IniEntry>& entries) {
  for (const IniEntry& entry : entries)
    FUZZ_CHECK(back.Find(section, entry.key) == OneLine(entry.value));
}

void CheckSameLookups(const IniFile& a, const IniFile& b) {
  for (std::string_view key : kSettingKeys)
    FUZZ_CHECK(a.Find("Setting", key) == b.Find("Setting", key));
  for (std::string_view key : kDirectoryKeys)
    FUZZ_CHECK(a.Find("Directory", key) == b.Find("Directory", key));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace slk;
  std::string path = fuzz::WriteScratchFile("qovan2.ini", {data, size});
  std::optional<IniFile> ini = platform::LoadIniFile(path);
  FUZZ_CHECK(ini.has_value());

  // Serializing is stable: what is written parses to the same lines.
  std::string text = ini->Serialize();
  IniFile reread = IniFile::Parse(text);
  FUZZ_CHECK(reread.Serialize() == text);
  CheckSameLookups(*ini, reread);

  std::vector<IniEntry> settings = SettingsToWrite(*ini);
  std::vector<IniEntry> folders = FoldersToWrite(*ini);
  IniFile updated = *ini;
  updated.ReplaceSection("Setting", settings);
  updated.ReplaceSection("Directory", folders);
  std::string written = fuzz::ScratchPath("written.ini");
  FUZZ_CHECK(platform::SaveIniFile(written, updated));
  std::optional<IniFile> back = platform::LoadIniFile(written);
  FUZZ_CHECK(back.has_value());
  CheckWritten(*back, "Setting", settings);
  CheckWritten(*back, "Directory", folders);
  // Everything else is kept: a file that is written back unchanged reads the
  // same, and a file written twice is the same file.
  FUZZ_CHECK(back->Serialize() == updated.Serialize());
  fuzz::CheckNoTemporaryFiles();
  return 0;
}
