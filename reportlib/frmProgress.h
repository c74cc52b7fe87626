// frmProgress: the report's progress window ("Report Progress").
//
// Labels lblReportName, lblCurrStatus and lblPercent above a bar made of an
// outer box picOuter (369 units wide) and an inner box picInner whose width
// shows the fraction done. Created only inside a graphical application.
#pragma once

#include <QWidget>

class QLabel;
class QFrame;

namespace dovrel {

class frmProgress : public QWidget {
 public:
  frmProgress();

  void setTexts(const QString& title, const QString& status, const QString& percent);
  void setBar(double units);
  void centreOnScreen();

  QLabel* lblReportName;
  QLabel* lblCurrStatus;
  QLabel* lblPercent;
  QFrame* picOuter;
  QFrame* picInner;
};

}  // namespace dovrel
