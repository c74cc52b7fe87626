// ServerCoreFixture: the server without its window, for the tests of the
// server core and of its intake. A temporary program folder, a recording
// message sink and start-up view, audits written into DataStore, and a
// started server whose list statuses and activity texts are recorded.
// Header-only, for tests (uses gtest).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "server/core/ServerCore.h"
#include "server/testsupport/QtTestSupport.h"

namespace quorvane::testing {

// Records the loading window's file names and progress during start-up.
class RecordingView : public StartupView {
 public:
  void setLoadingFile(const std::string& name) override {
    files.push_back(name);
    if (onFile) onFile(name);
  }
  void setLoadingProgress(double fraction) override { progress.push_back(fraction); }
  void fillHardwareCategories() override { ++categoryFills; }
  std::vector<std::string> files;
  std::vector<double> progress;
  int categoryFills = 0;
  std::function<void(const std::string&)> onFile;
};

class ServerCoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureCoreApplication(); }

  void writeDataFile(const std::string& key, const AuditRecord& record) {
    dir.write("DataStore/" + key + ".dat", storedForm(record) + "\r\n");
  }

  std::unique_ptr<ServerCore> makeCore() { return std::make_unique<ServerCore>(dir.path(), sink); }

  // The error reports that name `where` as their place.
  std::vector<std::string> reportsAt(std::string_view where) const {
    std::vector<std::string> out;
    for (const auto& m : sink.messages) {
      if (m.text.starts_with("Error in : " + std::string(where) + "\r\n")) out.push_back(m.text);
    }
    return out;
  }

  static std::vector<QString> rowIps(ServerCore& core) {
    std::vector<QString> ips;
    for (const ClientRow& r : core.state().clientList().rows()) ips.push_back(r.ip);
    return ips;
  }

  TempFolder dir;
  RecordingSink sink;
  RecordingView view;
};

// A started server listening on a free loopback port.
class IntakeTest : public ServerCoreTest {
 protected:
  void startServer(IntakeLimits limits = {}) {
    core = makeCore();
    core->setIntakeLimits(limits);
    ASSERT_TRUE(core->start(view).ok());
    ASSERT_TRUE(core->intake().isListening());
    port = core->intake().port();
    QObject::connect(&core->state().clientList(), &ClientListModel::statusWritten,
                     [this](const QString& ip, const QString& s) { statuses.push_back(ip + ": " + s); });
    QObject::connect(core.get(), &ServerCore::activityChanged,
                     [this](const QString& a) { activities.push_back(a); });
  }

  bool waitForClients(int n) {
    return waitUntil([&] { return core->state().clientCount() >= n; });
  }
  bool waitIdle() {
    return waitUntil([&] { return core->intake().openConnections() == 0; });
  }

  std::unique_ptr<ServerCore> core;
  int port = 0;
  std::vector<QString> statuses;
  std::vector<QString> activities;
};

}  // namespace quorvane::testing
