// CSocket: one asynchronous TCP or UDP socket of the agent.
//
// The interface, states, buffering, events and error numbers of the agent's
// socket class, on standalone Asio. All work happens on the event loop of the
// MSocketSupport the object was created with; events are raised on that
// loop, one at a time, in the order the system reported the conditions:
//   readable          -> bytes appended to the receive buffer, OnDataArrival
//                        with the whole buffered length (one per piece)
//   peer closed       -> remaining data announced first, then OnClose
//   writable / all of the send buffer accepted -> OnSendComplete
//   incoming connection -> OnConnectionRequest(requestID); adopt it with
//                        Accept(requestID) inside the handler, or it is closed
//   connect finished  -> OnConnect
//   failure           -> state 9 (error), the handle is released, OnError
//
// Operations raise their failures to the caller as quorvane::RaisedError
// (number = Windows Sockets code, 40006, 40020 or 6; description from
// GetErrorDescription; source "CSocket.<operation>"). Would-block is never an
// error. A handler may destroy the CSocket it is called from.
//
// Data is bytes: a std::string holds one byte per character, both ways.
#pragma once

#include <asio.hpp>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include "agent/MSocketSupport.h"

namespace quorvane::agent {

enum SocketState : long {
  sckClosed = 0,
  sckOpen = 1,
  sckListening = 2,
  sckConnectionPending = 3,
  sckResolvingHost = 4,
  sckHostResolved = 5,
  sckConnecting = 6,
  sckConnected = 7,
  sckClosing = 8,
  sckError = 9,
};

enum SocketProtocol : long { sckTCPProtocol = 0, sckUDPProtocol = 1 };

// The arguments of OnError.
struct SocketError {
  long Number = 0;
  std::string Description;
  long Scode = 0;
  std::string Source;
  std::string HelpFile;
  long HelpContext = 0;
  bool CancelDisplay = false;
};

class CSocket {
 public:
  struct Events {
    std::function<void()> OnClose;
    std::function<void()> OnConnect;
    std::function<void(long requestID)> OnConnectionRequest;
    std::function<void(long bytesTotal)> OnDataArrival;
    std::function<void(SocketError& error)> OnError;
    std::function<void()> OnSendComplete;
    std::function<void(long bytesSent, long bytesRemaining)> OnSendProgress;
  };

  explicit CSocket(MSocketSupport& support);
  ~CSocket();
  CSocket(const CSocket&) = delete;
  CSocket& operator=(const CSocket&) = delete;

  Events events;

  // Queues bytes and starts sending.
  void SendData(std::string_view data);
  // Queues the binary form of a number (little-endian, its own size).
  template <class T>
    requires std::is_arithmetic_v<T>
  void SendValue(T value) {
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    SendData(std::string_view(bytes, sizeof(T)));
  }

  // Takes (GetData) or copies (PeekData) up to maxLen bytes (all when
  // maxLen < 0) from the receive buffer.
  std::string PeekData(long maxLen = -1) const;
  std::string GetData(long maxLen = -1);
  // The number held in the first bytes of the receive buffer (taken), or
  // nullopt when fewer bytes are buffered.
  template <class T>
    requires std::is_arithmetic_v<T>
  std::optional<T> GetValue() {
    if (recvBuffer_.size() < sizeof(T)) return std::nullopt;
    T value;
    std::memcpy(&value, recvBuffer_.data(), sizeof(T));
    GetData(static_cast<long>(sizeof(T)));
    return value;
  }

  void Listen();
  void Connect(std::optional<std::string> remoteHost = std::nullopt,
               std::optional<long> remotePort = std::nullopt);
  void CloseSocket();
  void Bind(std::optional<long> localPort = std::nullopt,
            std::optional<std::string> localIP = std::nullopt);
  void Accept(long requestID);

  long State() const { return state_; }
  long SocketHandle() const { return handle_; }
  long RemotePort() const { return remotePort_; }
  void RemotePort(long port) { remotePort_ = port; }
  const std::string& RemoteHostIP() const { return remoteHostIP_; }
  const std::string& RemoteHost() const { return remoteHost_; }
  void RemoteHost(const std::string& host);
  long Protocol() const { return protocol_; }
  void Protocol(long protocol);
  long LocalPort() const { return localPort_; }
  void LocalPort(long port) { localPort_ = port; }
  const std::string& LocalIP() const { return localIP_; }
  // The address Listen binds to (empty: any); a simulated PC's own address.
  void LocalIP(const std::string& ip) { localIP_ = ip; }
  // The name of the local address (looked up when first asked, the dotted
  // address when the lookup fails).
  std::string LocalHostName();
  long BytesReceived() const { return bytesReceived_; }
  bool Broadcast() const { return broadcast_; }

 private:
  enum Event : long { kRead = 1, kWrite = 2, kAccept = 8, kConnect = 16, kClose = 32 };

  bool hasHandle() const { return handle_ != -1; }
  void SocketExists();
  void vbSocket();
  void ProcessOptions();
  void DestroySocket();
  void SendBufferedData();
  void sendInEventContext();
  void postWriteEvent();
  // Waits once for `what` on the open socket; `armed` marks the wait.
  void armWait(bool& armed, asio::socket_base::wait_type what,
               void (CSocket::*then)(const asio::error_code&));
  // The events of PostSocketEvent, one each.
  void onReadEvent();
  void onWriteEvent();
  void onAcceptEvent();
  void onConnectEvent();
  void onCloseEvent();
  // What an accept gave: another wait, an error event, or the connection
  // offered through OnConnectionRequest (refused unless adopted there).
  void takeAccepted(const asio::error_code& ec, asio::ip::tcp::socket incoming);
  void armRead();
  void armWrite();
  void armAccept();
  void onReadable(const asio::error_code& ec);
  void onWritable(const asio::error_code& ec);
  void onAcceptable(const asio::error_code& ec);
  void onConnectDone(const asio::error_code& ec);
  void PostSocketEvent(long event, long error);
  void PostGetHostEvent(long requestID, const std::string& address, const std::string& hostName,
                        long error);
  void startConnect(const asio::ip::address_v4& address, const std::string& source);
  // Asks the resolver for remoteHost_ (requestType 0 to connect, 1 to send a
  // datagram); its answer arrives through PostGetHostEvent unless the socket
  // has been closed or reused meanwhile.
  void resolveRemoteHost(long requestType);
  void raiseErrorEvent(long code, const std::string& source);
  [[noreturn]] void raise(long code, const std::string& source) const;

  // Wraps an asio completion so that it is dropped when the object is gone
  // or its handle was replaced meanwhile.
  template <class F>
  auto guarded(F f) {
    return [w = std::weak_ptr<int>(alive_), gen = generation_, this, f = std::move(f)](
               auto&&... args) mutable {
      if (w.expired() || gen != generation_) return;
      f(std::forward<decltype(args)>(args)...);
    };
  }
  // Runs an event handler; false when the object died inside it.
  template <class F>
  bool fire(F&& call) {
    std::weak_ptr<int> w = alive_;
    call();
    return !w.expired();
  }

  MSocketSupport& support_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  unsigned generation_ = 0;

  std::optional<asio::ip::tcp::socket> tcp_;
  std::optional<asio::ip::tcp::acceptor> acceptor_;
  std::optional<asio::ip::udp::socket> udp_;

  long protocol_ = sckTCPProtocol;
  long state_ = sckClosed;
  long bytesReceived_ = 0;
  std::optional<std::string> localHostName_;
  std::string localIP_;
  long localPort_ = 0;
  std::string remoteHost_;
  std::string remoteHostIP_;
  long remotePort_ = 0;
  long handle_ = -1;
  long requestID_ = 0;
  long requestType_ = 0;
  std::string sendBuffer_;
  std::string recvBuffer_;
  long sendBufferSize_ = 0;
  long recvBufferSize_ = 0;
  long maxMessageSize_ = 0;
  bool bound_ = false;
  bool sendPending_ = false;
  bool broadcast_ = false;
  bool readArmed_ = false;
  bool writeArmed_ = false;
  bool acceptArmed_ = false;
};

}  // namespace quorvane::agent
