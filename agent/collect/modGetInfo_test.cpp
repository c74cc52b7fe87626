#include "agent/collect/modGetInfo.h"

#include <gtest/gtest.h>

#include <regex>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/modHDrives.h"
#include "agent/collect/modHKeyboard.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHPrinters.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"
#include "agent/collect/modSNetwork.h"
#include "agent/collect/modSSoftware.h"
#include "agent/collect/modSWindows.h"
#include "common/AuditRecordIO.h"

namespace quorvane::agent {
namespace {

std::chrono::system_clock::time_point fixedTime() {
  std::tm t{};
  t.tm_year = 2003 - 1900;
  t.tm_mon = 0;
  t.tm_mday = 7;
  t.tm_hour = 9;
  t.tm_min = 5;
  t.tm_sec = 3;
  t.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&t));
}

TEST(ModGetInfo, AuditDateForm) {
  EXPECT_EQ(formatAuditDate(platform::makeHostLocalTime()->at(fixedTime())), "07/01/2003 09:05:03");
  auto m = testing::machineFromJson("{}");
  testing::Recorder rec;
  EXPECT_TRUE(std::regex_match(getNow(rec.context(*m)),
                               std::regex(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d)")));
}

// The audit date is the audited machine's local time: a fixture's zone, not
// the host's.
TEST(ModGetInfo, AuditDateInTheMachinesZone) {
  using namespace std::chrono;
  const auto moment = sys_days(year(2003) / 1 / 7) + hours(23) + minutes(5) + seconds(3);
  struct Row {
    const char* name;
    const char* json;
    const char* expected;
  } rows[] = {
      {"utc", R"({"timeZone": {"bias": 0}})", "07/01/2003 23:05:03"},
      {"east past midnight", R"({"timeZone": {"bias": -60}})", "08/01/2003 00:05:03"},
      {"west", R"({"timeZone": {"bias": 480}})", "07/01/2003 15:05:03"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    auto m = testing::machineFromJson(r.json);
    testing::Recorder rec;
    auto ctx = rec.context(*m);
    ctx.now = [&] { return system_clock::time_point(moment); };
    AuditRecord record;
    getInfo(record, ctx);
    EXPECT_EQ(record.AuditDate, r.expected);
  }
  // A machine without the service reports instead of dating the audit.
  auto m = testing::machineFromJson("{}");
  m->localTime.reset();
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*m));
  EXPECT_EQ(record.AuditDate, "");
  ASSERT_FALSE(rec.reports.empty());
  EXPECT_EQ(rec.reports.back().where, "QuorvanePro.modGetInfo.getInfo");
  EXPECT_EQ(rec.reports.back().number, kErrObjectNotSet);
}

TEST(ModGetInfo, GetInfoFillsEverySoftwareSectionAndTheDate) {
  auto m = testing::sampleMachine("winxp-pro.json");
  testing::Recorder rec;
  auto ctx = rec.context(*m, "192.0.2.10");
  ctx.now = fixedTime;
  AuditRecord record;
  record.ListenPortNumber = 4321;
  getInfo(record, ctx);
  EXPECT_EQ(testing::reportTexts(testing::softwareReports(rec)), std::vector<std::string>{});
  EXPECT_EQ(record.Software.Windows, getWindows(ctx));
  EXPECT_EQ(record.Software.Applications, getApplications(ctx));
  EXPECT_EQ(record.Hardware.Network, getNetwork(ctx));
  EXPECT_EQ(record.AuditDate, "07/01/2003 09:05:03");
  EXPECT_EQ(record.ListenPortNumber, 4321);  // the caller's, untouched
}

TEST(ModGetInfo, TwoAuditsInOneRunLeaveNothingOver) {
  auto xp = testing::sampleMachine("winxp-pro.json");
  auto bare = testing::machineFromJson(R"({"version": {"platformId": 1, "majorVersion": 4, "minorVersion": 10},
                                           "tickCount": 5, "network": {"hostName": "BARE"}})");
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*xp));
  ASSERT_EQ(record.Software.Applications.size(), 4u);
  ASSERT_EQ(record.Hardware.Network.DomainName, "EXAMPLE");
  // The agent empties the record before each audit; assembly replaces each
  // section whole even when it is not emptied.
  getInfo(record, rec.context(*bare));
  EXPECT_FALSE(record.Software.Applications.present);
  EXPECT_EQ(record.Software.Windows.OperatingSystem, "Microsoft Windows 98");
  EXPECT_EQ(record.Software.Windows.RegisteredOwner, "Unknown or None");
  EXPECT_EQ(record.Software.Windows.ProgramsPath, "");
  EXPECT_EQ(record.Hardware.Network.Hostname, "BARE");
  EXPECT_EQ(record.Hardware.Network.DomainName, "");
  EXPECT_EQ(record.Hardware.Network.IsAdmin, Flag(false));
  EXPECT_EQ(record.Hardware.Network.UserName, "");
  EXPECT_EQ(testing::reportTexts(testing::softwareReports(rec)), std::vector<std::string>{});
}

TEST(ModGetInfo, AFailingCollectorIsReportedAndTheAuditCompletes) {
  auto m = testing::sampleMachine("winxp-pro.json");
  // The Windows collector fails at its third field, the applications
  // collector at its first value.
  m->registry = std::make_unique<testing::FailingRegistry>(std::move(m->registry),
                                                           "Plus! VersionNumber");
  testing::Recorder rec;
  auto ctx = rec.context(*m);
  ctx.now = fixedTime;
  AuditRecord record;
  record.Software.Windows.ProgramsPath = "left over";
  getInfo(record, ctx);
  EXPECT_EQ(record.Software.Windows.OperatingSystem, "Microsoft Windows XP Professional");
  EXPECT_EQ(record.Software.Windows.Version, "5.1Se Build 2600 Service Pack  2.0");
  EXPECT_EQ(record.Software.Windows.EnhancementPack, "");
  EXPECT_EQ(record.Software.Windows.ProgramsPath, "");
  EXPECT_EQ(record.Hardware.Network.Hostname, "XPPC01");
  EXPECT_EQ(record.AuditDate, "07/01/2003 09:05:03");
  auto reports = testing::softwareReports(rec);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].where, "QuorvanePro.modSWindows.getWindows");
}

TEST(ModGetInfo, ReportsArriveInTheOrderOfTheCollectors) {
  // No version, tick count or host name: the host-name message (a plain
  // message, no procedure), the network collector, Windows, then nothing
  // else fails; the applications list is simply absent.
  auto m = testing::machineFromJson("{}");
  testing::Recorder rec;
  AuditRecord record;
  getInfo(record, rec.context(*m));
  std::vector<std::string> where;
  for (const auto& r : testing::softwareReports(rec)) where.push_back(r.where);
  EXPECT_EQ(where, (std::vector<std::string>{"", "QuorvanePro.modSNetwork.getNetwork",
                                             "QuorvanePro.modSWindows.getWindows"}));
  EXPECT_FALSE(record.AuditDate.empty());
}

TEST(ModGetInfo, WithoutAReceiverReportsAreDropped) {
  auto m = testing::machineFromJson("{}");
  CollectContext ctx{*m, "", {}, {}};
  AuditRecord record;
  getInfo(record, ctx);
  EXPECT_FALSE(record.AuditDate.empty());
}


// The whole audit: every hardware section lands where the record keeps it
// and survives the stored form byte for byte.
TEST(HardwareXP, AuditCarriesEverySectionThroughTheStoredForm) {
  auto p = testing::sampleMachine("winxp-pro.json");
  std::vector<std::string> where;
  CollectContext ctx{*p, "127.0.0.1", [&](const CollectReport& r) { where.push_back(r.where); }, {}};
  AuditRecord record;
  getInfo(record, ctx);
  testing::ReportTexts r;
  const HardwareInfo& h = record.Hardware;
  PrintersResult printers = getPrinters(r.on(*p));
  EXPECT_EQ(h.Printers, printers.Printers);
  EXPECT_EQ(h.PrintersPresent, printers.PrintersPresent);
  EXPECT_EQ(h.Keyboard, getKeyboard(r.on(*p)));
  EXPECT_EQ(h.Processor, getProcessor(r.on(*p)));
  EXPECT_EQ(h.Memory, getMemory(r.on(*p)));
  EXPECT_EQ(h.Video, getVideo(r.on(*p)));
  EXPECT_EQ(h.Sound, getSound(r.on(*p)));
  EXPECT_EQ(h.Drives, getDrives(r.on(*p)));
  EXPECT_EQ(h.Processor.MaxAppAddress, "2147418111");
  EXPECT_EQ(where, std::vector<std::string>{"QuorvanePro.modHKeyboard.getKeyboard"});
  auto back = decodeStoredAudit(encodeStoredAudit(record));
  ASSERT_TRUE(back.ok()) << back.status().description();
  EXPECT_EQ(back->Hardware, record.Hardware);
  // A second audit replaces every section: nothing is left over or doubled.
  getInfo(record, ctx);
  EXPECT_EQ(record.Hardware.Drives.size(), 5u);
  EXPECT_EQ(record.Hardware.Video.VideoCards.size(), 2u);
}

}  // namespace
}  // namespace quorvane::agent
