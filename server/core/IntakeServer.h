// IntakeServer: the listening socket for agents' uploads and one upload
// buffer per accepted connection (the sckListen array of the console).
//
// Listens on IPv4 only; every peer address is reported in dotted IPv4 form.
// Events reach an IntakeEvents listener in this order per connection:
// opened, piece arrived (per piece), upload complete (whenever the end
// marker arrives), closed. A connection's buffer is dropped when it closes.
//
// Bounds, so that slow, endless or hostile senders cannot hold the intake:
// - a connection whose buffer passes the per-connection bound is closed and
//   reported as refused;
// - when a piece would push the memory held by all buffers past the overall
//   bound, the connection holding the most is closed and reported (a small
//   upload is never refused for a big one's sake);
// - an idle time-out (60 s by default; 0 turns it off) closes a connection
//   that sent nothing for that long, and an upload deadline (120 s; 0: off)
//   one whose upload is not complete that long after it began (after the
//   connection opened or the previous upload ended);
// - each source address gets its share (SourceShare): a few connections at
//   once, and a source whose uploads keep being rejected is refused for a
//   while, reported once through onSourceRefused.
// The owner tells the intake what became of each complete upload
// (uploadStored, uploadRejected) so that the shares can follow.
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
#include "server/core/ServerErrors.h"
#include "server/core/SourceShare.h"
#include "server/core/UploadAssembler.h"

class QTcpServer;
class QTcpSocket;
class QTimer;
class QHostAddress;

namespace quorvane {

class IntakeEvents {
 public:
  virtual ~IntakeEvents() = default;
  virtual void onConnectionOpened(const std::string& ip, int openConnections) = 0;
  virtual void onPieceArrived(const std::string& ip) = 0;
  virtual void onUploadComplete(const std::string& ip, std::string upload) = 0;
  virtual void onUploadRefused(const std::string& ip, const Status& why) = 0;
  virtual void onConnectionClosed(const std::string& ip, int openConnections) = 0;
  // A source is refused for a while (reported once per source).
  virtual void onSourceRefused(const std::string& ip, const Status& why) = 0;
};

inline constexpr int kListenBacklog = 4096;
inline constexpr int kAcceptRetryMs = 100;

struct IntakeLimits {
  std::size_t perConnection = kMaxUploadBytes;
  std::size_t total = 256u * 1024 * 1024;
  int idleTimeoutMs = 60000;       // 0: no idle time-out
  int uploadDeadlineMs = 120000;   // 0: no deadline
  SourceSharePolicy share;
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
  // Connections closed at once because their source had used its share.
  int turnedAway() const { return turnedAway_; }
  const SourceShare& share() const { return share_; }

  // What became of a complete upload of `ip`.
  void uploadStored(const std::string& ip);
  void uploadRejected(const std::string& ip);

 private:
  struct Connection;

  void onNewConnection();
  void onReadyRead(QTcpSocket* socket);
  void onDisconnected(QTcpSocket* socket);
  void drain(Connection& c);
  bool makeRoom(Connection& c, std::size_t more);
  void refuse(Connection& c, const Status& why);
  void refuseSilently(QTcpSocket* socket);
  void drop(QTcpSocket* socket);
  QTimer* startTimer(QTcpSocket* socket, int ms);
  void onAcceptError();
  void resumeAccepting();

  IntakeEvents& events_;
  IntakeLimits limits_;
  QTcpServer* listener_;
  std::map<QTcpSocket*, std::unique_ptr<Connection>> connections_;
  std::size_t buffered_ = 0;  // the total of all connections' buffers
  int acceptFailures_ = 0;
  int turnedAway_ = 0;
  bool acceptPaused_ = false;
  SourceShare share_;
};

}  // namespace quorvane
