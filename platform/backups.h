#pragma once
// Earlier generations of a card file, kept before a save writes over it.
//
// Every card has a folder of its own under the backup root, named by the
// card's file name and a 64-bit FNV-1a hash of its canonical path (links
// followed, made absolute): two cards called "memcard.mcr" in different
// folders never share generations, while the same card reached through a link
// or a relative path always does. The hash keeps the folder name short and
// free of '/', and the file name in front keeps it readable. Each generation
// is named "YYYYMMDD-HHMMSS-NN-<card file name>": local time, a counter for
// saves within the same second, and the card's own name, so that its
// extension still says its format. Names sort in the order they were made.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/problem.h"

namespace slk::platform {

// The section of qovan2.ini that holds this program's own settings, beside
// the sections the original program had.
inline constexpr std::string_view kOwnSettingsSection = "Slotkeeper2";
inline constexpr std::string_view kBackupGenerationsKey = "BackupGenerations";
inline constexpr int kDefaultBackupGenerations = 5;

// Local calendar time of a backup.
struct BackupTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

struct Backup {
  std::string path;
  BackupTime time;
  std::uint64_t size = 0;
};

// $XDG_STATE_HOME/slotkeeper2/backups, else ~/.local/state/slotkeeper2/backups.
std::string DefaultBackupRoot();

class BackupStore {
 public:
  explicit BackupStore(std::string root) : root_(std::move(root)) {}

  // The folder holding the generations of the card at `cardPath`.
  std::string FolderFor(const std::string& cardPath) const;

  // The card's generations, newest first.
  std::vector<Backup> List(const std::string& cardPath) const;

  // Copies the file at `cardPath` into a new generation and then removes the
  // oldest ones beyond `keep`. Nothing to do when keep is 0 or the file does
  // not exist yet. A problem means no backup was made (the caller must not
  // write over the card).
  Problem Keep(const std::string& cardPath, const BackupTime& time, int keep) const;

  // Writes `generation` over the card through the atomic path, after keeping
  // the current file as a generation of its own.
  Problem Restore(const std::string& cardPath, const Backup& generation, const BackupTime& time,
                  int keep) const;

 private:
  std::string root_;
};

}  // namespace slk::platform
