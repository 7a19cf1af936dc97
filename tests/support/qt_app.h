// One QApplication for a test program (offscreen: ctest sets QT_QPA_PLATFORM).
#pragma once

#include <QApplication>
#include <cstdlib>

namespace test {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "updater-test";
  static char* argv[] = {name, nullptr};
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // Never destroyed: tearing it down after Qt's own statics at exit crashes.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

}  // namespace test
