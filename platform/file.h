#pragma once
// Files as the card model uses them: an owned descriptor, exact reads and writes
// that retry short transfers, and a sticky failure flag so that writers which
// report nothing themselves can still be checked once at the end.
//
// The position and size are kept here rather than asked of the system, and
// every transfer says where it goes (pread/pwrite): readers of a card image
// ask for the bytes left before every file of every save, and each of those
// questions was two system calls. Files opened for reading also read ahead,
// so that the many small records of an image cost one read between them.
// Use the descriptor only for questions about the file itself (fstat).
//
// A file may also gather its writes (GatherWrites): writes that follow each
// other are kept in memory and go to the system together, when they fill the
// buffer, when a write goes elsewhere, or at WriteOut, Flush and Close. A
// writer of many small pieces (records, names, padding of many small saves)
// paid a system call for each. Reads see the gathered bytes. A failure of a
// gathered write shows at WriteOut or Flush (and in Failed() from then on).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "platform/problem.h"

namespace slk::platform {

class File {
 public:
  File() = default;
  // Takes the descriptor over, at its current position and size.
  explicit File(int fd);
  File(File&& other) noexcept;
  File& operator=(File&& other) noexcept;
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  ~File();

  // Opens an existing regular file for reading. An invalid File on failure,
  // with the reason in `why` when given. Never waits: a FIFO or device named
  // like a card is refused, not opened and read.
  static File OpenForReading(const std::string& path, Problem* why = nullptr);

  // The same, and on failure what was wrong: no such file, permission
  // denied, not a regular file and the like, naming `path`.
  static File OpenForReading(const std::string& path, Problem& why);

  bool IsOpen() const { return fd_ >= 0; }
  // Call WriteOut first when writes are gathered.
  int Descriptor() const { return fd_; }
  // Writes out what is gathered (a failed write counts as Failed()), then
  // closes.
  void Close();

  // From now on, reads shorter than the read-ahead are served from one read
  // ahead, as for files opened for reading.
  void ReadAhead();
  // From now on, writes are gathered (see above).
  void GatherWrites();
  // Writes out what is gathered; false when that failed.
  bool WriteOut();
  // WriteOut, and writes go to the system one by one again.
  bool StopGathering();

  // A file of pieces of this one: empty at first, each AppendPiece adds
  // bytes of this file at its end. It reads the same open file (its own
  // position and read-ahead) and cannot be written. A command that only
  // reads an expanded card keeps the slot's saves so, where they lie in the
  // card, rather than copying each into the slot's temporary file. An
  // invalid File when the descriptor cannot be shared.
  File PieceView() const;
  bool IsPieceView() const { return viewed_; }
  // Appends the `n` bytes at `at` of the underlying file, at the view's end
  // (where its position must be), and moves the position past them.
  bool AppendPiece(std::uint64_t at, std::uint64_t n);

  // Up to three attempts, each transferring the bytes still outstanding and
  // continuing where the previous one stopped. n = 0 succeeds at once.
  bool ReadExact(void* buffer, std::uint64_t n);
  bool WriteExact(const void* buffer, std::uint64_t n);
  bool WriteZeros(std::uint64_t n);

  bool Seek(std::uint64_t offset);
  bool Skip(std::uint64_t n);
  std::uint64_t Position() const { return position_; }
  // The size when opened, grown by this object's own writes.
  std::uint64_t Size() const { return size_; }
  // Bytes between the current position and the end of the file.
  std::uint64_t Remaining() const { return position_ < size_ ? size_ - position_ : 0; }

  bool Flush();  // WriteOut, then fsync
  // Set once any write, seek or flush failed; never cleared.
  bool Failed() const { return failed_; }
  // The errno of the first failed write or flush, 0 when none (or unknown).
  int Error() const { return error_; }

 private:
  // Reads at the position, from the bytes read ahead where it can.
  std::uint64_t ReadAt(std::uint8_t* bytes, std::uint64_t n);
  // The same at `at` of the underlying file, leaving the position alone,
  // reading `window` bytes ahead for a read shorter than that (0: none).
  std::uint64_t ReadFrom(std::uint64_t at, std::uint8_t* bytes, std::uint64_t n,
                         std::size_t window);
  // ReadAt of a piece view.
  std::uint64_t ReadPieces(std::uint8_t* bytes, std::uint64_t n);

  void Fail(int error);

  int fd_ = -1;
  bool failed_ = false;
  int error_ = 0;
  std::uint64_t position_ = 0;
  std::uint64_t size_ = 0;
  // Bytes [aheadStart_, aheadStart_ + aheadBytes_) of the file, for files
  // opened for reading only.
  std::unique_ptr<std::uint8_t[]> ahead_;
  std::uint64_t aheadStart_ = 0;
  std::size_t aheadBytes_ = 0;
  // Bytes [gatherStart_, gatherStart_ + gatheredBytes_) of the file, written
  // by us but not yet to the system.
  std::unique_ptr<std::uint8_t[]> gather_;
  std::uint64_t gatherStart_ = 0;
  std::size_t gatheredBytes_ = 0;
  // A piece view's bytes [start, start + length) are the underlying file's
  // [source, source + length); the pieces lie back to back from 0.
  struct Piece {
    std::uint64_t start;
    std::uint64_t source;
    std::uint64_t length;
  };
  bool viewed_ = false;
  std::vector<Piece> pieces_;
  std::uint64_t readEnd_ = 0;  // where the view's last read ended
};

// The slot's temporary data file: created in $TMPDIR (or /tmp) with a name that
// begins with "tmc", read/write, private, and unlinked at once so that it
// disappears when it is closed or the process ends. It reads ahead: saving a
// card reads every file of every save from it.
File CreateSlotTempFile();

// Empties `bytes` and gives it room for `n` bytes, for a whole file to be
// read into (grown piece by piece, so that each piece is zeroed while it is
// in the cache rather than all 8 MB of a PS2 card at once, out of it). A
// buffer of megabytes asks the kernel for large pages first: a fresh process
// otherwise takes a page fault for every 4 KiB it touches, which in a
// virtual machine costs more than reading the file. Throws std::bad_alloc
// as reserve does.
void ReserveForWholeFile(std::vector<std::uint8_t>& bytes, std::size_t n);

// The reason to give for a failure in the slot's temporary file: a full
// temporary folder is TempSpaceFull, naming `path` (the file being read).
Problem TempSpaceProblem(int error, std::string path);

}  // namespace slk::platform
