// Runs the built quorvane-audit program on files written here.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "common/modCompression.h"
#include "common/Text8.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

const std::string kTool = QUORVANE_BINARY_DIR "/bin/quorvane-audit";

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void writeFile(const fs::path& p, const std::string& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class QuorvaneAuditTool : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quorvane-audit-test-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path file(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / name;
    writeFile(p, bytes);
    return p;
  }

  // Runs the tool with `args` (already quoted for the shell), stdin from `input`.
  ToolRun run(const std::string& args, const std::string& input = {}) {
    const fs::path in = file("stdin.bin", input);
    const fs::path out = dir_ / "stdout.txt";
    const fs::path err = dir_ / "stderr.txt";
    const std::string cmd = "'" + kTool + "' " + args + " <'" + in.string() + "' >'" + out.string() +
                            "' 2>'" + err.string() + "'";
    const int raw = std::system(cmd.c_str());
    ToolRun r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = readFile(out);
    r.err = readFile(err);
    return r;
  }

  ToolRun dump(const fs::path& p) { return run("dump '" + p.string() + "'"); }

  fs::path dir_;
};

TEST_F(QuorvaneAuditTool, DumpsEveryFormOfAnAuditFile) {
  AuditRecord r = makeSampleAudit(5, 77);
  r.Software.Windows.RegisteredOwner = "Jos\xE9 \x80";
  r.Software.Windows.ScreenReviewer = Flag::fromRaw(1);
  const std::string raw = writeAuditRecord(r);
  const std::string stored = encodeStoredAudit(r);

  AuditRecord lookalike;  // a raw record whose first bytes read "1" NUL
  lookalike.Software.Windows.RegisteredOwner = std::string(49, 'o');

  const struct {
    const char* name;
    std::string bytes;
    const AuditRecord* record;
  } rows[] = {
      {"agent.dat", stored, &r},
      {"datastore.dat", stored + "\r\n", &r},
      {"raw.bin", raw, &r},
      {"raw-with-extra.bin", raw + "extra bytes", &r},
      {"lookalike.bin", writeAuditRecord(lookalike), &lookalike},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const ToolRun result = dump(file(row.name, row.bytes));
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const auto j = nlohmann::json::parse(result.out);
    const AuditRecord& want = *row.record;
    EXPECT_EQ(j["Software"]["Windows"]["RegisteredOwner"],
              windows1252ToUtf8(want.Software.Windows.RegisteredOwner));
    EXPECT_EQ(j["Hardware"]["Network"]["IP"], want.Hardware.Network.IP);
    EXPECT_EQ(j["ListenPortNumber"], want.ListenPortNumber);
    EXPECT_EQ(j["Software"]["Windows"]["ScreenReviewer"], want.Software.Windows.ScreenReviewer.isTrue());
    if (want.Software.Applications.present)
      EXPECT_EQ(j["Software"]["Applications"].size(), want.Software.Applications.size());
    else
      EXPECT_TRUE(j["Software"]["Applications"].is_null());
  }
}

TEST_F(QuorvaneAuditTool, DumpShowsTheSampleValues) {
  const ToolRun result = dump(file("a.dat", encodeStoredAudit(makeSampleAudit(2, 0))));
  ASSERT_EQ(result.status, 0) << result.err;
  const auto j = nlohmann::json::parse(result.out);
  EXPECT_EQ(j["Hardware"]["Network"]["IP"], "127.0.0.1");
  EXPECT_EQ(j["Hardware"]["PrintersPresent"], true);
  EXPECT_EQ(j["Hardware"]["Drives"].back()["DriveName"], "");
  EXPECT_EQ(j["Hardware"]["Sound"]["WaveInDevices"][0]["DeviceName"], "Microsoft Sound Mapper");
  EXPECT_EQ(j["Hardware"]["Keyboard"]["ANSICodePage"], "1252");
}

TEST_F(QuorvaneAuditTool, BadInputGivesOneLineAndStatusOne) {
  const std::string raw = writeAuditRecord(makeSampleAudit(3, 1));
  const std::string stored = encodeStoredAudit(makeSampleAudit(3, 1));
  std::string damaged = stored;
  damaged[damaged.size() / 2] = static_cast<char>(damaged[damaged.size() / 2] ^ 0x5A);
  const std::string body = stored.substr(stored.find('\0') + 1);

  const struct {
    const char* name;
    std::string bytes;
    const char* mentions;
  } rows[] = {
      {"empty", "", "stream ends early"},
      {"truncated-raw", raw.substr(0, raw.size() / 2), "stream ends early"},
      {"bad-dimensions", std::string(60, '\0') + "\x02" + std::string(200, '\0'), "dimension count 2"},
      {"damaged-stream", damaged, "stored audit file"},
      {"truncated-stream", stored.substr(0, stored.size() - 10), "stored audit file"},
      {"length-too-large", std::to_string(raw.size() + 5) + std::string(1, '\0') + body, "stored audit file"},
      {"length-too-small", std::to_string(raw.size() - 5) + std::string(1, '\0') + body, "stored audit file"},
      {"stored-short-record", makeStoredForm(raw.substr(0, 50)), "stored audit file: Software.Windows"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    const fs::path p = file(row.name, row.bytes);
    const ToolRun result = dump(p);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.out, "");
    ASSERT_FALSE(result.err.empty());
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find(p.string()), std::string::npos) << result.err;
    EXPECT_NE(result.err.find(row.mentions), std::string::npos) << result.err;
  }

  const ToolRun missing = dump(dir_ / "no-such-file.dat");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos) << missing.err;

  const ToolRun folder = dump(dir_);
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err.find('\n'), folder.err.size() - 1) << folder.err;
}

TEST_F(QuorvaneAuditTool, WrongUsageGivesStatusTwo) {
  const char* rows[] = {"", "frobnicate", "dump", "dump a b", "he3", "he3 squash", "b64 encode extra"};
  for (const char* args : rows) {
    SCOPED_TRACE(args);
    const ToolRun result = run(args);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
    EXPECT_NE(result.err.find("--help"), std::string::npos);
  }
  const ToolRun help = run("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("quorvane-audit dump FILE"), std::string::npos);
  EXPECT_NE(help.out.find("Exit status"), std::string::npos);
}

TEST_F(QuorvaneAuditTool, CodecFiltersRoundTripThroughTheProgram) {
  std::string data;
  for (int i = 0; i < 3000; ++i) data += static_cast<char>((i * 7) % 251);
  for (const char* codec : {"he3", "b64"}) {
    SCOPED_TRACE(codec);
    const ToolRun encoded = run(std::string(codec) + " encode", data);
    ASSERT_EQ(encoded.status, 0) << encoded.err;
    EXPECT_NE(encoded.out, data);
    const ToolRun decoded = run(std::string(codec) + " decode", encoded.out);
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(decoded.out, data);
  }
  const ToolRun badB64 = run("b64 decode", "abc");
  EXPECT_EQ(badB64.status, 1);
  EXPECT_EQ(badB64.err.find('\n'), badB64.err.size() - 1) << badB64.err;
  const ToolRun badHe3 = run("he3 decode", "not a container");
  EXPECT_EQ(badHe3.status, 1);
  EXPECT_EQ(badHe3.err.find('\n'), badHe3.err.size() - 1) << badHe3.err;
}

}  // namespace
}  // namespace quorvane
