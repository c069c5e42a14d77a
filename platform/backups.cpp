#include "platform/backups.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/file.h"
#include "platform/links.h"

namespace slk::platform {
namespace {

namespace fs = std::filesystem;

// Generations made within one second get the counters 00 to 99.
constexpr int kSameSecondLimit = 100;
// "YYYYMMDD-HHMMSS-NN-": the part of a generation's name before the card's.
constexpr std::size_t kPrefixLength = 19;
constexpr std::size_t kCopyChunk = 1 << 20;

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    return pw->pw_dir;
  }
  return ".";
}

std::uint64_t Fnv1a64(std::string_view text) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (char c : text) {
    hash ^= static_cast<std::uint8_t>(c);
    hash *= 0x100000001b3ull;
  }
  return hash;
}

// The card's path with links followed and made absolute, so that every way
// of naming one file gives the same folder.
std::string CanonicalPath(const std::string& cardPath) {
  std::string real = FollowLinks(cardPath).value_or(cardPath);
  std::error_code error;
  fs::path canonical = fs::weakly_canonical(fs::absolute(real, error), error);
  return error ? real : canonical.string();
}

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d", n % 100);
  return text;
}

std::string TimePart(const BackupTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", t.year % 10000, t.month % 100,
                t.day % 100, t.hour % 100, t.minute % 100, t.second % 100);
  return text;
}

bool Digits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int Number(std::string_view digits) {
  int n = 0;
  for (char c : digits) n = 10 * n + (c - '0');
  return n;
}

// The time a generation's name carries, or false for a file that is not a
// generation of the card named `cardName`.
bool ParseGenerationName(std::string_view name, std::string_view cardName, BackupTime& time) {
  if (name.size() != kPrefixLength + cardName.size() || !name.ends_with(cardName)) return false;
  if (name[8] != '-' || name[15] != '-' || name[18] != '-') return false;
  if (!Digits(name.substr(0, 8)) || !Digits(name.substr(9, 6)) || !Digits(name.substr(16, 2)))
    return false;
  time.year = Number(name.substr(0, 4));
  time.month = Number(name.substr(4, 2));
  time.day = Number(name.substr(6, 2));
  time.hour = Number(name.substr(9, 2));
  time.minute = Number(name.substr(11, 2));
  time.second = Number(name.substr(13, 2));
  return true;
}

// Oldest first.
std::vector<Backup> Generations(const std::string& folder, const std::string& cardName) {
  std::vector<Backup> found;
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    std::error_code statError;
    if (!entry.is_regular_file(statError)) continue;
    Backup backup;
    if (!ParseGenerationName(entry.path().filename().string(), cardName, backup.time)) continue;
    backup.path = entry.path().string();
    backup.size = entry.file_size(statError);
    found.push_back(std::move(backup));
  }
  std::sort(found.begin(), found.end(),
            [](const Backup& a, const Backup& b) { return a.path < b.path; });
  return found;
}

// Copies what is left of `from` into `to`; a failed read names `fromPath`.
Problem CopyFile(File& from, const std::string& fromPath, File& to) {
  auto buffer = std::make_unique<std::uint8_t[]>(kCopyChunk);
  while (from.Remaining() > 0) {
    std::uint64_t n = std::min<std::uint64_t>(from.Remaining(), kCopyChunk);
    if (!from.ReadExact(buffer.get(), n))
      return ProblemFromErrno(from.Error() != 0 ? from.Error() : EIO, fromPath);
    if (!to.WriteExact(buffer.get(), n)) return {};  // the writer's Why() says why
  }
  return {};
}

Problem CreateFolder(const std::string& folder) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return ProblemFromErrno(error.value(), folder, Reason::WriteFailed);
  return {};
}

}  // namespace

std::string DefaultBackupRoot() {
  const char* state = std::getenv("XDG_STATE_HOME");
  std::string base =
      state != nullptr && state[0] == '/' ? std::string(state) : HomeFolder() + "/.local/state";
  return base + "/slotkeeper2/backups";
}

std::string BackupStore::FolderFor(const std::string& cardPath) const {
  std::string canonical = CanonicalPath(cardPath);
  char hash[24];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a64(canonical)));
  return root_ + "/" + NameOf(canonical) + "-" + hash;
}

std::vector<Backup> BackupStore::List(const std::string& cardPath) const {
  std::vector<Backup> found = Generations(FolderFor(cardPath), NameOf(CanonicalPath(cardPath)));
  std::reverse(found.begin(), found.end());
  return found;
}

Problem BackupStore::Keep(const std::string& cardPath, const BackupTime& time, int keep) const {
  if (keep <= 0) return {};
  Problem why;
  File card = File::OpenForReading(cardPath, why);
  if (!card.IsOpen()) return why.reason == Reason::NotFound ? Problem{} : why;
  std::string folder = FolderFor(cardPath);
  std::string cardName = NameOf(CanonicalPath(cardPath));
  if (Problem made = CreateFolder(folder)) return made;
  // After the last generation of the same second, never in a gap an older
  // one left: the names must keep sorting in the order they were made.
  std::string timePart = TimePart(time);
  int counter = 0;
  for (const Backup& b : Generations(folder, cardName)) {
    std::string name = NameOf(b.path);
    if (name.starts_with(timePart)) counter = std::max(counter, Number(name.substr(16, 2)) + 1);
  }
  if (counter >= kSameSecondLimit) return FileProblem(Reason::WriteFailed, folder, EEXIST);
  std::string path = folder + "/" + timePart + "-" + TwoDigits(counter) + "-" + cardName;
  AtomicFile out(path);
  if (!out.IsOpen()) return out.Why();
  if (Problem read = CopyFile(card, cardPath, out.Stream())) return read;
  if (!out.Commit()) return out.Why();
  // The oldest go first, once the new generation is safely on disk.
  std::vector<Backup> all = Generations(folder, cardName);
  for (std::size_t i = 0; i + static_cast<std::size_t>(keep) < all.size(); ++i)
    ::unlink(all[i].path.c_str());
  return {};
}

Problem BackupStore::Restore(const std::string& cardPath, const Backup& generation,
                             const BackupTime& time, int keep) const {
  Problem why;
  File from = File::OpenForReading(generation.path, why);
  if (!from.IsOpen()) return why;
  AtomicFile out(cardPath);
  if (!out.IsOpen()) return out.Why();
  if (Problem read = CopyFile(from, generation.path, out.Stream())) return read;
  // The generation is read whole before the current file is kept, which may
  // rotate that very generation out.
  if (Problem kept = Keep(cardPath, time, keep)) return kept;
  if (!out.Commit()) return out.Why();
  return {};
}

}  // namespace slk::platform
