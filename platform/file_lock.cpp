#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <thread>
#include <utility>

#include "platform/links.h"

namespace slk::platform {
namespace {

constexpr std::chrono::milliseconds kPoll{20};

bool Refuse(Problem* why, Problem problem) {
  if (why != nullptr) *why = std::move(problem);
  return false;
}

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void FileLock::Release() {
  if (fd_ >= 0) {
    ::close(fd_);  // closing drops the lock
    fd_ = -1;
  }
}

bool FileLock::Acquire(const std::string& path, std::chrono::milliseconds patience, Problem* why) {
  Release();
  auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    std::optional<std::string> real = FollowLinks(path, why);
    if (!real) return false;
    int fd = ::open(real->c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
      if (errno == ENOENT) return true;
      return Refuse(why, ProblemFromErrno(errno, path));
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return Refuse(why, FileProblem(Reason::NotRegularFile, path));
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      // The holder before us may have renamed a new file over the one we
      // locked; a lock on the old one guards nothing, so start again.
      struct stat now {};
      if (::stat(real->c_str(), &now) == 0 && now.st_dev == held.st_dev &&
          now.st_ino == held.st_ino) {
        fd_ = fd;
        return true;
      }
      ::close(fd);
    } else {
      int error = errno;
      ::close(fd);
      if (error != EWOULDBLOCK && error != EINTR) return true;  // no locks here
    }
    if (std::chrono::steady_clock::now() >= deadline)
      return Refuse(why, FileProblem(Reason::Busy, path));
    std::this_thread::sleep_for(kPoll);
  }
}

}  // namespace slk::platform
