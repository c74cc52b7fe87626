#include "common/AuditJson.h"

#include <gtest/gtest.h>

#include "common/SampleAudit.h"

namespace quorvane {
namespace {

TEST(AuditJson, EmptyRecordShowsEveryFieldWithItsKind) {
  const AuditJsonValue j = toAuditJson(AuditRecord{});
  ASSERT_TRUE(j.is_object());
  std::vector<std::string> keys;
  for (const auto& [key, value] : j.items()) keys.push_back(key);
  EXPECT_EQ(keys, (std::vector<std::string>{"Software", "Hardware", "AuditDate", "ListenPortNumber"}));
  EXPECT_EQ(j["Software"]["Windows"].size(), 29u);
  EXPECT_TRUE(j["Software"]["Applications"].is_null());
  EXPECT_EQ(j["Software"]["Windows"]["RegisteredOwner"], "");
  EXPECT_EQ(j["Software"]["Windows"]["DebugVersionOfUser"], false);
  EXPECT_EQ(j["Software"]["Windows"]["WindowsBoot"], 0);
  EXPECT_EQ(j["Hardware"].size(), 9u);
  EXPECT_EQ(j["Hardware"]["Keyboard"].size(), 17u);
  EXPECT_EQ(j["Hardware"]["Processor"].size(), 11u);
  EXPECT_TRUE(j["Hardware"]["Video"]["VideoModes"].is_null());
}

TEST(AuditJson, ValuesFollowTheirKinds) {
  AuditRecord r;
  r.Software.Windows.RegisteredOwner = "Caf\xE9 \x80";
  r.Software.Windows.ScreenReviewer = Flag::fromRaw(1);
  r.Software.Windows.WindowsBoot = 2;
  r.Hardware.Video.VideoCards.present = true;
  r.Hardware.Video.VideoModes = Array<Text>({"640*480", "800*600"});
  PrinterInfo p;
  p.PrintQuality = -4;
  r.Hardware.Printers.push_back(p);
  r.ListenPortNumber = -1;
  const AuditJsonValue j = toAuditJson(r);
  EXPECT_EQ(j["Software"]["Windows"]["RegisteredOwner"], "Caf\xC3\xA9 \xE2\x82\xAC");
  EXPECT_EQ(j["Software"]["Windows"]["ScreenReviewer"], true);
  EXPECT_EQ(j["Software"]["Windows"]["WindowsBoot"], 2);
  EXPECT_EQ(j["Hardware"]["Video"]["VideoCards"], AuditJsonValue::array());
  EXPECT_EQ(j["Hardware"]["Video"]["VideoModes"], (AuditJsonValue{"640*480", "800*600"}));
  EXPECT_EQ(j["Hardware"]["Printers"][0]["PrintQuality"], -4);
  EXPECT_EQ(j["Hardware"]["Printers"][0]["Colour"], false);
  EXPECT_EQ(j["ListenPortNumber"], -1);
}

TEST(AuditJson, TextIsValidJsonForEveryByte) {
  AuditRecord r = makeSampleAudit(3, 5);
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  r.Hardware.Network.UserName = all;
  const std::string text = auditRecordToJsonText(r);
  const auto parsed = nlohmann::json::parse(text);
  EXPECT_EQ(parsed["Hardware"]["Network"]["UserName"].get<std::string>(), windows1252ToUtf8(all));
  EXPECT_EQ(parsed["Software"]["Applications"].size(), 4u);
  EXPECT_EQ(parsed["Software"]["Applications"][3]["DisplayName"], "");
  EXPECT_EQ(auditRecordToJsonText(r, -1).find('\n'), std::string::npos);
}

// The text written straight from the record is the one the JSON value prints.
struct TextCase {
  const char* name;
  AuditRecord record;
};

AuditRecord hostileRecord() {
  AuditRecord r = makeSampleAudit(2, 9);
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  r.Software.Applications[0].DisplayName = all + all;
  r.Hardware.Network.Hostname = std::string(65535, '"');
  r.Hardware.Video.VideoModes = Array<Text>(std::vector<Text>{});  // present and empty
  r.Hardware.Drives.clear();                                      // absent
  r.Software.Windows.WindowsBoot = -2147483647 - 1;
  r.ListenPortNumber = 65535;
  return r;
}

class AuditJsonTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(AuditJsonTextTest, SameAsTheValuesDump) {
  for (const int indent : {-1, 0, 2, 4}) {
    std::string direct;
    appendAuditJsonText(direct, GetParam().record, indent);
    EXPECT_EQ(direct, toAuditJson(GetParam().record).dump(indent, ' ', false, nlohmann::json::error_handler_t::strict))
        << "indent " << indent;
  }
  EXPECT_EQ(auditRecordToJsonText(GetParam().record), toAuditJson(GetParam().record).dump(2));
}

INSTANTIATE_TEST_SUITE_P(Records, AuditJsonTextTest,
                         ::testing::Values(TextCase{"Empty", AuditRecord{}},
                                           TextCase{"Sample", makeSampleAudit(40, 3)},
                                           TextCase{"Hostile", hostileRecord()}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
