// The server's message boxes as windows: the icon each style gives (button
// bits ignored, unknown styles without icon), the title and text as UTF-8
// with CR LF shown as line breaks, and a box that never blocks and is gone
// once closed; a flood of messages opens a bounded number of boxes, the rest
// written to standard error and counted in one box.
#include "server/gui/GuiMessageSink.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QWidget>
#include <cstdio>
#include <string>

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

// A flood of messages: the first kMostOpenMessageBoxes as boxes, the rest
// written to the overflow stream and counted in one box of their own.
class GuiMessageSinkFloodTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureWidgetApplication();
    overflow = std::tmpfile();
    ASSERT_NE(overflow, nullptr);
    sink = std::make_unique<GuiMessageSink>(false, overflow);
    sink->setParent(&parent);
  }
  void TearDown() override {
    for (QMessageBox* box : shownBoxes()) box->close();
    testing::waitUntil([] { return shownBoxes().empty(); }, 5000);
    sink.reset();
    if (overflow) std::fclose(overflow);
  }

  void send(int i) { sink->showMessage("QuorvaneServer", "message " + std::to_string(i), 16); }
  std::string overflowText() { return testing::readBack(overflow); }
  QMessageBox* boxWith(const QString& text) {
    for (QMessageBox* box : shownBoxes()) {
      if (box->text() == text) return box;
    }
    return nullptr;
  }
  QMessageBox* countingBox() {
    for (QMessageBox* box : shownBoxes()) {
      if (box->text().contains(QStringLiteral("were not shown"))) return box;
    }
    return nullptr;
  }
  // Closes a box the way a person does: a click on its OK button.
  void clickOk(QMessageBox* box) {
    QPointer<QMessageBox> watched = box;
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(testing::waitUntil([&] { return watched.isNull(); }, 5000));
  }

  QWidget parent;
  std::FILE* overflow = nullptr;
  std::unique_ptr<GuiMessageSink> sink;
};

TEST_F(GuiMessageSinkFloodTest, BoxesStopAtTheBoundAndTheRestAreWrittenAndCounted) {
  const int flood = kMostOpenMessageBoxes + 5;
  for (int i = 0; i < flood; ++i) send(i);
  EXPECT_EQ(sink->openBoxes(), kMostOpenMessageBoxes);
  EXPECT_EQ(shownBoxes().size(), static_cast<std::size_t>(kMostOpenMessageBoxes + 1));
  for (int i = 0; i < kMostOpenMessageBoxes; ++i) {
    EXPECT_NE(boxWith(QStringLiteral("message %1").arg(i)), nullptr) << i;
  }
  QMessageBox* counting = countingBox();
  ASSERT_NE(counting, nullptr);
  EXPECT_TRUE(counting->text().startsWith(QStringLiteral("5 more message(s)"))) << counting->text().toStdString();
  const std::string written = overflowText();
  for (int i = kMostOpenMessageBoxes; i < flood; ++i) {
    EXPECT_NE(written.find("message " + std::to_string(i) + "\n"), std::string::npos) << i;
  }
  EXPECT_EQ(written.find("message " + std::to_string(kMostOpenMessageBoxes - 1) + "\n"), std::string::npos)
      << "a message shown as a box is not written as well";
}

TEST_F(GuiMessageSinkFloodTest, ClosingBoxesMakesRoomAndANewCountStartsAfterTheCountingBoxIsClosed) {
  for (int i = 0; i < kMostOpenMessageBoxes + 2; ++i) send(i);
  ASSERT_NE(countingBox(), nullptr);
  clickOk(boxWith(QStringLiteral("message 0")));
  EXPECT_EQ(sink->openBoxes(), kMostOpenMessageBoxes - 1);

  send(100);  // room for one again
  EXPECT_NE(boxWith(QStringLiteral("message 100")), nullptr);
  EXPECT_TRUE(countingBox()->text().startsWith(QStringLiteral("2 more"))) << "the count is unchanged";

  clickOk(countingBox());
  send(101);  // full again: a new counting box starts at one
  EXPECT_EQ(boxWith(QStringLiteral("message 101")), nullptr);
  ASSERT_NE(countingBox(), nullptr);
  EXPECT_TRUE(countingBox()->text().startsWith(QStringLiteral("1 more"))) << countingBox()->text().toStdString();
}

}  // namespace
}  // namespace quorvane
