#include "server/gui/GuiMessageSink.h"

#include <QMessageBox>

#include "common/Text8.h"

namespace quorvane {

namespace {
QString unshownText(int count) {
  return QStringLiteral("%1 more message(s) were not shown, to keep the console usable; they were written to "
                        "standard error.")
      .arg(count);
}
}  // namespace

void GuiMessageSink::showMessage(std::string_view title, std::string_view text, int style) {
  if (alsoToStderr_ || *open_ >= kMostOpenMessageBoxes) stderr_.showMessage(title, text, style);
  if (*open_ >= kMostOpenMessageBoxes) {
    countUnshown(QString::fromStdString(windows1252ToUtf8(title)));
    return;
  }
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
  ++*open_;
  QObject::connect(box, &QObject::destroyed, [open = open_] { --*open; });
  box->show();
}

// One box, not counted among the open ones, keeps the number up to date; a
// new one starts counting from one after it was closed.
void GuiMessageSink::countUnshown(const QString& title) {
  if (unshownBox_.isNull()) {
    unshown_ = 0;
    unshownBox_ = new QMessageBox(QMessageBox::Warning, title, QString(), QMessageBox::Ok, parent_);
    unshownBox_->setAttribute(Qt::WA_DeleteOnClose);
    unshownBox_->setModal(false);
    unshownBox_->show();
  }
  unshownBox_->setText(unshownText(++unshown_));
}

bool askYesNo(QWidget* parent, const QString& title, const QString& question) {
  QMessageBox box(QMessageBox::Question, title, question, QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

}  // namespace quorvane
