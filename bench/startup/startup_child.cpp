// What bench_startup starts and times: the program as main() runs it, up to
// the first frame presented after the start-up files are open, with the
// settings and folders given on the command line. Then it says when that was
// and how much memory it holds, and shuts down as the program does.
//
//   bench_startup_child SOURCE_FOLDER SETTINGS_FILE
//
// Prints on standard output, as CLOCK_MONOTONIC seconds: main() entered, Qt
// ready, StartUp done (both cards open), the frame presented; then the
// resident memory in KiB and the process's CPU seconds (all threads) so far.

#include <QApplication>
#include <QEventLoop>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

#include "shell/display_backend.h"
#include "shell/main_window.h"
#include "shell/qt_dialogs.h"
#include "shell/shell.h"

namespace {

long ResidentKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

double MonotonicSeconds() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  const double entered = MonotonicSeconds();
  QApplication app(argc, argv);
  const double qtReady = MonotonicSeconds();
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_startup_child SOURCE_FOLDER SETTINGS_FILE\n");
    return 2;
  }
  slk::DisplayBackend backend;
  slk::MainWindow window(backend);
  slk::QtDialogs dialogs(&window);
  slk::Shell shell(backend, window, dialogs);
  window.SetShell(&shell);
  slk::StartupOptions options;
  options.iconFolders = {argv[1]};
  options.currentDirectory = argv[1];
  options.settingsPath = argv[2];
  if (!shell.StartUp(options)) return 1;
  const double started = MonotonicSeconds();
  // Frames before this point showed the slots still empty.
  const std::uint64_t before = backend.PresentedFrames();
  while (backend.PresentedFrames() <= before) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double presented = MonotonicSeconds();
  std::printf("%.6f %.6f %.6f %.6f %ld %.6f\n", entered, qtReady, started, presented, ResidentKib(),
              CpuSeconds());
  std::fflush(stdout);
  shell.ShutDown();
  return 0;
}
