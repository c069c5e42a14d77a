// The program as a user meets it: from starting it to the first frame that
// shows both sample cards (the remembered slot files of the settings), and
// the memory it holds then; targets 300 ms and 80 MB. Each start is a new
// process (bench_startup_child, the program's own start-up on Qt's offscreen
// platform). Then, on the sample cards, the two waits inside the program:
// pre-rendering a full page of the list (target 10 ms) and building the
// detail screen of a save.
//
// Beside its targets, the start-up is measured against a minimal Qt Widgets
// program (bench_minimal_window) started the same way in the same run, turn
// about: to the first frame within 1.5 times its first paint, resident
// memory within 1.25 times. And the whole process's CPU while the window
// waits, over SECONDS (20, or $SLOTKEEPER_BENCH_IDLE_SECONDS): list view 1 %
// of a core, detail view with a spinning PS2 model 2.5 %, hidden nothing.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <cstdio>
#include <cstdlib>
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
  double painted = -1;    // the window's first paint of it (the minimal window: its first paint)
  double cpu = -1;        // CPU seconds of all the program's threads by then
  long residentKib = -1;
  double idleCpu = -1;  // CPU seconds while waiting afterwards, when asked
};

double IdleSeconds() {
  const char* text = std::getenv("SLOTKEEPER_BENCH_IDLE_SECONDS");
  double seconds = text != nullptr ? std::atof(text) : 0;
  return seconds > 0 ? seconds : 20;
}

// The X display of an Xvfb server started for this run and ended at its
// end; empty when there is no Xvfb. Rows that need it then say so.
const std::string& XvfbDisplay() {
  struct Server {
    pid_t pid = -1;
    std::string display;
    Server() {
      for (int n = 97; n < 127 && display.empty(); ++n) {
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
        if (::access(socket.c_str(), F_OK) == 0) continue;
        std::string name = std::to_string(n);
        name.insert(0, 1, ':');
        std::vector<std::string> args = {"Xvfb",       name,        "-screen", "0",
                                         "800x600x24", "-nolisten", "tcp"};
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawnp(&pid, "Xvfb", nullptr, nullptr, argv.data(), environ) != 0) return;
        for (int wait = 0; wait < 100 && ::access(socket.c_str(), F_OK) != 0; ++wait)
          std::this_thread::sleep_for(std::chrono::milliseconds(30));
        if (::access(socket.c_str(), F_OK) == 0) {
          display = name;
        } else {
          ::kill(pid, SIGTERM);
          ::waitpid(pid, nullptr, 0);
          pid = -1;
        }
      }
    }
    ~Server() {
      if (pid <= 0) return;
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  };
  static Server server;
  return server.display;
}

// One start of `program` with `args`, timed from just before it is spawned;
// the program prints what Start holds, in its order. On Qt's offscreen
// platform, or on the X display `display` when one is given.
Start StartOnce(const std::string& program, std::vector<std::string> args,
                const std::string& display = {}) {
  Start start;
  int out[2];
  if (::pipe(out) != 0) return start;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) {
    std::string e2 = *e;
    if (e2.rfind("QT_QPA_PLATFORM=", 0) != 0 && e2.rfind("DISPLAY=", 0) != 0) env.push_back(e2);
  }
  env.emplace_back(display.empty() ? "QT_QPA_PLATFORM=offscreen" : "QT_QPA_PLATFORM=xcb");
  if (!display.empty()) env.push_back(std::string("DISPLAY=").append(display));
  std::vector<char*> envp, argv;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  args.insert(args.begin(), program);
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
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
    // The first line says the start; a second the CPU of the wait after it.
    const std::size_t lineEnd = said.find('\n');
    const std::string first = said.substr(0, lineEnd);
    double at[5] = {-1, -1, -1, -1, -1};
    int fields = std::sscanf(first.c_str(), "%lf %lf %lf %lf %ld %lf %lf", &at[0], &at[1], &at[2],
                             &at[3], &start.residentKib, &start.cpu, &at[4]);
    if (lineEnd != std::string::npos)
      std::sscanf(said.c_str() + lineEnd + 1, "%lf", &start.idleCpu);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0 && fields >= 6) {
      start.entered = at[0] - begun;
      start.qtReady = at[1] - begun;
      start.started = at[2] - begun;
      start.presented = at[3] - begun;
      start.painted = fields == 7 && at[4] >= 0 ? at[4] - begun : start.presented;
    }
  }
  ::close(out[0]);
  return start;
}

Start StartProgram(const std::string& settings, std::vector<std::string> more = {},
                   const std::string& display = {}) {
  std::vector<std::string> args = {kSource, settings};
  args.insert(args.end(), more.begin(), more.end());
  // Another build of the program (an older one, to compare) may be named.
  const char* other = std::getenv("SLOTKEEPER_BENCH_STARTUP_CHILD");
  return StartOnce(other != nullptr && *other != 0 ? other : SLOTKEEPER_STARTUP_CHILD, args,
                   display);
}

Start StartMinimalWindow(std::vector<std::string> args = {}, const std::string& display = {}) {
  return StartOnce(SLOTKEEPER_MINIMAL_WINDOW, std::move(args), display);
}

// The minimal window under the program's menu bar: what any window with
// those texts pays (fontconfig, Qt's font database, shaping the titles).
Start StartMenuWindow(const std::string& display) {
  return StartOnce(SLOTKEEPER_MENU_WINDOW, {}, display);
}

void StartUpToFirstFrame(benchmark::State& state, bool memory) {
  std::string settings = SettingsFile();
  Start sum{0, 0, 0, 0, 0, 0};
  for (auto _ : state) {
    Start start = StartProgram(settings);
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

// The program against the minimal window, in turn: to the first frame (the
// minimal window's first paint) and resident memory then.
void AgainstMinimalWindow(benchmark::State& state, bool memory, bool xvfb) {
  std::string display = xvfb ? XvfbDisplay() : std::string();
  if (xvfb && display.empty()) return state.SkipWithError("no Xvfb here");
  std::string settings = SettingsFile();
  double ours = 0, minimal = 0, menu = 0;
  long oursKib = 0, minimalKib = 0, menuKib = 0;
  for (auto _ : state) {
    Start a, b, c;
    if (state.iterations() % 2 == 0) {
      a = StartProgram(settings, {}, display);
      b = StartMinimalWindow({}, display);
      c = StartMenuWindow(display);
    } else {
      c = StartMenuWindow(display);
      b = StartMinimalWindow({}, display);
      a = StartProgram(settings, {}, display);
    }
    if (a.painted < 0 || b.painted < 0 || c.painted < 0)
      return state.SkipWithError("the program or a minimal window did not start");
    // The window's paint of the frame against the minimal window's first
    // paint: both have then handed a picture to the platform.
    state.SetIterationTime(a.painted);
    ours += a.painted;
    minimal += b.painted;
    menu += c.painted;
    oursKib = std::max(oursKib, a.residentKib);
    minimalKib = std::max(minimalKib, b.residentKib);
    menuKib = std::max(menuKib, c.residentKib);
  }
  if (memory) {
    state.counters["rss_mib"] = static_cast<double>(oursKib) / 1024.0;
    state.counters["baseline_rss_mib"] = static_cast<double>(minimalKib) / 1024.0;
    state.counters["x_baseline"] = static_cast<double>(oursKib) / static_cast<double>(minimalKib);
    state.counters["menu_window_x_baseline"] =
        static_cast<double>(menuKib) / static_cast<double>(minimalKib);
    state.counters["target_x"] = 1.25;
    state.SetLabel(xvfb ? "resident at the first frame against a minimal Qt window's, Xvfb"
                        : "resident at the first frame against a minimal Qt window's, offscreen");
    return;
  }
  state.counters["ms"] = 1e3 * ours / static_cast<double>(state.iterations());
  state.counters["baseline_ms"] = 1e3 * minimal / static_cast<double>(state.iterations());
  state.counters["x_baseline"] = ours / minimal;
  state.counters["menu_window_x_baseline"] = menu / minimal;
  state.counters["target_x"] = 1.5;
  state.counters["vs_minimal_window"] = 1;
  state.SetLabel(xvfb ? "wall time to the first frame painted against a minimal Qt window's, Xvfb"
                      : "wall time to the first frame painted against a minimal Qt window's, "
                        "offscreen");
}

// The whole process's CPU while the window waits in `view`, in percent of
// one core, beside the minimal window's.
void Idle(benchmark::State& state, const std::string& view, double targetPercent, bool xvfb) {
  std::string display = xvfb ? XvfbDisplay() : std::string();
  if (xvfb && display.empty()) return state.SkipWithError("no Xvfb here");
  std::string settings = SettingsFile();
  const double seconds = IdleSeconds();
  const std::string wait = std::to_string(seconds);
  double ours = 0, minimal = 0;
  for (auto _ : state) {
    Start a = StartProgram(settings, {view, wait}, display);
    Start b = StartMinimalWindow({wait}, display);
    if (a.idleCpu < 0 || b.idleCpu < 0)
      return state.SkipWithError("the program or the minimal window did not start");
    state.SetIterationTime(seconds);
    ours += a.idleCpu;
    minimal += b.idleCpu;
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["cpu_percent"] = 100 * ours / seconds / n;
  state.counters["minimal_percent"] = 100 * minimal / seconds / n;
  state.counters["target_percent"] = targetPercent;
  char label[128];
  std::snprintf(label, sizeof label, "whole process, %.0f s, %s; a minimal Qt window %.2f %%",
                seconds, xvfb ? "Xvfb" : "offscreen platform", 100 * minimal / seconds / n);
  state.SetLabel(label);
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
  for (bool xvfb : {false, true}) {
    const std::string on = xvfb ? "_xvfb" : "";
    benchmark::RegisterBenchmark(
        ("StartUp/first_frame_vs_minimal_window" + on).c_str(),
        [xvfb](benchmark::State& s) { AgainstMinimalWindow(s, false, xvfb); })
        ->Iterations(3)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(
        ("StartUp/resident_memory_vs_minimal_window" + on).c_str(),
        [xvfb](benchmark::State& s) { AgainstMinimalWindow(s, true, xvfb); })
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  // Hidden: no frame is drawn; what is left is Qt's own waiting.
  const std::pair<const char*, double> views[] = {{"list", 1.0}, {"detail", 2.5}, {"hidden", 0.1}};
  for (bool xvfb : {false, true}) {
    for (const auto& [view, target] : views) {
      std::string v = view;
      double t = target;
      benchmark::RegisterBenchmark(("Idle/" + v + "_view_cpu" + (xvfb ? "_xvfb" : "")).c_str(),
                                   [v, t, xvfb](benchmark::State& s) { Idle(s, v, t, xvfb); })
          ->Iterations(1)
          ->UseManualTime()
          ->Unit(benchmark::kMillisecond);
    }
  }
  return true;
}

const bool kRegistered = Register();

}  // namespace
}  // namespace slk::bench
