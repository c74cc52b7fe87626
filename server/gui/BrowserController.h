// BrowserController: the audit browser of the Local View tab.
//
// Wires the tree of machines (TreeView1), the software list (lstSoftware),
// the hardware category list (lstHardware) and the three read-only text
// areas to the view texts of server/core/AuditViews.h. The handlers follow
// the window's event handlers: a node click refills the software list and
// refreshes every view; a click in either list rewrites its text area. The
// controller keeps no state of its own; every view is rebuilt from the
// record in ClientTable at the moment of the click.
//
// Failures are reported through the MessageSink under the handlers' own
// headers; a list click while no tree node is selected clears its area and
// says nothing. The widgets and the state belong to the window and outlive
// the controller.
#pragma once

#include <QModelIndex>
#include <QObject>
#include <string_view>

#include "server/core/AuditViews.h"

class QListWidget;
class QPlainTextEdit;
class QTreeView;

namespace quorvane {

class MessageSink;
class PickTracker;
class ServerState;
class frmMain;

struct BrowserWidgets {
  QTreeView* TreeView1 = nullptr;
  QListWidget* lstSoftware = nullptr;
  QListWidget* lstHardware = nullptr;
  QPlainTextEdit* rtbSoftwareInfo = nullptr;
  QPlainTextEdit* rtbHardwareInfo = nullptr;
  QPlainTextEdit* rtbNetworkInfo = nullptr;
};

class BrowserController : public QObject {
  Q_OBJECT

 public:
  // Makes the text areas read-only with a fixed-width font, keeps the
  // software list in the order added, and connects the handlers. A handler
  // runs once its click has selected the clicked item (PickTracker), whether
  // a mouse press, a key or the program moved the selection; a press on the
  // item already picked shows its view afresh. The views must have their
  // models.
  BrowserController(BrowserWidgets widgets, ServerState& state, MessageSink& messages,
                    QObject* parent = nullptr);

  // Constructs the browser as a child of the main window and registers its
  // screenshots: for the first machine software.png (the Windows item),
  // network.png and hardware-1.png ... hardware-7.png (one per category).
  static BrowserController* attach(frmMain& window);

  // Handlers of the window's events.
  void TreeView1_NodeClick(const QModelIndex& node);
  void lstSoftware_Click();
  void lstHardware_Click();

  // Selects the node and runs the node click, as a user's click would.
  void clickNode(const QModelIndex& node);
  // Selects a row of either list and runs its click.
  void clickSoftwareRow(int row);
  void clickHardwareRow(int row);

 private:
  void report(std::string_view where, const ViewError& error);
  void restoreHardwareAreaPlace();
  // Selects `row` of a list without running its click.
  void selectQuietly(QListWidget* list, PickTracker* picks, int row);
  NodeRecord recordOf(const QModelIndex& node) const;

  BrowserWidgets w_;
  ServerState& state_;
  MessageSink& messages_;
  PickTracker* treePicks_ = nullptr;
  PickTracker* softwarePicks_ = nullptr;
  PickTracker* hardwarePicks_ = nullptr;
};

}  // namespace quorvane
