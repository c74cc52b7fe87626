// Replays every committed fuzz input through the entries the fuzzers use:
// fuzz/regressions/<entry>/* (inputs that once broke a rule or crashed) and
// fuzz/corpus/<entry>/* (the seeds). Each must leave every rule intact, and
// each entry's seeds must hold at least one input that is read as valid, so
// that the fuzzer starts past the first check.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "fuzz/FuzzEntries.h"

namespace quorvane::fuzz {
namespace {

namespace fs = std::filesystem;

const fs::path kFuzzDir = fs::path(QUORVANE_SOURCE_DIR) / "fuzz";

// Every entry that has a fuzzer anywhere; the ones compiled into this test
// are listed by entries().
const std::set<std::string> kAllEntryNames{"audit_record", "stored_form", "he3", "b64",
                                           "server_settings", "upload_assembly", "report_catalog",
                                           "agent_settings", "command_envelope"};

std::vector<Entry> entries() {
  std::vector<Entry> all = commonEntries();
#ifdef QUORVANE_FUZZ_SERVER_ENTRIES
  const auto& server = serverEntries();
  all.insert(all.end(), server.begin(), server.end());
#endif
#ifdef QUORVANE_FUZZ_AGENT_ENTRIES
  const auto& agent = agentEntries();
  all.insert(all.end(), agent.begin(), agent.end());
#endif
  return all;
}

std::vector<fs::path> filesIn(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> subfolders(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_directory()) names.push_back(it->path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class FuzzInputs : public ::testing::TestWithParam<Entry> {};

TEST_P(FuzzInputs, RegressionsKeepEveryRule) {
  const Entry entry = GetParam();
  for (const fs::path& file : filesIn(kFuzzDir / "regressions" / entry.name)) {
    SCOPED_TRACE(file.string());
    const Verdict verdict = entry.run(readFile(file));
    EXPECT_EQ(verdict.violation, "");
  }
}

TEST_P(FuzzInputs, SeedsKeepEveryRuleAndOneIsValid) {
  const Entry entry = GetParam();
  const std::vector<fs::path> seeds = filesIn(kFuzzDir / "corpus" / entry.name);
  ASSERT_FALSE(seeds.empty()) << "no seeds for " << entry.name;
  int valid = 0;
  for (const fs::path& file : seeds) {
    SCOPED_TRACE(file.string());
    const Verdict verdict = entry.run(readFile(file));
    EXPECT_EQ(verdict.violation, "");
    if (verdict.accepted) ++valid;
  }
  EXPECT_GT(valid, 0) << "no seed of " << entry.name << " is read as valid";
}

INSTANTIATE_TEST_SUITE_P(Entries, FuzzInputs, ::testing::ValuesIn(entries()),
                         [](const ::testing::TestParamInfo<Entry>& info) { return std::string(info.param.name); });

// A folder under regressions/ or corpus/ that names no entry would never be
// replayed: a misspelt folder is an error, not a silent pass.
TEST(FuzzFolders, EveryFolderNamesAnEntry) {
  for (const char* kind : {"regressions", "corpus"}) {
    for (const std::string& name : subfolders(kFuzzDir / kind)) {
      EXPECT_TRUE(kAllEntryNames.count(name) == 1) << kind << "/" << name << " names no fuzz entry";
    }
  }
  for (const Entry& entry : entries()) EXPECT_EQ(kAllEntryNames.count(std::string(entry.name)), 1u) << entry.name;
}

}  // namespace
}  // namespace quorvane::fuzz
