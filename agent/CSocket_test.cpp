// CSocket on loopback: arrivals per piece, close ordering, half-close, errors,
// send completion for payloads far larger than the socket buffers, UDP.
#include "agent/CSocket.h"

#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "agent/HostResolver.h"
#include "agent/LoopTesting.h"
#include "common/ErrorReport.h"

namespace quorvane::agent {
namespace {

using testing::drain;
using testing::runUntil;

class CSocketTest : public ::testing::Test {
 protected:
  asio::io_context io;
  StaticHostResolver resolver{io};
  MSocketSupport support{io, resolver};

  // A CSocket listening on 127.0.0.1 on a free port.
  void listenOnLoopback(CSocket& s) {
    s.Bind(0, "127.0.0.1");
    s.Listen();
    ASSERT_EQ(s.State(), sckListening);
    ASSERT_GT(s.LocalPort(), 0);
  }

  // A port on 127.0.0.1 where nothing listens.
  long deadPort() {
    asio::ip::tcp::acceptor a(io, asio::ip::tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
    return a.local_endpoint().port();  // closed again when `a` goes
  }

  // Connects `client` to `listener` and adopts the request into `server`.
  void connectPair(CSocket& listener, CSocket& server, CSocket& client) {
    listener.events.OnConnectionRequest = [&](long id) { server.Accept(id); };
    bool connected = false;
    client.events.OnConnect = [&] { connected = true; };
    client.Connect("127.0.0.1", listener.LocalPort());
    ASSERT_TRUE(runUntil(io, [&] { return connected && server.State() == sckConnected; }));
  }
};

TEST_F(CSocketTest, EachPieceRaisesOneArrivalWithTheWholeBufferedLength) {
  CSocket listener(support), server(support), client(support);
  listenOnLoopback(listener);
  connectPair(listener, server, client);

  std::vector<long> totals;
  server.events.OnDataArrival = [&](long total) { totals.push_back(total); };
  const std::vector<std::string> pieces = {"alpha", "bravo!", "c"};
  for (const auto& p : pieces) {
    const std::size_t before = totals.size();
    client.SendData(p);
    ASSERT_TRUE(runUntil(io, [&] { return totals.size() > before; }));
  }
  EXPECT_EQ(totals, (std::vector<long>{5, 11, 12}));
  EXPECT_EQ(server.GetData(), "alphabravo!c");
  EXPECT_EQ(server.BytesReceived(), 0);
}

TEST_F(CSocketTest, AHandlerThatTakesAllDataSeesEachPieceSeparately) {
  CSocket listener(support), server(support), client(support);
  listenOnLoopback(listener);
  connectPair(listener, server, client);

  std::vector<std::string> seen;
  server.events.OnDataArrival = [&](long) { seen.push_back(server.GetData()); };
  for (const std::string p : {"one", "two", "three"}) {
    const std::size_t before = seen.size();
    client.SendData(p);
    ASSERT_TRUE(runUntil(io, [&] { return seen.size() > before; }));
  }
  EXPECT_EQ(seen, (std::vector<std::string>{"one", "two", "three"}));
}

TEST_F(CSocketTest, EveryByteValueRoundTrips) {
  CSocket listener(support), server(support), client(support);
  listenOnLoopback(listener);
  connectPair(listener, server, client);
  std::string all(256, '\0');
  std::iota(all.begin(), all.end(), 0);
  std::string got;
  server.events.OnDataArrival = [&](long) { got += server.GetData(); };
  client.SendData(all);
  ASSERT_TRUE(runUntil(io, [&] { return got.size() >= all.size(); }));
  EXPECT_EQ(got, all);
}

TEST_F(CSocketTest, PeerCloseDeliversRemainingDataBeforeOnClose) {
  CSocket listener(support), server(support), client(support);
  listenOnLoopback(listener);
  connectPair(listener, server, client);

  std::vector<std::string> order;
  server.events.OnDataArrival = [&](long total) { order.push_back("data " + std::to_string(total)); };
  server.events.OnClose = [&] { order.push_back("close"); };
  client.SendData("last words");
  client.CloseSocket();
  EXPECT_EQ(client.State(), sckClosing);
  ASSERT_TRUE(runUntil(io, [&] { return !order.empty() && order.back() == "close"; }));
  ASSERT_GE(order.size(), 2u);
  EXPECT_EQ(order[order.size() - 2], "data 10");
  EXPECT_EQ(server.State(), sckClosed);
  EXPECT_EQ(server.SocketHandle(), -1);
  EXPECT_EQ(server.PeekData(), "");  // the buffer goes with the handle

  // The server's side is gone too now: the half-closed client sees its close.
  bool clientClosed = false;
  client.events.OnClose = [&] { clientClosed = true; };
  ASSERT_TRUE(runUntil(io, [&] { return clientClosed; }));
  EXPECT_EQ(client.State(), sckClosed);
}

TEST_F(CSocketTest, CloseSocketOnAConnectedSocketHalfClosesAndStillReceives) {
  CSocket client(support);
  asio::ip::tcp::acceptor raw(io, asio::ip::tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
  asio::ip::tcp::socket peer(io);
  bool accepted = false;
  raw.async_accept(peer, [&](const asio::error_code& ec) { accepted = !ec; });
  bool connected = false;
  client.events.OnConnect = [&] { connected = true; };
  client.Connect("127.0.0.1", raw.local_endpoint().port());
  ASSERT_TRUE(runUntil(io, [&] { return connected && accepted; }));

  client.CloseSocket();
  EXPECT_EQ(client.State(), sckClosing);
  EXPECT_NE(client.SocketHandle(), -1);

  // The peer reads the end of the stream, answers, then closes.
  char b[16];
  asio::error_code readEc;
  bool peerSawEnd = false;
  peer.async_read_some(asio::buffer(b), [&](const asio::error_code& ec, std::size_t) {
    readEc = ec;
    peerSawEnd = true;
  });
  ASSERT_TRUE(runUntil(io, [&] { return peerSawEnd; }));
  EXPECT_EQ(readEc, asio::error::eof);

  std::vector<std::string> order;
  client.events.OnDataArrival = [&](long) { order.push_back("data " + client.GetData()); };
  client.events.OnClose = [&] { order.push_back("close"); };
  asio::write(peer, asio::buffer(std::string("bye")));
  peer.close();
  ASSERT_TRUE(runUntil(io, [&] { return !order.empty() && order.back() == "close"; }));
  EXPECT_EQ(order, (std::vector<std::string>{"data bye", "close"}));
  EXPECT_EQ(client.State(), sckClosed);
}

TEST_F(CSocketTest, CloseSocketOnAnUnconnectedSocketReleasesAtOnceWithoutOnClose) {
  CSocket listener(support), resolving(support);
  int closes = 0;
  listener.events.OnClose = [&] { ++closes; };
  resolving.events.OnClose = [&] { ++closes; };
  bool resolvingError = false;
  resolving.events.OnError = [&](SocketError&) { resolvingError = true; };
  listenOnLoopback(listener);
  resolving.Connect("some.name.test", 80);
  EXPECT_EQ(resolving.State(), sckResolvingHost);

  listener.CloseSocket();
  resolving.CloseSocket();
  EXPECT_EQ(listener.State(), sckClosed);
  EXPECT_EQ(listener.SocketHandle(), -1);
  EXPECT_EQ(resolving.State(), sckClosed);
  EXPECT_EQ(resolving.SocketHandle(), -1);
  drain(io);
  EXPECT_EQ(closes, 0);
  EXPECT_FALSE(resolvingError);  // the cancelled lookup reports nothing
}

TEST_F(CSocketTest, ConnectFailuresRaiseOnErrorWithWinsockNumbers) {
  struct Row {
    const char* name;
    std::string host;
    long number;
    const char* description;
  };
  const std::vector<Row> rows = {
      {"refused", "127.0.0.1", 10061, "Connection refused."},
      {"unresolvable", "no-such-host.test", 11001, "Host not found."},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CSocket s(support);
    std::optional<SocketError> error;
    s.events.OnError = [&](SocketError& e) { error = e; };
    bool connected = false;
    s.events.OnConnect = [&] { connected = true; };
    s.Connect(row.host, deadPort());
    ASSERT_TRUE(runUntil(io, [&] { return error.has_value(); }));
    EXPECT_FALSE(connected);
    EXPECT_EQ(error->Number, row.number);
    EXPECT_EQ(error->Scode, row.number);
    EXPECT_EQ(error->Description, row.description);
    EXPECT_EQ(error->Source, "");
    EXPECT_EQ(s.State(), sckError);
    EXPECT_EQ(s.SocketHandle(), -1);
  }
  EXPECT_EQ(resolver.queries(), 1);  // only the name went to the resolver
}

TEST_F(CSocketTest, ANameResolvesThenConnects) {
  resolver.addresses["audit-server.test"] = "127.0.0.1";
  CSocket listener(support), server(support), client(support);
  listenOnLoopback(listener);
  listener.events.OnConnectionRequest = [&](long id) { server.Accept(id); };
  std::vector<long> states;
  bool connected = false;
  client.events.OnConnect = [&] { connected = true; };
  client.Connect("audit-server.test", listener.LocalPort());
  EXPECT_EQ(client.State(), sckResolvingHost);
  ASSERT_TRUE(runUntil(io, [&] { return connected; }));
  EXPECT_EQ(client.State(), sckConnected);
  EXPECT_EQ(client.RemoteHost(), "audit-server.test");
  EXPECT_EQ(client.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(client.LocalIP(), "127.0.0.1");
  EXPECT_GT(client.LocalPort(), 0);
  EXPECT_EQ(client.LocalHostName(), "audit-server.test");  // through the same seam
  ASSERT_TRUE(runUntil(io, [&] { return server.State() == sckConnected; }));
  EXPECT_EQ(server.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(server.RemotePort(), client.LocalPort());
}

TEST_F(CSocketTest, SendCompleteFollowsTheWholeBufferEvenWhenFarLargerThanTheSocketBuffer) {
  // A raw peer that reads nothing at first: the system can take only part of
  // the payload until it reads.
  asio::ip::tcp::acceptor raw(io, asio::ip::tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), 0));
  asio::ip::tcp::socket peer(io);
  bool accepted = false;
  raw.async_accept(peer, [&](const asio::error_code& ec) { accepted = !ec; });
  CSocket client(support);
  bool connected = false;
  client.events.OnConnect = [&] { connected = true; };
  client.Connect("127.0.0.1", raw.local_endpoint().port());
  ASSERT_TRUE(runUntil(io, [&] { return connected && accepted; }));

  const std::size_t size = 80u * 1024 * 1024;  // beyond what loopback buffers hold
  std::string payload(size, '\0');
  for (std::size_t i = 0; i < size; ++i) payload[i] = static_cast<char>((i * 131) >> 7);
  int completions = 0;
  long sent = 0, lastRemaining = -1;
  client.events.OnSendComplete = [&] { ++completions; };
  client.events.OnSendProgress = [&](long s, long remaining) {
    sent += s;
    lastRemaining = remaining;
  };
  client.SendData(payload);
  drain(io);
  EXPECT_EQ(completions, 0) << "completed while the peer had read nothing";
  EXPECT_GT(lastRemaining, 0);

  std::string got;
  std::vector<char> chunk(1 << 20);
  std::function<void()> readMore = [&] {
    peer.async_read_some(asio::buffer(chunk), [&](const asio::error_code& ec, std::size_t n) {
      got.append(chunk.data(), n);
      if (!ec && got.size() < size) readMore();
    });
  };
  readMore();
  ASSERT_TRUE(runUntil(io, [&] { return completions > 0 && got.size() >= size; },
                       std::chrono::seconds(120)));
  drain(io);
  EXPECT_EQ(completions, 1);
  EXPECT_EQ(sent, static_cast<long>(size));
  EXPECT_EQ(lastRemaining, 0);
  EXPECT_TRUE(got == payload);
}

TEST_F(CSocketTest, ARequestThatIsNotAcceptedIsRefused) {
  CSocket listener(support), client(support);
  listenOnLoopback(listener);
  int requests = 0;
  listener.events.OnConnectionRequest = [&](long) { ++requests; };
  bool ended = false;
  client.events.OnClose = [&] { ended = true; };
  client.events.OnError = [&](SocketError&) { ended = true; };
  client.Connect("127.0.0.1", listener.LocalPort());
  ASSERT_TRUE(runUntil(io, [&] { return ended; }));
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(support.parkedCount(), 0u);
  EXPECT_EQ(listener.State(), sckListening);  // and it keeps listening
}

TEST_F(CSocketTest, OperationsRaiseTheirFailures) {
  CSocket busy(support);
  listenOnLoopback(busy);
  struct Row {
    const char* name;
    std::function<void(CSocket&)> act;
    long number;
    const char* source;
    long stateAfter;
  };
  const std::vector<Row> rows = {
      {"send without a connection", [](CSocket& s) { s.SendData("x"); }, 40006,
       "CSocket.SendData", sckClosed},
      {"connect without a host", [](CSocket& s) { s.Connect(); }, 10049, "CSocket.Connect",
       sckClosed},
      {"connect to a port beyond 65535", [](CSocket& s) { s.Connect("127.0.0.1", 70000); }, 6,
       "CSocket.Connect", sckClosed},
      {"listen on a port in use",
       [&](CSocket& s) {
         s.LocalPort(busy.LocalPort());
         s.Listen();
       },
       10048, "CSocket.Listen", sckError},
      {"listen on a port beyond 65535",
       [](CSocket& s) {
         s.LocalPort(65536);
         s.Listen();
       },
       6, "CSocket.Listen", sckError},
      {"bind to an address that is no address", [](CSocket& s) { s.Bind(0, "300.1.2.3"); },
       10049, "CSocket.Bind", sckClosed},
      {"accept an unknown request", [](CSocket& s) { s.Accept(424242); }, 10038,
       "CSocket.Accept", sckClosed},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    CSocket s(support);
    try {
      row.act(s);
      ADD_FAILURE() << "no error raised";
    } catch (const RaisedError& e) {
      EXPECT_EQ(e.number(), row.number);
      EXPECT_EQ(e.source(), row.source);
      if (row.number == 40006) {
        EXPECT_EQ(e.description(),
                  "Wrong protocol or connection state for the requested transaction or request.");
      } else if (row.number != 6) {
        EXPECT_EQ(e.description(), GetErrorDescription(row.number));
      }
    }
    EXPECT_EQ(s.State(), row.stateAfter);
  }
}

TEST_F(CSocketTest, ProtocolChangesOnlyWithoutAHandle) {
  CSocket s(support);
  s.Protocol(sckUDPProtocol);
  EXPECT_EQ(s.Protocol(), sckUDPProtocol);
  s.Bind(0, "127.0.0.1");
  EXPECT_THROW(s.Protocol(sckTCPProtocol), RaisedError);
  s.CloseSocket();
  s.Protocol(sckTCPProtocol);
  EXPECT_EQ(s.Protocol(), sckTCPProtocol);
}

TEST_F(CSocketTest, UdpDatagramsCarryTheirSenderAndComplete) {
  CSocket receiver(support), sender(support);
  receiver.Protocol(sckUDPProtocol);
  receiver.Bind(0, "127.0.0.1");
  sender.Protocol(sckUDPProtocol);
  sender.Bind(0, "127.0.0.1");
  sender.RemoteHost("127.0.0.1");
  sender.RemotePort(receiver.LocalPort());
  EXPECT_FALSE(sender.Broadcast());

  std::vector<long> totals;
  receiver.events.OnDataArrival = [&](long total) { totals.push_back(total); };
  int completions = 0;
  sender.events.OnSendComplete = [&] { ++completions; };
  sender.SendData("hello");
  ASSERT_TRUE(runUntil(io, [&] { return !totals.empty() && completions == 1; }));
  EXPECT_EQ(receiver.GetData(), "hello");
  EXPECT_EQ(receiver.RemoteHostIP(), "127.0.0.1");
  EXPECT_EQ(receiver.RemotePort(), sender.LocalPort());

  sender.SendValue<std::int32_t>(0x01020304);
  ASSERT_TRUE(runUntil(io, [&] { return totals.size() == 2; }));
  EXPECT_EQ(receiver.GetValue<std::int32_t>(), 0x01020304);
  EXPECT_EQ(receiver.GetValue<std::int32_t>(), std::nullopt);
}

TEST_F(CSocketTest, UdpToABroadcastAddressEnablesBroadcastOnTheHandle) {
  CSocket s(support);
  s.Protocol(sckUDPProtocol);
  s.RemoteHost("127.255.255.255");
  EXPECT_TRUE(s.Broadcast());
  EXPECT_EQ(s.RemoteHostIP(), "127.255.255.255");
  EXPECT_NE(s.SocketHandle(), -1);
  // A name clears the dotted address it replaces.
  s.RemoteHost("somewhere.test");
  EXPECT_EQ(s.RemoteHostIP(), "");
}

TEST_F(CSocketTest, AHandlerMayDestroyItsSocket) {
  CSocket listener(support), client(support);
  auto server = std::make_unique<CSocket>(support);
  listenOnLoopback(listener);
  listener.events.OnConnectionRequest = [&](long id) { server->Accept(id); };
  bool connected = false;
  client.events.OnConnect = [&] { connected = true; };
  client.Connect("127.0.0.1", listener.LocalPort());
  ASSERT_TRUE(runUntil(io, [&] { return connected && server->State() == sckConnected; }));
  bool arrived = false;
  server->events.OnDataArrival = [&](long) {
    arrived = true;
    server.reset();
  };
  client.SendData("x");
  client.CloseSocket();
  ASSERT_TRUE(runUntil(io, [&] { return arrived; }));
  bool clientClosed = false;
  client.events.OnClose = [&] { clientClosed = true; };
  ASSERT_TRUE(runUntil(io, [&] { return clientClosed; }));
}

}  // namespace
}  // namespace quorvane::agent
