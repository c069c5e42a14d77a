// The program as a user meets it: from starting it to the first frame that
// shows both sample cards (the remembered slot files of the settings), and
// the memory it holds then; targets 300 ms and 80 MB. Each start is a new
// process (bench_startup_child, the program's own start-up on Qt's offscreen
// platform). Then, on the sample cards, the two waits inside the program:
// pre-rendering a full page of the list (target 10 ms) and building the
// detail screen of a save.

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "card/card_bench_support.h"
#include "card/card_image.h"
#include "card/settings.h"
#include "card/workspace.h"
#include "display/shell_state.h"
#include "shell/display_backend.h"

extern char** environ;

namespace slk::bench {
namespace {

const std::string kSource = SLOTKEEPER_SOURCE_DIR;
const std::string kLeftCard = kSource + "/samples/slotkeeper-ps1.mcr";
const std::string kRightCard = kSource + "/samples/slotkeeper-mixed.xmc";

double MonotonicSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Settings that reopen both sample cards at the start.
std::string SettingsFile() {
  return MadeFile("qovan2.ini", [](const std::string& path) {
    std::ofstream ini(path);
    ini << "[Setting]\nUseSlotPath=1\n[Directory]\nLSlotPath=" << kLeftCard
        << "\nRSlotPath=" << kRightCard << "\n";
    return static_cast<bool>(ini);
  });
}

// One start, in seconds from just before the process was spawned.
struct Start {
  double entered = -1;    // main() entered: loading the program and its libraries
  double qtReady = -1;    // the QApplication made
  double started = -1;    // StartUp done: window, display, both cards open
  double presented = -1;  // the first frame after that presented
  double cpu = -1;        // CPU seconds of all the program's threads by then
  long residentKib = -1;
};

// One start of the child, timed from just before it is spawned.
Start StartOnce(const std::string& settings) {
  Start start;
  int out[2];
  if (::pipe(out) != 0) return start;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).rfind("QT_QPA_PLATFORM=", 0) != 0) env.emplace_back(*e);
  }
  env.emplace_back("QT_QPA_PLATFORM=offscreen");
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::string program = SLOTKEEPER_STARTUP_CHILD, source = kSource, ini = settings;
  argv = {program.data(), source.data(), ini.data(), nullptr};
  double begun = MonotonicSeconds();
  pid_t pid = -1;
  int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned == 0) {
    std::string said;
    char buffer[128];
    for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) said.append(buffer, n);
    int status = 0;
    ::waitpid(pid, &status, 0);
    double at[4] = {};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
        std::sscanf(said.c_str(), "%lf %lf %lf %lf %ld %lf", &at[0], &at[1], &at[2], &at[3],
                    &start.residentKib, &start.cpu) == 6) {
      start.entered = at[0] - begun;
      start.qtReady = at[1] - begun;
      start.started = at[2] - begun;
      start.presented = at[3] - begun;
    }
  }
  ::close(out[0]);
  return start;
}

void StartUpToFirstFrame(benchmark::State& state, bool memory) {
  std::string settings = SettingsFile();
  Start sum{0, 0, 0, 0, 0, 0};
  for (auto _ : state) {
    Start start = StartOnce(settings);
    if (start.presented < 0) {
      state.SkipWithError("the program did not start (see bench_startup_child)");
      return;
    }
    state.SetIterationTime(start.presented);
    sum.entered += start.entered;
    sum.qtReady += start.qtReady;
    sum.started += start.started;
    sum.presented += start.presented;
    sum.cpu += start.cpu;
    sum.residentKib = std::max(sum.residentKib, start.residentKib);
  }
  const double ms = 1e3 / static_cast<double>(state.iterations());
  if (memory) {
    state.counters["rss_mib"] = static_cast<double>(sum.residentKib) / 1024.0;
    state.counters["target_mib"] = 80;
    state.SetLabel("resident at the first frame with both sample cards");
    return;
  }
  state.counters["ms"] = sum.presented * ms;
  state.counters["target_ms"] = 300;
  // Where the time went: to main(), the QApplication, StartUp, the frame.
  state.counters["exec_ms"] = sum.entered * ms;
  state.counters["qt_ms"] = (sum.qtReady - sum.entered) * ms;
  state.counters["startup_ms"] = (sum.started - sum.qtReady) * ms;
  state.counters["frame_ms"] = (sum.presented - sum.started) * ms;
  state.counters["cpu_ms"] = sum.cpu * ms;
  state.SetLabel("wall time, new process, offscreen platform, both sample cards");
}

bool Register() {
  benchmark::RegisterBenchmark("StartUp/first_frame_both_samples",
                               [](benchmark::State& s) { StartUpToFirstFrame(s, false); })
      ->Iterations(3)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("StartUp/resident_memory_at_first_frame",
                               [](benchmark::State& s) { StartUpToFirstFrame(s, true); })
      ->Iterations(1)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
