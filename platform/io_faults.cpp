#include "platform/io_faults.h"

#include <atomic>

namespace slk::platform {
namespace {

struct Counter {
  std::atomic<std::uint64_t> seen{0};
  std::atomic<std::uint64_t> failAt{0};
};

Counter counters[3];

Counter& For(IoStep step) {
  return counters[static_cast<int>(step)];
}

}  // namespace

void FailNthIo(IoStep step, std::uint64_t n) {
  For(step).seen = 0;
  For(step).failAt = n;
}

void DisarmIoFaults() {
  for (auto& c : counters) {
    c.failAt = 0;
    c.seen = 0;
  }
}

std::uint64_t IoStepsSeen(IoStep step) {
  return For(step).seen.load();
}

bool IoFaultHits(IoStep step) {
  Counter& c = For(step);
  std::uint64_t n = ++c.seen;
  std::uint64_t at = c.failAt.load();
  return at != 0 && n == at;
}

}  // namespace slk::platform
