#pragma once
// Writing a file without ever destroying the one it replaces: the bytes go to
// a temporary file beside the target, every write is checked, the file is
// flushed to disk and only then renamed over the target. Dropping an
// uncommitted writer removes the temporary file.

#include <string>

#include "platform/file.h"

namespace slk::platform {

class AtomicFile {
 public:
  // Creates the temporary file in the target's folder. Check IsOpen().
  explicit AtomicFile(std::string targetPath);
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;
  ~AtomicFile();

  bool IsOpen() const { return file_.IsOpen(); }
  File& Stream() { return file_; }

  // Flushes and renames over the target. False (and the target untouched,
  // the temporary file gone) if any earlier write failed or these steps fail.
  bool Commit();
  // Removes the temporary file; the target is untouched.
  void Abandon();

 private:
  std::string target_;
  std::string temp_;
  File file_;
  bool committed_ = false;
};

}  // namespace slk::platform
