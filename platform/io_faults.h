#pragma once
// Test seam: makes the n-th write, flush or rename of the file layer fail, so
// tests can walk a failure over every step of a save. Off unless armed.

#include <cstdint>

namespace slk::platform {

enum class IoStep { Write, Flush, Rename };

// Arms the seam: the n-th (1-based) step of the given kind counted from now
// fails. n = 0 disarms it.
void FailNthIo(IoStep step, std::uint64_t n);
void DisarmIoFaults();
// Number of steps of this kind seen since the last arming (for test loops that
// first count the steps of an operation).
std::uint64_t IoStepsSeen(IoStep step);
// Called by the file layer before each step; true means "fail this one".
bool IoFaultHits(IoStep step);

}  // namespace slk::platform
