// getPrinters: one entry per installed printer in the system's order, on the
// sample machines; no print service, no printers and an unreadable list.
#include "agent/collect/modHPrinters.h"

#include <gtest/gtest.h>

#include <memory>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;
using testing::sampleMachine;

// The spooler's answer when it is not running.
constexpr long kRpcServerUnavailable = 1722;

// A print service whose list cannot be read.
class UnreadablePrinters final : public platform::Printers {
 public:
  Expected<std::vector<platform::PrinterSettings>> installed() const override {
    return Status::Error(kRpcServerUnavailable, "The RPC server is unavailable.");
  }
};

TEST(HardwareXP, Printers) {
  auto p = sampleMachine("winxp-pro.json");
  testing::ReportTexts r;
  PrintersResult res = getPrinters(r.on(*p));
  EXPECT_TRUE(r.texts.empty());
  EXPECT_TRUE(res.PrintersPresent.isTrue());
  ASSERT_TRUE(res.Printers.present);
  ASSERT_EQ(res.Printers.size(), 2u);
  EXPECT_EQ(res.Printers[0], (PrinterInfo{"HP Color LaserJet 2600n", "HP Color LaserJet 2600n",
                                          "IP_192.0.2.20", true, 1, 1, 15, 1, 600}));
  EXPECT_EQ(res.Printers[1],
            (PrinterInfo{"\\\\PRINTSRV\\Accounts", "Lexmark T640", "Ne01:", false, 2, 2, 7, 9, -4}));
}

TEST(HardwareWin98, Printers) {
  auto p = sampleMachine("win98se.json");
  testing::ReportTexts r;
  PrintersResult pr = getPrinters(r.on(*p));
  EXPECT_TRUE(pr.PrintersPresent.isTrue());
  EXPECT_EQ(pr.Printers, Array<PrinterInfo>({PrinterInfo{"HP LaserJet 4L", "HP LaserJet 4L", "LPT1:",
                                                          false, 1, 1, 7, 9, 300}}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, PrintersAbsentOrUnreadable) {
  struct Row {
    const char* name;
    std::unique_ptr<platform::Platform> (*machine)();
    bool reported;
  };
  const Row rows[] = {
      {"empty machine: no printers, no report", [] { return machineFromJson("{}"); }, false},
      {"no print service: no printers, no report",
       [] {
         auto p = sampleMachine("winxp-pro.json");
         p->printers.reset();
         return p;
       },
       false},
      {"unreadable list: no printers, one report",
       [] {
         auto p = sampleMachine("winxp-pro.json");
         p->printers = std::make_unique<UnreadablePrinters>();
         return p;
       },
       true},
  };
  for (const auto& row : rows) {
    auto p = row.machine();
    testing::ReportTexts r;
    PrintersResult pr = getPrinters(r.on(*p));
    EXPECT_FALSE(pr.PrintersPresent.isTrue()) << row.name;
    EXPECT_FALSE(pr.Printers.present) << row.name;
    if (row.reported) {
      EXPECT_TRUE(testing::oneReport(r.texts, "QuorvanePro.modHPrinters.getPrinters", kRpcServerUnavailable)) << row.name;
    } else {
      EXPECT_TRUE(r.texts.empty()) << row.name << ": " << r.texts.front();
    }
  }
}

}  // namespace
}  // namespace quorvane::agent
