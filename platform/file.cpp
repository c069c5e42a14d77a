#include "platform/file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#include "platform/io_faults.h"

namespace slk::platform {
namespace {

constexpr int kAttempts = 3;
// Reads shorter than this are served from one read of this many bytes ahead;
// longer ones go straight into the caller's buffer.
constexpr std::size_t kReadAhead = 16 * 1024;
// A piece view reads this far ahead where a read goes on from the last one
// (writing a card reads its saves in order) and only what is asked where it
// does not (each save's icon.sys while the card is opened).
constexpr std::size_t kViewReadAhead = 128 * 1024;
// Writes are gathered up to this many bytes.
constexpr std::size_t kGather = 256 * 1024;
constexpr std::uint64_t kLargestOffset = std::numeric_limits<off_t>::max();

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

off_t At(std::uint64_t position) {
  return static_cast<off_t>(std::min(position, kLargestOffset));
}

}  // namespace

File::File(int fd) : fd_(fd) {
  if (fd_ < 0) return;
  off_t at = ::lseek(fd_, 0, SEEK_CUR);
  struct stat st {};
  position_ = at < 0 ? 0 : static_cast<std::uint64_t>(at);
  size_ = ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      failed_(other.failed_),
      error_(other.error_),
      position_(other.position_),
      size_(other.size_),
      ahead_(std::move(other.ahead_)),
      aheadStart_(other.aheadStart_),
      aheadBytes_(std::exchange(other.aheadBytes_, 0)),
      gather_(std::move(other.gather_)),
      gatherStart_(other.gatherStart_),
      gatheredBytes_(std::exchange(other.gatheredBytes_, 0)),
      viewed_(std::exchange(other.viewed_, false)),
      pieces_(std::move(other.pieces_)),
      readEnd_(other.readEnd_) {}

File& File::operator=(File&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    failed_ = other.failed_;
    error_ = other.error_;
    position_ = other.position_;
    size_ = other.size_;
    ahead_ = std::move(other.ahead_);
    aheadStart_ = other.aheadStart_;
    aheadBytes_ = std::exchange(other.aheadBytes_, 0);
    gather_ = std::move(other.gather_);
    gatherStart_ = other.gatherStart_;
    gatheredBytes_ = std::exchange(other.gatheredBytes_, 0);
    viewed_ = std::exchange(other.viewed_, false);
    pieces_ = std::move(other.pieces_);
    readEnd_ = other.readEnd_;
  }
  return *this;
}

File::~File() {
  Close();
}

File File::OpenForReading(const std::string& path, Problem* why) {
  auto refuse = [&](Problem problem) {
    if (why != nullptr) *why = std::move(problem);
    return File();
  };
  // Without O_NONBLOCK, opening a FIFO waits for a writer that never comes.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return refuse(ProblemFromErrno(errno, path));
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return refuse(FileProblem(Reason::NotRegularFile, path));
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  File file;
  file.fd_ = fd;
  file.size_ = static_cast<std::uint64_t>(st.st_size);
  file.ahead_ = std::make_unique_for_overwrite<std::uint8_t[]>(kReadAhead);
  return file;
}

void File::Close() {
  if (fd_ >= 0) {
    WriteOut();
    ::close(fd_);
    fd_ = -1;
  }
  position_ = 0;
  size_ = 0;
  aheadBytes_ = 0;
  gather_.reset();
  gatheredBytes_ = 0;
  viewed_ = false;
  pieces_.clear();
  readEnd_ = 0;
}

File File::PieceView() const {
  File view;
  if (fd_ < 0) return view;
  view.fd_ = ::fcntl(fd_, F_DUPFD_CLOEXEC, 0);
  if (view.fd_ < 0) return view;
  view.viewed_ = true;
  view.ahead_ = std::make_unique_for_overwrite<std::uint8_t[]>(kViewReadAhead);
  return view;
}

bool File::AppendPiece(std::uint64_t at, std::uint64_t n) {
  if (!viewed_ || position_ != size_ || at > kLargestOffset - std::min(n, kLargestOffset) ||
      n > kLargestOffset - size_) {
    failed_ = true;
    return false;
  }
  if (n == 0) return true;
  try {
    pieces_.push_back(Piece{size_, at, n});
  } catch (const std::bad_alloc&) {
    failed_ = true;
    return false;
  }
  size_ += n;
  position_ = size_;
  return true;
}

void File::ReadAhead() {
  if (!ahead_) ahead_ = std::make_unique_for_overwrite<std::uint8_t[]>(kReadAhead);
}

void File::GatherWrites() {
  if (!gather_) gather_ = std::make_unique_for_overwrite<std::uint8_t[]>(kGather);
}

bool File::WriteOut() {
  std::uint64_t n = std::exchange(gatheredBytes_, 0);
  if (n == 0) return true;
  aheadBytes_ = 0;  // may have been read from the file before these bytes reached it
  errno = 0;
  std::uint64_t done = 0;
  for (int attempt = 0; attempt < kAttempts && done < n; ++attempt) {
    done += Attempt(
        [&](std::uint64_t at, std::uint64_t count) {
          return ::pwrite(fd_, gather_.get() + done + at, count, At(gatherStart_ + done + at));
        },
        n - done);
  }
  if (done != n) Fail(errno != 0 ? errno : EIO);
  return done == n;
}

bool File::StopGathering() {
  bool ok = WriteOut();
  gather_.reset();
  return ok;
}

std::uint64_t File::ReadAt(std::uint8_t* bytes, std::uint64_t n) {
  if (viewed_) return ReadPieces(bytes, n);
  if (gatheredBytes_ > 0 && position_ < gatherStart_ + gatheredBytes_ &&
      gatherStart_ < position_ + n) {
    // Read back from what is gathered, or else written out first.
    if (position_ >= gatherStart_ && position_ + n <= gatherStart_ + gatheredBytes_) {
      std::memcpy(bytes, gather_.get() + (position_ - gatherStart_), static_cast<std::size_t>(n));
      position_ += n;
      return n;
    }
    if (!WriteOut()) return 0;
  }
  std::uint64_t got = ReadFrom(position_, bytes, n, ahead_ ? kReadAhead : 0);
  position_ += got;
  return got;
}

std::uint64_t File::ReadFrom(std::uint64_t at, std::uint8_t* bytes, std::uint64_t n,
                             std::size_t window) {
  std::uint64_t done = 0;
  if (at >= aheadStart_ && at - aheadStart_ < aheadBytes_) {
    std::uint64_t from = at - aheadStart_;
    done = std::min<std::uint64_t>(n, aheadBytes_ - from);
    std::memcpy(bytes, ahead_.get() + from, static_cast<std::size_t>(done));
  }
  if (done == n) return done;
  if (n - done < window) {
    aheadStart_ = at + done;
    aheadBytes_ = static_cast<std::size_t>(Attempt(
        [&](std::uint64_t from, std::uint64_t count) {
          return ::pread(fd_, ahead_.get() + from, count, At(aheadStart_ + from));
        },
        window));
    std::uint64_t take = std::min<std::uint64_t>(n - done, aheadBytes_);
    std::memcpy(bytes + done, ahead_.get(), static_cast<std::size_t>(take));
    return done + take;
  }
  return done + Attempt(
                    [&](std::uint64_t from, std::uint64_t count) {
                      return ::pread(fd_, bytes + done + from, count, At(at + done + from));
                    },
                    n - done);
}

std::uint64_t File::ReadPieces(std::uint8_t* bytes, std::uint64_t n) {
  std::size_t window = position_ == readEnd_ ? kViewReadAhead : 0;
  std::uint64_t done = 0;
  while (done < n && position_ < size_) {
    // The pieces cover [0, size_) back to back: the last one starting at or
    // before the position holds it.
    auto piece = std::upper_bound(pieces_.begin(), pieces_.end(), position_,
                                  [](std::uint64_t at, const Piece& p) { return at < p.start; });
    --piece;
    std::uint64_t into = position_ - piece->start;
    std::uint64_t want = std::min(n - done, piece->length - into);
    std::uint64_t got = ReadFrom(piece->source + into, bytes + done, want, window);
    done += got;
    position_ += got;
    if (got < want) break;
  }
  readEnd_ = position_;
  return done;
}

bool File::ReadExact(void* buffer, std::uint64_t n) {
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  for (int attempt = 0; attempt < kAttempts && done < n; ++attempt)
    done += ReadAt(bytes + done, n - done);
  return done == n;
}

void File::Fail(int error) {
  if (!failed_) error_ = error;
  failed_ = true;
}

bool File::WriteExact(const void* buffer, std::uint64_t n) {
  if (n == 0) return true;
  if (viewed_) {
    Fail(EBADF);
    return false;
  }
  if (IoFaultHits(IoStep::Write)) {
    Fail(errno);
    return false;
  }
  aheadBytes_ = 0;  // what is written may lie in what was read ahead
  if (gather_) {
    bool follows = position_ == gatherStart_ + gatheredBytes_;
    if (gatheredBytes_ > 0 && (!follows || gatheredBytes_ + n > kGather) && !WriteOut())
      return false;
    if (n <= kGather) {
      if (gatheredBytes_ == 0) gatherStart_ = position_;
      std::memcpy(gather_.get() + gatheredBytes_, buffer, static_cast<std::size_t>(n));
      gatheredBytes_ += static_cast<std::size_t>(n);
      position_ += n;
      size_ = std::max(size_, position_);
      return true;
    }
  }
  const auto* bytes = static_cast<const std::uint8_t*>(buffer);
  std::uint64_t done = 0;
  errno = 0;
  for (int attempt = 0; attempt < kAttempts && done < n; ++attempt) {
    done += Attempt(
        [&](std::uint64_t at, std::uint64_t count) {
          return ::pwrite(fd_, bytes + done + at, count, At(position_ + done + at));
        },
        n - done);
  }
  position_ += done;
  size_ = std::max(size_, position_);
  if (done != n) Fail(errno != 0 ? errno : EIO);
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
  if (fd_ < 0 || offset > kLargestOffset) {
    failed_ = true;
    return false;
  }
  position_ = offset;
  return true;
}

bool File::Skip(std::uint64_t n) {
  if (fd_ < 0 || n > kLargestOffset - std::min(position_, kLargestOffset)) {
    failed_ = true;
    return false;
  }
  position_ += n;
  return true;
}

bool File::Flush() {
  if (!WriteOut()) return false;
  if (IoFaultHits(IoStep::Flush) || ::fsync(fd_) != 0) {
    Fail(errno);
    return false;
  }
  return true;
}

File File::OpenForReading(const std::string& path, Problem& why) {
  errno = 0;
  File file = OpenForReading(path);
  if (file.IsOpen()) return file;
  int error = errno;
  // Asked after the fact, so that opening itself stays one call: what the
  // name is now tells a folder or a FIFO from a file that cannot be read.
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    int statError = errno;
    struct stat link {};
    if (statError == ENOENT && ::lstat(path.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      why = ProblemFromErrno(ENOENT, path);
      why.reason = Reason::DanglingLink;
    } else {
      why = ProblemFromErrno(statError, path);
    }
  } else if (!S_ISREG(st.st_mode)) {
    why = ProblemFromErrno(0, path, Reason::NotRegularFile);
  } else {
    why = ProblemFromErrno(error, path);
  }
  return file;
}

File CreateSlotTempFile() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = (dir && *dir) ? dir : "/tmp";
  if (pattern.back() != '/') pattern += '/';
  pattern += "tmcXXXXXX";
  int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) return File();
  ::unlink(pattern.c_str());
  File file(fd);
  file.ReadAhead();
  return file;
}

Problem TempSpaceProblem(int error, std::string path) {
  if (error == ENOSPC || error == EDQUOT)
    return FileProblem(Reason::TempSpaceFull, std::move(path), error);
  return ProblemFromErrno(error, std::move(path), Reason::WriteFailed);
}

void ReserveForWholeFile(std::vector<std::uint8_t>& bytes, std::size_t n) {
  bytes.clear();
  bytes.reserve(n);
#if defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kLargePage = 2u << 20;
  auto start = reinterpret_cast<std::uintptr_t>(bytes.data());
  std::uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
  std::uintptr_t end = (start + n) & ~(kLargePage - 1);
  // Only whole large pages inside the buffer; a refusal changes nothing.
  if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

}  // namespace slk::platform
