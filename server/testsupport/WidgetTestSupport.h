// WidgetTestSupport: the application object of the window tests (a
// QApplication, which widgets need), created once unless one exists.
#pragma once

#include <QApplication>

namespace quorvane::testing {

inline void ensureWidgetApplication() {
  if (QCoreApplication::instance()) return;
  static int argc = 1;
  static char name[] = "quorvane-window-test";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

}  // namespace quorvane::testing
