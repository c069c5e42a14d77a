#pragma once
// The baseline every benchmark reports beside its own time: copying the same
// number of bytes with memcpy, measured in the same run.

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace slk::bench {

// This thread's CPU time in nanoseconds: the machine is shared, and wall time
// would count other programs' turns against us or against the baseline.
inline double CpuNanoseconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

// CPU nanoseconds one memcpy of `bytes` takes here and now (best of a few runs).
inline double MemcpyNanoseconds(std::size_t bytes) {
  std::vector<unsigned char> from(bytes, 0x5A), to(bytes);
  const int reps =
      static_cast<int>(std::max<std::size_t>(1, (64u << 20) / std::max<std::size_t>(bytes, 1)));
  double best = 1e300;
  for (int round = 0; round < 5; ++round) {
    double start = CpuNanoseconds();
    for (int i = 0; i < reps; ++i) {
      std::memcpy(to.data(), from.data(), bytes);
      benchmark::DoNotOptimize(to.data());
      benchmark::ClobberMemory();
    }
    best = std::min(best, (CpuNanoseconds() - start) / reps);
  }
  return best;
}

// Adds the baseline's time and our time as a multiple of it.
inline void ReportAgainstMemcpy(benchmark::State& state, std::size_t bytes, double ourNanoseconds) {
  double baseline = MemcpyNanoseconds(bytes);
  state.counters["memcpy_ns"] = baseline;
  state.counters["x_memcpy"] = ourNanoseconds / baseline;
}

// Our own time per iteration, for the ratio (the framework's own figure is
// only known after the function returns).
class Stopwatch {
 public:
  void Start() { start_ = CpuNanoseconds(); }
  void Stop(std::int64_t iterations) {
    perIteration_ =
        (CpuNanoseconds() - start_) / static_cast<double>(std::max<std::int64_t>(iterations, 1));
  }
  double PerIteration() const { return perIteration_; }

 private:
  double start_ = 0;
  double perIteration_ = 0;
};

}  // namespace slk::bench
