#include "server/core/CommandDispatcher.h"

#include <QHostAddress>
#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>
#include <vector>

#include "common/CommandEnvelope.h"
#include "server/core/ServerState.h"
#include "server/core/ServerTexts.h"
#include "server/core/modMisc.h"

namespace quorvane {

namespace {
QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

struct CommandDispatcher::Outgoing {
  QTcpSocket* socket = nullptr;
  QTimer* timer = nullptr;
  QString ip;
  int port = 0;
  CommandCode code = CommandCode::CheckStatus;
  std::int64_t sentMs = 0;
  bool connected = false;
  bool envelopeSent = false;
  std::string received;  // a signed command's challenge and verdict
};

CommandDispatcher::CommandDispatcher(ServerState& state, CommandTokens tokens, int timeoutMs, QObject* parent)
    : QObject(parent), state_(state), tokens_(std::move(tokens)), timeoutMs_(timeoutMs) {}

CommandDispatcher::~CommandDispatcher() {
  for (auto& [element, o] : outgoing_) {
    o->socket->disconnect(this);
    o->socket->abort();
    o->socket->deleteLater();
    o->timer->deleteLater();
  }
}

int CommandDispatcher::cmdDo(CommandCode code) {
  ClientListModel& list = state_.clientList();
  std::vector<int> created;
  const std::int64_t now = QDateTime::currentMSecsSinceEpoch();
  for (int r = 0; r < list.rowCount(); ++r) {
    if (!list.isChecked(r)) continue;
    const ClientRow& row = list.row(r);
    const QString ip = row.ip;
    int port = 0;
    if (row.tag >= 0 && row.tag < state_.clientCount()) {
      port = state_.clientTable()[static_cast<std::size_t>(row.tag)].ListenPortNumber;
    }
    list.setStatus(ip, qs(kStatusConnecting));

    const int element = nextElement_++;
    auto o = std::make_unique<Outgoing>();
    o->socket = new QTcpSocket(this);
    o->timer = new QTimer(this);
    o->timer->setSingleShot(true);
    o->timer->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 5% early
    o->timer->setInterval(timeoutMs_);
    o->ip = ip;
    o->port = port;
    o->code = code;
    o->sentMs = now;
    connect(o->socket, &QTcpSocket::connected, this, [this, element] { onConnected(element); });
    connect(o->socket, &QTcpSocket::bytesWritten, this, [this, element] { onBytesWritten(element); });
    connect(o->timer, &QTimer::timeout, this, [this, element] { onTimeout(element); });
    outgoing_.emplace(element, std::move(o));
    created.push_back(element);
  }
  if (created.empty()) return 0;
  for (int element : created) {
    auto it = outgoing_.find(element);
    if (it == outgoing_.end()) continue;
    Outgoing& o = *it->second;
    o.timer->start();
    const std::string ip = o.ip.toStdString();
    if (isDottedIPv4(ip) && o.port > 0 && o.port <= 65535) {
      o.socket->connectToHost(QHostAddress(o.ip), static_cast<quint16>(o.port));
    }
  }
  return static_cast<int>(created.size());
}

void CommandDispatcher::onConnected(int element) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  Outgoing& o = *it->second;
  o.connected = true;
  const std::string bytes = tokens_.bytesFor(o.code, messageText_);
  if (o.code == CommandCode::CheckStatus) return finish(element, true, kStatusClientRunning);
  if (signedCommand(o.code)) {
    // The agent speaks first (its challenge); a close before the verdict is a refusal.
    connect(o.socket, &QTcpSocket::readyRead, this, [this, element] { onSignedReply(element); });
    connect(o.socket, &QTcpSocket::disconnected, this,
            [this, element] { finish(element, false, kStatusRefused); });
    state_.clientList().setStatus(o.ip, qs(kStatusConnected));
    onSignedReply(element);
    return;
  }
  if (!bytes.empty()) o.socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
  state_.clientList().setStatus(o.ip, qs(kStatusConnected));
}

void CommandDispatcher::onSignedReply(int element) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  Outgoing& o = *it->second;
  const QByteArray piece = o.socket->readAll();
  o.received.append(piece.constData(), static_cast<std::size_t>(piece.size()));
  if (!o.envelopeSent) {
    if (o.received.size() < kChallengeMessageSize) return;
    const auto challenge = parseChallengeMessage(std::string_view(o.received).substr(0, kChallengeMessageSize));
    if (!challenge) return finish(element, false, kStatusRefused);
    o.received.erase(0, kChallengeMessageSize);
    CommandEnvelope e;
    e.challenge = *challenge;
    e.address = o.ip.toStdString();
    e.code = static_cast<int>(o.code);
    if (o.code == CommandCode::Message) e.text = messageText_;
    const auto signedPart = envelopeSignedPart(e);
    if (!signedPart) return finish(element, false, kStatusNotSigned);
    const auto signature = key_->sign(*signedPart);
    if (!signature) return finish(element, false, kStatusNotSigned);
    const std::string bytes = *signedPart + *signature;
    o.socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    o.envelopeSent = true;
  }
  if (o.received.size() < kVerdictAccepted.size()) return;
  const bool accepted = std::string_view(o.received).substr(0, kVerdictAccepted.size()) == kVerdictAccepted;
  finish(element, accepted, accepted ? kStatusRequestSent : kStatusRefused);
}

void CommandDispatcher::finish(int element, bool graceful, std::string_view status) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  const QString ip = it->second->ip;
  const CommandLogEntry entry{it->second->sentMs, ip.toStdString(), std::string(commandCaption(it->second->code)),
                              std::string(status)};
  destroy(element, graceful);
  state_.clientList().setStatus(ip, qs(status));
  if (resultHook_) resultHook_(entry);
  if (outgoing_.empty()) emit allSettled();
}

void CommandDispatcher::onBytesWritten(int element) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  Outgoing& o = *it->second;
  if (signedCommand(o.code)) return;  // ends with the agent's verdict
  if (o.socket->bytesToWrite() > 0) return;  // the send is not complete yet
  o.timer->stop();
  if (!o.connected) return;
  finish(element, true, kStatusRequestSent);
}

void CommandDispatcher::onTimeout(int element) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  finish(element, false, kStatusTimedOut);
}

void CommandDispatcher::destroy(int element, bool graceful) {
  auto it = outgoing_.find(element);
  if (it == outgoing_.end()) return;
  std::unique_ptr<Outgoing> o = std::move(it->second);
  outgoing_.erase(it);
  o->timer->stop();
  o->timer->deleteLater();
  o->socket->disconnect(this);
  if (graceful) {
    // Close after the queued bytes are out; the agent acts on the close.
    QTcpSocket* socket = o->socket;
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) socket->deleteLater();
  } else {
    o->socket->abort();
    o->socket->deleteLater();
  }
}

}  // namespace quorvane
