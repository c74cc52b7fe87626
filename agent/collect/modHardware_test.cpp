// The hardware collectors on fixture machines: the Windows 98 SE and XP
// samples field by field, and small machines for the edge cases.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/modGetInfo.h"
#include "agent/collect/modHDrives.h"
#include "agent/collect/modHKeyboard.h"
#include "agent/collect/modHMemory.h"
#include "agent/collect/modHPrinters.h"
#include "agent/collect/modHProcessor.h"
#include "agent/collect/modHSound.h"
#include "agent/collect/modHVideo.h"
#include "common/AuditRecordIO.h"
#include "platform/Platform.h"

namespace quorvane::agent {
namespace {

namespace fs = std::filesystem;

std::unique_ptr<platform::Platform> machine(const std::string& name) {
  auto p = platform::makeFixturePlatform(fs::path(QUORVANE_SOURCE_DIR) / "tests/fixtures/machines" / name);
  EXPECT_TRUE(p.ok()) << p.status().description();
  return p.ok() ? std::move(*p) : nullptr;
}

// A machine described inline, written to a file of its own.
Expected<std::unique_ptr<platform::Platform>> inlineMachine(const std::string& json) {
  static int n = 0;
  fs::path file = fs::temp_directory_path() /
                  ("quorvane-hw-" + std::to_string(::getpid()) + "-" + std::to_string(++n) + ".json");
  {
    std::ofstream out(file, std::ios::binary);
    out << json;
  }
  auto p = platform::makeFixturePlatform(file);
  fs::remove(file);
  return p;
}

std::unique_ptr<platform::Platform> mustLoad(const std::string& json) {
  auto p = inlineMachine(json);
  EXPECT_TRUE(p.ok()) << p.status().description();
  return p.ok() ? std::move(*p) : nullptr;
}

using Reports = testing::ReportTexts;

WaveDeviceCaps wave(const char* name, const char* ver, const char* ch, const char* mid,
                    const char* pid, std::int32_t features) {
  return WaveDeviceCaps{name, ver, ch, mid, pid, features};
}

DriveInfo drive(const char* root, const char* type, const char* label, const char* serial,
                const char* size, const char* free, const char* used) {
  return DriveInfo{root, type, label, serial, size, free, used, type};
}

TEST(HardwareXP, Printers) {
  auto p = machine("winxp-pro.json");
  ASSERT_TRUE(p);
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

TEST(HardwareXP, KeyboardKeptUpToCaretWidthWithoutDriverFile) {
  auto p = machine("winxp-pro.json");
  ASSERT_TRUE(p);
  Reports r;
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

TEST(HardwareXP, ProcessorMemoryVideoSoundDrives) {
  auto p = machine("winxp-pro.json");
  ASSERT_TRUE(p);
  Reports r;
  EXPECT_EQ(getProcessor(r.on(*p)),
            (ProcessorInfo{"2", "3", "GenuineIntel &HBB0", "x86 Family 15 Model 2 Stepping 9",
                           "2 , 9", "2992", "65536", "2147418111", "4096", false, "65536"}));
  EXPECT_EQ(getMemory(r.on(*p)),
            (MemoryInfo{"1059 MBytes", "523760 KBytes", "205078.125 KBytes", "1283064 KBytes",
                        "404158 KBytes", "878906.25 KBytes", "45 %"}));

  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({"RADEON 9600 SERIES", "NetMeeting driver"}));
  EXPECT_EQ(v.currResolution, "1024 * 768");
  EXPECT_EQ(v.currColourDepth, "32 bits per pixel  (True Color)");
  EXPECT_EQ(v.currFrequency, "60 hz  (User-selected)");
  EXPECT_EQ(v.VideoModes, Array<Text>({"640*480 4bit colour (16 Color)", "640*480 8bit colour (256 Color)",
                                       "800*600 16bit colour (High Color)", "800*600 16bit colour (High Color)",
                                       "1024*768 24bit colour (True Color)", "1024*768 32bit colour (True Color)",
                                       "1280*1024 32bit colour (True Color)"}));
  // A second audit of the same run lists the adapter again.
  EXPECT_EQ(getVideo(r.on(*p)).VideoCards, v.VideoCards);

  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "");
  EXPECT_EQ(s.strIRQ, "");
  EXPECT_EQ(s.strDMA, "");
  EXPECT_EQ(s.WaveOutDevices,
            Array<WaveDeviceCaps>({wave("Microsoft Sound Mapper", "5.0", "2 (stereo device)", "1", "2", 0x32FFF),
                                   wave("SoundMAX Digital Audio", "5.1", "2 (stereo device)", "1", "100", 0x32FFF),
                                   wave("Modem #0 Line Playback", "5.1", "1 (mono device)", "1", "100", 0x2)}));
  EXPECT_EQ(s.WaveInDevices,
            Array<WaveDeviceCaps>({wave("Microsoft Sound Mapper", "5.0", "2 (stereo device)", "1", "3", 0xFFF),
                                   wave("SoundMAX Digital Audio", "5.1", "2 (stereo device)", "1", "101", 0xFFF)}));

  Array<DriveInfo> d = getDrives(r.on(*p));
  EXPECT_EQ(d, Array<DriveInfo>({
                   drive("A:\\", "Removable drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                   drive("C:\\", "Fixed drive", "SYSTEM", "0ABC-1234", "20,003,794,944 Bytes",
                         "8,123,456,512 Bytes", "12,003,794,944 Bytes"),
                   drive("D:\\", "CD-ROM drive", "WINXP_SP2", "9F3E-0012", "623,702,016 Bytes", "0 Bytes",
                         "623,702,016 Bytes"),
                   drive("Z:\\", "Network drive", "NoName", "E4C2-A001", "107,374,182,400 Bytes",
                         "53,687,091,200 Bytes", "64,424,509,440 Bytes"),
                   DriveInfo()}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

// The whole audit: every hardware section lands where the record keeps it
// and survives the stored form byte for byte.
TEST(HardwareXP, AuditCarriesEverySectionThroughTheStoredForm) {
  auto p = machine("winxp-pro.json");
  ASSERT_TRUE(p);
  std::vector<std::string> where;
  CollectContext ctx{*p, "127.0.0.1", [&](const CollectReport& r) { where.push_back(r.where); }, {}};
  AuditRecord record;
  getInfo(record, ctx);
  Reports r;
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

TEST(HardwareWin98, EveryCollector) {
  auto p = machine("win98se.json");
  ASSERT_TRUE(p);
  Reports r;
  PrintersResult pr = getPrinters(r.on(*p));
  EXPECT_TRUE(pr.PrintersPresent.isTrue());
  EXPECT_EQ(pr.Printers, Array<PrinterInfo>({PrinterInfo{"HP LaserJet 4L", "HP LaserJet 4L", "LPT1:",
                                                          false, 1, 1, 7, 9, 300}}));
  EXPECT_EQ(getKeyboard(r.on(*p)),
            (KeyboardInfo{"Standard 101/102-Key or Microsoft Natural Keyboard", "4/0", "850", "1252",
                          "00000809", "English (United Kingdom)", "1", "31", "12", "530 ms",
                          "Not Supported", "KEYBOARD.DRV", "Keyboard driver", "4.10.0.2222",
                          "Microsoft Corporation", "23/04/1999", "22:22:00"}));
  EXPECT_EQ(getProcessor(r.on(*p)),
            (ProcessorInfo{"1", "1", "GenuineIntel", "x86 Family 6 Model 8 Stepping 3", "8 , 3", "0",
                           "4194304", "2147483647", "4096", false, "65536"}));
  EXPECT_EQ(getMemory(r.on(*p)),
            (MemoryInfo{"2047 MBytes", "130496 KBytes", "50864 KBytes", "2097151.9990234375 KBytes",
                        "52096 KBytes", "2045056 KBytes", "61 %"}));
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({"S3 Inc. Trio64V2/DX/GX PCI"}));
  EXPECT_EQ(v.currResolution, "800 * 600");
  EXPECT_EQ(v.currColourDepth, "16 bits per pixel  (High Color)");
  EXPECT_EQ(v.currFrequency, "0 hz  (Hardware default)");
  EXPECT_EQ(v.VideoModes.size(), 7u);
  EXPECT_EQ(v.VideoModes[2], "800*600 8bit colour (256 Color)");
  SoundInfo s = getSound(r.on(*p));
  EXPECT_TRUE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "220");
  EXPECT_EQ(s.strIRQ, "5");
  EXPECT_EQ(s.strDMA, "1");
  ASSERT_EQ(s.WaveOutDevices.size(), 2u);
  EXPECT_EQ(s.WaveOutDevices[0],
            wave("Microsoft Sound Mapper", "4.0", "2 (stereo device)", "1", "2", 0x22FFF));
  EXPECT_EQ(s.WaveOutDevices[1],
            wave("Creative Sound Blaster 16", "4.10", "2 (stereo device)", "2", "104", 0x22FFF));
  ASSERT_EQ(s.WaveInDevices.size(), 2u);
  EXPECT_EQ(s.WaveInDevices[1],
            wave("Creative Sound Blaster 16", "4.10", "2 (stereo device)", "2", "104", 0xFFF));
  EXPECT_EQ(getDrives(r.on(*p)),
            Array<DriveInfo>({drive("A:\\", "Removable drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                              drive("C:\\", "Fixed drive", "PC98", "0ABC-1234", "4,293,563,392 Bytes",
                                    "1,211,367,424 Bytes", "3,082,195,968 Bytes"),
                              drive("D:\\", "CD-ROM drive", "NoName", "0000-0000", "0 Bytes", "0 Bytes", "0 Bytes"),
                              DriveInfo()}));
  EXPECT_TRUE(r.texts.empty()) << r.texts.front();
}

TEST(HardwareEdge, EmptyMachineReportsWhatItHas) {
  auto p = mustLoad("{}");
  ASSERT_TRUE(p);
  Reports r;
  PrintersResult pr = getPrinters(r.on(*p));
  EXPECT_FALSE(pr.PrintersPresent.isTrue());
  EXPECT_FALSE(pr.Printers.present);
  VideoInfo v = getVideo(r.on(*p));
  EXPECT_EQ(v.VideoCards, Array<Text>({""}));
  EXPECT_FALSE(v.VideoModes.present);
  EXPECT_EQ(v.currResolution, "0 * 0");
  EXPECT_EQ(v.currColourDepth, "0 bits per pixel  ");
  EXPECT_EQ(v.currFrequency, "0 hz  (Hardware default)");
  EXPECT_EQ(getSound(r.on(*p)), SoundInfo());
  EXPECT_EQ(getDrives(r.on(*p)), Array<DriveInfo>({DriveInfo()}));
  ProcessorInfo proc = getProcessor(r.on(*p));
  EXPECT_EQ(proc.CPUClass, "None");
  EXPECT_EQ(proc.CPUSpeed, "0");
  EXPECT_TRUE(r.texts.empty());
}

TEST(HardwareEdge, SoundNeedsAnInputDevice) {
  auto p = mustLoad(R"({"environment": {"BLASTER": "A220 I5 D1"},
    "waveDevices": {"out": {"mapper": {"productName": "Mapper", "channels": 2},
                            "devices": [{"productName": "Speaker", "channels": 2}]}}})");
  ASSERT_TRUE(p);
  Reports r;
  SoundInfo s = getSound(r.on(*p));
  EXPECT_FALSE(s.boolPresent.isTrue());
  EXPECT_EQ(s.strIOPort, "");
  EXPECT_FALSE(s.WaveOutDevices.present);
  EXPECT_FALSE(s.WaveInDevices.present);
}

TEST(HardwareEdge, OneWaveDeviceGivesTwoElementsMapperFirst) {
  auto p = mustLoad(R"({"waveDevices": {
    "in": {"mapper": {"productName": "Microsoft Sound Mapper", "formats": "0x4", "channels": 1},
           "devices": [{"productName": "Mic", "formats": "0x4", "channels": 1, "driverVersion": "0x0102"}]},
    "out": {"mapper": {"productName": "Microsoft Sound Mapper", "channels": 2, "support": "0x8"},
            "devices": [{"productName": "Line", "channels": 2, "support": "0x8"}]}}})");
  ASSERT_TRUE(p);
  Reports r;
  SoundInfo s = getSound(r.on(*p));
  ASSERT_EQ(s.WaveInDevices.size(), 2u);
  EXPECT_EQ(s.WaveInDevices[0].DeviceName, "Microsoft Sound Mapper");
  EXPECT_EQ(s.WaveInDevices[1], wave("Mic", "1.2", "1 (mono device)", "0", "0", 0x2));
  ASSERT_EQ(s.WaveOutDevices.size(), 2u);
  EXPECT_EQ(s.WaveOutDevices[1].Features, 0x20000);
}

TEST(HardwareEdge, Windows95ReadsAdaptersFromTheDisplayClass) {
  auto p = mustLoad(R"({
    "version": {"majorVersion": 4, "minorVersion": 0, "buildNumber": "0x040003B6", "platformId": 1, "csdVersion": " C "},
    "registry": {
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0000": {"DriverDesc": {"type": "REG_SZ", "value": "S3 Trio64"}},
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0001": {"DriverDesc": {"type": "REG_SZ", "value": "S3 Trio64"}},
      "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\0003": {"DriverDesc": {"type": "REG_SZ", "value": "After the gap"}}
    },
    "display": {"devices": [{"deviceString": "Not asked on Windows 95"}]}})");
  ASSERT_TRUE(p);
  Reports r;
  // The class keys are taken as they stand (no duplicate filter), up to the first gap.
  EXPECT_EQ(getVideo(r.on(*p)).VideoCards, Array<Text>({"S3 Trio64", "S3 Trio64"}));
}

TEST(HardwareEdge, SixtyFourBitAddressesAreWrittenWhole) {
  auto p = mustLoad(R"({"systemInfo": {"addressBits": 64, "minimumApplicationAddress": "0x10000",
    "maximumApplicationAddress": "0x000007FFFFFEFFFF", "activeProcessorMask": "0xFFFFFFFFFFFFFFFF",
    "numberOfProcessors": 64, "pageSize": 4096, "allocationGranularity": 65536}})");
  ASSERT_TRUE(p);
  Reports r;
  ProcessorInfo info = getProcessor(r.on(*p));
  EXPECT_EQ(info.MinAppAddress, "65536");
  EXPECT_EQ(info.MaxAppAddress, "8796092956671");
  EXPECT_EQ(info.ActiveProcessorMark, "18446744073709551615");
  // A 32-bit machine refuses a 64-bit address in its file.
  EXPECT_FALSE(inlineMachine(R"({"systemInfo": {"maximumApplicationAddress": "0x100000000"}})").ok());
}

TEST(HardwareEdge, DriverFileWithoutVersionResource) {
  auto p = mustLoad(R"({
    "iniFiles": {"system.ini": {"boot": {"keyboard.drv": "KEYBOARD.DRV"}, "boot.description": {"keyboard.typ": ""}}},
    "keyboard": {"type": 7, "subType": 2, "functionKeys": 12, "layoutName": "00010409", "caretBlinkTime": 500},
    "files": {"systemDirectory": "C:\\WINDOWS\\SYSTEM",
              "list": {"C:\\WINDOWS\\SYSTEM\\KEYBOARD.DRV": {"modified": "1998-05-11 20:01:00"}}}})");
  ASSERT_TRUE(p);
  Reports r;
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

TEST(HardwareEdge, ClusterSpaceOfAnOldSystem) {
  auto p = mustLoad(R"({"drives": [{"root": "C:\\", "type": 3, "volumeLabel": "OLD", "serialNumber": 305419896,
    "wideSpaceQuery": false,
    "clusterSpace": {"sectorsPerCluster": 64, "bytesPerSector": 512, "freeClusters": 1000, "totalClusters": 65535}}]})");
  ASSERT_TRUE(p);
  Reports r;
  Array<DriveInfo> d = getDrives(r.on(*p));
  ASSERT_EQ(d.size(), 2u);
  EXPECT_EQ(d[0], drive("C:\\", "Fixed drive", "OLD", "1234-5678", "2,147,450,880 Bytes",
                        "32,768,000 Bytes", "2,114,682,880 Bytes"));
}

TEST(HardwareEdge, MalformedHardwareSectionsAreRefused) {
  struct Row { const char* name; const char* json; const char* mentions; };
  const Row rows[] = {
      {"unknown drive member", R"({"drives": [{"root": "C:\\", "tpye": 3}]})", "drives[0].tpye"},
      {"drive without root", R"({"drives": [{"type": 3}]})", "drives[0].root"},
      {"drives not a list", R"({"drives": {"root": "C:\\"}})", "drives"},
      {"printer quality too large", R"({"printers": [{"printQuality": 4294967296}]})", "printQuality"},
      {"memory load above 100", R"({"memoryStatus": {"memoryLoad": 101}})", "memoryLoad"},
      {"negative memory", R"({"memoryStatus": {"totalPhys": -1}})", "totalPhys"},
      {"mode of three numbers", R"({"display": {"modes": [[640, 480, 8]]}})", "display.modes[0]"},
      {"address bits 48", R"({"systemInfo": {"addressBits": 48}})", "addressBits"},
      {"wave channels too large", R"({"waveDevices": {"in": {"devices": [{"channels": 70000}]}}})", "channels"},
      {"language id not a number", R"({"keyboard": {"languageNames": {"zz": "X"}}})", "languageNames.zz"},
      {"label not text", R"({"drives": [{"root": "C:\\", "volumeLabel": 5}]})", "volumeLabel"},
  };
  for (const auto& row : rows) {
    auto p = inlineMachine(row.json);
    ASSERT_FALSE(p.ok()) << row.name;
    EXPECT_NE(p.status().description().find(row.mentions), std::string::npos)
        << row.name << ": " << p.status().description();
  }
}

TEST(HardwareEdge, MissingServiceIsReportedNotFatal) {
  auto p = machine("winxp-pro.json");
  ASSERT_TRUE(p);
  p->drives.reset();
  p->printers.reset();
  Reports r;
  EXPECT_EQ(getDrives(r.on(*p)), Array<DriveInfo>({DriveInfo()}));
  ASSERT_EQ(r.texts.size(), 1u);
  EXPECT_EQ(r.texts[0].rfind("Error in : QuorvanePro.modHDrives.getDrives\r\n\r\nError Number : 91", 0), 0u);
  PrintersResult pr = getPrinters(r.on(*p));  // no print service: no printers
  EXPECT_FALSE(pr.PrintersPresent.isTrue());
}

}  // namespace
}  // namespace quorvane::agent
