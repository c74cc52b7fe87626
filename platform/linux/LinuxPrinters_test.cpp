// The printers of the Linux backend: the CUPS destination mapping, fed with
// destination lists, and a scheduler that never answers.
#include "platform/linux/LinuxPrinters.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace quorvane::platform::linux_backend {
namespace {

CupsDest laser() {
  return {"Office_Laser", "", true,
          {{"printer-make-and-model", "HP LaserJet Pro M404n"},
           {"device-uri", "ipp://192.0.2.30/ipp/print"},
           {"printer-type", "0x801C"},  // colour bit 0x4 set, but mode below says monochrome
           {"print-color-mode", "monochrome"},
           {"sides", "two-sided-long-edge"},
           {"media", "iso_a4_210x297mm"},
           {"media-source", "tray-2"},
           {"orientation-requested", "3"},
           {"print-quality", "5"}}};
}

CupsDest photo() {
  return {"Photo", "draft", false,
          {{"printer-make-and-model", "Canon PIXMA G6050 Sömething"},
           {"device-uri", "usb://Canon/G6000%20series?serial=00A1B2"},
           {"printer-type", "12"},
           {"PageSize", "Letter"},
           {"InputSlot", "Manual"},
           {"landscape", "true"},
           {"Duplex", "DuplexTumble"},
           {"printer-resolution", "600x1200dpi"}}};
}

TEST(LinuxCups, TwoDestinationsWithTheirOptions) {
  auto printers = printersFromCupsDests({laser(), photo()});
  ASSERT_EQ(printers.size(), 2u);
  EXPECT_EQ(printers[0], (PrinterSettings{"Office_Laser", "HP LaserJet Pro M404n",
                                          "ipp://192.0.2.30/ipp/print", 1, 2, 1, 2, 9, -4}));
  EXPECT_EQ(printers[1], (PrinterSettings{"Photo/draft", "Canon PIXMA G6050 S\xF6mething",
                                          "usb://Canon/G6000%20series?serial=00A1B2", 2, 3, 2, 4, 1, 600}));
  EXPECT_TRUE(printersFromCupsDests({}).empty());
}

TEST(LinuxCups, DestinationThatStatesNothing) {
  PrinterSettings p = printerFromCupsDest({"bare", "", false, {}});
  EXPECT_EQ(p, (PrinterSettings{"bare", "", "", 1, 1, 1, 0, 0, 0}));
  p = printerFromCupsDest({"odd", "", false, {{"print-quality", "9"}, {"printer-type", "junk"},
                                              {"orientation-requested", "x"}, {"Resolution", "dpi"}}});
  EXPECT_EQ(p.printQuality, 0);
  EXPECT_EQ(p.colorMode, 1);
  EXPECT_EQ(p.orientation, 1);
}

TEST(LinuxCups, PaperNames) {
  struct Row { const char* name; std::int32_t code; };
  const Row rows[] = {{"na_letter_8.5x11in", 1}, {"Letter", 1},   {"iso_a4_210x297mm", 9},
                      {"A4", 9},                 {"a4", 9},       {"iso_a3_297x420mm", 8},
                      {"na_legal_8.5x14in", 5},  {"iso_c6c5_114x229mm", 32}, {"iso_c6_114x162mm", 31},
                      {"na_ledger_11x17in", 3},  {"A4,tray-1", 9}, {"custom_100x100mm", 256},
                      {"", 0}};
  for (const auto& r : rows) EXPECT_EQ(paperSizeCode(r.name), r.code) << r.name;
  struct Src { const char* name; std::int32_t code; };
  const Src sources[] = {{"auto", 7}, {"tray-1", 1}, {"Lower", 2}, {"manual", 4},
                         {"large-capacity", 11}, {"photo", 0}, {"", 0}};
  for (const auto& s : sources) EXPECT_EQ(paperSourceCode(s.name), s.code) << s.name;
}

// A scheduler that accepts the connection and never answers: the read gives
// up within its limit and reports no printers.
TEST(LinuxCups, SilentSchedulerIsGivenUpOn) {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(0x7F000001);
  addr.sin_port = 0;
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(::listen(fd, 4), 0);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  std::string server = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  cupsSetServer(server.c_str());
  auto start = std::chrono::steady_clock::now();
  auto dests = readCupsDests(std::chrono::milliseconds(600));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(dests.empty());
  EXPECT_LT(took, std::chrono::seconds(2));  // the limit holds, whatever libcups retries
  ::close(fd);
  cupsSetServer(nullptr);
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
