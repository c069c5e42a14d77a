#pragma once
// One writer at a time per card: an advisory lock (flock) on the file a path
// leads to, held from reading the card to renaming the new one over it.
// Another writer that honours it waits a little, then gives up, instead of
// writing over a save it never saw.

#include <chrono>
#include <string>

#include "platform/problem.h"

namespace slk::platform {

// How long a second writer waits for the first.
inline constexpr std::chrono::milliseconds kLockPatience{2000};

class FileLock {
 public:
  FileLock() = default;
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock() { Release(); }

  // Waits up to `patience` for the lock of the file `path` leads to. True
  // also when there is nothing to lock (no such file yet, or a file system
  // without locks). False with Busy when another holder kept it, or the
  // reason the file could not be opened.
  bool Acquire(const std::string& path, std::chrono::milliseconds patience, Problem* why = nullptr);
  void Release();
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace slk::platform
