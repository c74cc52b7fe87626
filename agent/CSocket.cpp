#include "agent/CSocket.h"

#include "agent/HostResolver.h"
#include "common/ErrorReport.h"
#include "platform/SocketPolicy.h"
#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

namespace {

long nativeHandle(auto& s) { return static_cast<long>(s.native_handle()); }

// Opens `socket` (a TCP or UDP socket) as a non-blocking socket of
// `protocol` and gives its handle; on failure `socket` stays empty, `ec`
// tells why and the handle is -1.
template <typename Socket, typename Protocol>
long openNonBlocking(std::optional<Socket>& socket, asio::io_context& io, const Protocol& protocol,
                     asio::error_code& ec) {
  socket.emplace(io);
  socket->open(protocol, ec);
  if (!ec) socket->non_blocking(true, ec);
  if (!ec) return nativeHandle(*socket);
  socket.reset();
  return -1;
}

std::string descriptionOf(long code) {
  switch (code) {
    case kErrWrongProtocolOrState:
      return "Wrong protocol or connection state for the requested transaction or request.";
    case kErrInvalidOperation: return "Invalid operation at current state.";
    case kErrOverflow: return "Overflow";
    default: return GetErrorDescription(code);
  }
}

}  // namespace

CSocket::CSocket(MSocketSupport& support)
    : support_(support), maxMessageSize_(support.InitWinsockService()) {}

CSocket::~CSocket() {
  alive_.reset();
  asio::error_code ignored;
  if (requestID_ != 0) support_.resolver().cancel(requestID_);
  if (tcp_) tcp_->close(ignored);
  if (acceptor_) acceptor_->close(ignored);
  if (udp_) udp_->close(ignored);
}

void CSocket::raise(long code, const std::string& source) const {
  throw RaisedError(code, descriptionOf(code), source);
}

// ---------------------------------------------------------------------------
// Handles

void CSocket::SocketExists() {
  if (handle_ == -1) vbSocket();
}

void CSocket::vbSocket() {
  asio::error_code ec;
  const long handle = protocol_ == sckTCPProtocol
                          ? openNonBlocking(tcp_, support_.io(), asio::ip::tcp::v4(), ec)
                          : openNonBlocking(udp_, support_.io(), asio::ip::udp::v4(), ec);
  if (ec) raise(winsockCode(ec), "CSocket.vbSocket");
  handle_ = handle;
  ProcessOptions();
}

void CSocket::ProcessOptions() {
  if (protocol_ == sckUDPProtocol || !tcp_) {
    sendBufferSize_ = recvBufferSize_ = maxMessageSize_;
    return;
  }
  asio::error_code ec;
  asio::socket_base::send_buffer_size snd;
  asio::socket_base::receive_buffer_size rcv;
  tcp_->get_option(snd, ec);
  sendBufferSize_ = ec ? 8192 : snd.value();
  tcp_->get_option(rcv, ec);
  recvBufferSize_ = ec ? 8192 : rcv.value();
  if (recvBufferSize_ <= 0) recvBufferSize_ = 8192;
}

void CSocket::DestroySocket() {
  recvBuffer_.clear();
  // Unsent bytes of a connection that is gone must never leak into the next.
  sendBuffer_.clear();
  if (requestID_ != 0) {
    support_.resolver().cancel(requestID_);
    requestID_ = 0;
  }
  asio::error_code ignored;
  if (tcp_) tcp_->close(ignored);
  if (acceptor_) acceptor_->close(ignored);
  if (udp_) udp_->close(ignored);
  tcp_.reset();
  acceptor_.reset();
  udp_.reset();
  handle_ = -1;
  bound_ = false;
  sendPending_ = false;
  broadcast_ = false;
  readArmed_ = writeArmed_ = acceptArmed_ = false;
  ++generation_;
}

// ---------------------------------------------------------------------------
// Readiness

void CSocket::armWait(bool& armed, asio::socket_base::wait_type what,
                      void (CSocket::*then)(const asio::error_code&)) {
  if (armed || (!tcp_ && !udp_)) return;
  armed = true;
  auto handler = guarded([this, then](const asio::error_code& ec) { (this->*then)(ec); });
  if (tcp_) {
    tcp_->async_wait(what, std::move(handler));
  } else {
    udp_->async_wait(what, std::move(handler));
  }
}

void CSocket::armRead() { armWait(readArmed_, asio::socket_base::wait_read, &CSocket::onReadable); }

void CSocket::armWrite() { armWait(writeArmed_, asio::socket_base::wait_write, &CSocket::onWritable); }

void CSocket::armAccept() {
  if (acceptArmed_ || !acceptor_) return;
  acceptArmed_ = true;
  // The system accepts the connection; then the request is offered. (A
  // readiness wait on a listening socket never completes on Windows, where
  // Asio waits with a zero-byte receive, so the accept itself is awaited.)
  // Dropped, as guarded() drops it, when the object is gone or its handle
  // was replaced meanwhile.
  acceptor_->async_accept(support_.io(), [w = std::weak_ptr<int>(alive_), gen = generation_,
                                          this](const asio::error_code& ec,
                                                asio::ip::tcp::socket incoming) {
    if (w.expired() || gen != generation_) return;
    acceptArmed_ = false;
    if (ec == asio::error::operation_aborted) return;
    takeAccepted(ec, std::move(incoming));
  });
}

void CSocket::takeAccepted(const asio::error_code& ec, asio::ip::tcp::socket incoming) {
  if (ec == asio::error::would_block || ec == asio::error::try_again ||
      ec == asio::error::connection_aborted) {
    armAccept();
    return;
  }
  if (ec) {
    raiseErrorEvent(winsockCode(ec), "");
    return;
  }
  const unsigned gen = generation_;
  MSocketSupport& support = support_;
  const long id = support.parkAccepted(std::move(incoming));
  auto cb = events.OnConnectionRequest;
  const bool alive = cb ? fire([&] { cb(id); }) : true;
  support.dropAccepted(id);  // not adopted: refuse it
  if (alive && gen == generation_) armAccept();
}

void CSocket::postWriteEvent() {
  asio::post(support_.io(), guarded([this] { PostSocketEvent(kWrite, 0); }));
}

void CSocket::onReadable(const asio::error_code& ec) {
  readArmed_ = false;
  if (ec == asio::error::operation_aborted) return;
  if (ec) {
    PostSocketEvent(kRead, winsockCode(ec));
    return;
  }
  PostSocketEvent(kRead, 0);
}

void CSocket::onWritable(const asio::error_code& ec) {
  writeArmed_ = false;
  if (ec == asio::error::operation_aborted) return;
  PostSocketEvent(kWrite, winsockCode(ec));
}

void CSocket::onAcceptable(const asio::error_code& ec) {
  acceptArmed_ = false;
  if (ec == asio::error::operation_aborted) return;
  PostSocketEvent(kAccept, winsockCode(ec));
}

void CSocket::onConnectDone(const asio::error_code& ec) {
  if (ec == asio::error::operation_aborted) return;
  PostSocketEvent(kConnect, winsockCode(ec));
}

void CSocket::raiseErrorEvent(long code, const std::string& source) {
  DestroySocket();
  state_ = sckError;
  SocketError e;
  e.Number = code;
  e.Scode = code;
  e.Description = GetErrorDescription(code);
  e.Source = source;
  auto cb = events.OnError;
  if (cb) cb(e);
}

void CSocket::PostSocketEvent(long event, long error) {
  if (error >= 1) {
    raiseErrorEvent(error, "");
    return;
  }
  switch (event) {
    case kRead: return onReadEvent();
    case kWrite: return onWriteEvent();
    case kAccept: return onAcceptEvent();
    case kConnect: return onConnectEvent();
    case kClose: return onCloseEvent();
    default: return;
  }
}

void CSocket::onReadEvent() {
  // One read per readiness: each piece the system hands over is one
  // arrival. A read of nothing on a stream is the peer's close.
  std::string piece(static_cast<std::size_t>(udp_ ? maxMessageSize_ : recvBufferSize_), '\0');
  asio::error_code ec;
  std::size_t n = 0;
  if (tcp_) {
    n = tcp_->receive(asio::buffer(piece), 0, ec);
  } else if (udp_) {
    asio::ip::udp::endpoint from;
    n = udp_->receive_from(asio::buffer(piece), from, 0, ec);
    if (!ec) {
      remotePort_ = from.port();
      remoteHostIP_ = from.address().to_string();
      remoteHost_ = remoteHostIP_;
    }
  } else {
    return;
  }
  if (ec == asio::error::would_block || ec == asio::error::try_again) {
    armRead();
    return;
  }
  if (tcp_ && ec == asio::error::eof) {
    PostSocketEvent(kClose, 0);
    return;
  }
  if (ec) {
    raiseErrorEvent(winsockCode(ec), "CSocket.RecvToBuffer");
    return;
  }
  const unsigned gen = generation_;
  if (n > 0) {
    recvBuffer_.append(piece.data(), n);
    bytesReceived_ += static_cast<long>(n);
    auto cb = events.OnDataArrival;
    const long total = static_cast<long>(recvBuffer_.size());
    if (cb && !fire([&] { cb(total); })) return;
  }
  if (gen == generation_) armRead();
}

void CSocket::onWriteEvent() {
  if (!sendBuffer_.empty()) {
    sendInEventContext();
  } else if (sendPending_) {
    sendPending_ = false;
    auto cb = events.OnSendComplete;
    if (cb) cb();
  }
}

void CSocket::onAcceptEvent() {
  if (!acceptor_) return;
  asio::ip::tcp::socket incoming(support_.io());
  asio::error_code ec;
  acceptor_->non_blocking(true, ec);
  acceptor_->accept(incoming, ec);
  takeAccepted(ec, std::move(incoming));
}

void CSocket::onConnectEvent() {
  if (!tcp_) return;
  asio::error_code ec;
  auto local = tcp_->local_endpoint(ec);
  if (!ec) {
    localPort_ = local.port();
    localIP_ = local.address().to_string();
  }
  localHostName_.reset();
  state_ = sckConnected;
  armRead();
  auto cb = events.OnConnect;
  if (cb) cb();
}

void CSocket::onCloseEvent() {
  if (state_ != sckClosing) {
    state_ = sckClosing;
    if (!sendBuffer_.empty() && tcp_) {
      asio::error_code ignored;
      tcp_->send(asio::buffer(sendBuffer_), 0, ignored);
    }
  }
  DestroySocket();
  state_ = sckClosed;
  auto cb = events.OnClose;
  if (cb) cb();
}

// ---------------------------------------------------------------------------
// Sending

void CSocket::SendData(std::string_view data) {
  if (protocol_ == sckTCPProtocol && !hasHandle()) {
    raise(kErrWrongProtocolOrState, "CSocket.SendData");
  }
  if (protocol_ == sckUDPProtocol) SocketExists();
  sendBuffer_.append(data);
  SendBufferedData();
}

void CSocket::SendBufferedData() {
  sendPending_ = true;
  asio::error_code ec;
  std::size_t n = 0;
  if (tcp_) {
    if (sendBuffer_.empty()) {
      postWriteEvent();
      return;
    }
    n = tcp_->send(asio::buffer(sendBuffer_), 0, ec);
  } else if (udp_) {
    if (remoteHostIP_.empty()) {
      if (remoteHost_.empty()) raise(kWsaDestinationAddressRequired, "CSocket.SendData");
      resolveRemoteHost(1);
      return;
    }
    auto port = UnsignedToInteger(remotePort_);
    if (!port) raise(kErrOverflow, "CSocket.SendData");
    auto address = parseDottedAddress(remoteHostIP_);
    if (!address) raise(kWsaAddressNotAvailable, "CSocket.SendData");
    n = udp_->send_to(asio::buffer(sendBuffer_),
                      asio::ip::udp::endpoint(*address, static_cast<unsigned short>(remotePort_)),
                      0, ec);
  } else {
    raise(kErrWrongProtocolOrState, "CSocket.SendData");
  }
  if (ec == asio::error::would_block || ec == asio::error::try_again) {
    armWrite();
    return;
  }
  if (ec) raise(winsockCode(ec), "CSocket.SendData");
  if (n > 0) {
    if (n >= sendBuffer_.size()) {
      sendBuffer_.clear();
      postWriteEvent();
    } else {
      sendBuffer_.erase(0, n);
      armWrite();
    }
    auto cb = events.OnSendProgress;
    if (cb) cb(static_cast<long>(n), static_cast<long>(sendBuffer_.size()));
  } else {
    armWrite();
  }
}

// A send started by the loop itself (not by a caller): its failure becomes
// the error event, since there is no caller to raise it to.
void CSocket::sendInEventContext() {
  try {
    SendBufferedData();
  } catch (const RaisedError& e) {
    raiseErrorEvent(e.number(), e.source());
  }
}

// ---------------------------------------------------------------------------
// Receiving

std::string CSocket::PeekData(long maxLen) const {
  if (maxLen >= 0 && static_cast<std::size_t>(maxLen) < recvBuffer_.size()) {
    return recvBuffer_.substr(0, static_cast<std::size_t>(maxLen));
  }
  return recvBuffer_;
}

std::string CSocket::GetData(long maxLen) {
  std::string out;
  if (maxLen >= 0 && static_cast<std::size_t>(maxLen) < recvBuffer_.size()) {
    out = recvBuffer_.substr(0, static_cast<std::size_t>(maxLen));
    recvBuffer_.erase(0, static_cast<std::size_t>(maxLen));
  } else {
    out.swap(recvBuffer_);
  }
  bytesReceived_ = static_cast<long>(recvBuffer_.size());
  return out;
}

// ---------------------------------------------------------------------------
// Connections

void CSocket::Listen() {
  if (protocol_ != sckTCPProtocol) raise(kWsaOperationNotSupported, "CSocket.Listen");
  if (state_ == sckListening && acceptor_) return;
  auto port = UnsignedToInteger(localPort_);
  if (!port) {
    state_ = sckError;
    raise(kErrOverflow, "CSocket.Listen");
  }
  asio::error_code ec;
  if (tcp_ && bound_) {
    // A handle bound by Bind becomes the listening handle. Where the system
    // cannot take a handle back from its completion port (Windows), a new
    // handle listens on the address the bound one held.
    const auto bound = tcp_->local_endpoint(ec);
    const auto native = tcp_->release(ec);
    if (ec == asio::error::operation_not_supported) {
      tcp_->close(ec);
      tcp_.reset();
      acceptor_.emplace(support_.io());
      acceptor_->open(asio::ip::tcp::v4(), ec);
      if (!ec) acceptor_->bind(bound, ec);
    } else {
      tcp_.reset();
      if (!ec) {
        acceptor_.emplace(support_.io());
        acceptor_->assign(asio::ip::tcp::v4(), native, ec);
      }
    }
  } else {
    if (hasHandle()) DestroySocket();
    acceptor_.emplace(support_.io());
    acceptor_->open(asio::ip::tcp::v4(), ec);
    if (!ec && platform::reuseAddressWhenListening()) {
      acceptor_->set_option(asio::socket_base::reuse_address(true), ec);
    }
    asio::ip::address_v4 at = asio::ip::address_v4::any();
    if (!ec && !localIP_.empty()) {
      if (auto a = parseDottedAddress(localIP_)) at = *a;
    }
    if (!ec) {
      acceptor_->bind(asio::ip::tcp::endpoint(at, static_cast<unsigned short>(localPort_)), ec);
    }
  }
  if (!ec) acceptor_->listen(5, ec);
  if (!ec) acceptor_->non_blocking(true, ec);
  if (ec) {
    const long code = winsockCode(ec);
    DestroySocket();
    state_ = sckError;
    raise(code, "CSocket.Listen");
  }
  handle_ = nativeHandle(*acceptor_);
  bound_ = true;
  auto local = acceptor_->local_endpoint(ec);
  if (!ec) localPort_ = local.port();
  state_ = sckListening;
  armAccept();
}

void CSocket::Connect(std::optional<std::string> remoteHost, std::optional<long> remotePort) {
  if (remoteHost && !remoteHost->empty()) RemoteHost(*remoteHost);
  if (remotePort) remotePort_ = *remotePort;
  if (protocol_ != sckTCPProtocol) raise(kErrWrongProtocolOrState, "CSocket.Connect");
  if (remoteHost_.empty()) raise(kWsaAddressNotAvailable, "CSocket.Connect");
  switch (state_) {
    case sckConnected:
    case sckClosing: raise(kWsaAlreadyConnected, "CSocket.Connect");
    case sckResolvingHost:
    case sckHostResolved:
    case sckConnecting: raise(kWsaAlreadyInProgress, "CSocket.Connect");
    case sckListening: raise(kWsaInvalidArgument, "CSocket.Connect");
    default: break;
  }
  if (!UnsignedToInteger(remotePort_)) raise(kErrOverflow, "CSocket.Connect");
  SocketExists();
  if (auto address = parseDottedAddress(remoteHost_)) {
    remoteHostIP_ = remoteHost_;
    startConnect(*address, "CSocket.Connect");
    return;
  }
  resolveRemoteHost(0);
  if (requestID_ == 0) {
    DestroySocket();
    state_ = sckError;
    raise(kWsaHostNotFound, "CSocket.Connect");
  }
}

void CSocket::resolveRemoteHost(long requestType) {
  state_ = sckResolvingHost;
  requestType_ = requestType;
  const unsigned gen = generation_;
  const std::string host = remoteHost_;
  requestID_ = support_.resolver().resolve(
      host, [this, w = std::weak_ptr<int>(alive_), gen, host](const ResolveResult& r) {
        if (w.expired() || gen != generation_) return;
        PostGetHostEvent(requestID_, r.address, host, r.error);
      });
}

void CSocket::startConnect(const asio::ip::address_v4& address, const std::string&) {
  state_ = sckConnecting;
  tcp_->async_connect(
      asio::ip::tcp::endpoint(address, static_cast<unsigned short>(remotePort_)),
      guarded([this](const asio::error_code& ec) { onConnectDone(ec); }));
}

void CSocket::PostGetHostEvent(long requestID, const std::string& address,
                               const std::string& hostName, long error) {
  if (error != 0 && !parseDottedAddress(hostName)) {
    requestID_ = 0;
    raiseErrorEvent(error, "");
    return;
  }
  if (requestID != requestID_ || requestID_ == 0) return;
  requestID_ = 0;
  state_ = sckHostResolved;
  remoteHostIP_ = error != 0 ? hostName : address;
  if (requestType_ == 0) {
    auto a = parseDottedAddress(remoteHostIP_);
    if (!a || !tcp_) {
      raiseErrorEvent(kWsaAddressNotAvailable, "CSocket.PostGetHostEvent");
      return;
    }
    startConnect(*a, "CSocket.PostGetHostEvent");
  } else {
    sendInEventContext();
  }
}

void CSocket::CloseSocket() {
  if (hasHandle()) {
    if (state_ == sckConnected && tcp_) {
      state_ = sckClosing;
      asio::error_code ec;
      tcp_->shutdown(asio::socket_base::shutdown_send, ec);
      if (ec) raise(winsockCode(ec), "CSocket.CloseSocket");
      return;
    }
    DestroySocket();
  } else if (requestID_ != 0) {
    support_.resolver().cancel(requestID_);
    requestID_ = 0;
  }
  state_ = sckClosed;
}

void CSocket::Bind(std::optional<long> localPort, std::optional<std::string> localIP) {
  if (localPort) localPort_ = *localPort;
  asio::ip::address_v4 at = asio::ip::address_v4::any();
  const std::string ip = localIP ? *localIP : localIP_;
  if (!ip.empty()) {
    auto a = parseDottedAddress(ip);
    if (!a) raise(kWsaAddressNotAvailable, "CSocket.Bind");
    at = *a;
  }
  if (!UnsignedToInteger(localPort_)) raise(kErrOverflow, "CSocket.Bind");
  SocketExists();
  asio::error_code ec;
  const auto port = static_cast<unsigned short>(localPort_);
  if (tcp_) {
    tcp_->bind(asio::ip::tcp::endpoint(at, port), ec);
    if (!ec) {
      auto local = tcp_->local_endpoint(ec);
      if (!ec) localPort_ = local.port();
    }
  } else if (udp_) {
    udp_->bind(asio::ip::udp::endpoint(at, port), ec);
    if (!ec) {
      auto local = udp_->local_endpoint(ec);
      if (!ec) localPort_ = local.port();
    }
  }
  if (ec) raise(winsockCode(ec), "CSocket.Bind");
  if (localIP) localIP_ = *localIP;
  bound_ = true;
  if (udp_) armRead();  // datagrams may arrive from now on
}

void CSocket::Accept(long requestID) {
  auto incoming = support_.takeAccepted(requestID);
  if (!incoming) raise(kWsaNotSocket, "CSocket.Accept");
  if (hasHandle()) DestroySocket();
  protocol_ = sckTCPProtocol;
  tcp_.emplace(std::move(*incoming));
  asio::error_code ec;
  tcp_->non_blocking(true, ec);
  handle_ = nativeHandle(*tcp_);
  auto local = tcp_->local_endpoint(ec);
  if (!ec) {
    localPort_ = local.port();
    localIP_ = local.address().to_string();
    localHostName_ = localIP_;
  }
  auto remote = tcp_->remote_endpoint(ec);
  if (!ec) {
    remotePort_ = remote.port();
    remoteHostIP_ = remote.address().to_string();
    remoteHost_ = remoteHostIP_;
  }
  ProcessOptions();
  state_ = sckConnected;
  armRead();
}

// ---------------------------------------------------------------------------
// Properties

void CSocket::RemoteHost(const std::string& host) {
  remoteHost_ = host;
  if (!parseDottedAddress(host)) {
    remoteHostIP_.clear();
    return;
  }
  remoteHostIP_ = host;
  if (protocol_ == sckUDPProtocol && host.size() >= 4 &&
      host.compare(host.size() - 4, 4, ".255") == 0) {
    SocketExists();
    asio::error_code ec;
    udp_->set_option(asio::socket_base::broadcast(true), ec);
    if (ec) raise(winsockCode(ec), "CSocket.RemoteHost");
    broadcast_ = true;
  }
}

void CSocket::Protocol(long protocol) {
  if (hasHandle()) raise(kErrInvalidOperation, "CSocket.Protocol");
  protocol_ = protocol == sckUDPProtocol ? sckUDPProtocol : sckTCPProtocol;
}

std::string CSocket::LocalHostName() {
  if (!localHostName_) {
    if (localIP_.empty()) return {};
    auto name = support_.resolver().reverseLookup(localIP_);
    localHostName_ = name ? *name : localIP_;
  }
  return *localHostName_;
}

}  // namespace quorvane::agent
