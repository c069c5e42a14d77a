// Cards of many small saves through slotkeeper-cli's commands, run in this
// process: `list`, `convert` (expanded card to expanded card) and `import`
// (every save from a .psu of its own into an empty card) of expanded cards of
// 10, 100, 1,000 and 5,000 PS2 saves of 20 KB, against copying the same
// bytes. Target: within 1.5 times the copy at 5,000 saves, and a cost that
// grows with the number of saves no faster than the bytes do (the rows
// Growth/*: 5,000 saves against 1,000, linear is 5x).
//
// `list` reads and never waits for the disk: timed in CPU time of the
// thread. `convert` and `import` write the card as Save does, with fsync
// (keeping no backup of the file they replace, see KeepNoBackups): timed on
// the wall clock against a copy with the same fsync and rename.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "card/card_bench_support.h"
#include "card/card_files.h"
#include "cli/commands.h"
#include "cli/console.h"

namespace slk::bench {
namespace {

constexpr double kTargetRatio = 1.5;
constexpr std::uint32_t kSaveBytes = 20 * 1024;
constexpr std::uint32_t kIconBytes = 8 * 1024;
constexpr std::array<std::uint32_t, 4> kSaveCounts = {10, 100, 1000, 5000};

std::string SmallSavesCard(std::uint32_t saves) {
  return MadeFile("small-" + std::to_string(saves) + ".xmc", [&](const std::string& path) {
    return WriteExpandedCardFile(path, saves, kSaveBytes, kIconBytes);
  });
}

// The saves of SmallSavesCard(saves), each in a .psu of its own.
std::vector<std::string> SmallSaveFiles(std::uint32_t saves) {
  std::vector<std::string> paths;
  for (std::uint32_t i = 0; i < saves; ++i) {
    paths.push_back(MadeFile("small-" + std::to_string(i) + ".psu", [&](const std::string& path) {
      return WritePs2Psu(path, Ps2SaveShape{kSaveBytes, i, kIconBytes});
    }));
    if (paths.back().empty()) return {};
  }
  return paths;
}

// A command with its output kept in memory; true when it succeeded and said
// nothing on stderr.
template <typename Options>
bool RunQuietly(int (*command)(Console&, const Options&), const Options& options) {
  std::ostringstream out, err;
  std::istringstream in;
  Console console{out, err, in};
  return command(console, options) == ExitCode::Success && err.str().empty();
}

// The bytes of every file in `paths` written one after the other as a new
// file at `target`, with the fsync and rename of Save.
bool ConcatenateDurably(const std::vector<std::string>& paths, const std::string& target) {
  std::string temp = target + ".baseline-tmp";
  int out = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (out < 0) return false;
  bool ok = true;
  for (const std::string& path : paths) ok = ok && CopyFileInto(path, out) > 0;
  ok = ok && ::fsync(out) == 0;
  ok = ::close(out) == 0 && ok;
  if (!ok || std::rename(temp.c_str(), target.c_str()) != 0) return false;
  std::string folder = target.substr(0, target.find_last_of('/'));
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok = dir >= 0 && ::fsync(dir) == 0;
  if (dir >= 0) ::close(dir);
  return ok;
}

// The commands take the user's settings, which keep backups: each write over
// the last iteration's output would copy that file into the user's backup
// folder first (half a gigabyte a run at 5,000 saves) and time the copy
// too. As in the card benchmarks, the writers are timed alone and the
// user's folders stay as they were: the settings come from the scratch
// folder and keep no backups.
bool KeepNoBackups() {
  static const bool kept = [] {
    std::string ini = ScratchFile("qovan2.ini");
    std::ofstream out(ini);
    out << "[Slotkeeper2]\nBackupGenerations=0\n";
    return !ini.empty() && out.flush() &&
           ::setenv("XDG_CONFIG_HOME", ini.substr(0, ini.find_last_of('/')).c_str(), 1) == 0;
  }();
  return kept;
}

// Our times of every benchmark, by name, for the Growth rows.
std::map<std::string, std::vector<double>>& Samples() {
  static std::map<std::string, std::vector<double>> samples;
  return samples;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// Runs `ours` and `copy` in turn every iteration and reports them as the
// card benchmarks do.
void Paired(benchmark::State& state, Clock clock, const std::string& name,
            const std::function<bool()>& ours, const std::function<bool()>& copy) {
  PairedTimes times(clock);
  for (auto _ : state) {
    bool ok = true;
    std::vector<double> seconds = TimeInTurn(clock, times.Turn(), {ours, copy}, ok);
    if (!ok) return state.SkipWithError("the command or the copy failed");
    state.SetIterationTime(seconds[0]);
    times.Add(seconds);
    Samples()[name].push_back(seconds[0]);
  }
  times.Report(state, kTargetRatio);
}

void List(benchmark::State& state, std::uint32_t saves) {
  std::string card = SmallSavesCard(saves);
  if (card.empty()) return state.SkipWithError("could not make the card file");
  ListOptions options;
  options.files = {card};
  Paired(
      state, Clock::Cpu, "List/" + std::to_string(saves),
      [&] { return RunQuietly(RunList, options); },
      [&] {
        int out = ::open(ScratchFile("").c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
        bool ok = out >= 0 && CopyFileInto(card, out) > 0;
        if (out >= 0) ::close(out);
        return ok;
      });
}

void Convert(benchmark::State& state, std::uint32_t saves) {
  std::string card = SmallSavesCard(saves);
  if (card.empty() || !KeepNoBackups()) return state.SkipWithError("could not make the files");
  ConvertOptions options;
  options.in = card;
  options.out = ScratchFile("converted.xmc");
  const std::string copy = ScratchFile("copied.xmc");
  Paired(
      state, Clock::Wall, "Convert/" + std::to_string(saves),
      [&] { return RunQuietly(RunConvert, options); },
      [&] { return ReplaceFileWithCopy(card, copy, true); });
}

void Import(benchmark::State& state, std::uint32_t saves) {
  std::vector<std::string> files = SmallSaveFiles(saves);
  std::string empty = MadeFile("empty.xmc", [](const std::string& path) {
    return WriteExpandedCardFile(path, 0, kSaveBytes, kIconBytes);
  });
  if (files.empty() || empty.empty() || !KeepNoBackups())
    return state.SkipWithError("could not make the files");
  ImportOptions options;
  options.card = empty;
  options.saveFiles = files;
  options.out = ScratchFile("imported.xmc");
  const std::string copy = ScratchFile("imported-copy.xmc");
  Paired(
      state, Clock::Wall, "Import/" + std::to_string(saves),
      [&] { return RunQuietly(RunImport, options); },
      [&] { return ConcatenateDurably(files, copy); });
}

// 5,000 saves against 1,000, from the samples of the rows above: 5x when the
// cost per save does not grow with the card.
void Growth(benchmark::State& state, const std::string& what) {
  for (auto _ : state) {
  }
  double large = Median(Samples()[what + "/5000"]), small = Median(Samples()[what + "/1000"]);
  if (large <= 0 || small <= 0)
    return state.SkipWithError("the rows of 1,000 and 5,000 saves did not run");
  state.counters["ms"] = 1e3 * large;
  state.counters["baseline_ms"] = 1e3 * small;
  state.counters["x_baseline"] = large / small;
  // Five times the saves and bytes; a tenth more for the noise of a shared
  // machine.
  state.counters["target_x"] = 5.5;
  state.SetLabel("baseline: 1,000 saves; linear is 5x");
}

bool Register() {
  using Run = void (*)(benchmark::State&, std::uint32_t);
  const std::array<std::pair<const char*, Run>, 3> kinds = {
      {{"List", List}, {"Convert", Convert}, {"Import", Import}}};
  for (const auto& [what, run] : kinds) {
    for (std::uint32_t saves : kSaveCounts) {
      Run r = run;
      RegisterManualTime(
          std::string(what) + "/" + std::to_string(saves),
          [r, saves](benchmark::State& s) { r(s, saves); }, benchmark::kMillisecond)
          ->Iterations(saves >= 1000 ? 3 : 10);
    }
    std::string name = what;
    benchmark::RegisterBenchmark(("Growth/" + name + "_5000_vs_1000").c_str(),
                                 [name](benchmark::State& s) { Growth(s, name); })
        ->Iterations(1);
  }
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
