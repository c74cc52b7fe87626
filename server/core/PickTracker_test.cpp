// PickTracker: one pick per click, once the selection holds the clicked
// item, in whichever order the view moves the current item and the
// selection; a press on the picked item picks it again.
#include "server/core/PickTracker.h"

#include <gtest/gtest.h>

#include <QStringListModel>
#include <functional>
#include <vector>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

struct Bench {
  QStringListModel model{QStringList{"a", "b", "c"}};
  QItemSelectionModel selection{&model};
  PickTracker tracker{selection};
  std::vector<int> picks;
  std::vector<int> selectedAtPick;

  Bench() {
    QObject::connect(&tracker, &PickTracker::picked, [this](const QModelIndex& index) {
      picks.push_back(index.row());
      // What a handler reading "the selected item" sees at that moment.
      selectedAtPick.push_back(tracker.selectedItem().row());
    });
  }
  QModelIndex row(int r) { return model.index(r, 0); }
  // A mouse press in a list: the current item moves first, then the selection.
  void mousePress(int r) {
    tracker.pressStarted();
    if (selection.currentIndex() != row(r)) selection.setCurrentIndex(row(r), QItemSelectionModel::NoUpdate);
    selection.select(row(r), QItemSelectionModel::ClearAndSelect);
    tracker.pressedOn(row(r));
  }
  // A key: the selection moves first, then the current item.
  void key(int r) { selection.setCurrentIndex(row(r), QItemSelectionModel::ClearAndSelect); }
};

struct PickCase {
  const char* name;
  std::function<void(Bench&)> act;
  std::vector<int> picks;
};

class PickTrackerTest : public ::testing::TestWithParam<PickCase> {
 protected:
  void SetUp() override { testing::ensureCoreApplication(); }
};

TEST_P(PickTrackerTest, Picks) {
  Bench bench;
  GetParam().act(bench);
  EXPECT_EQ(bench.picks, GetParam().picks);
  EXPECT_EQ(bench.selectedAtPick, GetParam().picks);  // never a stale selection
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, PickTrackerTest,
    ::testing::Values(
        PickCase{"MousePressesAThenB", [](Bench& b) { b.mousePress(0); b.mousePress(1); }, {0, 1}},
        PickCase{"KeysDownAndUp", [](Bench& b) { b.key(0); b.key(1); b.key(2); b.key(1); }, {0, 1, 2, 1}},
        PickCase{"CurrentMovedAloneIsNoPick",
                 [](Bench& b) { b.selection.setCurrentIndex(b.row(2), QItemSelectionModel::NoUpdate); }, {}},
        PickCase{"SelectionMovedAloneIsAPick",
                 [](Bench& b) { b.selection.select(b.row(2), QItemSelectionModel::ClearAndSelect); }, {2}},
        PickCase{"SecondPressOnThePickedItemPicksAgain", [](Bench& b) { b.mousePress(1); b.mousePress(1); }, {1, 1}},
        PickCase{"ProgramReselectingTheSameItemIsNoPick",
                 [](Bench& b) {
                   b.key(1);
                   b.selection.select(b.row(1), QItemSelectionModel::ClearAndSelect);
                 },
                 {1}},
        PickCase{"PressThatSelectsNothingNewOnOtherItem",
                 [](Bench& b) {
                   b.key(1);
                   b.tracker.pressStarted();
                   b.tracker.pressedOn(b.row(2));  // the view did not select it
                 },
                 {1}},
        PickCase{"ClearedThenSelectedAgain",
                 [](Bench& b) {
                   b.key(1);
                   b.selection.clearSelection();
                   b.key(1);
                 },
                 {1, 1}},
        PickCase{"ModelResetForgetsThePick",
                 [](Bench& b) {
                   b.key(1);
                   b.model.setStringList({"x", "y", "z"});
                   b.key(1);
                 },
                 {1, 1}}),
    [](const ::testing::TestParamInfo<PickCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
