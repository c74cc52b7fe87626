// ReportingController: the contents of the "  Reporting  " tab (the frame
// "  Reporting Options  "): lstvReportTypes, lstvFormatTypes,
// txtReportPath, cmdSelectPath (". . .") and cmdGo ("Go !").
//
// Attached once to frmMain before its start-up: it gives the core the
// discovery of report libraries (start-up step 9) and fills the report
// types from the core's library table when the tab is shown. The choices
// and the run live in ReportRunner; this class only wires widgets to it.
// Reports run with windows allowed (the library's progress window, the
// finished report opened when a display exists). "Go !" asks before it
// replaces an existing file ("No" is the default) and says under the button
// where the report was written.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

#include "server/core/ReportRunner.h"

class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;

namespace quorvane {

class frmMain;

class ReportingController final : public QObject {
 public:
  explicit ReportingController(frmMain& window);

  // Fills lstvReportTypes from the core's library table (once it exists).
  void refresh();

  ReportRunner& runner() { return runner_; }
  QTreeWidget* lstvReportTypes() const { return lstvReportTypes_; }
  QTreeWidget* lstvFormatTypes() const { return lstvFormatTypes_; }
  QLineEdit* txtReportPath() const { return txtReportPath_; }
  QPushButton* cmdSelectPath() const { return cmdSelectPath_; }
  QPushButton* cmdGo() const { return cmdGo_; }
  // Under "Go !": where the last report was written, or that it was not.
  QLabel* lblReportResult() const { return lblReportResult_; }

  // Replaces the save dialog (tests): given the preset file name, returns the
  // chosen name, or an empty text for a cancel.
  void setSaveDialog(std::function<QString(const QString& preset)> dialog) { saveDialog_ = std::move(dialog); }

  void lstvReportTypes_ItemClick(int row);
  void lstvFormatTypes_ItemClick(int row);
  void cmdSelectPath_Click();
  ReportRunner::Outcome cmdGo_Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildWidgets();

  frmMain& window_;
  ReportRunner runner_;
  bool filled_ = false;  // the list shows runner_.libraries()
  QTreeWidget* lstvReportTypes_ = nullptr;
  QTreeWidget* lstvFormatTypes_ = nullptr;
  QLineEdit* txtReportPath_ = nullptr;
  QPushButton* cmdSelectPath_ = nullptr;
  QPushButton* cmdGo_ = nullptr;
  QLabel* lblReportResult_ = nullptr;
  QFileDialog* dialog_ = nullptr;
  QString lastFileName_;
  std::function<QString(const QString&)> saveDialog_;
};

}  // namespace quorvane
