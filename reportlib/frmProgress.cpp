#include "reportlib/frmProgress.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

#include "reportlib/modProgress.h"

namespace dovrel {

frmProgress::frmProgress() {
  setObjectName(QStringLiteral("frmProgress"));
  setWindowTitle(QStringLiteral("Report Progress"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
  auto* layout = new QVBoxLayout(this);
  lblReportName = new QLabel(this);
  lblReportName->setObjectName(QStringLiteral("lblReportName"));
  QFont bold = lblReportName->font();
  bold.setBold(true);
  lblReportName->setFont(bold);
  lblCurrStatus = new QLabel(this);
  lblCurrStatus->setObjectName(QStringLiteral("lblCurrStatus"));
  lblPercent = new QLabel(this);
  lblPercent->setObjectName(QStringLiteral("lblPercent"));
  picOuter = new QFrame(this);
  picOuter->setObjectName(QStringLiteral("picOuter"));
  picOuter->setFrameShape(QFrame::Box);
  picOuter->setFixedSize(static_cast<int>(kProgressBarUnits) + 2, 18);
  picInner = new QFrame(picOuter);
  picInner->setObjectName(QStringLiteral("picInner"));
  picInner->setAutoFillBackground(true);
  QPalette pal = picInner->palette();
  pal.setColor(QPalette::Window, QColor(0, 0, 128));
  picInner->setPalette(pal);
  picInner->setGeometry(1, 1, 0, 16);
  layout->addWidget(lblReportName);
  layout->addWidget(lblCurrStatus);
  layout->addWidget(picOuter);
  layout->addWidget(lblPercent, 0, Qt::AlignRight);
}

void frmProgress::setTexts(const QString& title, const QString& status, const QString& percent) {
  lblReportName->setText(title);
  lblCurrStatus->setText(status);
  lblPercent->setText(percent);
}

void frmProgress::setBar(double units) {
  picInner->setGeometry(1, 1, static_cast<int>(std::lround(units)), 16);
}

void frmProgress::centreOnScreen() {
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect r = screen->geometry();
    move((r.width() - width()) / 2, (r.height() - height()) / 2);
  }
}

}  // namespace dovrel
