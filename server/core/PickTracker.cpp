#include "server/core/PickTracker.h"

namespace quorvane {

PickTracker::PickTracker(QItemSelectionModel& selection, QObject* parent)
    : QObject(parent), selection_(selection) {
  connect(&selection_, &QItemSelectionModel::selectionChanged, this, &PickTracker::onSelectionChanged);
  // A model reset clears the selection without a signal.
  if (QAbstractItemModel* model = selection_.model()) {
    connect(model, &QAbstractItemModel::modelReset, this, [this] { last_ = QPersistentModelIndex(); });
  }
  last_ = selectedItem();
}

QModelIndex PickTracker::selectedItem() const {
  const QModelIndexList selected = selection_.selectedIndexes();
  if (selected.isEmpty()) return {};
  const QModelIndex current = selection_.currentIndex();
  if (current.isValid() && selected.contains(current)) return current;
  return selected.front();
}

void PickTracker::onSelectionChanged() {
  const QModelIndex item = selectedItem();
  if (!item.isValid()) {
    last_ = QPersistentModelIndex();
    return;
  }
  if (last_.isValid() && QModelIndex(last_) == item) return;
  last_ = item;
  ++picks_;
  emit picked(item);
}

void PickTracker::pressStarted() { picksAtPress_ = picks_; }

void PickTracker::pressedOn(const QModelIndex& index) {
  if (picks_ != picksAtPress_ || !index.isValid()) return;
  const QModelIndex item = selectedItem();
  if (item != index) return;
  last_ = item;
  ++picks_;
  emit picked(item);
}

}  // namespace quorvane
