#include "server/gui/IndexController.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include "server/core/IndexService.h"
#include "server/core/ServerSettings.h"
#include "server/gui/frmMain.h"

namespace quorvane {
namespace {

QString u(const std::string& utf8) { return QString::fromStdString(utf8); }

QString localTime(std::int64_t ms) { return QDateTime::fromMSecsSinceEpoch(ms).toString("yyyy-MM-dd HH:mm:ss"); }

QTableView* makeTable(QWidget* parent, QStandardItemModel* model) {
  auto* table = new QTableView(parent);
  table->setModel(model);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

void fill(QStandardItemModel& model, const std::vector<QStringList>& rows) {
  model.removeRows(0, model.rowCount());
  for (const QStringList& row : rows) {
    QList<QStandardItem*> items;
    for (const QString& text : row) items.append(new QStandardItem(text));
    model.appendRow(items);
  }
}

}  // namespace

IndexController::IndexController(frmMain& window) : QObject(&window), window_(window) {
  resultModel_ = new QStandardItemModel(0, 6, this);
  resultModel_->setHorizontalHeaderLabels({"IP Address", "Hostname", "Domain", "Application", "Version", "Publisher"});
  historyModel_ = new QStandardItemModel(0, 6, this);
  historyModel_->setHorizontalHeaderLabels({"Received", "Audit Date", "Change", "Item", "Before", "After"});

  auto* searchTab = new QWidget;
  auto* layout = new QVBoxLayout(searchTab);
  auto* row = new QHBoxLayout;
  searchField_ = new QLineEdit(searchTab);
  searchField_->setPlaceholderText("Application, optionally with < <= = >= > and a version: firefox < 120");
  auto* find = new QPushButton("Find", searchTab);
  row->addWidget(searchField_);
  row->addWidget(find);
  layout->addLayout(row);
  results_ = makeTable(searchTab, resultModel_);
  layout->addWidget(results_);
  status_ = new QLabel(searchTab);
  layout->addWidget(status_);
  window.tabStrip()->addTab(searchTab, QStringLiteral("  Search  "));

  history_ = makeTable(window.deviceTabs(), historyModel_);
  window.deviceTabs()->addTab(history_, QStringLiteral("   History   "));

  connect(searchField_, &QLineEdit::returnPressed, this, &IndexController::search);
  connect(find, &QPushButton::clicked, this, &IndexController::search);
  connect(results_, &QTableView::doubleClicked, this, &IndexController::openResult);
  connect(&window, &frmMain::clientNodeClicked, this, &IndexController::showHistory);
}

IndexController::~IndexController() = default;

IndexController* IndexController::attach(frmMain& window) {
  auto* controller = new IndexController(window);
  window.addScreenshot(QStringLiteral("history.png"), [&window] {
    window.tabStrip()->setCurrentIndex(frmMain::TabLocalView);
    window.deviceTabs()->setCurrentIndex(window.deviceTabs()->count() - 1);
    window.selectFirstMachine();
  });
  return controller;
}

void IndexController::setStatus(const QString& text) { status_->setText(text); }

AuditIndex* IndexController::index() {
  if (index_ && index_->isOpen()) return index_.get();
  index_.reset();
  const std::string& appPath = window_.core().appPath();
  Expected<ServerSettings> settings = readServerSettings(appPath);
  if (!settings) return setStatus(u(settings.status().description())), nullptr;
  Expected<std::optional<IndexDatabase>> where = resolveIndexDatabase(settings->index, appPath);
  if (!where) return setStatus(u(where.status().description())), nullptr;
  if (!*where) return setStatus("The index is off (IndexDatabase: off in serverSettings.txt)."), nullptr;
  auto opened = std::make_unique<AuditIndex>(**where);
  if (Status st = opened->open(); !st) return setStatus(u(st.description())), nullptr;
  index_ = std::move(opened);
  return index_.get();
}

void IndexController::search() {
  Expected<FindQuery> query = parseFindQuery(searchField_->text().toStdString());
  if (!query) {
    fill(*resultModel_, {});
    return setStatus(u(query.status().description()));
  }
  AuditIndex* idx = index();
  if (!idx) return fill(*resultModel_, {});
  Expected<std::vector<FoundApplication>> found = idx->find(*query);
  if (!found) {
    index_.reset();
    fill(*resultModel_, {});
    return setStatus(u(found.status().description()));
  }
  std::vector<QStringList> rows;
  for (const FoundApplication& f : *found) {
    rows.push_back({u(f.address), u(f.hostName), u(f.domain), u(f.application), u(f.version), u(f.publisher)});
  }
  fill(*resultModel_, rows);
  results_->resizeColumnsToContents();
  setStatus(QString("%1 machines").arg(rows.size()));
}

void IndexController::showHistory(int recordIndex) {
  const auto& addresses = window_.core().state().clientAddressTable();
  fill(*historyModel_, {});
  if (recordIndex < 0 || recordIndex >= static_cast<int>(addresses.size())) return;
  AuditIndex* idx = index();
  if (!idx) return;
  Expected<std::vector<ChangeEntry>> changes = idx->history(addresses[static_cast<std::size_t>(recordIndex)].ip);
  if (!changes) {
    index_.reset();
    return setStatus(u(changes.status().description()));
  }
  std::vector<QStringList> rows;
  for (const ChangeEntry& c : *changes) {
    rows.push_back({localTime(c.receivedMs), u(c.auditDate), u(c.change.kind), u(c.change.subject),
                    u(c.change.oldValue), u(c.change.newValue)});
  }
  fill(*historyModel_, rows);
  history_->resizeColumnsToContents();
}

void IndexController::openResult(const QModelIndex& row) {
  if (!row.isValid()) return;
  const std::string address = resultModel_->item(row.row(), 0)->text().toStdString();
  const std::optional<int> record = window_.core().state().findClient(address);
  if (!record) return setStatus(u(address) + " is not in the tree (its audit is not loaded).");
  const QModelIndex node = window_.core().state().clientTree().clientIndex(*record);
  if (!node.isValid()) return;
  window_.tabStrip()->setCurrentIndex(frmMain::TabLocalView);
  window_.treeView1()->expand(node.parent());
  window_.treeView1()->setCurrentIndex(node);
  window_.treeView1()->scrollTo(node);
}

}  // namespace quorvane
