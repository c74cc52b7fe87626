#include "server/gui/BrowserController.h"

#include <QAbstractItemModel>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QLayout>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTreeView>
#include <string>

#include "common/ErrorReport.h"
#include "server/core/MessageSink.h"
#include "server/core/ServerState.h"
#include "server/core/ServerTexts.h"
#include "server/gui/ViewPicks.h"
#include "server/gui/frmMain.h"

namespace quorvane {
namespace {

constexpr std::string_view kWhereNodeClick = "frmMain.TreeView1_NodeClick";
constexpr std::string_view kWhereSoftwareClick = "frmMain.lstSoftware_Click";
constexpr std::string_view kWhereHardwareClick = "frmMain.lstHardware_Click";

// The hardware area's place in the window: top 2040 and height 3135 twips,
// at 15 twips per pixel.
constexpr int kHardwareAreaTop = 2040 / 15;
constexpr int kHardwareAreaHeight = 3135 / 15;

// The record's own bytes of a list item, kept beside its display text so
// that the comparison with the record's names is exact.
constexpr int kRecordTextRole = Qt::UserRole;

void prepareTextArea(QPlainTextEdit* area) {
  area->setReadOnly(true);
  area->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  area->setFont(font);
  // Tab stops every eight characters: labels and values line up.
  area->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char(' ')) * 8);
}

// The areas show CR LF line ends as plain line breaks.
QString areaText(const std::string& text1252) {
  QString text = displayText(text1252);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

void addRecordItem(QListWidget* list, const std::string& text1252) {
  auto* item = new QListWidgetItem(displayText(text1252));
  item->setData(kRecordTextRole, QByteArray(text1252.data(), static_cast<qsizetype>(text1252.size())));
  list->addItem(item);
}

std::string recordTextOf(const QListWidgetItem* item) {
  if (item == nullptr) return {};
  const QVariant bytes = item->data(kRecordTextRole);
  if (bytes.isValid()) return bytes.toByteArray().toStdString();
  return item->text().toStdString();
}

// The row of a list's selected item, or -1.
int selectedRow(const PickTracker* picks) {
  const QModelIndex item = picks->selectedItem();
  return item.isValid() ? item.row() : -1;
}

}  // namespace

BrowserController::BrowserController(BrowserWidgets widgets, ServerState& state,
                                     MessageSink& messages, QObject* parent)
    : QObject(parent), w_(widgets), state_(state), messages_(messages) {
  prepareTextArea(w_.rtbSoftwareInfo);
  prepareTextArea(w_.rtbHardwareInfo);
  prepareTextArea(w_.rtbNetworkInfo);
  w_.lstSoftware->setSortingEnabled(false);
  w_.lstSoftware->setSelectionMode(QAbstractItemView::SingleSelection);
  w_.lstHardware->setSelectionMode(QAbstractItemView::SingleSelection);

  treePicks_ = trackPicks(*w_.TreeView1, *this);
  softwarePicks_ = trackPicks(*w_.lstSoftware, *this);
  hardwarePicks_ = trackPicks(*w_.lstHardware, *this);
  connect(treePicks_, &PickTracker::picked, this, &BrowserController::TreeView1_NodeClick);
  connect(softwarePicks_, &PickTracker::picked, this, [this] { lstSoftware_Click(); });
  connect(hardwarePicks_, &PickTracker::picked, this, [this] { lstHardware_Click(); });

  // The tree shows its machines: every domain node opens, now and when a
  // new machine is added under it.
  w_.TreeView1->expandAll();
  connect(&state_.clientTree(), &ClientTreeModel::nodeMadeVisible, w_.TreeView1,
          [tree = w_.TreeView1](const QModelIndex& index) {
            // Frozen while the window loads DataStore: it opens the domains
            // and scrolls once at the end (per node, start-up grew quadratic).
            if (!tree->updatesEnabled()) return;
            for (QModelIndex i = index.parent(); i.isValid(); i = i.parent()) tree->expand(i);
            tree->scrollTo(index);
          });
}

BrowserController* BrowserController::attach(frmMain& window) {
  BrowserWidgets widgets{window.treeView1(),       window.lstSoftware(),     window.lstHardware(),
                         window.rtbSoftwareInfo(), window.rtbHardwareInfo(), window.rtbNetworkInfo()};
  auto* browser =
      new BrowserController(widgets, window.core().state(), window.core().messages(), &window);

  const auto showFirstMachine = [&window, browser](frmMain::DeviceTab tab) {
    window.tabStrip()->setCurrentIndex(frmMain::TabLocalView);
    window.deviceTabs()->setCurrentIndex(tab);
    const QModelIndex first = window.core().state().clientTree().firstClientIndex();
    if (!first.isValid()) return;
    window.treeView1()->expand(first.parent());
    browser->clickNode(first);
  };
  window.addScreenshot(QStringLiteral("software.png"), [browser, showFirstMachine] {
    showFirstMachine(frmMain::DeviceSoftware);
    if (browser->w_.lstSoftware->count() > 0) browser->clickSoftwareRow(0);
  });
  window.addScreenshot(QStringLiteral("network.png"),
                       [showFirstMachine] { showFirstMachine(frmMain::DeviceNetwork); });
  for (int row = 0; row < static_cast<int>(kHardwareCategories.size()); ++row) {
    window.addScreenshot(QStringLiteral("hardware-%1.png").arg(row + 1),
                         [browser, showFirstMachine, row] {
                           showFirstMachine(frmMain::DeviceHardware);
                           browser->clickHardwareRow(row);
                         });
  }
  return browser;
}

void BrowserController::report(std::string_view where, const ViewError& error) {
  const std::string text = formatErrorReport(where, error.number, error.description, error.line);
  messages_.showMessage(kServerTitle, text, kStyleCritical);
}

void BrowserController::selectQuietly(QListWidget* list, PickTracker* picks, int row) {
  const QSignalBlocker block(picks);
  list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

NodeRecord BrowserController::recordOf(const QModelIndex& node) const {
  const QVariant tag = node.data(Qt::UserRole);
  const QString tagText = tag.isValid() ? tag.toString() : QString();
  return recordIndexFromTag(tagText.toStdString(), state_.clientTable().size());
}

void BrowserController::restoreHardwareAreaPlace() {
  QPlainTextEdit* area = w_.rtbHardwareInfo;
  area->verticalScrollBar()->setValue(0);
  area->horizontalScrollBar()->setValue(0);
  const QWidget* parent = area->parentWidget();
  const bool placedByLayout = parent != nullptr && parent->layout() != nullptr &&
                              parent->layout()->indexOf(area) >= 0;
  if (!placedByLayout) {
    area->setGeometry(area->x(), kHardwareAreaTop, area->width(), kHardwareAreaHeight);
  }
}

void BrowserController::TreeView1_NodeClick(const QModelIndex& node) {
  w_.lstSoftware->clear();
  if (!node.isValid()) return;
  const NodeRecord which = recordOf(node);
  if (!which.ok()) {
    report(kWhereNodeClick, *which.error);
    return;
  }
  if (!which.index) return;  // a domain node or the placeholder
  const AuditRecord& record = state_.clientTable()[*which.index];

  const SoftwareItems items = softwareListItems(record);
  {
    const QSignalBlocker block(w_.lstSoftware);
    for (const std::string& item : items.items) addRecordItem(w_.lstSoftware, item);
  }
  if (!items.ok()) {
    report(kWhereNodeClick, *items.error);
    return;
  }

  if (selectedRow(softwarePicks_) < 0) selectQuietly(w_.lstSoftware, softwarePicks_, 0);
  lstSoftware_Click();

  if (selectedRow(hardwarePicks_) < 0 && w_.lstHardware->count() > 0) {
    selectQuietly(w_.lstHardware, hardwarePicks_, 0);
  }
  lstHardware_Click();

  w_.rtbNetworkInfo->setPlainText(areaText(networkInfoText(record.Hardware.Network)));
}

void BrowserController::lstSoftware_Click() {
  w_.rtbSoftwareInfo->clear();
  const QModelIndex node = treePicks_->selectedItem();
  if (!node.isValid()) return;  // error 91: no node selected, nothing to say
  const NodeRecord which = recordOf(node);
  if (!which.ok()) {
    report(kWhereSoftwareClick, *which.error);
    return;
  }
  if (!which.index) return;
  const AuditRecord& record = state_.clientTable()[*which.index];
  const int row = selectedRow(softwarePicks_);
  if (row < 0) return;
  const ViewText view = softwareInfoText(record.Software, row, recordTextOf(w_.lstSoftware->item(row)));
  w_.rtbSoftwareInfo->setPlainText(areaText(view.text));
  if (!view.ok()) report(kWhereSoftwareClick, *view.error);
}

void BrowserController::lstHardware_Click() {
  w_.rtbHardwareInfo->clear();
  restoreHardwareAreaPlace();
  const QModelIndex node = treePicks_->selectedItem();
  if (!node.isValid()) return;  // error 91: no node selected, nothing to say
  const NodeRecord which = recordOf(node);
  if (!which.ok()) {
    report(kWhereHardwareClick, *which.error);
    return;
  }
  if (!which.index) return;
  const AuditRecord& record = state_.clientTable()[*which.index];
  const int row = selectedRow(hardwarePicks_);
  if (row < 0) return;
  const QListWidgetItem* category = w_.lstHardware->item(row);
  const ViewText view = hardwareInfoText(record.Hardware, category->text().toStdString());
  w_.rtbHardwareInfo->setPlainText(areaText(view.text));
  if (!view.ok()) report(kWhereHardwareClick, *view.error);
}

void BrowserController::clickNode(const QModelIndex& node) {
  if (!node.isValid()) return;
  if (treePicks_->selectedItem() == node) {
    TreeView1_NodeClick(node);  // picked already: shown afresh
    return;
  }
  // The new selection runs the click.
  w_.TreeView1->selectionModel()->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
}

void BrowserController::clickSoftwareRow(int row) {
  if (selectedRow(softwarePicks_) == row) {
    lstSoftware_Click();
    return;
  }
  w_.lstSoftware->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void BrowserController::clickHardwareRow(int row) {
  if (selectedRow(hardwarePicks_) == row) {
    lstHardware_Click();
    return;
  }
  w_.lstHardware->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

}  // namespace quorvane
