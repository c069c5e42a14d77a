#include "shell/settings_file.h"

#include <array>
#include <string_view>
#include <vector>

#include "platform/backups.h"
#include "platform/ini_file.h"

namespace slk {

namespace {

constexpr std::string_view kSetting = "Setting";
constexpr std::string_view kDirectory = "Directory";
// Our own settings live apart, so that the original sections keep exactly
// the keys they always had.
constexpr std::string_view kOwn = platform::kOwnSettingsSection;

struct IntKey {
  std::string_view key;
  std::int32_t Settings::*field;
};

// The order in which the keys are written.
constexpr std::array<IntKey, 8> kIntKeys = {{
    {"DefaultImage", &Settings::DefaultImage},
    {"UseDefaultImage", &Settings::UseDefaultImage},
    {"LockImagePS1", &Settings::LockImagePS1},
    {"LockImagePS2", &Settings::LockImagePS2},
    {"LockAutoIconic", &Settings::LockAutoIconic},
    {"HALpriority", &Settings::HALpriority},
    {"AnimationCut", &Settings::AnimationCut},
    {"UseSlotPath", &Settings::UseSlotPath},
}};

}  // namespace

std::string DefaultSettingsPath() {
  return platform::UserConfigFolder() + "/" + kSettingsFileName;
}

Settings LoadSettings(const std::string& path, const std::string& currentDirectory,
                      bool* unreadable) {
  Settings settings;
  platform::Problem why;
  std::optional<platform::IniFile> ini = platform::LoadIniFile(path, &why);
  if (unreadable != nullptr) *unreadable = !ini && why.reason != platform::Reason::NotFound;
  if (!ini) {
    // First start: a new card defaults to the expanded card and no slot file
    // is remembered.
    settings.LockPath = currentDirectory;
    return settings;
  }
  for (const IntKey& k : kIntKeys) settings.*k.field = ini->GetInt(kSetting, k.key, 0);
  settings.DefaultImage = ini->GetInt(kSetting, "DefaultImage", 1);
  settings.LockPath = ini->GetString(kDirectory, "LockPath", currentDirectory);
  settings.LSlotPath = ini->GetString(kDirectory, "LSlotPath", currentDirectory);
  settings.RSlotPath = ini->GetString(kDirectory, "RSlotPath", currentDirectory);
  settings.BackupGenerations =
      ini->GetInt(kOwn, platform::kBackupGenerationsKey, platform::kDefaultBackupGenerations);
  settings.WindowScale = ini->GetInt(kOwn, "WindowScale", 0);
  settings.CardImageFolder = ini->GetString(kOwn, "CardImageFolder", "");
  settings.SaveDataImageFolder = ini->GetString(kOwn, "SaveDataImageFolder", "");
  return settings;
}

bool SaveSettings(const std::string& path, const Settings& settings,
                  const std::string& leftSlotPath, const std::string& rightSlotPath) {
  platform::Problem why;
  std::optional<platform::IniFile> old = platform::LoadIniFile(path, &why);
  if (!old && why.reason != platform::Reason::NotFound) return false;
  platform::IniFile ini = old.value_or(platform::IniFile{});
  std::vector<platform::IniEntry> entries;
  for (const IntKey& k : kIntKeys) {
    entries.push_back({std::string(k.key), std::to_string(settings.*k.field)});
  }
  ini.ReplaceSection(kSetting, entries);
  entries = {
      {"LockPath", settings.LockPath}, {"LSlotPath", leftSlotPath}, {"RSlotPath", rightSlotPath}};
  ini.ReplaceSection(kDirectory, entries);
  entries = {
      {std::string(platform::kBackupGenerationsKey), std::to_string(settings.BackupGenerations)},
      {"WindowScale", std::to_string(settings.WindowScale)},
      {"CardImageFolder", settings.CardImageFolder},
      {"SaveDataImageFolder", settings.SaveDataImageFolder}};
  ini.ReplaceSection(kOwn, entries);
  return platform::SaveIniFile(path, ini);
}

}  // namespace slk
