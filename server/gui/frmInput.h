// frmInput: the dialog of "Send Message". On load it shows, centres itself
// and tells the user what to type; "OK" asks for confirmation and then sends
// the text to every ticked client (command code 5) and closes; on Cancel of
// the confirmation the dialog stays open. "Cancel" closes the dialog.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;
class QPushButton;

namespace quorvane {

class frmMain;

class frmInput : public QDialog {
  Q_OBJECT

 public:
  // Asked before sending; true means OK. The default shows the confirmation
  // message box (OK and Cancel, critical icon).
  using Confirm = std::function<bool(const QString& text)>;

  explicit frmInput(frmMain& main, Confirm confirm = {});

  void load();  // Form_Load
  QLineEdit* txtInput() const { return txtInput_; }
  QPushButton* cmdOK() const { return cmdOK_; }
  QPushButton* cmdCancel() const { return cmdCancel_; }

 private:
  void onOK();

  frmMain& main_;
  Confirm confirm_;
  QLineEdit* txtInput_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
};

}  // namespace quorvane
