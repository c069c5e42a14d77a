// The baseline of bench_startup: the least a Qt 6 Widgets program does to
// show a window of the program's size, started the same way as
// bench_startup_child and saying the same things. Built a second time as
// bench_menu_window (SLOTKEEPER_WITH_MENU): the same window under the
// program's menu bar, the least a window with its texts does.
//
//   bench_minimal_window [SECONDS]
//   bench_menu_window [SECONDS]
//
// Prints the CLOCK_MONOTONIC seconds of main() entered, Qt ready, the window
// shown, its first paint; the resident memory in KiB and the CPU seconds so
// far. With SECONDS, it then waits that long in the event loop and prints the
// CPU seconds used meanwhile.

#include <QApplication>
#include <QEventLoop>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QTimer>
#include <QWidget>
#include <cstdio>
#include <string>
#include <vector>

#include "process_figures.h"
#ifdef SLOTKEEPER_WITH_MENU
#include "resources/strings.h"
#include "resources/ui_texts.h"
#endif

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

#ifdef SLOTKEEPER_WITH_MENU
// The program's menu, its texts and structure, without what the items do.
void BuildMenu(QMenuBar& bar) {
  const slk::res::Language language = slk::res::CurrentLanguage();
  std::vector<QMenu*> open;
  for (const slk::res::MenuEntry& entry : slk::res::kMenu140) {
    const QString text = QString::fromUtf8(entry.text.In(language));
    switch (entry.kind) {
      case slk::res::MenuEntryKind::Popup:
        open.push_back(open.empty() ? bar.addMenu(text) : open.back()->addMenu(text));
        break;
      case slk::res::MenuEntryKind::PopupEnd:
        open.pop_back();
        break;
      case slk::res::MenuEntryKind::Separator:
        open.back()->addSeparator();
        break;
      case slk::res::MenuEntryKind::Item:
        open.back()->addAction(text)->setEnabled(!entry.startsGrey);
        break;
    }
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  const double entered = MonotonicSeconds();
  QApplication app(argc, argv);
  const double qtReady = MonotonicSeconds();
#ifdef SLOTKEEPER_WITH_MENU
  QMainWindow outer;
  outer.menuBar()->setNativeMenuBar(false);
  BuildMenu(*outer.menuBar());
  auto* inner = new Window;  // owned by `outer`
  inner->setFixedSize(512, 312);
  outer.setCentralWidget(inner);
  outer.show();
  Window& window = *inner;
#else
  Window window;
  window.setFixedSize(512, 312);
  window.show();
#endif
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
