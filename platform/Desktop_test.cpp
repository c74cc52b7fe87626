// The headless and scripted desktops.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/DesktopHeadless.h"
#include "platform/DesktopScripted.h"

namespace quorvane::platform {
namespace {

TEST(DesktopHeadless, WritesEachMessageBoxAsABlockAndAnswersSafely) {
  struct Row {
    const char* name;
    std::string text;
    int style;
    const char* block;
    int answer;
  };
  const std::vector<Row> rows = {
      {"CR LF become line breaks", "Error in : X\r\n\r\nError Number : 13", 16,
       "== QuorvanePro (style 16) ==\nError in : X\n\nError Number : 13\n==\n", kAnswerOk},
      {"a lone CR or LF stays", "a\rb\nc\tTab", 64,
       "== QuorvanePro (style 64) ==\na\rb\nc\tTab\n==\n", kAnswerOk},
      {"empty text", "", 64, "== QuorvanePro (style 64) ==\n\n==\n", kAnswerOk},
      {"a question is answered No", "Are you sure you want to Quit", 20,
       "== QuorvanePro (style 20) ==\nAre you sure you want to Quit\n==\n", kAnswerNo},
      {"OK/Cancel is answered Cancel", "Send?", 17, "== QuorvanePro (style 17) ==\nSend?\n==\n",
       kAnswerCancel},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    std::ostringstream out;
    DesktopHeadless d(out);
    EXPECT_EQ(d.messageBox(row.text, row.style, "QuorvanePro"), row.answer);
    EXPECT_EQ(out.str(), row.block);
  }
}

TEST(DesktopHeadless, ReportsTheMissingTrayOnce) {
  std::ostringstream out;
  DesktopHeadless d(out);
  EXPECT_FALSE(d.addTrayIcon("Quorvane Pro", [](int) {}));
  EXPECT_FALSE(d.addTrayIcon("Quorvane Pro", [](int) {}));
  EXPECT_EQ(out.str(),
            "Quorvane Pro: this desktop has no notification area; the tray icon is not shown.\n");
}

TEST(DesktopScripted, RecordsAnswersAndActsAsThePerson) {
  DesktopScripted d;
  d.answers = {kAnswerYes};
  EXPECT_EQ(d.messageBox("q1", 20, "T"), kAnswerYes);
  EXPECT_EQ(d.messageBox("q2", 20, "T"), kAnswerNo);  // script exhausted
  EXPECT_EQ(d.messageBox("info", 64, "T"), kAnswerOk);
  ASSERT_EQ(d.shown.size(), 3u);
  EXPECT_EQ(d.shown[2], (ShownMessage{"info", 64, "T"}));

  EXPECT_FALSE(d.clickTray(kTrayRightButtonDown));  // no icon yet
  std::vector<int> clicks;
  d.addTrayIcon("tip", [&](int m) { clicks.push_back(m); });
  EXPECT_TRUE(d.clickTray(kTrayLeftButtonDown));
  d.removeTrayIcon();
  EXPECT_FALSE(d.clickTray(kTrayLeftButtonDown));
  EXPECT_EQ(clicks, std::vector<int>{kTrayLeftButtonDown});

  EXPECT_EQ(d.popupMenu({"Quit"}), -1);
  d.menuChoice = 0;
  EXPECT_EQ(d.popupMenu({"Quit"}), 0);
  d.menuChoice = 3;
  EXPECT_EQ(d.popupMenu({"Quit"}), -1);  // no such item

  std::string typed;
  int cancels = 0;
  bool refuseClose = true;
  d.showInputBox("prompt", {[&](const std::string& t) { typed = t; }, [&] { ++cancels; },
                            [&] { return refuseClose; }});
  EXPECT_TRUE(d.inputBoxOpen);
  EXPECT_FALSE(d.pressCloseBox());
  EXPECT_TRUE(d.inputBoxOpen);
  EXPECT_TRUE(d.pressOk("secret"));
  EXPECT_EQ(typed, "secret");
  EXPECT_TRUE(d.pressCancel());
  EXPECT_EQ(cancels, 1);
  refuseClose = false;
  EXPECT_TRUE(d.pressCloseBox());
  EXPECT_FALSE(d.inputBoxOpen);
  EXPECT_FALSE(d.pressOk("late"));
}

}  // namespace
}  // namespace quorvane::platform
