// IntakeServer: the listening socket for agents' uploads and one upload
// buffer per accepted connection (the sckListen array of the console).
//
// Listens on IPv4 only; every peer address is reported in dotted IPv4 form.
// Events reach an IntakeEvents listener in this order per connection:
// opened, piece arrived (per piece), upload complete (whenever the end
// marker arrives), closed. A connection whose buffer passes the per-
// connection bound, or that would push the total of all buffers past the
// overall bound, is closed and reported as refused. A connection's buffer
// is dropped when it closes. An idle time-out (60 s by default; 0 turns it
// off) closes a connection that sent nothing for that long.
//
// Sized for a few thousand clients: a listen backlog of kListenBacklog, a
// running total of the buffers (no scan per piece), and accepting resumed
// after the system ran out of descriptors (retried every kAcceptRetryMs,
// and whenever a connection closes).
// The listener must outlive the server; single-threaded.
#pragma once

#include <QObject>
#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "common/Status.h"
#include "server/core/UploadAssembler.h"

class QTcpServer;
class QTcpSocket;
class QTimer;
class QHostAddress;

namespace quorvane {

inline constexpr long kErrUploadTooLarge = 7;      // "Out of memory" in the convention's numbering
inline constexpr long kErrAddressInUse = 10048;    // Windows Sockets: address in use
inline constexpr long kErrListenFailed = 10022;    // Windows Sockets: invalid argument

class IntakeEvents {
 public:
  virtual ~IntakeEvents() = default;
  virtual void onConnectionOpened(const std::string& ip, int openConnections) = 0;
  virtual void onPieceArrived(const std::string& ip) = 0;
  virtual void onUploadComplete(const std::string& ip, std::string upload) = 0;
  virtual void onUploadRefused(const std::string& ip, const Status& why) = 0;
  virtual void onConnectionClosed(const std::string& ip, int openConnections) = 0;
};

inline constexpr int kListenBacklog = 4096;
inline constexpr int kAcceptRetryMs = 100;

struct IntakeLimits {
  std::size_t perConnection = kMaxUploadBytes;
  std::size_t total = 256u * 1024 * 1024;
  int idleTimeoutMs = 60000;  // 0: no idle time-out
};

// The dotted IPv4 text of an address (IPv4-mapped IPv6 unwrapped).
std::string dottedAddress(const QHostAddress& address);

class IntakeServer : public QObject {
  Q_OBJECT

 public:
  IntakeServer(IntakeEvents& events, IntakeLimits limits = {}, QObject* parent = nullptr);
  ~IntakeServer() override;
  IntakeServer(const IntakeServer&) = delete;
  IntakeServer& operator=(const IntakeServer&) = delete;

  // Starts listening on `port` of every IPv4 address (0: any free port).
  Status listen(int port);
  void close();
  bool isListening() const;
  int port() const;
  int openConnections() const { return static_cast<int>(connections_.size()); }
  std::size_t totalBuffered() const { return buffered_; }
  int listenBacklog() const;
  // How often accepting a connection failed (out of descriptors, ...).
  int acceptFailures() const { return acceptFailures_; }

 private:
  struct Connection;

  void onNewConnection();
  void onReadyRead(QTcpSocket* socket);
  void onDisconnected(QTcpSocket* socket);
  void drain(Connection& c);
  void drop(QTcpSocket* socket);
  void onAcceptError();
  void resumeAccepting();

  IntakeEvents& events_;
  IntakeLimits limits_;
  QTcpServer* listener_;
  std::map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
  std::size_t buffered_ = 0;  // the total of all connections' buffers
  int acceptFailures_ = 0;
  bool acceptPaused_ = false;
};

}  // namespace quorvane
