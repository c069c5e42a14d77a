// What bench_startup starts and times: the program as main() runs it, up to
// the first frame presented after the start-up files are open, with the
// settings and folders given on the command line. Then it says when that was
// and how much memory it holds, and shuts down as the program does.
//
//   bench_startup_child SOURCE_FOLDER SETTINGS_FILE [list|detail|hidden SECONDS]
//
// Prints on standard output, as CLOCK_MONOTONIC seconds: main() entered, Qt
// ready, StartUp done (both cards open), the frame presented; then the
// resident memory in KiB and the process's CPU seconds (all threads) so far;
// then when the window had painted that frame (on the screen's platform, Qt
// or Xvfb: what a minimal window's first paint compares with).
// With a view and SECONDS, it then waits in the event loop that long, in the
// list view, in the detail view of the first PS2 save of the right card, or
// with the window hidden, and prints the CPU seconds the whole process used
// meanwhile (getrusage, all threads).

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>

#include "shell/display_backend.h"
#include "shell/main_window.h"
#include "shell/program.h"
#include "shell/qt_dialogs.h"
#include "shell/shell.h"

#include "process_figures.h"

namespace {

using slk::bench::MonotonicSeconds;
using slk::bench::ResidentKib;
using slk::bench::RusageSeconds;

// Waits `seconds` in an event loop as a user would leave the window. Not
// the application's loop: QCoreApplication::quit closes every window.
void RunEventLoopFor(double seconds) {
  QEventLoop loop;
  QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
  loop.exec();
}

// Clicks the first PS2 save of the right card among the nine shown.
bool OpenDetailOfAPs2Save(slk::Shell& shell) {
  slk::Workspace* ws = shell.Ws();
  if (ws == nullptr) return false;
  const slk::SlotData& slot = ws->At(slk::kRight);
  for (std::uint32_t row = 0; row < slot.RowCount() && row < 9; ++row) {
    if (slot.AtRow(row).IsPS1()) continue;
    const slk::PanelRect& panel = slk::kPanelRects[slk::kRight];
    int x = panel.left + static_cast<int>(row % 3) * slk::kCellWidth + slk::kCellWidth / 2;
    int y = panel.top + static_cast<int>(row / 3) * slk::kCellHeight + slk::kCellHeight / 2;
    shell.MouseMoved(x, y);
    shell.LeftButtonDown(x, y);
    return true;
  }
  return false;
}

// Notes the end of the frame view's first paint once a frame has been
// presented; paints before it showed the slots still empty.
class FirstPaintOfAFrame : public QObject {
 public:
  FirstPaintOfAFrame(QWidget& view, const slk::DisplayBackend& backend)
      : view_(view), backend_(backend) {
    view_.installEventFilter(this);
  }
  ~FirstPaintOfAFrame() override { view_.removeEventFilter(this); }
  void From(std::uint64_t presentedBefore) { before_ = presentedBefore; }
  double At() const { return at_; }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (at_ >= 0 || object != &view_ || event->type() != QEvent::Paint ||
        backend_.PresentedFrames() <= before_)
      return false;
    // Timed after the paint, as the minimal window times its own.
    static_cast<QObject&>(view_).event(event);
    at_ = MonotonicSeconds();
    return true;
  }

 private:
  QWidget& view_;
  const slk::DisplayBackend& backend_;
  std::uint64_t before_ = UINT64_MAX;
  double at_ = -1;
};

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  const double entered = MonotonicSeconds();
  slk::PrepareQtPlatform();
  QApplication app(argc, argv);
  const double qtReady = MonotonicSeconds();
  if (argc != 3 && argc != 5) {
    std::fprintf(stderr,
                 "usage: bench_startup_child SOURCE_FOLDER SETTINGS_FILE "
                 "[list|detail|hidden SECONDS]\n");
    return 2;
  }
  slk::DisplayBackend backend;
  slk::MainWindow window(backend);
  slk::QtDialogs dialogs(&window);
  slk::Shell shell(backend, window, dialogs);
  window.SetShell(&shell);
  FirstPaintOfAFrame painted(window.View(), backend);
  slk::StartupOptions options;
  options.iconFolders = {argv[1]};
  options.currentDirectory = argv[1];
  options.settingsPath = argv[2];
  if (!shell.StartUp(options)) return 1;
  const double started = MonotonicSeconds();
  // Frames before this point showed the slots still empty.
  const std::uint64_t before = backend.PresentedFrames();
  painted.From(before);
  while (backend.PresentedFrames() <= before) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const double presented = MonotonicSeconds();
  const long residentKib = ResidentKib();
  const double cpu = CpuSeconds();
  for (int waited = 0; painted.At() < 0 && waited < 5000; ++waited) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    if (painted.At() < 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  std::printf("%.6f %.6f %.6f %.6f %ld %.6f %.6f\n", entered, qtReady, started, presented,
              residentKib, cpu, painted.At());
  std::fflush(stdout);
  if (argc == 5) {
    const std::string view = argv[3];
    if (view == "detail" && !OpenDetailOfAPs2Save(shell)) return 1;
    if (view == "hidden") window.hide();
    // Settled: the view switch and its first frames are not idling.
    RunEventLoopFor(1.0);
    const double before = RusageSeconds();
    RunEventLoopFor(std::stod(argv[4]));
    std::printf("%.6f\n", RusageSeconds() - before);
    std::fflush(stdout);
  }
  shell.ShutDown();
  return 0;
}
