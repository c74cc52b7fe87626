// Test helpers of the collectors: a machine from JSON text or a sample file,
// a context that records the error reports, and a registry that fails on a
// chosen call.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/collect/CollectContext.h"
#include "common/ErrorReport.h"
#include "platform/Platform.h"

namespace quorvane::agent::testing {

// A machine from JSON text, or the fixture backend's reason to refuse it.
inline Expected<std::unique_ptr<platform::Platform>> fixtureFromJson(const std::string& json) {
  static int counter = 0;
  auto path = std::filesystem::temp_directory_path() /
              ("quorvane-collect-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
               ".json");
  std::ofstream(path, std::ios::binary) << json;
  auto p = platform::makeFixturePlatform(path);
  std::filesystem::remove(path);
  return p;
}

inline std::unique_ptr<platform::Platform> machineFromJson(const std::string& json) {
  auto p = fixtureFromJson(json);
  if (!p.ok()) throw std::runtime_error(p.status().description());
  return std::move(*p);
}

inline std::unique_ptr<platform::Platform> sampleMachine(const std::string& name) {
  auto p = platform::makeFixturePlatform(std::filesystem::path(QUORVANE_SOURCE_DIR) /
                                         "tests/fixtures/machines" / name);
  if (!p.ok()) throw std::runtime_error(p.status().description());
  return std::move(*p);
}

// A machine with registry values of every type and a small key tree.
inline constexpr const char* kRegistryMachine = R"({"registry": {
  "HKEY_LOCAL_MACHINE\\Soft\\Values": {
    "zero": {"type": "REG_DWORD", "value": 0},
    "ff": {"type": "REG_DWORD", "value": 255},
    "year": {"type": "REG_DWORD", "value": 1997},
    "all": {"type": "REG_DWORD", "value": 4294967295},
    "high": {"type": "REG_DWORD", "value": 2147483648},
    "short dword": {"type": "REG_DWORD", "data": "FF 01"},
    "be": {"type": "REG_DWORD_BIG_ENDIAN", "value": 1997},
    "text": {"type": "REG_SZ", "value": "  Jane Doe  "},
    "expand": {"type": "REG_EXPAND_SZ", "value": "%SystemRoot%\\system32"},
    "unterminated": {"type": "REG_SZ", "data": "41 42"},
    "binary": {"type": "REG_BINARY", "value": "01 AB"},
    "binary empty": {"type": "REG_BINARY", "data": ""},
    "embedded nul": {"type": "REG_SZ", "data": "61 00 62 20 00"},
    "multi": {"type": "REG_MULTI_SZ", "value": ["one", "two"]},
    "empty": {"type": "REG_SZ", "value": ""},
    "": {"type": "REG_SZ", "value": "default"}
  },
  "HKEY_CURRENT_USER\\Soft\\Values": {"text": {"type": "REG_SZ", "value": "user"}},
  "HKEY_LOCAL_MACHINE\\Tree\\A\\Child": {},
  "HKEY_LOCAL_MACHINE\\Tree\\B": {},
  "HKEY_LOCAL_MACHINE\\Tree\\C\\X": {}
}})";

// A context over `machine` whose reports land in `reports`.
struct Recorder {
  std::vector<CollectReport> reports;
  CollectContext context(platform::Platform& machine, std::string serverIP = {}) {
    return CollectContext{machine, std::move(serverIP),
                          [this](const CollectReport& r) { reports.push_back(r); }, {}};
  }
};

// A context over a machine that keeps the full text of each report.
struct ReportTexts {
  std::vector<std::string> texts;
  CollectContext on(platform::Platform& machine) {
    return CollectContext{machine, {}, [this](const CollectReport& r) { texts.push_back(r.text); }, {}};
  }
};

// A machine service taken away, for the rows of a test of what a collector
// reports without it.
struct MissingService {
  const char* name;
  void (*remove)(platform::Platform&);
};

// Whether `texts` holds exactly one report, from `where`
// ("QuorvanePro.<module>.<procedure>") with error `number`.
inline ::testing::AssertionResult oneReport(const std::vector<std::string>& texts, const std::string& where,
                                            long number) {
  if (texts.size() != 1) return ::testing::AssertionFailure() << texts.size() << " reports";
  const std::string head = "Error in : " + where + "\r\n\r\nError Number : " + std::to_string(number) + "\r\n";
  if (texts[0].rfind(head, 0) != 0) return ::testing::AssertionFailure() << "the report is " << texts[0];
  return ::testing::AssertionSuccess();
}

// The reports of the software collectors and of the assembly (the hardware
// collectors' reports left out: their sections are tested on their own).
inline std::vector<CollectReport> softwareReports(const Recorder& rec) {
  std::vector<CollectReport> out;
  for (const auto& r : rec.reports)
    if (r.where.rfind("QuorvanePro.modH", 0) != 0) out.push_back(r);
  return out;
}

inline std::vector<std::string> reportTexts(const std::vector<CollectReport>& reports) {
  std::vector<std::string> out;
  for (const auto& r : reports) out.push_back(r.text);
  return out;
}

// A registry that answers from `inner` but raises an error when the value
// `failOn` is queried.
class FailingRegistry final : public platform::RegistryStore {
 public:
  FailingRegistry(std::unique_ptr<platform::RegistryStore> inner, std::string failOn)
      : inner_(std::move(inner)), failOn_(std::move(failOn)) {}
  bool keyExists(platform::RootKey r, std::string_view p) const override {
    return inner_->keyExists(r, p);
  }
  std::optional<std::string> subKeyName(platform::RootKey r, std::string_view p,
                                        std::uint32_t i) const override {
    return inner_->subKeyName(r, p, i);
  }
  std::optional<platform::RegValue> queryValue(platform::RootKey r, std::string_view p,
                                               std::string_view n) const override {
    if (n == failOn_) throw RaisedError(5, "Invalid procedure call or argument");
    return inner_->queryValue(r, p, n);
  }

 private:
  std::unique_ptr<platform::RegistryStore> inner_;
  std::string failOn_;
};

}  // namespace quorvane::agent::testing
