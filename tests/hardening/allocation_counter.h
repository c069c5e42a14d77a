#pragma once
// Counts what operator new hands out in this test program, so that a test can
// tell how much a reader asked for, even when the request failed.

#include <cstddef>

namespace slk::testing {

struct AllocationStats {
  std::size_t peakBytes = 0;       // most bytes live at once, above the level at Start
  std::size_t largestRequest = 0;  // the largest single request, granted or not
};

// Starts a measurement from the bytes live now.
void StartCountingAllocations();
AllocationStats AllocationsSinceStart();

}  // namespace slk::testing
