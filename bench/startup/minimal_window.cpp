// The baseline of bench_startup: the least a Qt 6 Widgets program does to
// show a window of the program's size, started the same way as
// bench_startup_child and saying the same things.
//
//   bench_minimal_window [SECONDS]
//
// Prints the CLOCK_MONOTONIC seconds of main() entered, Qt ready, the window
// shown, its first paint; the resident memory in KiB and the CPU seconds so
// far. With SECONDS, it then waits that long in the event loop and prints the
// CPU seconds used meanwhile.

#include <QApplication>
#include <QEventLoop>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>

#include "process_figures.h"

namespace {

using slk::bench::MonotonicSeconds;
using slk::bench::ResidentKib;
using slk::bench::RusageSeconds;

class Window : public QWidget {
 public:
  double firstPaint = -1;
  // Left at the first paint. Not the application's loop:
  // QCoreApplication::quit closes every window.
  QEventLoop loop;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), Qt::black);
    if (firstPaint < 0) {
      firstPaint = MonotonicSeconds();
      QTimer::singleShot(0, &loop, &QEventLoop::quit);
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  const double entered = MonotonicSeconds();
  QApplication app(argc, argv);
  const double qtReady = MonotonicSeconds();
  Window window;
  window.setFixedSize(512, 312);
  window.show();
  const double shown = MonotonicSeconds();
  window.loop.exec();  // until the first paint
  std::printf("%.6f %.6f %.6f %.6f %ld %.6f\n", entered, qtReady, shown, window.firstPaint,
              ResidentKib(), RusageSeconds());
  std::fflush(stdout);
  if (argc == 2) {
    QTimer::singleShot(1000, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double before = RusageSeconds();
    QTimer::singleShot(static_cast<int>(std::stod(argv[1]) * 1000), qApp, &QCoreApplication::quit);
    QCoreApplication::exec();
    std::printf("%.6f\n", RusageSeconds() - before);
  }
  return 0;
}
