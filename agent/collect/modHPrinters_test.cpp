// getPrinters: one entry per installed printer in the system's order, on the
// sample machines; no print service, no printers and an unreadable list.
#include "agent/collect/modHPrinters.h"

#include <gtest/gtest.h>

#include <memory>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using Reports = testing::ReportTexts;
using testing::machineFromJson;
using testing::sampleMachine;

// A print service whose list cannot be read.
class UnreadablePrinters final : public platform::Printers {
 public:
  Expected<std::vector<platform::PrinterSettings>> installed() const override {
    return Status::Error(1722, "The RPC server is unavailable.");
  }
};

TEST(HardwareXP, Printers) {
  auto p = sampleMachine("winxp-pro.json");
  Reports r;
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
  Reports r;
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
    std::size_t reports;
  };
  const Row rows[] = {
      {"empty machine: no printers, no report", [] { return machineFromJson("{}"); }, 0},
      {"no print service: no printers, no report",
       [] {
         auto p = sampleMachine("winxp-pro.json");
         p->printers.reset();
         return p;
       },
       0},
      {"unreadable list: no printers, one report",
       [] {
         auto p = sampleMachine("winxp-pro.json");
         p->printers = std::make_unique<UnreadablePrinters>();
         return p;
       },
       1},
  };
  for (const auto& row : rows) {
    auto p = row.machine();
    Reports r;
    PrintersResult pr = getPrinters(r.on(*p));
    EXPECT_FALSE(pr.PrintersPresent.isTrue()) << row.name;
    EXPECT_FALSE(pr.Printers.present) << row.name;
    ASSERT_EQ(r.texts.size(), row.reports) << row.name;
    if (row.reports) {
      EXPECT_EQ(r.texts[0].rfind("Error in : QuorvanePro.modHPrinters.getPrinters\r\n\r\nError Number : 1722", 0),
                0u)
          << r.texts[0];
    }
  }
}

}  // namespace
}  // namespace quorvane::agent
