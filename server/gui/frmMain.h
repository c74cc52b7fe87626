// frmMain: the console's main window ("Quorvane Pro  -  Server").
//
// Only wiring: the state lives in ServerCore (tables, intake, commands); the
// window shows its models and forwards clicks. Three tabs: "  Local View  "
// (TreeView1 and the frame "  Device Information  " with the inner tabs
// Software, Hardware and Network), "  Global View  " (lstvGlobal with its
// selection and request buttons) and "  Reporting  " (the frame
// "  Reporting Options  "). The audit browser and the report runner attach
// controllers through the accessors below (see attachControllers); this
// window fills none of the Local View's texts itself.
#pragma once

#include <QMainWindow>
#include <QList>
#include <QPersistentModelIndex>
#include <QString>
#include <QVariant>
#include <functional>
#include <vector>

#include "common/Status.h"
#include "server/core/CommandTokens.h"
#include "server/core/ServerCore.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;
class QTreeView;

namespace quorvane {

class PickTracker;
class frmLoading;

class frmMain : public QMainWindow, public StartupView {
  Q_OBJECT

 public:
  enum Tab { TabLocalView = 0, TabGlobalView = 1, TabReporting = 2 };
  enum DeviceTab { DeviceSoftware = 0, DeviceHardware = 1, DeviceNetwork = 2 };

  explicit frmMain(ServerCore& core, QWidget* parent = nullptr);
  ~frmMain() override;

  // The start-up sequence (the window's first load); failures are reported
  // and leave the window open with the steps done so far. A listening port
  // that is not available is reported and start-up goes on without intake.
  Status startUp(StartupOptions options = {});

  ServerCore& core() { return core_; }

  // Controls.
  QTabWidget* tabStrip() const { return tabs_; }
  QTreeView* treeView1() const { return treeView1_; }
  QGroupBox* deviceInformationFrame() const { return deviceFrame_; }
  QTabWidget* deviceTabs() const { return deviceTabs_; }
  QListWidget* lstSoftware() const { return lstSoftware_; }
  QListWidget* lstHardware() const { return lstHardware_; }
  QPlainTextEdit* rtbSoftwareInfo() const { return rtbSoftwareInfo_; }
  QPlainTextEdit* rtbHardwareInfo() const { return rtbHardwareInfo_; }
  QPlainTextEdit* rtbNetworkInfo() const { return rtbNetworkInfo_; }
  QTableView* lstvGlobal() const { return lstvGlobal_; }
  QGroupBox* reportingOptionsFrame() const { return reportingFrame_; }
  QLabel* statusPanel(int panel) const { return panel == 0 ? panelActivity_ : panelTime_; }
  // The button with this caption (selection, request or "Send Message").
  QPushButton* button(const QString& caption) const;

  // The tag of the tree's selected node (invalid: none or the placeholder).
  QVariant selectedTag() const;
  // Selects the first machine node, as a click on it would.
  bool selectFirstMachine();

  // Button handlers. cmdDo asks "<caption> on N computer(s)?" before a
  // shutdown, reboot, log-off or close of the agents (No is the default).
  void cmdSelectAll();
  void cmdSelectNone();
  void cmdInvertSelection();
  void cmdDo(CommandCode code);
  void cmdSendMessage();

  // Screenshots: every registered shot prepares the window, which is then
  // saved as DIR/<fileName>. The window registers local-view.png,
  // global-view.png and reporting.png; controllers add their own.
  void addScreenshot(const QString& fileName, std::function<void()> prepare);
  Status saveScreenshots(const QString& dir);

 signals:
  // A node of TreeView1 was picked (its click has selected it): the record
  // index for a machine, -1 for a domain, an invalid QVariant for the
  // "(no data files)" node.
  void treeNodeClicked(const QVariant& tag);
  void clientNodeClicked(int recordIndex);

 protected:
  // StartupView
  void showLoading() override;
  void setLoadingFile(const std::string& name) override;
  void setLoadingProgress(double fraction) override;
  void unloadLoading() override;
  void centreMainWindow() override;
  void fillHardwareCategories() override;

 private:
  QWidget* buildLocalView();
  QWidget* buildGlobalView();
  QWidget* buildReporting();
  QPushButton* addButton(QWidget* parent, const QString& caption);

  ServerCore& core_;
  QTabWidget* tabs_ = nullptr;
  QTreeView* treeView1_ = nullptr;
  PickTracker* treePicks_ = nullptr;
  // While DataStore loads, the domains to expand and the node to scroll to
  // are kept and done once at the end: an expanded domain lays out all its
  // clients again for every client added to it (quadratic start-up).
  QPersistentModelIndex pendingScroll_;
  QList<QPersistentModelIndex> pendingExpand_;
  QGroupBox* deviceFrame_ = nullptr;
  QTabWidget* deviceTabs_ = nullptr;
  QListWidget* lstSoftware_ = nullptr;
  QListWidget* lstHardware_ = nullptr;
  QPlainTextEdit* rtbSoftwareInfo_ = nullptr;
  QPlainTextEdit* rtbHardwareInfo_ = nullptr;
  QPlainTextEdit* rtbNetworkInfo_ = nullptr;
  QTableView* lstvGlobal_ = nullptr;
  QGroupBox* reportingFrame_ = nullptr;
  QLabel* panelActivity_ = nullptr;
  QLabel* panelTime_ = nullptr;
  QTimer* tmrTime_ = nullptr;
  frmLoading* loading_ = nullptr;
  std::vector<QPushButton*> buttons_;
  struct Shot {
    QString fileName;
    std::function<void()> prepare;
  };
  std::vector<Shot> shots_;
};

// Constructs the controllers that fill parts of the window (the audit
// browser, the report runner). Called once at the end of frmMain's
// constructor; defined in attachControllers.cpp.
void attachControllers(frmMain& window);

// Centres a window on its screen.
void centerMe(QWidget& window);

}  // namespace quorvane
