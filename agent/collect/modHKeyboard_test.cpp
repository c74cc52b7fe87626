// getKeyboard and its text forms: the caret, the layout, the driver file and
// its version resource; on the sample machines and small inline machines.
#include "agent/collect/modHKeyboard.h"

#include <gtest/gtest.h>

#include <optional>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;
using testing::sampleMachine;

TEST(KeyboardText, CaretAndDriverForms) {
  EXPECT_EQ(caretFlashText(530), "530 ms");
  EXPECT_EQ(caretWidthText(1), "1 pixels");
  EXPECT_EQ(caretWidthText(std::nullopt), "Not Supported");
}

TEST(HardwareXP, KeyboardKeptUpToCaretWidthWithoutDriverFile) {
  auto p = sampleMachine("winxp-pro.json");
  testing::ReportTexts r;
  KeyboardInfo k = getKeyboard(r.on(*p));
  KeyboardInfo expected;
  expected.Model = "None";
  expected.KeyboardType = "4/0";
  expected.OEMCodePage = "437";
  expected.ANSICodePage = "1252";
  expected.LayoutID = "00000409";
  expected.LayoutName = "English (United States)";
  expected.RepeatDelay = "1";
  expected.RepeatSpeed = "31";
  expected.NumberOfFunctionKeys = "12";
  expected.CaretFlashSpeed = "530 ms";
  expected.CaretWidth = "1 pixels";
  EXPECT_EQ(k, expected);
  ASSERT_EQ(r.texts.size(), 1u);
  EXPECT_EQ(r.texts[0].rfind("Error in : QuorvanePro.modHKeyboard.getKeyboard\r\n\r\n"
                             "Error Number : 28001\r\n"
                             "Error Description : File was not found : C:\\WINDOWS\\system32\\None\r\n"
                             "On line : ", 0),
            0u)
      << r.texts[0];
}

TEST(HardwareWin98, Keyboard) {
  auto p = sampleMachine("win98se.json");
  testing::ReportTexts r;
  EXPECT_EQ(getKeyboard(r.on(*p)),
            (KeyboardInfo{"Standard 101/102-Key or Microsoft Natural Keyboard", "4/0", "850", "1252",
                          "00000809", "English (United Kingdom)", "1", "31", "12", "530 ms",
                          "Not Supported", "KEYBOARD.DRV", "Keyboard driver", "4.10.0.2222",
                          "Microsoft Corporation", "23/04/1999", "22:22:00"}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, DriverFileWithoutVersionResource) {
  auto p = machineFromJson(R"({
    "iniFiles": {"system.ini": {"boot": {"keyboard.drv": "KEYBOARD.DRV"}, "boot.description": {"keyboard.typ": ""}}},
    "keyboard": {"type": 7, "subType": 2, "functionKeys": 12, "layoutName": "00010409", "caretBlinkTime": 500},
    "files": {"systemDirectory": "C:\\WINDOWS\\SYSTEM",
              "list": {"C:\\WINDOWS\\SYSTEM\\KEYBOARD.DRV": {"modified": "1998-05-11 20:01:00"}}}})");
  testing::ReportTexts r;
  KeyboardInfo k = getKeyboard(r.on(*p));
  EXPECT_EQ(k.Model, "Unknown");
  EXPECT_EQ(k.KeyboardType, "7/2");
  EXPECT_EQ(k.LayoutID, "00010409");
  EXPECT_EQ(k.LayoutName, "English (United States)");
  EXPECT_EQ(k.RepeatDelay, "0");  // the call fails: the value stays 0
  EXPECT_EQ(k.CaretFlashSpeed, "500 ms");
  EXPECT_EQ(k.CaretWidth, "Not Supported");
  EXPECT_EQ(k.DriverFile, "");
  EXPECT_EQ(k.DriverDesc, "");
  EXPECT_EQ(k.DriverVers, "");
  EXPECT_EQ(k.DriverDate, "");
  ASSERT_EQ(r.texts.size(), 1u);
  EXPECT_NE(r.texts[0].find("Error Number : 28002\r\nError Description : Version Information Resource not found"),
            std::string::npos)
      << r.texts[0];
}

TEST(HardwareEdge, MissingKeyboardServicesAreReportedNotFatal) {
  const testing::MissingService rows[] = {
      {"no keyboard facts", [](platform::Platform& p) { p.keyboard.reset(); }},
      {"no ini files", [](platform::Platform& p) { p.ini.reset(); }},
      {"no system parameters", [](platform::Platform& p) { p.parameters.reset(); }},
  };
  for (const auto& row : rows) {
    auto p = sampleMachine("win98se.json");
    row.remove(*p);
    testing::ReportTexts r;
    EXPECT_EQ(getKeyboard(r.on(*p)), KeyboardInfo()) << row.name;
    EXPECT_TRUE(testing::oneReport(r.texts, "QuorvanePro.modHKeyboard.getKeyboard", kErrObjectNotSet)) << row.name;
  }
}

}  // namespace
}  // namespace quorvane::agent
