// Slotkeeper 2: two memory cards side by side.

#include <QApplication>
#include <QIcon>

#include "shell/display_backend.h"
#include "shell/program.h"

int main(int argc, char** argv) {
  slk::PrepareQtPlatform();
  QApplication app(argc, argv);
  QApplication::setWindowIcon(QIcon(":/slotkeeper2/icon-64.png"));
  slk::DisplayBackend backend;
  // QApplication has taken its own options out of argv; the rest is the path.
  return slk::RunProgram(backend, slk::StartupOptionsFromArguments(argc, argv));
}
