#include "server/core/IntakeServer.h"

#include <QHostAddress>
#include <algorithm>
#include <chrono>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace quorvane {

namespace {
constexpr qint64 kReadBufferBytes = 256 * 1024;

std::int64_t nowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
}  // namespace

struct IntakeServer::Connection {
  QTcpSocket* socket = nullptr;
  std::string ip;
  UploadAssembler assembler;
  QTimer* idle = nullptr;
  QTimer* deadline = nullptr;
  bool closing = false;

  explicit Connection(std::size_t maxUpload) : assembler(maxUpload) {}
};

std::string dottedAddress(const QHostAddress& address) {
  bool isV4 = false;
  const quint32 v4 = address.toIPv4Address(&isV4);
  if (isV4) return QHostAddress(v4).toString().toStdString();
  return address.toString().toStdString();
}

IntakeServer::IntakeServer(IntakeEvents& events, IntakeLimits limits, QObject* parent)
    : QObject(parent), events_(events), limits_(limits), listener_(new QTcpServer(this)), share_(limits.share) {
  connect(listener_, &QTcpServer::newConnection, this, &IntakeServer::onNewConnection);
  connect(listener_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) { onAcceptError(); });
}

IntakeServer::~IntakeServer() {
  for (auto& [socket, c] : connections_) {
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
  }
  connections_.clear();
}

Status IntakeServer::listen(int port) {
  if (port < 0 || port > 65535) {
    return Status::Error(kErrListenFailed, "Invalid argument: listen port " + std::to_string(port));
  }
  if (listener_->isListening()) listener_->close();
  listener_->setListenBacklogSize(kListenBacklog);
  acceptPaused_ = false;
  if (!listener_->listen(QHostAddress::AnyIPv4, static_cast<quint16>(port))) {
    const bool inUse = listener_->serverError() == QAbstractSocket::AddressInUseError;
    return Status::Error(inUse ? kErrAddressInUse : kErrListenFailed,
                         (inUse ? "Address in use: port " : "Cannot listen on port ") + std::to_string(port) +
                             " (" + listener_->errorString().toStdString() + ")");
  }
  return Status::Ok();
}

void IntakeServer::close() { listener_->close(); }

bool IntakeServer::isListening() const { return listener_->isListening(); }

int IntakeServer::port() const { return listener_->serverPort(); }

int IntakeServer::listenBacklog() const { return listener_->listenBacklogSize(); }

// QTcpServer stops accepting when accept() fails for want of descriptors;
// it is started again a little later, and whenever a connection closes.
void IntakeServer::onAcceptError() {
  ++acceptFailures_;
  acceptPaused_ = true;
  QTimer::singleShot(kAcceptRetryMs, this, [this] { resumeAccepting(); });
}

void IntakeServer::resumeAccepting() {
  if (!acceptPaused_) return;
  acceptPaused_ = false;
  if (listener_->isListening()) listener_->resumeAccepting();
}

QTimer* IntakeServer::startTimer(QTcpSocket* socket, int ms) {
  if (ms <= 0) return nullptr;
  auto* timer = new QTimer(socket);
  timer->setSingleShot(true);
  timer->setInterval(ms);
  timer->start();
  return timer;
}

void IntakeServer::onNewConnection() {
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    std::string ip = dottedAddress(socket->peerAddress());
    if (!share_.mayConnect(ip, nowMs())) {
      ++turnedAway_;
      socket->abort();
      socket->deleteLater();
      continue;
    }
    share_.connectionOpened(ip);
    auto c = std::make_unique<Connection>(limits_.perConnection);
    c->socket = socket;
    c->ip = ip;
    socket->setReadBufferSize(kReadBufferBytes);
    c->idle = startTimer(socket, limits_.idleTimeoutMs);
    if (c->idle) connect(c->idle, &QTimer::timeout, socket, [this, socket] { drop(socket); });
    c->deadline = startTimer(socket, limits_.uploadDeadlineMs);
    if (c->deadline) connect(c->deadline, &QTimer::timeout, socket, [this, socket] { refuseSilently(socket); });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    connections_.emplace(socket, std::move(c));
    events_.onConnectionOpened(ip, openConnections());
    // Data that came with the connection is read by the readyRead that follows.
    if (socket->bytesAvailable() > 0) QTimer::singleShot(0, socket, [this, socket] { onReadyRead(socket); });
  }
}

void IntakeServer::onReadyRead(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  drain(*it->second);
}

void IntakeServer::drain(Connection& c) {
  while (!c.closing && c.socket->bytesAvailable() > 0) {
    // Exactly what is there: read(max) would allocate the whole maximum
    // (4 MB) for every piece; this size takes the socket's buffered block
    // without a copy.
    const QByteArray piece = c.socket->read(std::min<qint64>(c.socket->bytesAvailable(), kReadBufferBytes));
    if (piece.isEmpty()) break;
    if (c.idle) c.idle->start();
    events_.onPieceArrived(c.ip);

    const std::size_t held = c.assembler.held();
    if (!makeRoom(c, c.assembler.heldAfter(static_cast<std::size_t>(piece.size())) - held)) return;
    UploadAssembler::Result r = c.assembler.feed(std::string_view(piece.constData(), piece.size()));
    buffered_ = buffered_ - held + c.assembler.held();
    if (r.outcome == UploadAssembler::Outcome::Overflow) {
      refuse(c, Status::Error(kErrUploadTooLarge,
                              "Out of memory: upload larger than " + std::to_string(limits_.perConnection) + " bytes"));
      return;
    }
    if (r.outcome == UploadAssembler::Outcome::Complete) {
      if (c.deadline) c.deadline->start();  // the next upload on this connection has its own time
      events_.onUploadComplete(c.ip, std::move(r.upload));
    }
  }
}

// Frees memory for `more` bytes of growth of `c`'s buffer by closing the connections that hold
// the most, largest first. False when `c` itself was the largest (and is
// closed now).
bool IntakeServer::makeRoom(Connection& c, std::size_t more) {
  while (buffered_ + more > limits_.total) {
    Connection* largest = &c;
    std::size_t most = c.assembler.held() + more;
    for (auto& [socket, other] : connections_) {
      if (!other->closing && other->assembler.held() > most) {
        largest = other.get();
        most = other->assembler.held();
      }
    }
    const bool self = largest == &c;
    refuse(*largest, Status::Error(kErrUploadTooLarge, "Out of memory: the uploads in progress exceed " +
                                                           std::to_string(limits_.total) + " bytes; the largest (" +
                                                           std::to_string(largest->assembler.buffered()) +
                                                           " bytes) is dropped"));
    if (self) return false;
  }
  return true;
}

void IntakeServer::refuse(Connection& c, const Status& why) {
  const std::string ip = c.ip;
  events_.onUploadRefused(ip, why);
  drop(c.socket);
  uploadRejected(ip);
}

// Past the upload deadline: dropped without a report of its own (a fleet of
// slow senders would flood the reports); it counts against its source.
void IntakeServer::refuseSilently(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end() || it->second->closing) return;
  const std::string ip = it->second->ip;
  drop(socket);
  uploadRejected(ip);
}

void IntakeServer::uploadStored(const std::string& ip) { share_.stored(ip); }

void IntakeServer::uploadRejected(const std::string& ip) {
  if (!share_.rejected(ip, nowMs())) return;
  const SourceSharePolicy& p = share_.policy();
  events_.onSourceRefused(ip, Status::Error(kErrSourceRefused,
                                            "Connection refused: uploads from this address are refused for " +
                                                std::to_string(p.refusalMs / 1000) + " s after " +
                                                std::to_string(p.rejectsBeforeRefusal) + " rejected uploads within " +
                                                std::to_string(p.windowMs / 1000) + " s"));
}

void IntakeServer::drop(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end() || it->second->closing) return;
  it->second->closing = true;
  buffered_ -= it->second->assembler.held();
  it->second->assembler.clear();
  socket->abort();  // emits disconnected while connected
  if (connections_.count(socket)) onDisconnected(socket);
}

void IntakeServer::onDisconnected(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end()) return;
  Connection& c = *it->second;
  if (!c.closing) drain(c);  // bytes that arrived together with the close
  // drain may have dropped the connection already.
  it = connections_.find(socket);
  if (it == connections_.end()) return;
  const std::string ip = it->second->ip;
  buffered_ -= it->second->assembler.held();
  connections_.erase(it);
  share_.connectionClosed(ip);
  resumeAccepting();  // a descriptor is free again
  socket->disconnect(this);
  socket->deleteLater();
  events_.onConnectionClosed(ip, openConnections());
}

}  // namespace quorvane
