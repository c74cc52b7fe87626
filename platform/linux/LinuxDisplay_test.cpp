// The display of the Linux backend: DRM connectors, PCI display controllers,
// the PCI id list and the display of the sample machine root.
#include "platform/linux/LinuxDisplay.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/linux/HardwareSampleTesting.h"

namespace quorvane::platform::linux_backend {
namespace {

TEST(LinuxDrm, ConnectorsControllersAndNames) {
  struct Mode { const char* line; std::optional<std::pair<std::uint32_t, std::uint32_t>> wh; };
  const Mode modes[] = {{"1920x1080", std::make_pair(1920u, 1080u)},
                        {"1920x1080i", std::make_pair(1920u, 1080u)},
                        {" 800x600 ", std::make_pair(800u, 600u)},
                        {"x600", std::nullopt},
                        {"800x", std::nullopt},
                        {"0x0", std::nullopt},
                        {"99999x10", std::nullopt},
                        {"", std::nullopt}};
  for (const auto& m : modes) EXPECT_EQ(parseModeLine(m.line), m.wh) << m.line;

  auto connectors = readDrmConnectors(kRoot);
  ASSERT_EQ(connectors.size(), 3u);
  EXPECT_EQ(connectors[0].name, "card0-DP-1");
  EXPECT_TRUE(connectors[0].connected);
  EXPECT_EQ(connectors[0].modes.size(), 2u);
  EXPECT_EQ(connectors[1].name, "card0-HDMI-A-1");
  EXPECT_EQ(connectors[1].modes.size(), 6u);
  EXPECT_FALSE(connectors[2].connected);

  auto controllers = readPciDisplayControllers(kRoot);
  ASSERT_EQ(controllers.size(), 2u);  // the audio controller is not a display
  EXPECT_EQ(controllers[0], (PciDisplayController{"0000:00:02.0", 0x8086, 0x1912}));
  EXPECT_EQ(controllers[1], (PciDisplayController{"0000:01:00.0", 0x10DE, 0xFFFF}));

  std::string db = *readWholeFile(kRoot + "/usr/share/hwdata/pci.ids");
  EXPECT_EQ(pciDeviceName(db, 0x8086, 0x1912), "Intel Corporation HD Graphics 530");
  EXPECT_EQ(pciDeviceName(db, 0x10DE, 0xFFFF), "NVIDIA Corporation Device ffff");
  EXPECT_EQ(pciDeviceName(db, 0x8087, 0x1912), "Intel Corp. (second id) Not this one");
  EXPECT_EQ(pciDeviceName(db, 0x1234, 0x0001), std::nullopt);
  EXPECT_EQ(pciDeviceName("", 0x8086, 0x1912), std::nullopt);
  EXPECT_TRUE(pciDeviceName("8086\n", 0x8086, 0x1912).has_value());  // a bare vendor line
}

TEST(LinuxDrm, DisplayOfTheSampleMachine) {
  DisplaySnapshot d = readDisplay(kRoot);
  EXPECT_EQ(d.caps, (DisplayCaps{1920, 1080, 32, 0}));
  ASSERT_EQ(d.devices.size(), 2u);
  EXPECT_EQ(d.devices[0].deviceString, "Intel Corporation HD Graphics 530");
  EXPECT_EQ(d.devices[1].deviceString, "NVIDIA Corporation Device ffff");
  ASSERT_EQ(d.modes.size(), 8u);
  EXPECT_EQ(d.modes[0], (DisplayMode{2560, 1440, 32, 0}));
  EXPECT_EQ(d.modes[2], (DisplayMode{1920, 1080, 32, 0}));
  EXPECT_EQ(d.modes[3], (DisplayMode{1920, 1080, 32, 0}));  // duplicates kept
  EXPECT_TRUE(readDisplay(kRoot, {}, false).devices.empty());

  DisplaySnapshot headless = readDisplay(kDir + "no-such-root");
  EXPECT_EQ(headless.caps, DisplayCaps{});
  EXPECT_TRUE(headless.devices.empty());
  EXPECT_TRUE(headless.modes.empty());
}

}  // namespace
}  // namespace quorvane::platform::linux_backend
