#include "server/gui/GuiMessageSink.h"

#include <QMessageBox>

#include "common/Text8.h"

namespace quorvane {

void GuiMessageSink::showMessage(std::string_view title, std::string_view text, int style) {
  if (alsoToStderr_) stderr_.showMessage(title, text, style);
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0x70) {
    case 16: icon = QMessageBox::Critical; break;
    case 32: icon = QMessageBox::Question; break;
    case 48: icon = QMessageBox::Warning; break;
    case 64: icon = QMessageBox::Information; break;
    default: break;
  }
  QString body = QString::fromStdString(windows1252ToUtf8(text));
  body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  auto* box = new QMessageBox(icon, QString::fromStdString(windows1252ToUtf8(title)), body, QMessageBox::Ok,
                              parent_);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

bool askYesNo(QWidget* parent, const QString& title, const QString& question) {
  QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace quorvane
