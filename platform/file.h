#pragma once
// Files as the card model uses them: an owned descriptor, exact reads and writes
// that retry short transfers, and a sticky failure flag so that writers which
// report nothing themselves can still be checked once at the end.

#include <cstdint>
#include <span>
#include <string>

namespace slk::platform {

class File {
 public:
  File() = default;
  explicit File(int fd) : fd_(fd) {}
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing file for reading. An invalid File on failure.
  static File OpenForReading(const std::string& path);

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  void Close();

  // Up to three attempts, each transferring the bytes still outstanding and
  // continuing where the previous one stopped. n = 0 succeeds at once.
  bool ReadExact(void* buffer, std::uint64_t n);
  bool WriteExact(const void* buffer, std::uint64_t n);
  bool WriteZeros(std::uint64_t n);

  bool Seek(std::uint64_t offset);
  bool Skip(std::uint64_t n);
  std::uint64_t Position() const;
  std::uint64_t Size() const;
  // Bytes between the current position and the end of the file.
  std::uint64_t Remaining() const;

  bool Flush();  // fsync
  // Set once any write, seek or flush failed; never cleared.
  bool Failed() const { return failed_; }

 private:
  int fd_ = -1;
  bool failed_ = false;
};

// The slot's temporary data file: created in $TMPDIR (or /tmp) with a name that
// begins with "tmc", read/write, private, and unlinked at once so that it
// disappears when it is closed or the process ends.
File CreateSlotTempFile();

}  // namespace slk::platform
