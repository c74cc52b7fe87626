#include "server/gui/frmMain.h"

#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include "common/ErrorReport.h"
#include "server/core/ServerTexts.h"
#include "server/gui/frmInput.h"
#include "server/gui/frmLoading.h"
#include "server/gui/GuiMessageSink.h"
#include "server/gui/ViewPicks.h"

namespace quorvane {

namespace {

QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QPlainTextEdit* makeTextArea(QWidget* parent) {
  auto* area = new QPlainTextEdit(parent);
  area->setReadOnly(true);
  area->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  area->setFont(fixed);
  area->setTabStopDistance(QFontMetricsF(fixed).horizontalAdvance(QLatin1Char(' ')) * 8);
  return area;
}

QString timeOfDay() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }

}  // namespace

void centerMe(QWidget& window) {
  const QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize size = window.frameSize().isValid() ? window.frameSize() : window.size();
  window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

frmMain::frmMain(ServerCore& core, QWidget* parent) : QMainWindow(parent), core_(core) {
  setWindowTitle(QStringLiteral("Quorvane Pro  -  Server"));
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  auto* heading = new QHBoxLayout();
  auto* title = new QLabel(QStringLiteral("Quorvane Pro"), central);
  QFont big = title->font();
  big.setPointSize(big.pointSize() + 8);
  big.setBold(true);
  title->setFont(big);
  auto* subtitle = new QLabel(QStringLiteral("Quorvane Pro Server Module"), central);
  QFont italic = subtitle->font();
  italic.setItalic(true);
  subtitle->setFont(italic);
  heading->addWidget(title);
  heading->addSpacing(16);
  heading->addWidget(subtitle, 0, Qt::AlignBottom);
  heading->addStretch();
  layout->addLayout(heading);

  tabs_ = new QTabWidget(central);
  tabs_->addTab(buildLocalView(), QStringLiteral("  Local View  "));
  tabs_->addTab(buildGlobalView(), QStringLiteral("  Global View  "));
  tabs_->addTab(buildReporting(), QStringLiteral("  Reporting  "));
  layout->addWidget(tabs_, 1);
  setCentralWidget(central);

  panelActivity_ = new QLabel(this);
  panelTime_ = new QLabel(timeOfDay(), this);
  panelTime_->setMinimumWidth(90);
  panelTime_->setAlignment(Qt::AlignCenter);
  for (QLabel* panel : {panelActivity_, panelTime_}) panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  statusBar()->addWidget(panelActivity_, 1);
  statusBar()->addPermanentWidget(panelTime_);
  statusBar()->setSizeGripEnabled(false);

  tmrTime_ = new QTimer(this);
  tmrTime_->setInterval(500);
  connect(tmrTime_, &QTimer::timeout, this, [this] { panelTime_->setText(timeOfDay()); });
  tmrTime_->start();

  connect(&core_, &ServerCore::activityChanged, panelActivity_, &QLabel::setText);
  panelActivity_->setText(core_.activity());

  resize(960, 660);

  addScreenshot(QStringLiteral("local-view.png"), [this] { tabs_->setCurrentIndex(TabLocalView); });
  addScreenshot(QStringLiteral("global-view.png"), [this] { tabs_->setCurrentIndex(TabGlobalView); });
  addScreenshot(QStringLiteral("reporting.png"), [this] { tabs_->setCurrentIndex(TabReporting); });

  attachControllers(*this);
}

frmMain::~frmMain() = default;

QWidget* frmMain::buildLocalView() {
  auto* page = new QWidget();
  auto* layout = new QHBoxLayout(page);

  treeView1_ = new QTreeView(page);
  treeView1_->setModel(&core_.state().clientTree());
  treeView1_->setHeaderHidden(true);
  treeView1_->setFixedWidth(230);
  treeView1_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  connect(&core_.state().clientTree(), &ClientTreeModel::nodeMadeVisible, treeView1_,
          [this](const QModelIndex& index) {
            if (core_.loading()) {
              const QPersistentModelIndex parent(index.parent());
              if (!treeView1_->isExpanded(parent) && !pendingExpand_.contains(parent)) pendingExpand_.append(parent);
              pendingScroll_ = index;
              return;
            }
            treeView1_->expand(index.parent());
            treeView1_->scrollTo(index);
          });
  treePicks_ = trackPicks(*treeView1_, *this);
  connect(treePicks_, &PickTracker::picked, this, [this](const QModelIndex& node) {
    const QVariant tag = core_.state().clientTree().tagOf(node);
    emit treeNodeClicked(tag);
    if (tag.isValid() && tag.toInt() >= 0) emit clientNodeClicked(tag.toInt());
  });
  layout->addWidget(treeView1_);

  deviceFrame_ = new QGroupBox(QStringLiteral("  Device Information  "), page);
  auto* frameLayout = new QVBoxLayout(deviceFrame_);
  deviceTabs_ = new QTabWidget(deviceFrame_);

  auto* software = new QWidget();
  auto* softwareLayout = new QHBoxLayout(software);
  lstSoftware_ = new QListWidget(software);
  lstSoftware_->setFixedWidth(250);
  rtbSoftwareInfo_ = makeTextArea(software);
  softwareLayout->addWidget(lstSoftware_);
  softwareLayout->addWidget(rtbSoftwareInfo_, 1);
  deviceTabs_->addTab(software, QStringLiteral("   Software   "));

  auto* hardware = new QWidget();
  auto* hardwareLayout = new QHBoxLayout(hardware);
  lstHardware_ = new QListWidget(hardware);
  lstHardware_->setFixedWidth(190);
  rtbHardwareInfo_ = makeTextArea(hardware);
  hardwareLayout->addWidget(lstHardware_);
  hardwareLayout->addWidget(rtbHardwareInfo_, 1);
  deviceTabs_->addTab(hardware, QStringLiteral("   Hardware   "));

  auto* network = new QWidget();
  auto* networkLayout = new QVBoxLayout(network);
  rtbNetworkInfo_ = makeTextArea(network);
  networkLayout->addWidget(rtbNetworkInfo_);
  deviceTabs_->addTab(network, QStringLiteral("    Network   "));

  frameLayout->addWidget(deviceTabs_);
  layout->addWidget(deviceFrame_, 1);
  return page;
}

QPushButton* frmMain::addButton(QWidget* parent, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setMinimumWidth(150);
  buttons_.push_back(b);
  return b;
}

QWidget* frmMain::buildGlobalView() {
  auto* page = new QWidget();
  auto* layout = new QHBoxLayout(page);

  lstvGlobal_ = new QTableView(page);
  ClientListModel& list = core_.state().clientList();
  lstvGlobal_->setModel(&list);
  lstvGlobal_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lstvGlobal_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lstvGlobal_->verticalHeader()->hide();
  lstvGlobal_->setShowGrid(false);
  lstvGlobal_->setAlternatingRowColors(true);
  QHeaderView* header = lstvGlobal_->horizontalHeader();
  header->setSectionsClickable(true);
  header->setHighlightSections(false);
  header->setStretchLastSection(true);
  lstvGlobal_->setColumnWidth(ClientListModel::ColSelected, 70);
  lstvGlobal_->setColumnWidth(ClientListModel::ColIp, 120);
  lstvGlobal_->setColumnWidth(ClientListModel::ColHostname, 130);
  lstvGlobal_->setColumnWidth(ClientListModel::ColPing, 60);
  lstvGlobal_->setColumnWidth(ClientListModel::ColAuditTime, 170);
  connect(header, &QHeaderView::sectionClicked, this, [this](int column) {
    core_.state().clientList().sortByColumn(column);
  });
  layout->addWidget(lstvGlobal_, 1);

  auto* column = new QVBoxLayout();
  auto* selection = new QGroupBox(page);
  auto* selectionLayout = new QVBoxLayout(selection);
  connect(addButton(selection, QStringLiteral("Select All")), &QPushButton::clicked, this, &frmMain::cmdSelectAll);
  connect(addButton(selection, QStringLiteral("Select None")), &QPushButton::clicked, this, &frmMain::cmdSelectNone);
  connect(addButton(selection, QStringLiteral("Invert Selection")), &QPushButton::clicked, this,
          &frmMain::cmdInvertSelection);
  for (QPushButton* b : buttons_) selectionLayout->addWidget(b);
  column->addWidget(selection);

  auto* requests = new QGroupBox(page);
  auto* requestsLayout = new QVBoxLayout(requests);
  for (const RequestButton& rb : requestButtons()) {
    QPushButton* b = addButton(requests, qs(rb.caption));
    const CommandCode code = rb.code;
    connect(b, &QPushButton::clicked, this, [this, code] { cmdDo(code); });
    requestsLayout->addWidget(b);
  }
  column->addWidget(requests);

  auto* message = new QGroupBox(page);
  auto* messageLayout = new QVBoxLayout(message);
  QPushButton* send = addButton(message, qs(kSendMessageCaption));
  connect(send, &QPushButton::clicked, this, &frmMain::cmdSendMessage);
  messageLayout->addWidget(send);
  column->addWidget(message);
  column->addStretch();
  layout->addLayout(column);
  return page;
}

QWidget* frmMain::buildReporting() {
  auto* page = new QWidget();
  auto* layout = new QVBoxLayout(page);
  reportingFrame_ = new QGroupBox(QStringLiteral("  Reporting Options  "), page);
  layout->addWidget(reportingFrame_, 1);
  return page;
}

QPushButton* frmMain::button(const QString& caption) const {
  for (QPushButton* b : buttons_) {
    if (b->text() == caption) return b;
  }
  return nullptr;
}

Status frmMain::startUp(StartupOptions options) {
  // While DataStore loads, the loading window shows the progress; the tree
  // and the list behind it are painted once at the end instead of once per
  // loaded client (text layout of every visible row, each time).
  treeView1_->setUpdatesEnabled(false);
  lstvGlobal_->setUpdatesEnabled(false);
  // The window always goes on to show DataStore, with or without intake.
  options.browseWithoutIntake = true;
  const Status started = core_.start(*this, options);
  for (const QPersistentModelIndex& domain : pendingExpand_) {
    if (domain.isValid()) treeView1_->expand(domain);
  }
  pendingExpand_.clear();
  treeView1_->setUpdatesEnabled(true);
  lstvGlobal_->setUpdatesEnabled(true);
  if (pendingScroll_.isValid()) treeView1_->scrollTo(pendingScroll_);
  pendingScroll_ = QPersistentModelIndex();
  return started;
}

QVariant frmMain::selectedTag() const {
  return core_.state().clientTree().tagOf(treePicks_->selectedItem());
}

bool frmMain::selectFirstMachine() {
  const QModelIndex first = core_.state().clientTree().firstClientIndex();
  if (!first.isValid()) return false;
  treeView1_->expand(first.parent());
  treeView1_->setCurrentIndex(first);
  return true;
}

void frmMain::cmdSelectAll() { core_.state().clientList().selectAll(); }
void frmMain::cmdSelectNone() { core_.state().clientList().selectNone(); }
void frmMain::cmdInvertSelection() { core_.state().clientList().invertSelection(); }

void frmMain::cmdDo(CommandCode code) {
  CommandDispatcher* d = core_.dispatcher();
  if (d == nullptr) return;
  if (asksBeforeSending(code)) {
    const int computers = static_cast<int>(core_.state().clientList().checkedRows().size());
    if (computers == 0) return;  // nothing ticked: nothing to send, nothing to ask
    if (!askYesNo(this, qs(kServerTitle), qs(sendQuestion(code, computers)))) return;
  }
  d->cmdDo(code);
}

void frmMain::cmdSendMessage() {
  auto* dialog = new frmInput(*this);
  dialog->load();
}

void frmMain::addScreenshot(const QString& fileName, std::function<void()> prepare) {
  shots_.push_back(Shot{fileName, std::move(prepare)});
}

Status frmMain::saveScreenshots(const QString& dir) {
  if (!QDir().mkpath(dir)) return Status::Error(kErrPathAccess, "Cannot create " + dir.toStdString());
  for (const Shot& shot : shots_) {
    if (shot.prepare) shot.prepare();
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(shot.fileName);
    if (!grab().save(path, "PNG")) return Status::Error(kErrPathAccess, "Cannot write " + path.toStdString());
  }
  return Status::Ok();
}

void frmMain::showLoading() {
  if (!loading_) loading_ = new frmLoading(this);
  loading_->load();
  QApplication::processEvents();
}

void frmMain::setLoadingFile(const std::string& name) {
  if (loading_) loading_->setFileName(QString::fromStdString(name));
}

void frmMain::setLoadingProgress(double fraction) {
  if (loading_) loading_->setFraction(fraction);
}

void frmMain::unloadLoading() {
  if (!loading_) return;
  loading_->close();
  loading_->deleteLater();
  loading_ = nullptr;
}

void frmMain::centreMainWindow() { centerMe(*this); }

void frmMain::fillHardwareCategories() {
  lstHardware_->clear();
  for (std::string_view category : kHardwareCategories) lstHardware_->addItem(qs(category));
}

}  // namespace quorvane
