#pragma once
// Writing a file without ever destroying the one it replaces: the bytes go to
// a temporary file beside the target, every write is checked, the file is
// flushed to disk and only then renamed over the target, and the folder is
// flushed after the rename. Dropping an uncommitted writer removes the
// temporary file.
//
// The temporary file has no name while it is written (O_TMPFILE), so a save
// killed half-way leaves nothing behind; it gets a name just before the
// rename. File systems without unnamed files get a named one from the start.
// A target reached through symbolic links is written where the links lead,
// keeping the links, the target's mode and, when allowed, its owner.

#include <string>

#include "platform/file.h"
#include "platform/problem.h"

namespace slk::platform {

class AtomicFile {
 public:
  // Creates the temporary file in the real target's folder. Check IsOpen();
  // Why() says what stood in the way (a read-only file, a dangling link ...).
  explicit AtomicFile(std::string targetPath);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  bool IsOpen() const { return file_.IsOpen(); }
  File& Stream() { return file_; }

  // Flushes and renames over the target, then flushes the folder. False (and
  // the target untouched, the temporary file gone) if any earlier write
  // failed or these steps fail; false too when only the folder's flush
  // failed, since the rename may then not survive a power failure.
  bool Commit();
  // Removes the temporary file; the target is untouched.
  void Abandon();

  // Why opening, writing or committing failed; no reason while all went
  // well. A writer that gave up on its own gets a plain WriteFailed.
  Problem Why() const;

 private:
  void Open();
  bool GiveName();

  std::string target_;  // as the caller named it
  std::string real_;    // where the links lead
  std::string temp_;    // the temporary file's name once it has one
  File file_;
  Problem problem_;
  bool committed_ = false;
};

}  // namespace slk::platform
