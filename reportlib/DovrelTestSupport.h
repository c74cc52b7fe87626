// Helpers shared by the report library's tests: a scratch folder, stored
// audit files, a host that records its messages, CR LF line splitting and
// sample machines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "common/AuditRecord.h"
#include "common/AuditRecordIO.h"
#include "reportlib/ReportHost.h"

namespace dovrel::testing {

class TempDir {
 public:
  TempDir() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() /
            ("dovrel-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

inline void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream buf;
  buf << in.rdbuf();
  return buf.str();
}

// A DataStore copy: the stored-file form and the CR LF the server adds.
inline std::string writeStored(const TempDir& dir, const std::string& name,
                               const quorvane::AuditRecord& record) {
  const std::string path = dir.file(name);
  writeBytes(path, quorvane::encodeStoredAudit(record) + "\r\n");
  return path;
}

// Splits at CR LF; fails the test for a bare LF or CR. The text after the
// last CR LF (normally empty) is the last element.
inline std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2) {
    lines.push_back(text.substr(from, at - from));
  }
  lines.push_back(text.substr(from));
  return lines;
}

struct Recorded {
  std::int32_t icon;
  std::string text;
};

// A quiet, non-interactive host that keeps every message.
inline ReportHost recordingHost(std::vector<Recorded>& messages) {
  return ReportHost(QV_HOST_QUIET, [&messages](std::int32_t icon, const std::string& text) {
    messages.push_back({icon, text});
  });
}

// A record with the given identity and application names; the application
// list ends in the empty closing element the agent writes.
inline quorvane::AuditRecord machine(const std::string& ip, const std::string& host,
                                     const std::string& domain,
                                     const std::vector<std::string>& apps) {
  quorvane::AuditRecord r;
  r.Hardware.Network.IP = ip;
  r.Hardware.Network.Hostname = host;
  r.Hardware.Network.DomainName = domain;
  if (!apps.empty()) {
    for (const auto& a : apps) {
      quorvane::ApplicationInfo info;
      info.DisplayName = a;
      r.Software.Applications.push_back(info);
    }
    r.Software.Applications.push_back(quorvane::ApplicationInfo{});
  }
  return r;
}

// A record of the lab domain with (name, version) applications and the
// closing element.
inline quorvane::AuditRecord withApps(const std::string& ip, const std::string& host,
                                      const std::vector<std::pair<std::string, std::string>>& apps) {
  quorvane::AuditRecord r = machine(ip, host, "LAB", {});
  for (const auto& [name, version] : apps) {
    quorvane::ApplicationInfo info;
    info.DisplayName = name;
    info.DisplayVersion = version;
    r.Software.Applications.push_back(info);
  }
  r.Software.Applications.push_back(quorvane::ApplicationInfo{});
  return r;
}

// A stored audit for the CSV reports: a host name with a comma, a blank
// application name and one with quotes; audited 01/02/2003 04:05:06.
inline std::string writeCsvSample(const TempDir& dir) {
  auto r = machine("127.0.0.1", "PC,1", "D", {"Word", "  ", "Zip \"x\""});
  r.AuditDate = "01/02/2003 04:05:06";
  return writeStored(dir, "a.dat", r);
}

}  // namespace dovrel::testing
