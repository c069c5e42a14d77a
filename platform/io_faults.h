#pragma once
// Test seam: makes the n-th write, flush, rename or folder sync of the file
// layer fail, so tests can walk a failure over every step of a save and see
// that each step happens at all. Off unless armed.

#include <cerrno>
#include <cstdint>

namespace slk::platform {

enum class IoStep { Write, Flush, Rename, SyncFolder };
inline constexpr int kIoStepCount = 4;

// Arms the seam: the n-th (1-based) step of the given kind counted from now
// fails with errno `error`. n = 0 disarms it.
void FailNthIo(IoStep step, std::uint64_t n, int error = EIO);
void DisarmIoFaults();
// Number of steps of this kind seen since the last arming (for test loops that
// first count the steps of an operation).
std::uint64_t IoStepsSeen(IoStep step);
// Called by the file layer before each step; true means "fail this one", with
// errno set to the armed error.
bool IoFaultHits(IoStep step);

}  // namespace slk::platform
