// Which commands the console asks about before sending, and the question.
#include "server/core/CommandTokens.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct AskCase {
  const char* name;
  CommandCode code;
  int computers;
  bool asks;
  const char* question;  // for the codes that ask
};

class AskBeforeSendingTest : public ::testing::TestWithParam<AskCase> {};

TEST_P(AskBeforeSendingTest, AsksOnlyForIrreversibleCommands) {
  const AskCase& c = GetParam();
  EXPECT_EQ(asksBeforeSending(c.code), c.asks);
  if (c.asks) EXPECT_EQ(sendQuestion(c.code, c.computers), c.question);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, AskBeforeSendingTest,
    ::testing::Values(AskCase{"Shutdown", CommandCode::PowerOff, 12, true, "Shutdown Windows on 12 computer(s)?"},
                      AskCase{"Reboot", CommandCode::Reboot, 1, true, "Reboot Windows on 1 computer(s)?"},
                      AskCase{"LogOff", CommandCode::LogOff, 3, true, "Log-Off Windows on 3 computer(s)?"},
                      AskCase{"CloseAgent", CommandCode::Quit, 2000, true, "Close Quorvane on 2000 computer(s)?"},
                      AskCase{"ReAudit", CommandCode::ReAudit, 5, false, ""},
                      AskCase{"CheckStatus", CommandCode::CheckStatus, 5, false, ""},
                      AskCase{"Message", CommandCode::Message, 5, false, ""}),
    [](const ::testing::TestParamInfo<AskCase>& info) { return std::string(info.param.name); });

TEST(RequestButtons, EveryAskingCodeHasACaption) {
  for (const RequestButton& b : requestButtons()) {
    if (!asksBeforeSending(b.code)) continue;
    EXPECT_EQ(sendQuestion(b.code, 7), std::string(b.caption) + " on 7 computer(s)?");
  }
}

}  // namespace
}  // namespace quorvane
