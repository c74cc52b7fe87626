// makeMachineAudit: a machine file the fixture backend refuses is an error
// with its reason; a usable one gives an audit function that fills the
// record and hands each collector's report to the caller.
#include "agent/AgentMachine.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ErrorNumbers.h"
#include "common/ScratchFolders.h"

namespace quorvane::agent {
namespace {

namespace fs = std::filesystem;

const fs::path kSamples = fs::path(QUORVANE_SOURCE_DIR) / "tests/fixtures/machines";

TEST(MakeMachineAudit, UnusableMachineFilesAreRefusedWithTheirReason) {
  const fs::path dir = quorvane::testing::scratchFolder("quorvane-agentmachine", "files");
  std::ofstream(dir / "truncated.json") << "{\"version\": ";
  std::ofstream(dir / "list.json") << "[1, 2]";
  std::ofstream(dir / "unknown-type.json")
      << R"({"registry": {"HKEY_LOCAL_MACHINE\\A": {"V": {"type": "REG_QWORD", "value": 1}}}})";
  struct Row {
    const char* name;
    fs::path file;
    long number;
    const char* mentions;
  };
  const Row rows[] = {
      {"missing file", dir / "absent.json", kErrFileNotFound, "absent.json"},
      {"a folder", dir, kErrPathAccess, "not a plain file"},
      {"not JSON", dir / "truncated.json", kErrBadFileFormat, "not a JSON document"},
      {"not an object", dir / "list.json", kErrBadFileFormat, "must be a JSON object"},
      {"unknown registry type", dir / "unknown-type.json", kErrBadFileFormat, "unknown registry type"},
  };
  for (const auto& row : rows) {
    auto audit = makeMachineAudit(row.file);
    ASSERT_FALSE(audit.ok()) << row.name;
    EXPECT_EQ(audit.status().number(), row.number) << row.name << ": " << audit.status().description();
    EXPECT_NE(audit.status().description().find(row.mentions), std::string::npos)
        << row.name << ": " << audit.status().description();
  }
}

TEST(MakeMachineAudit, SampleMachineFillsTheRecordAndPassesReportsOn) {
  auto audit = makeMachineAudit(kSamples / "winxp-pro.json");
  ASSERT_TRUE(audit.ok()) << audit.status().description();
  AuditRecord record;
  std::vector<std::string> reports;
  (*audit)(record, "127.0.0.1", [&](const std::string& text) { reports.push_back(text); });
  EXPECT_EQ(record.Hardware.Processor.CPUVersion, "GenuineIntel &HBB0");
  EXPECT_EQ(record.Hardware.Drives.size(), 5u);
  // The sample's keyboard names a driver file it does not have.
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind("Error in : QuorvanePro.modHKeyboard.getKeyboard", 0), 0u) << reports[0];

  // Without a receiver the reports are dropped and the audit still completes.
  AuditRecord second;
  (*audit)(second, "127.0.0.1", nullptr);
  EXPECT_EQ(second.Hardware, record.Hardware);
}

}  // namespace
}  // namespace quorvane::agent
