#include "server/gui/frmInput.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/Text8.h"
#include "server/core/ServerTexts.h"
#include "server/gui/frmMain.h"

namespace quorvane {

namespace {

QString fromText8(std::string_view text) { return QString::fromStdString(windows1252ToUtf8(text)); }

bool confirmWithMessageBox(QWidget* parent, const QString& text) {
  QString body = fromText8(kMessageConfirm) + text;
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  QMessageBox box(QMessageBox::Critical, fromText8(kServerTitle), body, QMessageBox::Ok | QMessageBox::Cancel,
                  parent);
  return box.exec() == QMessageBox::Ok;
}

}  // namespace

frmInput::frmInput(frmMain& main, Confirm confirm)
    : QDialog(&main), main_(main), confirm_(std::move(confirm)) {
  setWindowTitle(QStringLiteral("Send Message"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Message :"), this));
  txtInput_ = new QLineEdit(this);
  txtInput_->setMinimumWidth(360);
  layout->addWidget(txtInput_);
  auto* buttons = new QHBoxLayout();
  buttons->addStretch();
  cmdOK_ = new QPushButton(QStringLiteral("OK"), this);
  cmdCancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  buttons->addWidget(cmdOK_);
  buttons->addWidget(cmdCancel_);
  layout->addLayout(buttons);
  if (!confirm_) confirm_ = [this](const QString& text) { return confirmWithMessageBox(this, text); };
  connect(cmdOK_, &QPushButton::clicked, this, &frmInput::onOK);
  connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::close);
}

void frmInput::load() {
  show();
  centerMe(*this);
  main_.core().messages().showMessage(kServerTitle, kMessagePrompt, kStyleInformation);
}

void frmInput::onOK() {
  const QString text = txtInput_->text();
  if (!confirm_(text)) return;
  if (CommandDispatcher* d = main_.core().dispatcher()) d->setMessageText(utf8ToWindows1252(text.toStdString()));
  main_.cmdDo(CommandCode::Message);
  close();
}

}  // namespace quorvane
