#include "server/gui/BrowserController.h"

#include <QAbstractItemModel>
#include <QEvent>
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

bool hasSelectedItem(const QListWidget* list) {
  return list->currentRow() >= 0 && list->currentItem() != nullptr &&
         list->currentItem()->isSelected();
}

void selectRow(QListWidget* list, int row) {
  const QSignalBlocker block(list);
  list->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
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

  connect(w_.lstSoftware, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) lstSoftware_Click();
  });
  connect(w_.lstHardware, &QListWidget::currentRowChanged, this, [this](int row) {
    if (row >= 0) lstHardware_Click();
  });

  // Node clicks. A press that makes a node current runs the click through
  // the current-node change; a press on the current node runs it itself.
  connect(w_.TreeView1->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& current) {
            currentChangedDuringPress_ = true;
            if (current.isValid()) TreeView1_NodeClick(current);
          });
  w_.TreeView1->viewport()->installEventFilter(this);
  connect(w_.TreeView1, &QAbstractItemView::pressed, this, [this](const QModelIndex& index) {
    if (!currentChangedDuringPress_ && index.isValid() && index == w_.TreeView1->currentIndex()) {
      TreeView1_NodeClick(index);
    }
  });

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

bool BrowserController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == w_.TreeView1->viewport() && event->type() == QEvent::MouseButtonPress) {
    currentChangedDuringPress_ = false;
  }
  return QObject::eventFilter(watched, event);
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

QModelIndex BrowserController::selectedNode() const {
  const QItemSelectionModel* selection = w_.TreeView1->selectionModel();
  if (selection == nullptr) return {};
  const QModelIndex current = selection->currentIndex();
  if (current.isValid() && selection->isSelected(current)) return current;
  const QModelIndexList selected = selection->selectedIndexes();
  return selected.isEmpty() ? QModelIndex() : selected.front();
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

  if (!hasSelectedItem(w_.lstSoftware)) selectRow(w_.lstSoftware, 0);
  lstSoftware_Click();

  if (!hasSelectedItem(w_.lstHardware) && w_.lstHardware->count() > 0) {
    selectRow(w_.lstHardware, 0);
  }
  lstHardware_Click();

  w_.rtbNetworkInfo->setPlainText(areaText(networkInfoText(record.Hardware.Network)));
}

void BrowserController::lstSoftware_Click() {
  w_.rtbSoftwareInfo->clear();
  const QModelIndex node = selectedNode();
  if (!node.isValid()) return;  // error 91: no node selected, nothing to say
  const NodeRecord which = recordOf(node);
  if (!which.ok()) {
    report(kWhereSoftwareClick, *which.error);
    return;
  }
  if (!which.index) return;
  const AuditRecord& record = state_.clientTable()[*which.index];
  const int row = w_.lstSoftware->currentRow();
  const ViewText view =
      softwareInfoText(record.Software, row, recordTextOf(w_.lstSoftware->currentItem()));
  w_.rtbSoftwareInfo->setPlainText(areaText(view.text));
  if (!view.ok()) report(kWhereSoftwareClick, *view.error);
}

void BrowserController::lstHardware_Click() {
  w_.rtbHardwareInfo->clear();
  restoreHardwareAreaPlace();
  const QModelIndex node = selectedNode();
  if (!node.isValid()) return;  // error 91: no node selected, nothing to say
  const NodeRecord which = recordOf(node);
  if (!which.ok()) {
    report(kWhereHardwareClick, *which.error);
    return;
  }
  if (!which.index) return;
  const AuditRecord& record = state_.clientTable()[*which.index];
  const QListWidgetItem* category = w_.lstHardware->currentItem();
  if (category == nullptr || !category->isSelected()) return;
  const ViewText view = hardwareInfoText(record.Hardware, category->text().toStdString());
  w_.rtbHardwareInfo->setPlainText(areaText(view.text));
  if (!view.ok()) report(kWhereHardwareClick, *view.error);
}

void BrowserController::clickNode(const QModelIndex& node) {
  QItemSelectionModel* selection = w_.TreeView1->selectionModel();
  if (selection != nullptr && node.isValid() && selection->currentIndex() != node) {
    // The change of the current node runs the click.
    selection->setCurrentIndex(node, QItemSelectionModel::ClearAndSelect);
    return;
  }
  if (selection != nullptr) selection->select(node, QItemSelectionModel::ClearAndSelect);
  TreeView1_NodeClick(node);
}

void BrowserController::clickSoftwareRow(int row) {
  selectRow(w_.lstSoftware, row);
  lstSoftware_Click();
}

void BrowserController::clickHardwareRow(int row) {
  selectRow(w_.lstHardware, row);
  lstHardware_Click();
}

}  // namespace quorvane
