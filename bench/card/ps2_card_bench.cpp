// The PS2 card image: an 8 MB card with ECC holding 30 saves of 200 KiB.
// Opening it into a slot is held to 1.5 times a plain read of the file,
// saving it back through the atomic path to 1.5 times the plain copy with
// fsync and rename, and `slotkeeper-cli list` of it to 10 ms of the
// process's CPU time (user and system, start-up included).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "card/card_image.h"
#include "card/workspace.h"
#include "card_bench_support.h"
#include "card_files.h"

extern char** environ;

namespace slk::bench {
namespace {

constexpr double kTargetRatio = 1.5;
constexpr double kListTargetMs = 10;
constexpr std::uint32_t kSaves = 30;
constexpr std::uint32_t kSaveBytes = 200 * 1024;

std::string Ps2Card() {
  return MadeFile("card-30.ps2", [](const std::string& path) {
    return WritePs2CardFile(path, kSaves, kSaveBytes);
  });
}

void OpenPs2Card(benchmark::State& state) {
  const std::string path = Ps2Card();
  if (path.empty()) return state.SkipWithError("could not make the card file");
  BenchWorkspace w;
  TimeReadingFile(state, w, OpenCardImage, path, "opening failed").Report(state, kTargetRatio);
  state.counters["saves"] = w.ws.At(kLeft).RowCount();
}

// Saving over the file written last time, as Save does.
void SavePs2Card(benchmark::State& state) {
  const std::string source = Ps2Card();
  if (source.empty()) return state.SkipWithError("could not make the card file");
  BenchWorkspace w;
  const std::string ours = ScratchFile("saved.ps2");
  if (!w.Load(OpenCardImage, source) || !SaveCardImage(w.ws, kLeft, ours))
    return state.SkipWithError("could not open the card");
  TimeRewriting(state, w.sink, ours, "saving failed", [&] {
    return SaveCardImage(w.ws, kLeft, ours) == 1;
  }).Report(state, kTargetRatio);
}

#ifdef SLOTKEEPER_CLI
// The CPU seconds (user and system) of one `slotkeeper-cli list` of the card,
// its output thrown away; negative when it could not run or failed.
double ListProcessSeconds(const std::string& card) {
  std::string program = SLOTKEEPER_CLI, command = "list";
  std::vector<char*> argv = {program.data(), command.data(), const_cast<char*>(card.c_str()),
                             nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    return -1;
  auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
  };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The median of the runs: a start-up now and then slowed by the machine
// does not move it.
void ListPs2CardCli(benchmark::State& state) {
  const std::string card = Ps2Card();
  if (card.empty()) return state.SkipWithError("could not make the card file");
  std::vector<double> runs;
  for (auto _ : state) {
    double seconds = ListProcessSeconds(card);
    if (seconds < 0) return state.SkipWithError("slotkeeper-cli list failed");
    runs.push_back(seconds);
    state.SetIterationTime(seconds);
  }
  std::sort(runs.begin(), runs.end());
  state.counters["ms"] = 1e3 * runs[runs.size() / 2];
  state.counters["target_ms"] = kListTargetMs;
  state.SetLabel("process cpu time (user + sys), median");
}
#endif

bool Register() {
  RegisterManualTime("OpenCard/ps2_8MB_30_saves", OpenPs2Card, benchmark::kMillisecond);
  RegisterManualTime("SaveCard/ps2_8MB_30_saves", SavePs2Card, benchmark::kMillisecond);
#ifdef SLOTKEEPER_CLI
  RegisterManualTime("CliList/ps2_8MB_30_saves", ListPs2CardCli, benchmark::kMillisecond)
      ->Iterations(21);
#endif
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
