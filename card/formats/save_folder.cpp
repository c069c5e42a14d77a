#include "card/formats/save_folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <set>
#include <vector>

#include "card/formats/format_util.h"
#include "card/ps2/ps2_layout.h"
#include "platform/file.h"
#include "platform/links.h"

namespace slk::formats {
namespace {

using platform::Problem;
using platform::Reason;

constexpr SaveMode kWriteBit = 0x0002;  // a PS2 mode's "may be written"

bool Fail(Problem& why, Problem problem) {
  why = std::move(problem);
  return false;
}

bool FailErrno(Problem& why, const std::string& path, Reason fallback) {
  return Fail(why, platform::ProblemFromErrno(errno, path, fallback));
}

// ---- times: the formats keep the card's clock, the file system UTC ----

TimeStamp CardTimeOf(std::time_t when) {
  std::tm local{};
  if (localtime_r(&when, &local) == nullptr) return {};
  TimeStamp stamp;
  stamp.bytes[1] = static_cast<std::uint8_t>(local.tm_sec);
  stamp.bytes[2] = static_cast<std::uint8_t>(local.tm_min);
  stamp.bytes[3] = static_cast<std::uint8_t>(local.tm_hour);
  stamp.bytes[4] = static_cast<std::uint8_t>(local.tm_mday);
  stamp.bytes[5] = static_cast<std::uint8_t>(local.tm_mon + 1);
  platform::PutU16LE(&stamp.bytes[6], static_cast<std::uint16_t>(local.tm_year + 1900));
  return TimeStamp{ps2::LocalToCardTime(stamp)};
}

// Both times of a file set to the save's; an all-zero time (none kept)
// leaves the time of writing.
std::array<timespec, 2> FileTimesOf(const TimeStamp& cardTime) {
  timespec omit{0, UTIME_OMIT};
  if (cardTime == TimeStamp{}) return {omit, omit};
  TimeStamp local = ps2::CardTimeToLocal(cardTime.bytes);
  std::tm tm{};
  tm.tm_sec = local.Second();
  tm.tm_min = local.Minute();
  tm.tm_hour = local.Hour();
  tm.tm_mday = local.Day();
  tm.tm_mon = local.Month() - 1;
  tm.tm_year = local.Year() - 1900;
  tm.tm_isdst = -1;
  std::time_t when = std::mktime(&tm);
  if (when == static_cast<std::time_t>(-1)) return {omit, omit};
  timespec at{when, 0};
  return {at, at};
}

// ---- reading ----

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

// "saves/BESCES-50501REZ/" -> "BESCES-50501REZ"; "." -> the real name.
std::string FolderName(const std::string& path) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  std::string name = platform::NameOf(trimmed);
  if (name != "." && name != ".." && !name.empty()) return name;
  std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  return real ? platform::NameOf(real.get()) : name;
}

bool ReadOneFile(int folder, const std::string& name, const std::string& path, std::uint64_t& total,
                 Ps2SaveFile& out, Problem& why) {
  struct stat info {};
  // Looked at without following a link: nothing outside the folder is read.
  if (fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return FailErrno(why, path, Reason::ReadFailed);
  if (S_ISLNK(info.st_mode)) return Refuse(why, Reason::LinkInSave, name);
  if (S_ISDIR(info.st_mode)) return Refuse(why, Reason::FolderInSave, name);
  if (!S_ISREG(info.st_mode)) return Fail(why, platform::FileProblem(Reason::NotRegularFile, name));
  int fd = openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FailErrno(why, name, Reason::ReadFailed);
  platform::File file(fd);
  // The size that counts is the one of the file opened, not of the name.
  if (fstat(fd, &info) != 0) return FailErrno(why, name, Reason::ReadFailed);
  if (!S_ISREG(info.st_mode)) return Fail(why, platform::FileProblem(Reason::NotRegularFile, name));
  auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > kMaxSaveBytes - total)
    return Refuse(why, Reason::TooLarge, name, total + size, kMaxSaveBytes);
  total += size;
  out.name = name;
  out.created = out.modified = CardTimeOf(info.st_mtim.tv_sec);
  if ((info.st_mode & S_IWUSR) == 0) out.mode = static_cast<SaveMode>(out.mode & ~kWriteBit);
  out.bytes.resize(size);
  if (!file.ReadExact(out.bytes.data(), size))
    return Fail(why, platform::FileProblem(Reason::ReadFailed, name));
  return true;
}

// ---- writing ----

// The hidden folder the files go into first; removed with everything in it
// unless it was renamed into place.
class StagingFolder {
 public:
  explicit StagingFolder(const std::string& target) {
    std::string pattern = platform::FolderOf(target) + "/.slotkeeper-save-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) return;
    path_ = name.data();
    fd_ = open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;
  ~StagingFolder() {
    if (fd_ >= 0) {
      if (!placed_)
        for (const std::string& name : made_) unlinkat(fd_, name.c_str(), 0);
      close(fd_);
    }
    if (!placed_ && !path_.empty()) rmdir(path_.c_str());
  }

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  const std::string& Path() const { return path_; }
  void Made(const std::string& name) { made_.push_back(name); }
  void Placed() { placed_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  std::vector<std::string> made_;
  bool placed_ = false;
};

bool WriteOneFile(StagingFolder& folder, const Ps2SaveFile& file, const std::string& path,
                  Problem& why) {
  mode_t permissions = (file.mode & kWriteBit) != 0 ? 0644 : 0444;
  int fd = openat(folder.Descriptor(), file.name.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, permissions);
  if (fd < 0) return FailErrno(why, path, Reason::WriteFailed);
  folder.Made(file.name);
  platform::File out(fd);
  if (!out.WriteExact(file.bytes.data(), file.bytes.size()) || !out.Flush())
    return Fail(why, platform::ProblemFromErrno(out.Error(), path, Reason::WriteFailed));
  std::array<timespec, 2> times = FileTimesOf(file.modified);
  if (futimens(fd, times.data()) != 0) return FailErrno(why, path, Reason::WriteFailed);
  return true;
}

// Renames the finished folder into place unless something took the name
// meanwhile.
bool PlaceFolder(const std::string& from, const std::string& to, Problem& why) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EEXIST || errno == ENOTEMPTY)
    return Fail(why, platform::FileProblem(Reason::AlreadyExists, to));
  if (errno != EINVAL && errno != ENOSYS) return FailErrno(why, to, Reason::WriteFailed);
  // A file system without the no-replace rename: look, then rename.
  struct stat info {};
  if (lstat(to.c_str(), &info) == 0)
    return Fail(why, platform::FileProblem(Reason::AlreadyExists, to));
  if (rename(from.c_str(), to.c_str()) != 0) return FailErrno(why, to, Reason::WriteFailed);
  return true;
}

void FlushFolderOf(const std::string& path) {
  int fd = open(platform::FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

bool CheckSaveFileName(std::string_view name, Problem& why) {
  std::string shown(name);
  std::replace(shown.begin(), shown.end(), '\0', '?');
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos)
    return Refuse(why, Reason::BadFileName, shown);
  if (name.size() > kMaxSaveFileNameBytes)
    return Fail(why, platform::FileProblem(Reason::NameTooLong, shown));
  return true;
}

namespace {

std::optional<Ps2SaveData> ReadFolder(const std::string& path, Problem& why) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    int error = errno;
    why = platform::ProblemFromErrno(error, path, Reason::ReadFailed);
    if (error == ENOTDIR) why = platform::FileProblem(Reason::NotRegularFile, path);
    return std::nullopt;
  }
  DirHandle folder(fdopendir(fd));
  if (!folder) {
    close(fd);
    FailErrno(why, path, Reason::ReadFailed);
    return std::nullopt;
  }
  Ps2SaveData save;
  save.name = FolderName(path);
  if (!CheckSaveFileName(save.name, why)) return std::nullopt;
  struct stat info {};
  if (fstat(dirfd(folder.get()), &info) == 0)
    save.created = save.modified = CardTimeOf(info.st_mtim.tv_sec);

  std::vector<std::string> names;
  errno = 0;
  while (dirent* entry = readdir(folder.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (names.size() == kMaxSaveFolderFiles) {
      Refuse(why, Reason::TooManyFiles, {}, names.size() + 1, kMaxSaveFolderFiles);
      return std::nullopt;
    }
    names.push_back(std::move(name));
  }
  if (errno != 0) {
    FailErrno(why, path, Reason::ReadFailed);
    return std::nullopt;
  }
  std::sort(names.begin(), names.end());
  std::uint64_t total = 0;
  save.files.resize(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (!CheckSaveFileName(names[i], why) ||
        !ReadOneFile(dirfd(folder.get()), names[i], path, total, save.files[i], why))
      return std::nullopt;
  }
  return save;
}

bool WriteFolder(const Ps2SaveData& save, const std::string& path, Problem& why) {
  if (!CheckSaveFileName(save.name, why)) return false;
  std::set<std::string_view> seen;
  for (const Ps2SaveFile& file : save.files) {
    if (!CheckSaveFileName(file.name, why)) return false;
    // Two files of one name would leave one of them behind.
    if (!seen.insert(file.name).second) return Refuse(why, Reason::BadFileName, file.name);
  }
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0)
    return Fail(why, platform::FileProblem(Reason::AlreadyExists, path));
  if (errno != ENOENT) return FailErrno(why, path, Reason::WriteFailed);

  StagingFolder staging(path);
  // The hidden folder is made beside the target: when that fails, the folder
  // it was to go in is what the user must look at.
  if (!staging.IsOpen()) return FailErrno(why, platform::FolderOf(path), Reason::WriteFailed);
  for (const Ps2SaveFile& file : save.files) {
    if (!WriteOneFile(staging, file, path, why)) return false;
  }
  if (fchmod(staging.Descriptor(), 0755) != 0 || fsync(staging.Descriptor()) != 0)
    return FailErrno(why, path, Reason::WriteFailed);
  if (!PlaceFolder(staging.Path(), path, why)) return false;
  staging.Placed();
  // Set last: every file made inside changed the folder's time.
  std::array<timespec, 2> times = FileTimesOf(save.modified);
  futimens(staging.Descriptor(), times.data());
  FlushFolderOf(path);
  return true;
}

}  // namespace

std::optional<Ps2SaveData> ReadSaveFolder(const std::string& path, Problem& why) {
  std::optional<Ps2SaveData> save = ReadFolder(path, why);
  if (!save && why.path.empty()) why.path = path;
  return save;
}

bool WriteSaveFolder(const Ps2SaveData& save, const std::string& path, Problem& why) {
  bool written = WriteFolder(save, path, why);
  if (!written && why.path.empty()) why.path = path;
  return written;
}

}  // namespace slk::formats
