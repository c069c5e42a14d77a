// The shell's tests run under QApplication on the offscreen platform, so no
// display server is needed; every modal dialog is scripted or opened
// non-modally, so nothing blocks.

#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "resources/strings.h"

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  slk::res::SetLanguage(slk::res::Language::English);
  return RUN_ALL_TESTS();
}
