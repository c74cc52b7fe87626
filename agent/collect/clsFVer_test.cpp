#include "agent/collect/clsFVer.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"
#include "common/ErrorReport.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;

const char* kMachine = R"({"files": {"systemDirectory": "C:\\WINDOWS\\SYSTEM", "list": {
  "C:\\WINDOWS\\SYSTEM\\KEYBOARD.DRV": {"modified": "1999-04-23 22:22:05",
    "version": {"fileVersion": "4.10.0.2222", "fileOS": 1, "translations": [[1033, 1252], [1031, 1252]],
      "strings": {"040904E4": {"CompanyName": "  Microsoft Corporation  ", "FileVersion": "4.10.2222",
                               "OriginalFilename": "KEYBOARD.DRV"},
                  "040704E4": {"CompanyName": "Deutsch"}}}},
  "C:\\WINDOWS\\SYSTEM\\NT.DLL": {"modified": "2001-12-31 08:09:10",
    "version": {"fileVersion": "65535.1.2.65534", "fileOS": 2, "translations": [[0, 1200]],
      "strings": {"000004B0": {"ProductName": "Neutral"}}}},
  "C:\\WINDOWS\\SYSTEM\\OS2.DLL": {"modified": "2001-12-31 08:09:10",
    "version": {"fileVersion": "1.0.0.0", "fileOS": "0x00040004"}},
  "C:\\WINDOWS\\SYSTEM\\PLAIN.DRV": {"modified": "2000-01-01 00:00:00"},
  "C:\\LONG.DLL": {"version": {"translations": [[1033, 1252]],
      "strings": {"040904E4": {"FileDescription": "%LONG%"}}}}
}}})";

TEST(ClsFVer, GetVersionClassicReadsTheFixedBlock) {
  auto m = machineFromJson(kMachine);
  struct Row {
    const char* file;
    std::int32_t major, minor, build, qfe;
    const char* platformText;
    const char* date;
    const char* time;
  } rows[] = {
      {"keyboard.drv", 4, 10, 0, 2222, "Windows 9x", "23/04/1999", "22:22:05"},
      {"NT.DLL", 65535, 1, 2, 65534, "Windows NT", "31/12/2001", "08:09:10"},
      {"OS2.DLL", 1, 0, 0, 0, "Windows 3.xx", "31/12/2001", "08:09:10"},
  };
  for (const auto& r : rows) {
    clsFVer v(*m->files);
    v.GetVersionClassic(r.file);
    EXPECT_EQ(v.MajorVersion(), r.major) << r.file;
    EXPECT_EQ(v.MinorVersion(), r.minor) << r.file;
    EXPECT_EQ(v.BuildNumber(), r.build) << r.file;
    EXPECT_EQ(v.QFEVersion(), r.qfe) << r.file;
    EXPECT_EQ(v.Platform(), r.platformText) << r.file;
    EXPECT_EQ(v.FileDate(), r.date) << r.file;
    EXPECT_EQ(v.FileTime(), r.time) << r.file;
  }
}

TEST(ClsFVer, GetVersionClassicRaisesForMissingFilesAndResources) {
  auto m = machineFromJson(kMachine);
  clsFVer v(*m->files);
  try {
    v.GetVersionClassic("NOPE.DRV");
    FAIL() << "no error raised";
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.number(), 28001);
    EXPECT_EQ(e.description(), "File was not found : C:\\WINDOWS\\SYSTEM\\NOPE.DRV");
    EXPECT_EQ(e.source(), "QuorvanePro File Version");
  }
  try {
    v.GetVersionClassic("PLAIN.DRV");
    FAIL() << "no error raised";
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.number(), 28002);
    EXPECT_EQ(e.description(), "Version Information Resource not found");
  }
  // The date was taken before the resource was found missing.
  EXPECT_EQ(v.FileDate(), "01/01/2000");
  EXPECT_EQ(v.MajorVersion(), 0);
}

TEST(ClsFVer, GetFileInfoReadsTheFirstTranslationsStrings) {
  auto m = machineFromJson(kMachine);
  clsFVer v(*m->files);
  EXPECT_EQ(v.CompanyName(), "");
  ASSERT_TRUE(v.GetFileInfo("C:\\WINDOWS\\SYSTEM\\KEYBOARD.DRV"));
  EXPECT_EQ(v.CompanyName(), "Microsoft Corporation");  // trimmed; first pair, not 0407
  EXPECT_EQ(v.FileVersion(), "4.10.2222");
  EXPECT_EQ(v.OriginalFileName(), "KEYBOARD.DRV");
  EXPECT_EQ(v.ProductName(), "");  // missing entry

  // Without a resource: false, strings unchanged.
  EXPECT_FALSE(v.GetFileInfo("C:\\WINDOWS\\SYSTEM\\PLAIN.DRV"));
  EXPECT_FALSE(v.GetFileInfo("C:\\NOWHERE.DLL"));
  EXPECT_EQ(v.CompanyName(), "Microsoft Corporation");

  // Language-neutral block 000004B0 is found (eight digits always).
  ASSERT_TRUE(v.GetFileInfo("C:\\WINDOWS\\SYSTEM\\NT.DLL"));
  EXPECT_EQ(v.ProductName(), "Neutral");
  EXPECT_EQ(v.CompanyName(), "");
}

TEST(ClsFVer, StringsAreCutAt128Characters) {
  std::string json = kMachine;
  json.replace(json.find("%LONG%"), 6, std::string(100, 'a') + std::string(40, 'b'));
  auto m = machineFromJson(json);
  clsFVer v(*m->files);
  ASSERT_TRUE(v.GetFileInfo("c:\\long.dll"));
  EXPECT_EQ(v.FileDescription(), std::string(100, 'a') + std::string(28, 'b'));
}

TEST(ClsFVer, BlockNames) {
  EXPECT_EQ(versionBlockName(0x0409, 0x04E4), "040904E4");
  EXPECT_EQ(versionBlockName(0x0000, 0x04B0), "000004B0");
  EXPECT_EQ(versionBlockName(0x0C0A, 0xFFFF), "0C0AFFFF");
  EXPECT_EQ(versionBlockName(0x0407, 0x0000), "04070000");
}

}  // namespace
}  // namespace quorvane::agent
