#pragma once
// What the card I/O benchmarks share: a scratch folder, a message sink that
// records, the plain read/write copies every operation is measured against,
// a peak-memory probe, and the figures each benchmark reports.
//
// Opening, importing and copying never wait for the disk (the files are in
// the page cache), so they are timed in this thread's CPU time, where other
// programs' turns on a shared machine do not count. Saving and exporting wait
// for fsync, which uses almost no CPU, so they are timed on the wall clock.
// Every iteration runs the operation and its baselines back to back, the
// order turning about, so that whatever else the machine does falls on all
// of them alike.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "card/messages.h"
#include "card/settings.h"
#include "card/workspace.h"

namespace slk::bench {

enum class Clock { Cpu, Wall };

// A fresh folder under $TMPDIR (or /tmp), removed with its files at the end.
class ScratchFolder {
 public:
  ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder();

  bool Ok() const { return !path_.empty(); }
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

// A file made once per run, on first use, in a scratch folder removed at
// exit; `make` writes it to the path it is given. Empty when that failed.
std::string MadeFile(const std::string& name, const std::function<bool(const std::string&)>& make);
// A path in that folder for the benchmark itself to write, once per run.
std::string ScratchFile(const std::string& name);

// Answers every question with yes and keeps every message: an operation that
// said anything has failed, and the benchmark says so instead of a time.
class RecordingSink : public MessageSink {
 public:
  void ShowMessage(int id) override { messages.push_back(id); }
  bool AskYesNo(int id) override {
    questions.push_back(id);
    return true;
  }
  CardKind AskCardKind(CardKind preselected) override { return preselected; }

  std::vector<int> messages;
  std::vector<int> questions;
};

// The writers are timed alone, and the user's backup folder stays as it
// was: a save keeps no backup of the file it replaces.
inline Settings WithoutBackups() {
  Settings settings;
  settings.BackupGenerations = 0;
  return settings;
}

// A workspace of its own that records what the operations say.
struct BenchWorkspace {
  // `read` (OpenCardImage, AddSaveImage) of the file at `path` into a new
  // Left slot; false when there is no file or it did not read.
  bool Load(std::uint32_t (*read)(Workspace&, Slot, const std::string&), const std::string& path);

  RecordingSink sink;
  Settings settings = WithoutBackups();
  Workspace ws{sink, settings};
};

// The baselines, with a 128 KiB buffer (what cp and cat use) and nothing
// else: no parsing, no records, no per-file steps.
//
// Reads the whole file at `path` and appends its bytes to `out`. Returns the
// bytes copied, 0 on failure.
std::uint64_t CopyFileInto(const std::string& path, int out);
// Copies `n` bytes of `in` from `offset` to the current position of `out`.
bool CopyRange(int in, std::uint64_t offset, std::uint64_t n, int out);
// Writes the bytes of the file at `source` as a new file at `target`: into a
// temporary name beside it, then renamed over it. `durable` adds what the
// program's atomic save does for a crash: fsync of the file before the
// rename and of the folder after it.
bool ReplaceFileWithCopy(const std::string& source, const std::string& target, bool durable);

// The growth of this process's peak resident memory, in KiB, while `op` runs
// in a forked child (so that each measurement starts from the same heap).
// -1 when the peak cannot be reset (no /proc/self/clear_refs).
long PeakRssGrowthKib(const std::function<bool()>& op);

// Runs every step once, step `turn` first and on around, and gives each
// one's time in seconds of `clock`. `ok` turns false when a step fails.
std::vector<double> TimeInTurn(Clock clock, int turn,
                               const std::vector<std::function<bool()>>& steps, bool& ok);

// Sums of one benchmark's paired timings; reports them as the counters the
// table reads: ms, baseline_ms, x_baseline, target_x (and, when a second
// baseline ran, baseline2_ms and x_baseline2), with the clock as the label.
class PairedTimes {
 public:
  explicit PairedTimes(Clock clock) : clock_(clock) {}
  Clock Timing() const { return clock_; }
  // Which step goes first this iteration.
  int Turn() const { return static_cast<int>(count_); }
  // Adds one iteration: the operation's time, then the baselines'.
  void Add(const std::vector<double>& seconds);
  void Report(benchmark::State& state, double targetRatio) const;

 private:
  Clock clock_;
  double ours_ = 0, baseline_ = 0, baseline2_ = 0;
  long count_ = 0;
};

// Times `op`, which reads into a new slot `slot`, against `copy`, which copies
// the same bytes to the descriptor of a new temporary file: the slot's store
// and the file are made afresh, untimed, before each iteration. CPU time. The
// benchmark fails with `failure` when either fails or `op` said anything.
PairedTimes TimeIntoNewSlot(benchmark::State& state, BenchWorkspace& w, Slot slot,
                            const char* failure, const std::function<bool()>& op,
                            const std::function<bool(int)>& copy);

// TimeIntoNewSlot of `read` (OpenCardImage, AddSaveImage) of the file at
// `path` into the Left slot, against copying the file's bytes.
PairedTimes TimeReadingFile(benchmark::State& state, BenchWorkspace& w,
                            std::uint32_t (*read)(Workspace&, Slot, const std::string&),
                            const std::string& path, const char* failure);

// Times `write`, which writes the file at `path` over again, against writing
// its bytes as a new file beside it as the program's atomic save does, with
// fsync (the target) and without (to show what the disk's flush costs). Wall
// time. The benchmark fails with `failure` when one fails or `write` said
// anything.
PairedTimes TimeRewriting(benchmark::State& state, const RecordingSink& sink,
                          const std::string& path, const char* failure,
                          const std::function<bool()>& write);

// Registers `run` as a benchmark that gives each iteration's time itself.
benchmark::internal::Benchmark* RegisterManualTime(const std::string& name,
                                                   std::function<void(benchmark::State&)> run,
                                                   benchmark::TimeUnit unit);

}  // namespace slk::bench
