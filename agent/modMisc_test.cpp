// modMisc: paths, temporary files, byte helpers.
#include "agent/modMisc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <set>

#include "common/AuditRecordIO.h"

namespace quorvane::agent {
namespace {

namespace fs = std::filesystem;

fs::path freshFolder(const std::string& name) {
  fs::path p = fs::temp_directory_path() / ("qv-misc-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(p);
  fs::create_directories(p);
  return p;
}

TEST(modMisc, MakeGoodPath) {
  EXPECT_EQ(makeGoodPath("/opt/agent"), "/opt/agent/");
  EXPECT_EQ(makeGoodPath("/opt/agent/"), "/opt/agent/");
  EXPECT_EQ(makeGoodPath(""), "/");
}

TEST(modMisc, FileLen2) {
  const fs::path d = freshFolder("len");
  EXPECT_EQ(FileLen2(d / "missing"), 0u);
  EXPECT_EQ(FileLen2(d), 0u);  // a folder is no file
  ASSERT_TRUE(writeWholeFile(d / "five", "12345").ok());
  EXPECT_EQ(FileLen2(d / "five"), 5u);
  fs::remove_all(d);
}

TEST(modMisc, TemporaryFilesAreNewUniqueAndPrefixed) {
  const fs::path d = freshFolder("tmp");
  std::set<fs::path> names;
  for (int i = 0; i < 50; ++i) {
    fs::path p = getTemporaryFile(d);
    ASSERT_FALSE(p.empty());
    EXPECT_EQ(p.parent_path(), d);
    EXPECT_EQ(p.filename().string().rfind("KVX", 0), 0u);
    EXPECT_EQ(FileLen2(p), 0u);
    EXPECT_TRUE(fs::exists(p));
    names.insert(p);
  }
  EXPECT_EQ(names.size(), 50u);
  EXPECT_TRUE(getTemporaryFile(d / "no-such-folder").empty());
  fs::remove_all(d);
}

TEST(modMisc, SaveToTempFileWritesTheRecord) {
  const fs::path d = freshFolder("save");
  AuditRecord r;
  r.ListenPortNumber = 5001;
  r.Hardware.Network.IP = "127.0.0.1";
  auto p = saveToTempFile(r, d / "program", d);
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(p->parent_path(), d);
  auto bytes = readWholeFile(*p);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ(*bytes, writeAuditRecord(r));
  fs::remove_all(d);
}

TEST(modMisc, SaveToTempFileFallsBackToTheProgramFolder) {
  const fs::path d = freshFolder("fallback");
  fs::create_directories(d / "Temp");
  ASSERT_TRUE(writeWholeFile(d / "Temp" / "temp", std::string(1000, 'x')).ok());  // leftover
  AuditRecord r;
  r.AuditDate = "today";
  auto p = saveToTempFile(r, d, d / "no-temporary-folder");
  ASSERT_TRUE(p.ok());
  EXPECT_EQ(*p, d / "Temp" / "temp");
  EXPECT_EQ(*readWholeFile(*p), writeAuditRecord(r));
  fs::remove_all(d);
}

TEST(modMisc, ByteHelpers) {
  EXPECT_EQ(HiByte(0x1234), 0x12);
  EXPECT_EQ(LoByte(0x1234), 0x34);
  EXPECT_EQ(LoWord(0x0001FFFF), -1);
  EXPECT_EQ(LoWord(0x00017FFF), 0x7FFF);
  EXPECT_EQ(doStripTerminator(std::string("abc\0def", 7)), "abc");
  EXPECT_EQ(doStripTerminator("plain"), "plain");
}

}  // namespace
}  // namespace quorvane::agent
