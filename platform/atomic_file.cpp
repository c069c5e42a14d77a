#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "platform/io_faults.h"

namespace slk::platform {
namespace {

std::string FolderOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

}  // namespace

AtomicFile::AtomicFile(std::string targetPath) : target_(std::move(targetPath)) {
  if (target_.empty() || target_.back() == '/') return;
  // A hidden name in the same folder, so that the rename stays on one file
  // system and a crash leaves at worst a stray dot-file, never a torn target.
  std::string pattern = FolderOf(target_) + "/." + NameOf(target_) + ".XXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return;
  // Keep the permissions an existing target had; new files get 0644 less umask.
  struct stat st {};
  mode_t mode = 0644;
  if (::stat(target_.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      ::close(fd);
      ::unlink(pattern.c_str());
      return;
    }
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode &= ~mask;
  }
  ::fchmod(fd, mode);
  temp_ = pattern;
  file_ = File(fd);
}

AtomicFile::~AtomicFile() {
  if (!committed_) Abandon();
}

bool AtomicFile::Commit() {
  if (!file_.IsOpen()) return false;
  if (file_.Failed() || !file_.Flush()) {
    Abandon();
    return false;
  }
  file_.Close();
  if (IoFaultHits(IoStep::Rename) || std::rename(temp_.c_str(), target_.c_str()) != 0) {
    ::unlink(temp_.c_str());
    temp_.clear();
    return false;
  }
  committed_ = true;
  SyncFolder(FolderOf(target_));
  return true;
}

void AtomicFile::Abandon() {
  file_.Close();
  if (!temp_.empty()) {
    ::unlink(temp_.c_str());
    temp_.clear();
  }
}

}  // namespace slk::platform
