// IndexController: the index database in the console.
//
//   "  Search  " tab (after the other tabs): a search field taking what
//   --find takes ('firefox < 120'), a "Find" button, and a table of the
//   matching machines with their versions; a double click on a row opens
//   that machine in the Local View (the tree selects it and the browser shows
//   it).
//   "   History   " tab beside Software, Hardware and Network: the changes
//   of the machine picked in the tree, newest first, with the date received
//   and the audit's own date.
//
// The controller opens its own connection to the index on first use (on the
// window's thread; the writer thread has its own) and opens it again after
// a failure. A status line under the search says what went wrong (index off,
// database down, a query it cannot read). The same AuditIndex calls serve
// the command line, so both always agree.
#pragma once

#include <QObject>
#include <memory>

#include "server/core/AuditIndex.h"

class QLabel;
class QLineEdit;
class QModelIndex;
class QStandardItemModel;
class QTableView;

namespace quorvane {

class frmMain;

class IndexController : public QObject {
  Q_OBJECT

 public:
  explicit IndexController(frmMain& window);
  ~IndexController() override;
  // Constructs the controller as a child of the window; registers the
  // screenshot history.png (the first machine's History tab).
  static IndexController* attach(frmMain& window);

  QLineEdit* searchField() const { return searchField_; }
  QTableView* searchResults() const { return results_; }
  QLabel* searchStatus() const { return status_; }
  QTableView* historyTable() const { return history_; }

  void search();
  void showHistory(int recordIndex);
  void openResult(const QModelIndex& row);

 private:
  AuditIndex* index();  // nullptr when it cannot be opened (status says why)
  void setStatus(const QString& text);

  frmMain& window_;
  std::unique_ptr<AuditIndex> index_;
  QLineEdit* searchField_ = nullptr;
  QTableView* results_ = nullptr;
  QLabel* status_ = nullptr;
  QTableView* history_ = nullptr;
  QStandardItemModel* resultModel_ = nullptr;
  QStandardItemModel* historyModel_ = nullptr;
};

}  // namespace quorvane
