#include "server/gui/ReportingController.h"

#include <QEvent>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>
#include <memory>
#include <optional>

#include "common/ErrorReport.h"
#include "common/Text8.h"
#include "server/core/ServerTexts.h"
#include "server/gui/GuiMessageSink.h"
#include "server/gui/frmMain.h"

namespace quorvane {

namespace {

QString fromText(const std::string& s) { return QString::fromStdString(windows1252ToUtf8(s)); }

}  // namespace

ReportingController::ReportingController(frmMain& window)
    : QObject(&window), window_(window), runner_(window.core().messages(), QV_HOST_INTERACTIVE) {
  window_.core().setReportCatalog(std::make_unique<LibraryReportCatalog>(window_.core().messages()));
  buildWidgets();
  connect(window_.tabStrip(), &QTabWidget::currentChanged, this, [this](int index) {
    if (index == frmMain::TabReporting) refresh();
  });
  window_.reportingOptionsFrame()->installEventFilter(this);
  window_.addScreenshot(QStringLiteral("reporting-formats.png"), [this] {
    window_.tabStrip()->setCurrentIndex(frmMain::TabReporting);
    refresh();
    if (lstvReportTypes_->topLevelItemCount() == 0) return;
    lstvReportTypes_->setCurrentItem(lstvReportTypes_->topLevelItem(0));
    lstvReportTypes_ItemClick(0);
    if (lstvFormatTypes_->topLevelItemCount() > 0) {
      lstvFormatTypes_->setCurrentItem(lstvFormatTypes_->topLevelItem(0));
      lstvFormatTypes_ItemClick(0);
    }
  });
}

void ReportingController::buildWidgets() {
  QGroupBox* frame = window_.reportingOptionsFrame();
  auto* layout = new QVBoxLayout(frame);
  layout->addWidget(new QLabel(QStringLiteral("What sort of report would you like to generate ?"), frame));
  lstvReportTypes_ = new QTreeWidget(frame);
  lstvReportTypes_->setObjectName(QStringLiteral("lstvReportTypes"));
  lstvReportTypes_->setHeaderLabels({QStringLiteral("ReportName"), QStringLiteral("AuthorName"),
                                     QStringLiteral("FileName")});
  lstvReportTypes_->setRootIsDecorated(false);
  lstvReportTypes_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  layout->addWidget(lstvReportTypes_, 2);
  layout->addWidget(new QLabel(QStringLiteral("In what format would you like the report ?"), frame));
  lstvFormatTypes_ = new QTreeWidget(frame);
  lstvFormatTypes_->setObjectName(QStringLiteral("lstvFormatTypes"));
  lstvFormatTypes_->setHeaderLabels({QStringLiteral("  Report Type  ")});
  lstvFormatTypes_->setRootIsDecorated(false);
  layout->addWidget(lstvFormatTypes_, 1);
  layout->addWidget(new QLabel(QStringLiteral("Where would you like this report to be saved ?"), frame));
  auto* pathRow = new QHBoxLayout();
  txtReportPath_ = new QLineEdit(frame);
  txtReportPath_->setObjectName(QStringLiteral("txtReportPath"));
  cmdSelectPath_ = new QPushButton(QStringLiteral(". . ."), frame);
  cmdSelectPath_->setObjectName(QStringLiteral("cmdSelectPath"));
  pathRow->addWidget(txtReportPath_, 1);
  pathRow->addWidget(cmdSelectPath_);
  layout->addLayout(pathRow);
  cmdGo_ = new QPushButton(QStringLiteral("Go !"), frame);
  cmdGo_->setObjectName(QStringLiteral("cmdGo"));
  layout->addWidget(cmdGo_, 0, Qt::AlignRight);
  lblReportResult_ = new QLabel(frame);
  lblReportResult_->setObjectName(QStringLiteral("lblReportResult"));
  lblReportResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(lblReportResult_);

  connect(lstvReportTypes_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    lstvReportTypes_ItemClick(lstvReportTypes_->indexOfTopLevelItem(item));
  });
  connect(lstvFormatTypes_, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item, int) {
    lstvFormatTypes_ItemClick(lstvFormatTypes_->indexOfTopLevelItem(item));
  });
  connect(cmdSelectPath_, &QPushButton::clicked, this, [this] { cmdSelectPath_Click(); });
  connect(cmdGo_, &QPushButton::clicked, this, [this] { cmdGo_Click(); });
}

bool ReportingController::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_.reportingOptionsFrame() && event->type() == QEvent::Show) refresh();
  return QObject::eventFilter(watched, event);
}

void ReportingController::refresh() {
  // The library table is built once, during start-up; the list follows it.
  const auto& libraries = window_.core().reportLibraries();
  auto same = [&] {
    const auto& mine = runner_.libraries();
    if (mine.size() != libraries.size()) return false;
    for (std::size_t i = 0; i < mine.size(); ++i) {
      if (mine[i].path != libraries[i].path || mine[i].catalog != libraries[i].catalog) return false;
    }
    return true;
  };
  if (filled_ && same()) return;
  runner_.setLibraries(libraries);
  lstvReportTypes_->clear();
  lstvFormatTypes_->clear();
  for (const auto& row : runner_.typeRows()) {
    auto* item = new QTreeWidgetItem(lstvReportTypes_, {fromText(row.text), fromText(row.author), fromText(row.fileName)});
    item->setData(0, Qt::UserRole, row.tag);
  }
  filled_ = true;
}

void ReportingController::lstvReportTypes_ItemClick(int row) {
  try {
    if (row < 0) return;
    runner_.clickReportType(static_cast<std::size_t>(row));
    lstvFormatTypes_->clear();
    for (const auto& format : runner_.formatRows()) {
      auto* item = new QTreeWidgetItem(lstvFormatTypes_, {fromText(format.caption)});
      item->setData(0, Qt::UserRole, fromText(format.extension));
    }
  } catch (const std::exception& e) {
    window_.core().reportError("frmMain.lstvReportTypes_ItemClick", kErrTypeMismatch, e.what(), __LINE__);
  }
}

void ReportingController::lstvFormatTypes_ItemClick(int row) {
  try {
    if (row < 0) return;
    runner_.clickFormat(static_cast<std::size_t>(row));
  } catch (const std::exception& e) {
    window_.core().reportError("frmMain.lstvFormatTypes_ItemClick", kErrTypeMismatch, e.what(), __LINE__);
  }
}

void ReportingController::cmdSelectPath_Click() {
  // Any failure, cancelling included, ends silently.
  try {
    const QString preset =
        lastFileName_.isEmpty() ? fromText(runner_.defaultFileName()) : lastFileName_;
    QString chosen;
    if (saveDialog_) {
      chosen = saveDialog_(preset);
    } else {
      if (dialog_ == nullptr) {
        dialog_ = new QFileDialog(&window_, QStringLiteral("Save Report As"));
        dialog_->setAcceptMode(QFileDialog::AcceptSave);
        dialog_->setFileMode(QFileDialog::AnyFile);
      }
      dialog_->selectFile(preset);
      if (dialog_->exec() == QDialog::Accepted && !dialog_->selectedFiles().isEmpty()) {
        chosen = dialog_->selectedFiles().first();
      }
    }
    if (chosen.isEmpty()) return;
    lastFileName_ = chosen;
    txtReportPath_->setText(chosen);
  } catch (...) {
  }
}

ReportRunner::Outcome ReportingController::cmdGo_Click() {
  try {
    const std::string pathText = txtReportPath_->text().toStdString();
    lblReportResult_->clear();
    if (const std::optional<std::string> question = runner_.replaceQuestion(pathText)) {
      if (!askYesNo(&window_, fromText(std::string(kServerTitle)), QString::fromStdString(*question))) {
        lblReportResult_->setText(QStringLiteral("Not written: ") + txtReportPath_->text() +
                                  QStringLiteral(" was kept."));
        return ReportRunner::Outcome::NotWritten;
      }
    }
    const ReportRunner::Outcome outcome = runner_.go(pathText, window_.core().state().dataFileList());
    if (outcome == ReportRunner::Outcome::Written) {
      lblReportResult_->setText(QString::fromStdString(ReportRunner::writtenNote(pathText)));
    }
    return outcome;
  } catch (const std::exception& e) {
    window_.core().reportError("QuorvaneServer.frmMain.cmdGo_Click", kErrTypeMismatch, e.what(), __LINE__);
    return ReportRunner::Outcome::Failed;
  }
}

}  // namespace quorvane
