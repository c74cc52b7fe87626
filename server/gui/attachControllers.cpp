// The controllers that attach to the main window. Each one keeps itself
// alive as a child of the window. Add one line per controller.
#include "server/gui/BrowserController.h"
#include "server/gui/IndexController.h"
#include "server/gui/ReportingController.h"
#include "server/gui/frmMain.h"

namespace quorvane {

void attachControllers(frmMain& window) {
  BrowserController::attach(window);
  new ReportingController(window);
  IndexController::attach(window);
}

}  // namespace quorvane
