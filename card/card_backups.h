#pragma once
// Backups of card files: the generation a Save keeps of the file it replaces,
// the list the window and slotkeeper-cli show, and putting one back.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "card/workspace.h"
#include "platform/backups.h"

namespace slk {

// The store under the user's state folder ($XDG_STATE_HOME).
platform::BackupStore UserBackups();

// The workspace's clock as a backup's time.
platform::BackupTime BackupTimeNow(const Workspace& ws);

// Keeps the file at `path`, if there is one, as the newest of the settings'
// BackupGenerations before it is written over. On failure shows "The backup
// ... could not be made" with the reason and returns false: the save must not
// go on.
bool KeepCardBackup(Workspace& ws, const std::string& path);

struct CardBackup {
  platform::Backup file;
  std::optional<std::uint32_t> saves;  // nothing when the backup does not read
};

// The card's backups, newest first, with the number of saves each holds.
std::vector<CardBackup> ListCardBackups(const std::string& cardPath);

// Writes `generation` over the card (keeping the current file as a backup
// first). Shows "The File wasn't preserved." with the reason on failure.
bool RestoreCardBackup(Workspace& ws, const std::string& cardPath,
                       const platform::Backup& generation);

}  // namespace slk
