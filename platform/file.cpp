#include "platform/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/io_faults.h"

namespace slk::platform {
namespace {

constexpr int kAttempts = 3;

// One attempt: transfers as much as the system gives, retrying only on EINTR.
template <typename Op>
std::uint64_t Attempt(Op op, std::uint64_t want) {
  std::uint64_t done = 0;
  while (done < want) {
    ssize_t n = op(done, want - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::uint64_t>(n);
  }
  return done;
}

}  // namespace

File::File(File&& other) noexcept : fd_(std::exchange(other.fd_, -1)), failed_(other.failed_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    failed_ = other.failed_;
  }
  return *this;
}

File::~File() {
  Close();
}

File File::OpenForReading(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return File();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return File();
  }
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return File(fd);
}

void File::Close() {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

bool File::ReadExact(void* buffer, std::uint64_t n) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  for (int attempt = 0; attempt < kAttempts && done < n; ++attempt) {
    done += Attempt([&](std::uint64_t at,
                        std::uint64_t count) { return ::read(fd_, bytes + done + at, count); },
                    n - done);
  }
  return done == n;
}

bool File::WriteExact(const void* buffer, std::uint64_t n) {
  if (n == 0) return true;
  if (IoFaultHits(IoStep::Write)) {
    failed_ = true;
    return false;
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  for (int attempt = 0; attempt < kAttempts && done < n; ++attempt) {
    done += Attempt([&](std::uint64_t at,
                        std::uint64_t count) { return ::write(fd_, bytes + done + at, count); },
                    n - done);
  }
  if (done != n) failed_ = true;
  return done == n;
}

bool File::WriteZeros(std::uint64_t n) {
  static const std::array<std::uint8_t, 8192> zeros{};
  while (n > 0) {
    std::uint64_t chunk = n < zeros.size() ? n : zeros.size();
    if (!WriteExact(zeros.data(), chunk)) return false;
    n -= chunk;
  }
  return true;
}

bool File::Seek(std::uint64_t offset) {
  if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) {
    failed_ = true;
    return false;
  }
  return true;
}

bool File::Skip(std::uint64_t n) {
  if (::lseek(fd_, static_cast<off_t>(n), SEEK_CUR) < 0) {
    failed_ = true;
    return false;
  }
  return true;
}

std::uint64_t File::Position() const {
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  return at < 0 ? 0 : static_cast<std::uint64_t>(at);
}

std::uint64_t File::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return 0;
  return static_cast<std::uint64_t>(st.st_size);
}

std::uint64_t File::Remaining() const {
  std::uint64_t size = Size();
  std::uint64_t at = Position();
  return at < size ? size - at : 0;
}

bool File::Flush() {
  if (IoFaultHits(IoStep::Flush) || ::fsync(fd_) != 0) {
    failed_ = true;
    return false;
  }
  return true;
}

File CreateSlotTempFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = (dir && *dir) ? dir : "/tmp";
  if (pattern.back() != '/') pattern += '/';
  pattern += "tmcXXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return File();
  ::unlink(pattern.c_str());
  return File(fd);
}

}  // namespace slk::platform
