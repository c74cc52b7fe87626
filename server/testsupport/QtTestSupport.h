// QtTestSupport: helpers for the server's tests (not linked by the program).
//
// An application object for tests without one, waiting on a condition while
// the event loop runs (never a fixed sleep), a temporary program folder,
// sample uploads, a message sink that records, and an agent stand-in that
// uploads from a chosen loopback address.
#pragma once

#include <QByteArray>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AuditRecord.h"
#include "server/core/MessageSink.h"

namespace quorvane::testing {

// Creates a QCoreApplication unless an application object exists.
void ensureCoreApplication();

// Runs the event loop until `condition` holds or `timeoutMs` passes.
bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 20000);

// Everything written to `stream` (a temporary file) so far, read from its start.
std::string readBack(std::FILE* stream);

// A temporary program folder, removed with the object.
class TempFolder {
 public:
  TempFolder();
  const std::string& path() const { return path_; }  // ends in "/"
  std::string dataStore() const { return path_ + "DataStore/"; }
  void write(const std::string& relative, std::string_view bytes) const;
  std::string read(const std::string& relative) const;
  bool exists(const std::string& relative) const;
  std::vector<std::string> list(const std::string& relativeFolder) const;  // sorted names

 private:
  QTemporaryDir dir_;
  std::string path_;
};

// A port on every IPv4 address that nothing listens on right now, taken
// below the system's ephemeral range (32768 and up on Linux): a port that
// listen(0) hands out may go at once to another test's outgoing connection
// once the probe closes it.
int freePortBelowEphemeral();

// The stored-file form of makeSampleAudit(applications, seed), with the
// machine's address, domain and listening port set.
AuditRecord sampleRecord(std::uint32_t seed, const std::string& ip, const std::string& domain = "WORKGROUP",
                         int listenPort = 0, int applications = 3);
std::string storedForm(const AuditRecord& record);

struct RecordedMessage {
  std::string title;
  std::string text;
  int style = 0;
};

class RecordingSink final : public MessageSink {
 public:
  void showMessage(std::string_view title, std::string_view text, int style) override {
    messages.push_back({std::string(title), std::string(text), style});
  }
  std::vector<RecordedMessage> messages;
};

// An agent's upload connection from `fromAddress` (a loopback address).
class Uploader {
 public:
  Uploader(const std::string& fromAddress, int serverPort);
  bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }
  // Writes `bytes` and waits until they are handed to the network.
  bool send(std::string_view bytes);
  void finish();  // half-close: the server sees the close
  QTcpSocket& socket() { return socket_; }

 private:
  QTcpSocket socket_;
};

}  // namespace quorvane::testing
