#include "server/gui/frmLoading.h"

#include <QFrame>
#include <algorithm>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "server/gui/frmMain.h"

namespace quorvane {

namespace {
constexpr int kOuterWidth = 300;
constexpr int kOuterHeight = 18;
}  // namespace

frmLoading::frmLoading(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  setWindowTitle(QStringLiteral("Quorvane Pro"));
  auto* outer = new QVBoxLayout(this);
  auto* frame = new QGroupBox(this);
  auto* layout = new QVBoxLayout(frame);
  auto* title = new QLabel(QStringLiteral("Loading Files"), frame);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  lblFile_ = new QLabel(QStringLiteral("[ estimating file count ]"), frame);
  picOuter_ = new QFrame(frame);
  picOuter_->setFrameShape(QFrame::Box);
  picOuter_->setFixedSize(kOuterWidth, kOuterHeight);
  picInner_ = new QFrame(picOuter_);
  picInner_->setAutoFillBackground(true);
  QPalette pal = picInner_->palette();
  pal.setColor(QPalette::Window, QColor(0, 0, 128));
  picInner_->setPalette(pal);
  picInner_->setGeometry(1, 1, 0, kOuterHeight - 2);
  layout->addWidget(title);
  layout->addWidget(lblFile_);
  layout->addWidget(picOuter_);
  outer->addWidget(frame);
  setFixedSize(sizeHint());
}

void frmLoading::load() {
  centerMe(*this);
  show();
  raise();
}

void frmLoading::setFileName(const QString& name) { lblFile_->setText(name); }

void frmLoading::setFraction(double fraction) {
  fraction_ = std::clamp(fraction, 0.0, 1.0);
  picInner_->setGeometry(1, 1, static_cast<int>(fraction_ * (picOuter_->width() - 2)), picOuter_->height() - 2);
}

}  // namespace quorvane
