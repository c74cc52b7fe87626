// The server's message boxes as windows: the icon each style gives (button
// bits ignored, unknown styles without icon), the title and text as UTF-8
// with CR LF shown as line breaks, and a box that never blocks and is gone
// once closed.
#include "server/gui/GuiMessageSink.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "server/testsupport/QtTestSupport.h"
#include "server/testsupport/WidgetTestSupport.h"

namespace quorvane {
namespace {

// The message boxes now shown.
std::vector<QMessageBox*> shownBoxes() {
  std::vector<QMessageBox*> boxes;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) boxes.push_back(box);
  }
  return boxes;
}

struct StyleCase {
  const char* name;
  int style;
  QMessageBox::Icon icon;
};

class GuiMessageSinkTest : public ::testing::TestWithParam<StyleCase> {
 protected:
  void SetUp() override { testing::ensureWidgetApplication(); }
  void TearDown() override {
    for (QMessageBox* box : shownBoxes()) box->close();
    testing::waitUntil([] { return shownBoxes().empty(); });
  }
};

TEST_P(GuiMessageSinkTest, ShowsTheIconOfTheStyleWithoutBlocking) {
  GuiMessageSink sink;
  QWidget parent;
  sink.setParent(&parent);
  sink.showMessage("Caf\xE9", "Error in : x\r\n\r\nline \xE9", GetParam().style);  // returns at once
  const std::vector<QMessageBox*> boxes = shownBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  QPointer<QMessageBox> box = boxes[0];
  EXPECT_EQ(box->icon(), GetParam().icon);
  EXPECT_EQ(box->windowTitle(), QString::fromUtf8("Caf\xC3\xA9"));
  EXPECT_EQ(box->text(), QString::fromUtf8("Error in : x\n\nline \xC3\xA9"));
  EXPECT_FALSE(box->isModal());
  EXPECT_EQ(box->parentWidget(), &parent);
  box->close();
  EXPECT_TRUE(testing::waitUntil([&] { return box.isNull(); }, 5000)) << "a closed box is deleted";
}

INSTANTIATE_TEST_SUITE_P(
    Styles, GuiMessageSinkTest,
    ::testing::Values(StyleCase{"Plain", 0, QMessageBox::NoIcon}, StyleCase{"Critical", 16, QMessageBox::Critical},
                      StyleCase{"Question", 32, QMessageBox::Question},
                      StyleCase{"Exclamation", 48, QMessageBox::Warning},
                      StyleCase{"Information", 64, QMessageBox::Information},
                      StyleCase{"CriticalWithYesNoButtons", 16 + 4, QMessageBox::Critical},
                      StyleCase{"InformationWithSystemModal", 64 + 4096, QMessageBox::Information},
                      StyleCase{"TwoIconBitsAreNoIcon", 64 + 16, QMessageBox::NoIcon},
                      StyleCase{"AllIconBitsAreNoIcon", 0x70, QMessageBox::NoIcon},
                      StyleCase{"Negative", -1, QMessageBox::NoIcon}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GuiMessageSinkManyTest, EachMessageIsItsOwnBox) {
  testing::ensureWidgetApplication();
  GuiMessageSink sink;
  for (int i = 0; i < 3; ++i) sink.showMessage("QuorvaneServer", "message " + std::to_string(i), 16);
  std::vector<QMessageBox*> boxes = shownBoxes();
  ASSERT_EQ(boxes.size(), 3u);
  QStringList texts;
  for (QMessageBox* box : boxes) texts << box->text();
  texts.sort();
  EXPECT_EQ(texts, (QStringList{"message 0", "message 1", "message 2"}));
  for (QMessageBox* box : boxes) box->close();
  EXPECT_TRUE(testing::waitUntil([] { return shownBoxes().empty(); }, 5000));
}

}  // namespace
}  // namespace quorvane
