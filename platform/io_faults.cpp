#include "platform/io_faults.h"

#include <atomic>

namespace slk::platform {
namespace {

struct Counter {
  std::atomic<std::uint64_t> seen{0};
  std::atomic<std::uint64_t> failAt{0};
  std::atomic<int> error{EIO};
};

Counter counters[kIoStepCount];

Counter& For(IoStep step) {
  return counters[static_cast<int>(step)];
}

}  // namespace

void FailNthIo(IoStep step, std::uint64_t n, int error) {
  For(step).seen = 0;
  For(step).failAt = n;
  For(step).error = error;
}

void DisarmIoFaults() {
  for (auto& c : counters) {
    c.failAt = 0;
    c.seen = 0;
    c.error = EIO;
  }
}

std::uint64_t IoStepsSeen(IoStep step) {
  return For(step).seen.load();
}

bool IoFaultHits(IoStep step) {
  Counter& c = For(step);
  std::uint64_t n = ++c.seen;
  std::uint64_t at = c.failAt.load();
  if (at == 0 || n != at) return false;
  errno = c.error.load();
  return true;
}

}  // namespace slk::platform
