// ViewPicks: a PickTracker on a view's selection, told of the view's mouse
// presses, so that a click's handler runs once the click's item is selected
// (see server/core/PickTracker.h). The tracker is a child of `owner`.
#pragma once

#include "server/core/PickTracker.h"

class QAbstractItemView;

namespace quorvane {

PickTracker* trackPicks(QAbstractItemView& view, QObject& owner);

}  // namespace quorvane
