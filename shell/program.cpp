#include "shell/program.h"

#include <QApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPixmap>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "shell/main_window.h"
#include "shell/qt_dialogs.h"
#include "shell/settings_file.h"

namespace slk {

StartupOptions StartupOptionsFromArguments(int argc, char** argv) {
  StartupOptions options;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) options.commandLine += ' ';
    options.commandLine += argv[i];
  }
  std::error_code error;
  options.currentDirectory = std::filesystem::current_path(error).string();
  options.iconFolders = {QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString(),
                         options.currentDirectory, SLOTKEEPER_DATA_DIR};
  options.settingsPath = DefaultSettingsPath();
  return options;
}

void PrepareQtPlatform() {
  const char* keep = std::getenv("SLOTKEEPER_XCB_MITSHM");
  if (keep != nullptr && std::string_view(keep) == "1") return;
  ::setenv("QT_XCB_NO_MITSHM", "1", /*overwrite=*/0);
}

namespace {

// SLOTKEEPER_SCREENSHOT_POINTER=x,y or x,y,click: for the picture, the
// pointer comes to rest on that point of the client area soon after the
// start (a save there shows its title) and, with "click", clicks it (the
// save's detail view opens).
void SchedulePointer(MainWindow& window) {
  const char* pointer = std::getenv("SLOTKEEPER_SCREENSHOT_POINTER");
  if (pointer == nullptr) return;
  QStringList parts = QString::fromLatin1(pointer).split(',');
  if (parts.size() < 2) return;
  QRect point(parts[0].toInt(), parts[1].toInt(), 0, 0);
  bool click = parts.size() > 2 && parts[2].trimmed() == "click";
  QTimer::singleShot(300, &window, [&window, point, click] {
    FrameView& view = window.View();
    // A point of the picture, wherever the window's scale puts it.
    QPointF at = view.ToWidget(point).topLeft();
    QPointF global = view.mapToGlobal(at);
    QMouseEvent move(QEvent::MouseMove, at, global, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&view, &move);
    if (!click) return;
    QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&view, &press);
  });
}

// SLOTKEEPER_SCREENSHOT=file.png: the window as shown after a while
// (SLOTKEEPER_SCREENSHOT_DELAY milliseconds, default 1500) is saved to the
// file and the program ends, as if closed. Used to make the README's picture
// with the program itself, also on the offscreen platform.
void ScheduleScreenshot(MainWindow& window) {
  const char* file = std::getenv("SLOTKEEPER_SCREENSHOT");
  if (file == nullptr || file[0] == '\0') return;
  const char* delay = std::getenv("SLOTKEEPER_SCREENSHOT_DELAY");
  int milliseconds = delay != nullptr ? std::atoi(delay) : 1500;
  QString path = QFile::decodeName(file);
  QTimer::singleShot(milliseconds, &window, [&window, path] {
    window.grab().save(path);
    QApplication::quit();
  });
  SchedulePointer(window);
}

}  // namespace

int RunProgram(RenderingBackend& backend, const StartupOptions& options) {
  QtTranslations translations(res::CurrentLanguage());
  MainWindow window(backend);
  QtDialogs dialogs(&window);
  Shell shell(backend, window, dialogs);
  window.SetShell(&shell);
  if (!shell.StartUp(options)) return 0;
  ScheduleScreenshot(window);
  int code = QApplication::exec();
  shell.ShutDown();
  return code;
}

}  // namespace slk
