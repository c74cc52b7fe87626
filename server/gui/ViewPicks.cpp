#include "server/gui/ViewPicks.h"

#include <QAbstractItemView>
#include <QEvent>

namespace quorvane {
namespace {

// Tells the tracker that a press begins, before the view handles it.
class PressWatcher : public QObject {
 public:
  explicit PressWatcher(PickTracker& tracker) : QObject(&tracker), tracker_(tracker) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) {
      tracker_.pressStarted();
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  PickTracker& tracker_;
};

}  // namespace

PickTracker* trackPicks(QAbstractItemView& view, QObject& owner) {
  auto* tracker = new PickTracker(*view.selectionModel(), &owner);
  view.viewport()->installEventFilter(new PressWatcher(*tracker));
  QObject::connect(&view, &QAbstractItemView::pressed, tracker, &PickTracker::pressedOn);
  return tracker;
}

}  // namespace quorvane
