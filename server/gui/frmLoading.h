// frmLoading: the small window shown while DataStore loads: a frame with the
// label "Loading Files", the file-name label (first "[ estimating file count
// ]") and a progress bar made of an outer box picOuter and an inner box
// picInner whose width is a fraction of the outer one.
#pragma once

#include <QWidget>

class QFrame;
class QLabel;

namespace quorvane {

class frmLoading : public QWidget {
  Q_OBJECT

 public:
  explicit frmLoading(QWidget* parent = nullptr);

  // Centres, shows and raises the window above the others.
  void load();
  void setFileName(const QString& name);
  void setFraction(double fraction);  // 0..1: picInner's width over picOuter's
  QLabel* fileLabel() const { return lblFile_; }
  QFrame* picOuter() const { return picOuter_; }
  QFrame* picInner() const { return picInner_; }

 private:
  QLabel* lblFile_;
  QFrame* picOuter_;
  QFrame* picInner_;
  double fraction_ = 0;
};

}  // namespace quorvane
