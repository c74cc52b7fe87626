#include "common/WholeFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ScratchFolders.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Every byte value, NULs and CR LF included, so that nothing is taken as text.
std::string allByteValues(std::size_t size) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
  return s;
}

struct Row {
  const char* name;
  std::string content;  // the file's bytes (unused for a folder or a missing file)
  std::uint64_t limit;
  long error;  // 0: the content comes back whole
  bool folder = false;
  bool missing = false;
};

TEST(readWholeFile, FilesAndLimits) {
  const std::vector<Row> rows = {
      {"empty file", "", 0, 0},
      {"empty file under a limit", "", 100, 0},
      {"one byte", "x", 1, 0},
      {"exactly at the limit", allByteValues(4096), 4096, 0},
      {"one byte over the limit", allByteValues(4097), 4096, kErrFileTooLarge},
      {"far over the limit", allByteValues(100000), 10, kErrFileTooLarge},
      {"one byte, limit zero", "x", 0, kErrFileTooLarge},
      {"larger than one read chunk", allByteValues(3 * 16384 + 5), 1u << 20, 0},
      {"NULs and CR LF kept", std::string("a\0b\r\n\0", 6), 6, 0},
      {"missing file", "", 100, kErrFileNotFound, false, true},
      {"a folder", "", 100, kErrPathAccess, true},
  };
  const fs::path dir = testing::scratchFolder("qv-wholefile", "rows");
  int n = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path p = dir / ("f" + std::to_string(n++));
    if (row.folder) {
      fs::create_directories(p);
    } else if (!row.missing) {
      writeFile(p, row.content);
    }
    Expected<std::string> got = readWholeFile(p, row.limit);
    if (row.error == 0) {
      ASSERT_TRUE(got.ok()) << got.status().description();
      EXPECT_EQ(*got, row.content);
    } else {
      ASSERT_FALSE(got.ok());
      EXPECT_EQ(got.status().number(), row.error);
      EXPECT_NE(got.status().description().find(p.string()), std::string::npos) << got.status().description();
      EXPECT_EQ(got.status().source(), "readWholeFile()");
    }
  }
}

TEST(readWholeFile, ErrorTexts) {
  const fs::path dir = testing::scratchFolder("qv-wholefile", "texts");
  writeFile(dir / "big", "12345");
  EXPECT_EQ(readWholeFile(dir / "absent", 10).status().description(), "File not found: " + (dir / "absent").string());
  EXPECT_EQ(readWholeFile(dir, 10).status().description(), "Path/File access error: " + dir.string());
  EXPECT_EQ(readWholeFile(dir / "big", 4).status().description(),
            "File too large: " + (dir / "big").string() + " (more than 4 bytes)");
  // A missing folder on the way is a missing file too.
  EXPECT_EQ(readWholeFile(dir / "absent" / "file", 10).status().number(), kErrFileNotFound);
}

TEST(readWholeFile, UnreadableFile) {
  const fs::path p = testing::scratchFolder("qv-wholefile", "unreadable") / "locked";
  writeFile(p, "secret");
  fs::permissions(p, fs::perms::none);
  if (std::FILE* f = std::fopen(p.string().c_str(), "rb")) {
    std::fclose(f);
    fs::permissions(p, fs::perms::owner_all);
    GTEST_SKIP() << "this user reads files without permission (root, or a file system without modes)";
  }
  Expected<std::string> got = readWholeFile(p, 100);
  fs::permissions(p, fs::perms::owner_all);
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.status().number(), kErrPathAccess);
  EXPECT_EQ(got.status().description(), "Path/File access error: " + p.string());
}

// A file the system lists as regular whose reading fails: /proc/self/mem
// reads from address 0 of this process, which is never mapped.
TEST(readWholeFile, ReadThatFails) {
  const fs::path mem = "/proc/self/mem";
  std::error_code ec;
  if (!fs::is_regular_file(mem, ec)) GTEST_SKIP() << "no /proc/self/mem here";
  Expected<std::string> got = readWholeFile(mem, 1u << 20);
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.status().number(), kErrPathAccess);
  EXPECT_EQ(got.status().description(), "Could not read /proc/self/mem");
}

// A device is not a file to read whole: /dev/zero would never end.
TEST(readWholeFile, DeviceIsRefused) {
  std::error_code ec;
  if (!fs::exists("/dev/zero", ec)) GTEST_SKIP() << "no /dev/zero here";
  Expected<std::string> got = readWholeFile("/dev/zero", 1u << 20);
  ASSERT_FALSE(got.ok());
  EXPECT_EQ(got.status().number(), kErrPathAccess);
}

// A file whose size the system does not know ahead (it reads as 0 bytes
// long) is read to its end all the same, and its limit still holds.
TEST(readWholeFile, FileOfUnknownSize) {
  std::error_code ec;
  if (!fs::is_regular_file("/proc/self/status", ec)) GTEST_SKIP() << "no /proc here";
  Expected<std::string> whole = readWholeFile("/proc/self/status", 1u << 20);
  ASSERT_TRUE(whole.ok()) << whole.status().description();
  EXPECT_NE(whole->find("Name:"), std::string::npos);
  Expected<std::string> cut = readWholeFile("/proc/self/status", 10);
  ASSERT_FALSE(cut.ok());
  EXPECT_EQ(cut.status().number(), kErrFileTooLarge);
}

}  // namespace
}  // namespace quorvane
