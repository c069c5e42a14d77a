#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <random>

#include "platform/io_faults.h"
#include "platform/links.h"

namespace slk::platform {
namespace {

constexpr std::size_t kNameMax = 255;
constexpr int kNameAttempts = 16;

// ".NAME.XXXXXX", the name cut short so that the whole stays within the file
// system's limit even for a target name of 255 bytes.
std::string TempNamePattern(const std::string& folder, const std::string& name) {
  long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  std::size_t max = limit > 0 ? static_cast<std::size_t>(limit) : kNameMax;
  constexpr std::size_t kAround = 8;  // '.' before, ".XXXXXX" after
  std::string kept = name.substr(0, max > kAround ? std::min(name.size(), max - kAround) : 0);
  return folder + "/." + kept + ".XXXXXX";
}

// Fills the pattern's trailing X's the way mkstemp does.
std::string FillPattern(std::string pattern) {
  static constexpr char kLetters[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
  for (auto it = pattern.rbegin(); it != pattern.rend() && *it == 'X'; ++it)
    *it = kLetters[pick(random)];
  return pattern;
}

bool Unsupported(int error) {
  return error == EOPNOTSUPP || error == EISDIR || error == EINVAL;
}

// Creating a file in the folder failed: a folder that refuses new files is
// read-only to us, whatever errno says.
Problem CreateProblem(int error, const std::string& path) {
  if (error == EACCES || error == EPERM) return FileProblem(Reason::ReadOnlyFolder, path, error);
  return ProblemFromErrno(error, path, Reason::WriteFailed);
}

bool SyncFolder(const std::string& folder) {
  if (IoFaultHits(IoStep::SyncFolder)) return false;
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  int error = errno;
  ::close(fd);
  errno = error;
  return synced;
}

}  // namespace

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {
  if (target_.empty() || target_.back() == '/') {
    problem_ = FileProblem(Reason::NotRegularFile, target_);
    return;
  }
  Open();
}

void AtomicFile::Open() {
  std::optional<std::string> real = FollowLinks(target_, &problem_);
  if (!real) return;
  real_ = *real;
  // Keep the permissions (and, where we may, the owner) an existing target
  // had; new files get 0644 less umask.
  struct stat st {};
  bool exists = ::stat(real_.c_str(), &st) == 0;
  mode_t mode = 0644;
  if (exists) {
    if (!S_ISREG(st.st_mode)) {
      problem_ = FileProblem(Reason::NotRegularFile, target_);
      return;
    }
    // The file's own write permission counts even where the folder would let
    // us replace it, and even for root.
    if ((st.st_mode & 0222) == 0 || (::access(real_.c_str(), W_OK) != 0 && errno == EACCES)) {
      problem_ = FileProblem(Reason::ReadOnlyFile, target_);
      return;
    }
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  std::string folder = FolderOf(real_);
  // An unnamed file gets its name through /proc at the end; where that is
  // missing, or the file system has no unnamed files, the file is named from
  // the start: a hidden name in the same folder, so that the rename stays on
  // one file system and a crash leaves at worst a stray dot-file, never a
  // torn target.
  int fd = -1;
  bool unnamed = ::access("/proc/self/fd", X_OK) == 0;
  if (unnamed) {
    fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, mode);
    if (fd < 0 && Unsupported(errno)) unnamed = false;
  }
  if (!unnamed) {
    std::string pattern = TempNamePattern(folder, NameOf(real_));
    fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd >= 0) temp_ = pattern;
  }
  if (fd < 0) {
    problem_ = CreateProblem(errno, target_);
    return;
  }
  if (exists && (st.st_uid != ::geteuid() || st.st_gid != ::getegid())) {
    // Only root may give a file away; others keep at least the group when
    // they belong to it. Failing here is no reason to refuse the save.
    if (::fchown(fd, st.st_uid, st.st_gid) != 0)
      (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
  }
  ::fchmod(fd, mode);
  file_ = File(fd);
  // Writers put a card together from many small pieces.
  file_.GatherWrites();
}

AtomicFile::~AtomicFile() {
  if (!committed_) Abandon();
}

bool AtomicFile::GiveName() {
  if (!temp_.empty()) return true;
  std::string pattern = TempNamePattern(FolderOf(real_), NameOf(real_));
  std::string self = "/proc/self/fd/" + std::to_string(file_.Descriptor());
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    std::string name = FillPattern(pattern);
    if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      temp_ = name;
      return true;
    }
    if (errno != EEXIST) break;
  }
  problem_ = CreateProblem(errno, target_);
  return false;
}

bool AtomicFile::Commit() {
  if (!file_.IsOpen()) return false;
  if (file_.Failed() || !file_.Flush()) {
    problem_ =
        ProblemFromErrno(file_.Error() != 0 ? file_.Error() : EIO, target_, Reason::WriteFailed);
    Abandon();
    return false;
  }
  if (!GiveName()) {
    Abandon();
    return false;
  }
  file_.Close();
  if (IoFaultHits(IoStep::Rename) || std::rename(temp_.c_str(), real_.c_str()) != 0) {
    problem_ = ProblemFromErrno(errno, target_, Reason::WriteFailed);
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  committed_ = true;
  temp_.clear();
  if (!SyncFolder(FolderOf(real_))) {
    problem_ = ProblemFromErrno(errno, target_, Reason::WriteFailed);
    return false;
  }
  return true;
}

Problem AtomicFile::Why() const {
  if (problem_) return problem_;
  if (committed_) return {};
  int error = file_.Failed() ? file_.Error() : 0;
  return ProblemFromErrno(error, target_, Reason::WriteFailed);
}

void AtomicFile::Abandon() {
  file_.Close();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace slk::platform
