// PickTracker: when a click on a list or tree has picked an item.
//
// A view delivers one click as several changes: a mouse press first moves
// the current item and then selects it, the keyboard selects first and then
// moves the current item, and a program may do either. A handler that reads
// "the selected item" must therefore run only once the selection holds the
// clicked item. PickTracker watches a selection model and emits picked()
// exactly then: when the selection comes to hold one item other than the one
// last picked, whatever moved it. A press on the item that is already picked
// (a second click on the same machine) picks it again, so its view is shown
// afresh; the window reports presses through pressStarted() and pressedOn().
//
// Qt Core only; the window wires its views' presses to it.
#pragma once

#include <QItemSelectionModel>
#include <QObject>
#include <QPersistentModelIndex>

namespace quorvane {

class PickTracker : public QObject {
  Q_OBJECT

 public:
  explicit PickTracker(QItemSelectionModel& selection, QObject* parent = nullptr);

  // The picked item: the one selected item (the current one when several are
  // selected, else the first), or an invalid index.
  QModelIndex selectedItem() const;

  // A mouse press begins, before the view handles it.
  void pressStarted();
  // The view has handled a press on `index`: if it changed no pick and
  // `index` is the picked item, it is picked again.
  void pressedOn(const QModelIndex& index);

 signals:
  void picked(const QModelIndex& index);

 private:
  void onSelectionChanged();

  QItemSelectionModel& selection_;
  QPersistentModelIndex last_;
  unsigned long picks_ = 0;
  unsigned long picksAtPress_ = 0;
};

}  // namespace quorvane
