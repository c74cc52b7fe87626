#include "server/core/IntakeServer.h"

#include <QHostAddress>
#include <algorithm>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace quorvane {

namespace {
constexpr qint64 kReadBufferBytes = 4 * 1024 * 1024;
}

struct IntakeServer::Connection {
  QTcpSocket* socket = nullptr;
  std::string ip;
  UploadAssembler assembler;
  QTimer* idle = nullptr;
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
    : QObject(parent), events_(events), limits_(limits), listener_(new QTcpServer(this)) {
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

void IntakeServer::onNewConnection() {
  while (QTcpSocket* socket = listener_->nextPendingConnection()) {
    auto c = std::make_unique<Connection>(limits_.perConnection);
    c->socket = socket;
    c->ip = dottedAddress(socket->peerAddress());
    socket->setReadBufferSize(kReadBufferBytes);
    if (limits_.idleTimeoutMs > 0) {
      c->idle = new QTimer(socket);
      c->idle->setSingleShot(true);
      c->idle->setInterval(limits_.idleTimeoutMs);
      connect(c->idle, &QTimer::timeout, socket, [this, socket] { drop(socket); });
      c->idle->start();
    }
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onDisconnected(socket); });
    const std::string ip = c->ip;
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

    if (buffered_ + static_cast<std::size_t>(piece.size()) > limits_.total) {
      events_.onUploadRefused(c.ip, Status::Error(kErrUploadTooLarge,
                                                   "Out of memory: the uploads in progress exceed " +
                                                       std::to_string(limits_.total) + " bytes"));
      drop(c.socket);
      return;
    }
    const std::size_t held = c.assembler.buffered();
    UploadAssembler::Result r = c.assembler.feed(std::string_view(piece.constData(), piece.size()));
    buffered_ = buffered_ - held + c.assembler.buffered();
    if (r.outcome == UploadAssembler::Outcome::Overflow) {
      events_.onUploadRefused(c.ip, Status::Error(kErrUploadTooLarge,
                                                   "Out of memory: upload larger than " +
                                                       std::to_string(limits_.perConnection) + " bytes"));
      drop(c.socket);
      return;
    }
    if (r.outcome == UploadAssembler::Outcome::Complete) {
      events_.onUploadComplete(c.ip, std::move(r.upload));
    }
  }
}

void IntakeServer::drop(QTcpSocket* socket) {
  auto it = connections_.find(socket);
  if (it == connections_.end() || it->second->closing) return;
  it->second->closing = true;
  buffered_ -= it->second->assembler.buffered();
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
  buffered_ -= it->second->assembler.buffered();
  connections_.erase(it);
  resumeAccepting();  // a descriptor is free again
  socket->disconnect(this);
  socket->deleteLater();
  events_.onConnectionClosed(ip, openConnections());
}

}  // namespace quorvane
