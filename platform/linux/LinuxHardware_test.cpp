// The parse-pure steps of the Linux hardware backends, fed with sample files
// (tests/fixtures/linux/hardware): cpuinfo, meminfo, mounts, the address
// map, a sample machine root with ALSA cards, DRM connectors, PCI display
// controllers, a PCI id list, an XKB configuration and input devices; and the
// CUPS destination mapping, fed with destination lists.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/linux/LinuxHardwareFiles.h"
#include "platform/linux/LinuxDisplay.h"
#include "platform/linux/LinuxDrives.h"
#include "platform/linux/LinuxKeyboard.h"
#include "platform/linux/LinuxMemoryStatus.h"
#include "platform/linux/LinuxPrinters.h"
#include "platform/linux/LinuxSystemInfo.h"
#include "platform/linux/LinuxWaveDevices.h"

namespace quorvane::platform::linux_backend {
namespace {

const std::string kDir = std::string(QUORVANE_SOURCE_DIR) + "/tests/fixtures/linux/hardware/";
const std::string kRoot = kDir + "root";

std::string sample(const std::string& name) {
  auto text = readWholeFile(kDir + name);
  EXPECT_TRUE(text) << name;
  return text.value_or(std::string());
}

// ---- processor ----

TEST(LinuxCpuInfo, FirstProcessorFactsAndCount) {
  CpuInfoSummary cpu = parseCpuInfo(sample("cpuinfo"));
  EXPECT_EQ(cpu.processors, 4u);
  EXPECT_EQ(cpu.vendorId, "AuthenticAMD");
  EXPECT_EQ(cpu.modelName, "AMD Ryzen 7 3700X 8-Core Processor");
  EXPECT_EQ(cpu.family, 23);
  EXPECT_EQ(cpu.model, 113);
  EXPECT_EQ(cpu.stepping, 0);
  EXPECT_DOUBLE_EQ(cpu.mhz, 2199.813);
  EXPECT_EQ(processorIdentifier(cpu, "x86_64"), "AMD64 Family 23 Model 113 Stepping 0");
  CentralProcessorValues v = centralProcessorValues(cpu, "x86_64");
  EXPECT_EQ(v.vendorIdentifier, "AuthenticAMD");
  EXPECT_EQ(v.mhz, 2200u);
}

TEST(LinuxCpuInfo, HostileAndPartialText) {
  EXPECT_EQ(parseCpuInfo("").processors, 0u);
  CpuInfoSummary odd = parseCpuInfo("processor : 0\ncpu family : banana\nmodel : 99999999999\ncpu MHz : nan\n");
  EXPECT_EQ(odd.processors, 1u);
  EXPECT_EQ(odd.family, -1);
  EXPECT_EQ(odd.model, -1);
  EXPECT_EQ(odd.mhz, 0);
  EXPECT_EQ(processorIdentifier(odd, "x86_64"), "");  // no family: no identifier
  // No trailing newline, no blank line between blocks.
  CpuInfoSummary tight = parseCpuInfo("processor\t: 0\nvendor_id\t: GenuineIntel\ncpu family\t: 6\nprocessor\t: 1\nvendor_id\t: Other");
  EXPECT_EQ(tight.processors, 2u);
  EXPECT_EQ(tight.vendorId, "GenuineIntel");
  struct Row { const char* vendor; const char* machine; const char* text; };
  const Row rows[] = {{"GenuineIntel", "x86_64", "Intel64 Family 6 Model 167 Stepping 1"},
                      {"GenuineIntel", "i686", "x86 Family 6 Model 167 Stepping 1"},
                      {"HygonGenuine", "x86_64", "AMD64 Family 6 Model 167 Stepping 1"},
                      {"", "riscv64", "riscv64 Family 6 Model 167 Stepping 1"}};
  for (const auto& r : rows) {
    CpuInfoSummary c;
    c.vendorId = r.vendor;
    c.family = 6;
    c.model = 167;
    c.stepping = 1;
    EXPECT_EQ(processorIdentifier(c, r.machine), r.text) << r.machine;
  }
}

TEST(LinuxCpuInfo, OnlineCpuLists) {
  struct Row { const char* text; std::uint64_t mask; };
  const Row rows[] = {{"0", 0x1},           {"0-1", 0x3},          {"0-3\n", 0xF},
                      {"0-1,4,6-7", 0xD3},  {"", 0},               {"3-1", 0},
                      {"x,2", 0x4},         {"62-70", 0xC000000000000000ull},
                      {"0-99999999999999999999", 0}};
  for (const auto& r : rows) EXPECT_EQ(parseCpuList(r.text), r.mask) << r.text;
}

TEST(LinuxCpuInfo, ApplicationAddressRangeAndSystemInfo) {
  EXPECT_EQ(maxAppAddressFromMaps(sample("maps"), 4096), 0x7FFFFFFFEFFFull);
  EXPECT_EQ(maxAppAddressFromMaps("", 4096), 0u);
  EXPECT_EQ(maxAppAddressFromMaps("garbage line\n-\n", 4096), 0u);
  EXPECT_EQ(maxAppAddressFromMaps("08048000-bf800000 rw-p 0 0 0\n", 4096), 0xFFFFEFFFull);
  CpuInfoSummary cpu = parseCpuInfo(sample("cpuinfo"));
  SystemInfoFacts f = systemInfoFrom(cpu, 0xF, 4096, 65536, 0x7FFFFFFFEFFF, "x86_64", 64);
  EXPECT_EQ(f.numberOfProcessors, 4u);
  EXPECT_EQ(f.activeProcessorMask, 0xFu);
  EXPECT_EQ(f.processorRevision, 0x7100);  // model 113, stepping 0
  EXPECT_EQ(f.processorLevel, 23);
  EXPECT_EQ(f.processorArchitecture, 9);
  EXPECT_EQ(f.allocationGranularity, 4096u);
  EXPECT_EQ(f.addressBits, 64);
}

TEST(LinuxCpuInfo, RegistryPresentation) {
  RegistryTree tree;
  fillCentralProcessorFrom(tree, {"GenuineIntel", "Intel64 Family 6 Model 167 Stepping 1", 2600});
  const char* key = "HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, key, "VendorIdentifier"), RegistryTree::sz("GenuineIntel"));
  EXPECT_EQ(tree.queryValue(HKEY_LOCAL_MACHINE, key, "~MHz"), RegistryTree::dword(2600));
  RegistryTree empty;
  fillCentralProcessorFrom(empty, {});
  EXPECT_FALSE(empty.keyExists(HKEY_LOCAL_MACHINE, key));  // nothing known, nothing made up
}

// ---- memory ----

TEST(LinuxMemInfo, FiguresOfTheSample) {
  auto m = parseMemInfo(sample("meminfo"));
  ASSERT_TRUE(m.ok());
  EXPECT_EQ(m->totalPhys, 16318460ull * 1024);
  EXPECT_EQ(m->availPhys, 9876544ull * 1024);
  EXPECT_EQ(m->totalPageFile, (16318460ull + 2097148) * 1024);
  EXPECT_EQ(m->availPageFile, (9876544ull + 2000000) * 1024);
  EXPECT_EQ(m->memoryLoad, 39u);  // (16318460 - 9876544) * 100 / 16318460 = 39.47
}

TEST(LinuxMemInfo, OldKernelsAndHostileText) {
  auto old = parseMemInfo("MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\n");
  ASSERT_TRUE(old.ok());
  EXPECT_EQ(old->availPhys, 400u * 1024);
  EXPECT_EQ(old->memoryLoad, 60u);
  EXPECT_EQ(old->totalPageFile, 1000u * 1024);  // no swap lines
  EXPECT_FALSE(parseMemInfo("").ok());
  EXPECT_FALSE(parseMemInfo("MemFree: 5 kB\n").ok());
  auto odd = parseMemInfo("MemTotal: 100 kB\nMemAvailable: 500 kB\nSwapTotal: 10 kB\nSwapFree: 99 kB\nJunk\n: 5\n");
  ASSERT_TRUE(odd.ok());
  EXPECT_EQ(odd->availPhys, odd->totalPhys);  // never more available than there is
  EXPECT_EQ(odd->availPageFile, odd->totalPageFile);
  EXPECT_EQ(odd->memoryLoad, 0u);
  auto zero = parseMemInfo("MemTotal: 0 kB\n");
  ASSERT_TRUE(zero.ok());
  EXPECT_EQ(zero->memoryLoad, 0u);
}

// ---- drives ----

TEST(LinuxMounts, PseudoFileSystemsLeftOutMountedOverKeepsItsPlace) {
  auto drives = parseMounts(sample("mounts"));
  std::vector<std::string> points;
  for (const auto& d : drives) points.push_back(d.mountPoint);
  EXPECT_EQ(points, (std::vector<std::string>{"/", "/tmp", "/boot/efi", "/media/anna/USB STICK",
                                              "/media/anna/DEBIAN_12", "/home", "/mnt/public", "/srv"}));
  EXPECT_EQ(drives.back().fsType, "xfs");  // the later mount over /srv
  EXPECT_EQ(drives.back().device, "/dev/mapper/vg-srv");
  EXPECT_EQ(parseMountsAll(sample("mounts")).size(), 19u);
  EXPECT_TRUE(parseMounts("").empty());
  EXPECT_TRUE(parseMounts("onlyonefield\n\n  \n").empty());
  auto escaped = parseMountsAll("/dev/sda1 /a\\040b\\011c\\134d ext4 rw 0 0\n/dev/x /e\\04 ext4 rw\n");
  ASSERT_EQ(escaped.size(), 2u);
  EXPECT_EQ(escaped[0].mountPoint, "/a b\tc\\d");
  EXPECT_EQ(escaped[1].mountPoint, "/e\\04");  // a broken escape stays as it is
}

TEST(LinuxMounts, DriveTypes) {
  struct Row { const char* device; const char* point; const char* type; bool removable; std::uint32_t code; };
  const Row rows[] = {
      {"/dev/nvme0n1p2", "/", "ext4", false, DRIVE_FIXED},
      {"tmpfs", "/tmp", "tmpfs", false, DRIVE_RAMDISK},
      {"/dev/zram0", "/var/cache", "ext4", false, DRIVE_RAMDISK},
      {"/dev/sdb1", "/media/u/STICK", "vfat", true, DRIVE_REMOVABLE},
      {"/dev/sr0", "/media/u/CD", "iso9660", true, DRIVE_CDROM},
      {"/dev/sr0", "/media/u/BD", "udf", false, DRIVE_CDROM},
      {"server:/x", "/home", "nfs4", false, DRIVE_REMOTE},
      {"//192.0.2.20/p", "/mnt/p", "cifs", false, DRIVE_REMOTE},
      {"u@host:", "/mnt/s", "fuse.sshfs", false, DRIVE_REMOTE},
      {"overlay", "/", "overlay", false, DRIVE_FIXED},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(driveTypeOf({r.device, r.point, r.type, ""}, r.removable), r.code) << r.point << " " << r.type;
  }
  EXPECT_TRUE(isPseudoFileSystem({"tmpfs", "/run/user/1000", "tmpfs", ""}));
  EXPECT_TRUE(isPseudoFileSystem({"tmpfs", "/dev/shm", "tmpfs", ""}));
  EXPECT_FALSE(isPseudoFileSystem({"tmpfs", "/running", "tmpfs", ""}));  // not under /run
  EXPECT_TRUE(isPseudoFileSystem({"lxcfs", "/proc/cpuinfo", "fuse.lxcfs", ""}));
}

TEST(LinuxMounts, SerialsLabelsAndSpace) {
  struct Row { const char* uuid; std::optional<std::uint32_t> serial; };
  const Row rows[] = {{"1234-ABCD", 0x1234ABCDu},
                      {"f81d4fae-7dec-11d0-a765-00a0c91e6bf6", 0xF81D4FAEu},
                      {"0123456789ABCDEF", 0x89ABCDEFu},
                      {"12", std::nullopt},
                      {"", std::nullopt},
                      {"zz-12345678", std::nullopt}};
  for (const auto& r : rows) EXPECT_EQ(serialFromUuid(r.uuid), r.serial) << r.uuid;
  EXPECT_EQ(decodeUdevName("USB\\x20STICK"), "USB STICK");
  EXPECT_EQ(decodeUdevName("a\\x2"), "a\\x2");
  EXPECT_EQ(decodeUdevName("\\xzz"), "\\xzz");

  struct SpaceRow {
    const char* name;
    bool root;
    DiskSpace expected;
  } spaceRows[] = {
      {"a user may not fill the reserved blocks", false, {4096000u, 1228800u, 1024000u}},
      {"root may: every free block is available", true, {4096000u, 1228800u, 1228800u}},
  };
  for (const auto& r : spaceRows) EXPECT_EQ(spaceFromStatvfs(1000, 300, 250, 4096, r.root), r.expected) << r.name;
  const DiskSpace s = spaceRows[0].expected;

  struct Dev { const char* name; const char* base; };
  const Dev devs[] = {{"/dev/sda1", "sda"}, {"sdb", "sdb"}, {"/dev/nvme0n1p2", "nvme0n1"},
                      {"/dev/nvme0n1", "nvme0n1"}, {"/dev/mmcblk0p1", "mmcblk0"}, {"/dev/vda", "vda"}};
  for (const auto& d : devs) EXPECT_EQ(baseBlockDevice(d.name), d.base) << d.name;

  MountEntry usb{"/dev/sdb1", "/media/anna/USB STICK", "vfat", ""};
  DriveFacts f = driveFactsFor(usb, true, {{"/dev/sdb1", "USB STICK"}}, {{"/dev/sdb1", "1234-ABCD"}}, s);
  EXPECT_EQ(f.root, "/media/anna/USB STICK");
  EXPECT_EQ(f.driveType, DRIVE_REMOVABLE);
  EXPECT_EQ(f.volumeLabel, "USB STICK");
  EXPECT_EQ(f.serialNumber, 0x1234ABCDu);
  EXPECT_EQ(f.space, s);
  DriveFacts bare = driveFactsFor({"/dev/vda", "/", "ext4", ""}, false, {}, {}, std::nullopt);
  EXPECT_FALSE(bare.volumeLabel);
  EXPECT_FALSE(bare.serialNumber);
  EXPECT_FALSE(bare.space);
}

// ---- sound ----

TEST(LinuxAlsa, CardsPcmsAndVersion) {
  auto cards = parseAsoundCards(*readWholeFile(kRoot + "/proc/asound/cards"));
  ASSERT_EQ(cards.size(), 2u);
  EXPECT_EQ(cards[0], (AlsaCard{0, "PCH", "HDA-Intel", "HDA Intel PCH"}));
  EXPECT_EQ(cards[1], (AlsaCard{1, "Device", "USB-Audio", "USB Audio Device"}));
  auto pcms = parseAsoundPcm(*readWholeFile(kRoot + "/proc/asound/pcm"));
  ASSERT_EQ(pcms.size(), 4u);
  EXPECT_EQ(pcms[0], (AlsaPcm{0, 0, "ALC892 Analog", "ALC892 Analog", 1, 1}));
  EXPECT_EQ(pcms[1], (AlsaPcm{0, 1, "ALC892 Digital", "ALC892 Digital", 1, 0}));
  EXPECT_EQ(pcms[2], (AlsaPcm{0, 2, "ALC892 Alt Analog", "ALC892 Alt Analog", 0, 2}));
  EXPECT_EQ(parseAsoundVersion("Advanced Linux Sound Architecture Driver Version k6.1.0.\n"), 0x0601u);
  EXPECT_EQ(parseAsoundVersion("Advanced Linux Sound Architecture Driver Version 1.0.25.\n"), 0x0100u);
  EXPECT_EQ(parseAsoundVersion("nonsense"), 0u);
  EXPECT_TRUE(parseAsoundCards("--- no soundcards ---\n").empty());
  EXPECT_TRUE(parseAsoundPcm("xx-yy: a : b\n00-00\n").empty());
}

TEST(LinuxAlsa, StreamDescriptionsToFormats) {
  std::string stream = *readWholeFile(kRoot + "/proc/asound/card1/stream0");
  AlsaStreamCaps play = parseAlsaStream(stream, true);
  EXPECT_EQ(play.formats, (std::set<std::string>{"S16_LE"}));
  EXPECT_EQ(play.rates, (std::set<unsigned>{44100, 48000}));
  EXPECT_EQ(play.maxChannels, 2u);
  EXPECT_EQ(waveFormatsOf(play), WAVE_FORMAT_4S16);
  AlsaStreamCaps rec = parseAlsaStream(stream, false);
  EXPECT_EQ(rec.formats, (std::set<std::string>{"S16_LE", "U8"}));
  EXPECT_EQ(rec.rates, (std::set<unsigned>{11025, 22050, 44100}));  // from the continuous range
  EXPECT_EQ(waveFormatsOf(rec), WAVE_FORMAT_1M08 | WAVE_FORMAT_1M16 | WAVE_FORMAT_2M08 |
                                    WAVE_FORMAT_2M16 | WAVE_FORMAT_4M08 | WAVE_FORMAT_4M16);
  EXPECT_EQ(waveFormatsOf(AlsaStreamCaps{}), 0u);
}

TEST(LinuxAlsa, DevicesOfTheSampleMachine) {
  auto out = readAlsaDevices(kRoot, true);
  ASSERT_EQ(out.devices.size(), 3u);
  EXPECT_EQ(out.devices[0].productName, "HDA Intel PCH: ALC892 Analog");
  EXPECT_EQ(out.devices[1].productName, "HDA Intel PCH: ALC892 Digital");
  EXPECT_EQ(out.devices[2].productName, "USB Audio Device: USB Audio");
  EXPECT_EQ(out.devices[0].manufacturerId, 0x8086);
  EXPECT_EQ(out.devices[0].productId, 0xA170);
  EXPECT_EQ(out.devices[0].driverVersion, 0x0601u);
  EXPECT_EQ(out.devices[0].channels, 0);  // the HDA card does not describe its streams
  EXPECT_EQ(out.devices[2].manufacturerId, 0x0D8C);
  EXPECT_EQ(out.devices[2].productId, 0x000C);
  EXPECT_EQ(out.devices[2].channels, 2);
  EXPECT_EQ(out.devices[2].formats, WAVE_FORMAT_4S16);
  EXPECT_EQ(out.mapper, out.devices[0]);  // the default device
  auto in = readAlsaDevices(kRoot, false);
  ASSERT_EQ(in.devices.size(), 3u);
  EXPECT_EQ(in.devices[1].productName, "HDA Intel PCH: ALC892 Alt Analog");
  EXPECT_EQ(in.devices[2].channels, 1);
  auto none = readAlsaDevices(kDir + "no-such-root", true);
  EXPECT_TRUE(none.devices.empty());
}

// ---- display ----

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

// ---- keyboard ----

TEST(LinuxKeyboard, XkbConfigurationAndLayouts) {
  XkbConfig cfg = readXkbConfig(kRoot);
  EXPECT_EQ(cfg, (XkbConfig{"pc105", "de", "nodeadkeys"}));
  EXPECT_EQ(parseKeyboardDefaults("export XKBLAYOUT='us'\n#XKBMODEL=x\nXKBMODEL = pc104 \n"),
            (XkbConfig{"pc104", "us", ""}));
  EXPECT_EQ(parseKeyboardDefaults("XKBLAYOUT=\"\nXKBMODEL\n"), (XkbConfig{"", "\"", ""}));
  struct Row { const char* layout; const char* variant; std::optional<std::uint32_t> id; };
  const Row rows[] = {{"us", "", 0x00000409},       {"us", "dvorak", 0x00010409},
                      {"de", "nodeadkeys", 0x00000407}, {"gb", "extd", 0x00000809},
                      {"ch", "fr", 0x0000100C},     {"ch", "", 0x00000807},
                      {"xx", "", std::nullopt},     {"", "", std::nullopt}};
  for (const auto& r : rows) EXPECT_EQ(windowsLayoutId(r.layout, r.variant), r.id) << r.layout << "/" << r.variant;
  EXPECT_EQ(layoutIdText(0x409), "00000409");
  EXPECT_EQ(layoutIdText(0x10409), "00010409");
}

TEST(LinuxKeyboard, FactsOfTheSampleMachineAndOfAMachineWithout) {
  auto kb = makeLinuxKeyboardFacts(kRoot);
  EXPECT_EQ(kb->keyboardType(0), 4);
  EXPECT_EQ(kb->keyboardType(1), 0);
  EXPECT_EQ(kb->keyboardType(2), 12);
  EXPECT_EQ(kb->oemCodePage(), 437u);
  EXPECT_EQ(kb->ansiCodePage(), 1252u);
  EXPECT_EQ(kb->layoutName(), "00000407");
  EXPECT_EQ(kb->languageName(0x407), "German (Germany)");
  EXPECT_EQ(kb->languageName(0x10409), "English (United States)");
  EXPECT_EQ(kb->languageName(0x7777), std::nullopt);
  EXPECT_EQ(kb->caretBlinkTime(), 200u);  // the sample's console cursor blinks
  auto none = makeLinuxKeyboardFacts(kDir + "no-such-root");
  EXPECT_EQ(none->keyboardType(0), 0);
  EXPECT_EQ(none->keyboardType(2), 0);
  EXPECT_EQ(none->layoutName(), "");
  EXPECT_EQ(none->caretBlinkTime(), 0u);
  EXPECT_EQ(caretBlinkFromFbcon("0\n"), 0u);
  EXPECT_EQ(caretBlinkFromFbcon("1\n"), 200u);
  EXPECT_EQ(caretBlinkFromFbcon(""), 0u);

  auto devices = parseInputDevices(*readWholeFile(kRoot + "/proc/bus/input/devices"));
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "Power Button");
  auto keyboard = findKeyboard(devices);
  ASSERT_TRUE(keyboard);
  EXPECT_EQ(keyboard->sysfs, "/devices/platform/i8042/serio0/input/input1");
  EXPECT_FALSE(findKeyboard({devices[0]}));  // a power button has the kbd handler too
}

TEST(LinuxKeyboard, ModinfoDepAndVersionTexts) {
  const std::string modinfo("license=GPL\0author=Vojtech Pavlik <vojtech@suse.cz>\0"
                            "description=AT and PS/2 keyboard driver\0descriptionx=no\0",
                            108);
  const std::string builtin("usbhid.author=Jiri Kosina\0atkbd.description=AT keyboard\0"
                            "atkbd.author=Vojtech\0", 77);
  struct Row {
    const char* name;
    std::string data, prefix, key;
    std::optional<std::string> expected;
  } rows[] = {
      {"description of a module file", modinfo, "", "description", "AT and PS/2 keyboard driver"},
      {"author with its address", modinfo, "", "author", "Vojtech Pavlik <vojtech@suse.cz>"},
      {"a key that is not there", modinfo, "", "version", std::nullopt},
      {"a built-in module's entry by prefix", builtin, "atkbd.", "author", "Vojtech"},
      {"another module's entry is not taken", builtin, "atkbd.", "description", "AT keyboard"},
      {"no entry of the module", builtin, "i8042.", "author", std::nullopt},
      {"empty data", "", "", "author", std::nullopt},
      {"a key without '='", std::string("author\0", 7), "", "author", std::nullopt},
  };
  for (const auto& r : rows) EXPECT_EQ(modinfoValue(r.data, r.prefix, r.key), r.expected) << r.name;

  const std::string dep =
      "kernel/drivers/hid/hid-generic.ko.xz: kernel/drivers/hid/hid.ko.xz\n"
      "kernel/drivers/input/keyboard/atkbd.ko:\n"
      "broken line without colon\n";
  struct DepRow {
    const char* name;
    const char* module;
    std::optional<std::string> expected;
  } depRows[] = {
      {"plain module", "atkbd", "kernel/drivers/input/keyboard/atkbd.ko"},
      {"underscore finds the dash", "hid_generic", "kernel/drivers/hid/hid-generic.ko.xz"},
      {"a dependency is not a listing", "hid", std::nullopt},
      {"not listed", "usbhid", std::nullopt},
  };
  for (const auto& r : depRows) EXPECT_EQ(modulePathFromDep(dep, r.module), r.expected) << r.name;

  struct VerRow {
    const char* text;
    const char* expected;
  } verRows[] = {{"2.3", "2.3.0.0"},           {"6.1.0-13-amd64", "6.1.0.13"},
                 {"1.2.3.4.5", "1.2.3.4"},     {"", ""},
                 {"v1.0", ""},                 {"99999999999999999999.1", "999999999.1.0.0"}};
  for (const auto& r : verRows) EXPECT_EQ(fourPartVersion(r.text), r.expected) << r.text;
}

// A machine root with one keyboard behind the driver `driver` of module
// `module` (empty: built into the kernel).
struct KeyboardRoot {
  std::filesystem::path dir;
  explicit KeyboardRoot(const std::string& name) {
    dir = std::filesystem::temp_directory_path() /
          ("quorvane-kbd-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  ~KeyboardRoot() { std::filesystem::remove_all(dir); }
  void write(const std::string& rel, const std::string& text) const {
    std::filesystem::create_directories((dir / rel).parent_path());
    std::ofstream(dir / rel, std::ios::binary) << text;
  }
  void link(const std::string& rel, const std::string& target) const {
    std::filesystem::create_directories((dir / rel).parent_path());
    std::filesystem::create_directory_symlink(dir / target, dir / rel);
  }
  void keyboard(const std::string& driver, const std::string& module) const {
    write("proc/bus/input/devices",
          "N: Name=\"AT Translated Set 2 keyboard\"\nS: Sysfs=/devices/serio0/input/input1\n"
          "H: Handlers=sysrq kbd event1\n\n");
    std::filesystem::create_directories(dir / "sys/bus/serio/drivers" / driver);
    link("sys/devices/serio0/input/input1/device", "sys/devices/serio0");
    link("sys/devices/serio0/driver", "sys/bus/serio/drivers/" + driver);
    if (!module.empty()) {
      std::filesystem::create_directories(dir / "sys/module" / module);
      link("sys/bus/serio/drivers/" + driver + "/module", "sys/module/" + module);
    }
  }
};

TEST(LinuxKeyboard, TheDriverOfTheKeyboardDevice) {
  const std::string rel = "6.1.0-13-amd64";
  const std::string mods = "lib/modules/" + rel + "/";
  {
    SCOPED_TRACE("a loadable module with a version of its own");
    KeyboardRoot r("module");
    r.keyboard("atkbd", "atkbd");
    r.write("sys/module/atkbd/version", "2.3\n");
    r.write(mods + "modules.dep", "kernel/drivers/input/keyboard/atkbd.ko:\n");
    r.write(mods + "kernel/drivers/input/keyboard/atkbd.ko",
            std::string("\x7f" "ELF\0\0author=J\xC3\xBCrgen\0description=AT keyboard\0", 45));
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/lib/modules/" + rel + "/kernel/drivers/input/keyboard/atkbd.ko",
                              "AT keyboard", "2.3.0.0", "J\xFCrgen"}));
  }
  {
    SCOPED_TRACE("a compressed module: no modinfo, the kernel's version");
    KeyboardRoot r("xz");
    r.keyboard("hid-generic", "hid_generic");
    r.write(mods + "modules.dep", "kernel/drivers/hid/hid-generic.ko.xz:\n");
    r.write(mods + "kernel/drivers/hid/hid-generic.ko.xz", "\xFD" "7zXZ");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/lib/modules/" + rel + "/kernel/drivers/hid/hid-generic.ko.xz", "",
                              "6.1.0.13", ""}));
  }
  {
    SCOPED_TRACE("built into the kernel");
    KeyboardRoot r("builtin");
    r.keyboard("atkbd", "");
    r.write(mods + "modules.builtin.modinfo",
            std::string("i8042.author=X\0atkbd.description=AT and PS/2 keyboard driver\0", 61));
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel),
              (KeyboardDriver{"/boot/vmlinuz-" + rel, "AT and PS/2 keyboard driver", "6.1.0.13", ""}));
  }
  {
    SCOPED_TRACE("no keyboard device at all");
    KeyboardRoot r("none");
    r.write("proc/bus/input/devices", "N: Name=\"Power Button\"\nH: Handlers=kbd event0\n\n");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel), (KeyboardDriver{"None", "", "", ""}));
  }
  {
    SCOPED_TRACE("a keyboard whose device has no driver link");
    KeyboardRoot r("nodriver");
    r.write("proc/bus/input/devices",
            "N: Name=\"USB Keyboard\"\nS: Sysfs=/devices/usb1/input/input3\nH: Handlers=kbd\n\n");
    EXPECT_EQ(readKeyboardDriver(r.dir.string(), rel), (KeyboardDriver{"None", "", "", ""}));
  }
}

// ---- printers ----

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
