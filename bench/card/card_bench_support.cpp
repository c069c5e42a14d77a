#include "card_bench_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <utility>

#include "platform/file.h"

namespace slk::bench {
namespace {

constexpr std::size_t kBufferBytes = 128 * 1024;

// One descriptor, closed on every path out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int Get() const { return fd_; }
  bool Close() {
    int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const unsigned char* bytes, std::size_t n) {
  while (n > 0) {
    ssize_t done = ::write(fd, bytes, n);
    if (done <= 0) return false;
    bytes += done;
    n -= static_cast<std::size_t>(done);
  }
  return true;
}

// Copies until `in` ends or `limit` bytes went over; returns the bytes copied,
// or -1 when a read or write failed.
long long Pump(int in, int out, std::uint64_t limit) {
  static thread_local std::vector<unsigned char> buffer(kBufferBytes);
  std::uint64_t done = 0;
  while (done < limit) {
    std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(kBufferBytes, limit - done));
    ssize_t got = ::read(in, buffer.data(), want);
    if (got < 0) return -1;
    if (got == 0) break;
    if (!WriteAll(out, buffer.data(), static_cast<std::size_t>(got))) return -1;
    done += static_cast<std::uint64_t>(got);
  }
  return static_cast<long long>(done);
}

long StatusKib(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0)
      return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return -1;
}

double Seconds(Clock clock) {
  timespec t{};
  clock_gettime(clock == Clock::Cpu ? CLOCK_THREAD_CPUTIME_ID : CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One iteration: `steps` in turn, the first one's time as the iteration's.
// False, with the benchmark failed, when a step failed or said anything.
bool TimeIteration(benchmark::State& state, PairedTimes& times, const RecordingSink& sink,
                   const char* failure, const std::vector<std::function<bool()>>& steps) {
  bool ok = true;
  std::vector<double> seconds = TimeInTurn(times.Timing(), times.Turn(), steps, ok);
  if (!ok || !sink.messages.empty()) {
    state.SkipWithError(failure);
    return false;
  }
  state.SetIterationTime(seconds[0]);
  times.Add(seconds);
  return true;
}

}  // namespace

ScratchFolder::ScratchFolder() {
  const char* dir = std::getenv("TMPDIR");
  std::string pattern = (dir && *dir) ? dir : "/tmp";
  pattern += "/slk-bench-XXXXXX";
  if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  if (path_.empty()) return;
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string ScratchFolder::File(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string MadeFile(const std::string& name, const std::function<bool(const std::string&)>& make) {
  static ScratchFolder folder;
  static std::map<std::string, std::string> made;
  auto found = made.find(name);
  if (found != made.end()) return found->second;
  std::string path = folder.File(name);
  if (!folder.Ok() || !make(path)) path.clear();
  made[name] = path;
  return path;
}

std::string ScratchFile(const std::string& name) {
  return MadeFile(name, [](const std::string&) { return true; });
}

bool BenchWorkspace::Load(std::uint32_t (*read)(Workspace&, Slot, const std::string&),
                          const std::string& path) {
  return !path.empty() && ws.CreateSlotStore(kLeft, 0) && read(ws, kLeft, path);
}

std::uint64_t CopyFileInto(const std::string& path, int out) {
  Fd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.Get() < 0) return 0;
  long long done = Pump(in.Get(), out, UINT64_MAX);
  return done < 0 ? 0 : static_cast<std::uint64_t>(done);
}

bool CopyRange(int in, std::uint64_t offset, std::uint64_t n, int out) {
  if (::lseek(in, static_cast<off_t>(offset), SEEK_SET) < 0) return false;
  return Pump(in, out, n) == static_cast<long long>(n);
}

bool ReplaceFileWithCopy(const std::string& source, const std::string& target, bool durable) {
  std::string temp = target + ".baseline-tmp";
  Fd out(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (out.Get() < 0 || CopyFileInto(source, out.Get()) == 0) return false;
  if (durable && ::fsync(out.Get()) != 0) return false;
  if (!out.Close() || std::rename(temp.c_str(), target.c_str()) != 0) return false;
  if (durable) {
    std::string folder = target.substr(0, target.find_last_of('/'));
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Get() < 0 || ::fsync(dir.Get()) != 0) return false;
  }
  return true;
}

long PeakRssGrowthKib(const std::function<bool()>& op) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    long growth = -1;
    // "5" resets the peak to what is resident now.
    int clear = ::open("/proc/self/clear_refs", O_WRONLY | O_CLOEXEC);
    if (clear >= 0 && ::write(clear, "5", 1) == 1) {
      ::close(clear);
      long before = StatusKib("VmRSS");
      bool ok = op();
      long peak = StatusKib("VmHWM");
      if (ok && before >= 0 && peak >= 0) growth = peak - before;
    }
    ssize_t ignored = ::write(fds[1], &growth, sizeof growth);
    (void)ignored;
    ::_exit(0);
  }
  ::close(fds[1]);
  long growth = -1;
  if (child < 0 || ::read(fds[0], &growth, sizeof growth) != sizeof growth) growth = -1;
  ::close(fds[0]);
  if (child > 0) ::waitpid(child, nullptr, 0);
  return growth;
}

std::vector<double> TimeInTurn(Clock clock, int turn,
                               const std::vector<std::function<bool()>>& steps, bool& ok) {
  const std::size_t n = steps.size();
  std::vector<double> seconds(n);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t k = (static_cast<std::size_t>(turn) + i) % n;
    double start = Seconds(clock);
    ok = steps[k]() && ok;
    seconds[k] = Seconds(clock) - start;
  }
  return seconds;
}

void PairedTimes::Add(const std::vector<double>& seconds) {
  ours_ += seconds.at(0);
  baseline_ += seconds.at(1);
  if (seconds.size() > 2) baseline2_ += seconds[2];
  ++count_;
}

void PairedTimes::Report(benchmark::State& state, double targetRatio) const {
  if (count_ == 0 || baseline_ <= 0) return;
  const double n = static_cast<double>(count_);
  state.counters["ms"] = 1e3 * ours_ / n;
  state.counters["baseline_ms"] = 1e3 * baseline_ / n;
  state.counters["x_baseline"] = ours_ / baseline_;
  state.counters["target_x"] = targetRatio;
  if (baseline2_ > 0) {
    state.counters["baseline2_ms"] = 1e3 * baseline2_ / n;
    state.counters["x_baseline2"] = ours_ / baseline2_;
  }
  state.SetLabel(clock_ == Clock::Cpu ? "cpu time" : "wall time");
}

PairedTimes TimeIntoNewSlot(benchmark::State& state, BenchWorkspace& w, Slot slot,
                            const char* failure, const std::function<bool()>& op,
                            const std::function<bool(int)>& copy) {
  PairedTimes times(Clock::Cpu);
  for (auto _ : state) {
    w.ws.CloseSlot(slot);
    platform::File file = platform::CreateSlotTempFile();
    if (!w.ws.CreateSlotStore(slot, 0) || !file.IsOpen()) {
      state.SkipWithError("no temporary file");
      break;
    }
    if (!TimeIteration(state, times, w.sink, failure,
                       {op, [&] { return copy(file.Descriptor()); }}))
      break;
  }
  return times;
}

PairedTimes TimeReadingFile(benchmark::State& state, BenchWorkspace& w,
                            std::uint32_t (*read)(Workspace&, Slot, const std::string&),
                            const std::string& path, const char* failure) {
  return TimeIntoNewSlot(
      state, w, kLeft, failure, [&] { return read(w.ws, kLeft, path) == 1; },
      [&](int copy) { return CopyFileInto(path, copy) > 0; });
}

PairedTimes TimeRewriting(benchmark::State& state, const RecordingSink& sink,
                          const std::string& path, const char* failure,
                          const std::function<bool()>& write) {
  const std::string durable = path + ".durable", plain = path + ".plain";
  PairedTimes times(Clock::Wall);
  for (auto _ : state) {
    if (!TimeIteration(state, times, sink, failure,
                       {write, [&] { return ReplaceFileWithCopy(path, durable, true); },
                        [&] { return ReplaceFileWithCopy(path, plain, false); }}))
      break;
  }
  return times;
}

benchmark::internal::Benchmark* RegisterManualTime(const std::string& name,
                                                   std::function<void(benchmark::State&)> run,
                                                   benchmark::TimeUnit unit) {
  return benchmark::RegisterBenchmark(name.c_str(), std::move(run))->UseManualTime()->Unit(unit);
}

}  // namespace slk::bench
