// Who may command an agent: AcceptCommandsFrom, the ServerIP default, and a
// simulated PC's own local address. Commands come from raw loopback clients
// bound to distinct 127.0.0.x source addresses; power goes to the dry-run
// backend only.
#include <gtest/gtest.h>

#include "agent/AgentProtocol.h"
#include "agent/AgentTesting.h"

namespace quorvane::agent {
namespace {

using namespace testing;
namespace fs = std::filesystem;

TEST(CommandSources, ParsesTheSettingValue) {
  struct Row {
    const char* name;
    std::string value;
    bool ok;
    bool any;
    std::vector<std::string> addresses;
  };
  const std::vector<Row> rows = {
      {"any", "any", true, true, {}},
      {"ANY in any case", "AnY", true, true, {}},
      {"one address", "192.0.2.10", true, false, {"192.0.2.10"}},
      {"list with blanks", " 127.0.0.1 ,\t192.0.2.10 ", true, false, {"127.0.0.1", "192.0.2.10"}},
      {"leading zeros are canonicalised", "127.000.0.01", true, false, {"127.0.0.1"}},
      {"empty entries skipped", "127.0.0.1,,", true, false, {"127.0.0.1"}},
      {"any beside addresses", "127.0.0.1,any", true, true, {"127.0.0.1"}},
      {"empty value", "", false, false, {}},
      {"only commas", " , ", false, false, {}},
      {"a host name", "server.example", false, false, {}},
      {"three parts", "127.0.1", false, false, {}},
      {"five parts", "127.0.0.1.5", false, false, {}},
      {"part over 255", "127.0.0.256", false, false, {}},
      {"four digits", "127.0.0.0001", false, false, {}},
      {"trailing dot", "127.0.0.", false, false, {}},
      {"negative", "-1.0.0.1", false, false, {}},
      {"a good and a bad entry", "127.0.0.1,nobody", false, false, {}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    auto s = parseCommandSources(r.value);
    ASSERT_EQ(s.has_value(), r.ok);
    if (!s) continue;
    EXPECT_EQ(s->any, r.any);
    EXPECT_EQ(s->addresses, r.addresses);
  }
}

TEST(CommandSources, TheSettingsFileKey) {
  auto absent = parseClientSettings("ServerIP:127.0.0.1\r\n", nullptr);
  ASSERT_FALSE(absent.error);
  EXPECT_FALSE(absent.settings.acceptCommandsFrom.has_value());

  auto given = parseClientSettings("AcceptCommandsFrom:127.0.0.2, 127.0.0.3\r\n", nullptr);
  ASSERT_FALSE(given.error);
  ASSERT_TRUE(given.settings.acceptCommandsFrom.has_value());
  EXPECT_EQ(given.settings.acceptCommandsFrom->addresses, (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));

  // A bad list stops the reading like any value that does not convert.
  auto bad = parseClientSettings("ServerIP:127.0.0.1\r\nAcceptCommandsFrom:the server\r\nListenPortNumber:1\r\n", nullptr);
  ASSERT_TRUE(bad.error);
  EXPECT_EQ(bad.error->number, 13);
  EXPECT_EQ(bad.error->line, 2);
  EXPECT_EQ(bad.error->key, "AcceptCommandsFrom");
  EXPECT_EQ(bad.error->expectedType, "Address list");
  EXPECT_EQ(bad.settings.lngListenPort, 0);

  // Keys are exact: another spelling is not this key and is ignored.
  auto other = parseClientSettings("acceptcommandsfrom:nonsense\r\n", nullptr);
  EXPECT_FALSE(other.error);
  EXPECT_FALSE(other.settings.acceptCommandsFrom.has_value());
}

// One agent with an observer, a local address and a resolver table.
struct Watched {
  asio::io_context& io;
  fs::path folder = freshFolder("sources");
  StaticHostResolver resolver{io};
  platform::DesktopScripted* desk = nullptr;
  std::ostringstream powerOut;
  std::vector<std::pair<AgentEvent, std::string>> events;
  long listenPort = freePort();
  std::unique_ptr<Agent> agent;

  Watched(asio::io_context& loop, const std::string& settings, const std::string& localAddress = "",
          std::map<std::string, std::string> names = {})
      : io(loop) {
    resolver.addresses = std::move(names);
    EXPECT_TRUE(writeWholeFile(folder / "clientSettings.txt",
                               "ListenPortNumber:" + std::to_string(listenPort) + "\r\n" + settings)
                    .ok());
    AgentConfig c;
    c.programFolder = folder;
    auto d = std::make_unique<platform::DesktopScripted>();
    desk = d.get();
    c.desktop = std::move(d);
    c.power = platform::makeDryRunPowerControl(powerOut);
    c.getInfo = [](AuditRecord& r, const std::string&, const auto&) { r.Hardware.Network.IP = "127.0.0.1"; };
    c.temporaryFolder = folder / "tmp";
    c.localAddress = localAddress;
    c.observer = [this](AgentEvent e, std::string_view d) { events.emplace_back(e, std::string(d)); };
    agent = std::make_unique<Agent>(io, resolver, std::move(c));
  }
  int count(AgentEvent e) const {
    int n = 0;
    for (const auto& [ev, d] : events) n += ev == e;
    return n;
  }
};

// Connects from `source` to `to`:`port`, sends `bytes`, and waits until the
// agent's side ends the connection. Returns false when it could not connect.
bool commandFrom(asio::io_context& io, const std::string& source, const std::string& to, long port,
                 std::string_view bytes) {
  asio::ip::tcp::socket s(io);
  s.open(asio::ip::tcp::v4());
  s.bind({asio::ip::make_address_v4(source), 0});
  bool done = false;
  asio::error_code connectError;
  s.async_connect({asio::ip::make_address_v4(to), static_cast<unsigned short>(port)},
                  [&](const asio::error_code& ec) {
                    connectError = ec;
                    done = true;
                  });
  if (!runUntil(io, [&] { return done; }) || connectError) return false;
  asio::error_code ignored;
  asio::write(s, asio::buffer(bytes.data(), bytes.size()), ignored);
  bool ended = false;
  std::array<char, 16> buf{};
  std::function<void()> readOn = [&] {
    s.async_read_some(asio::buffer(buf), [&](const asio::error_code& ec, std::size_t) {
      if (ec) {
        ended = true;
        return;
      }
      readOn();
    });
  };
  readOn();
  EXPECT_TRUE(runUntil(io, [&] { return ended; }));
  s.close(ignored);
  return true;
}

TEST(CommandSources, WhoMayCommandTheAgent) {
  struct Row {
    const char* name;
    std::string settings;
    std::map<std::string, std::string> names;
    std::string source;
    bool accepted;
  };
  // The server's port is closed: uploads fail quietly, commands still work.
  const std::string server = "ConnectPortNumber:" + std::to_string(freePort()) + "\r\n";
  const std::vector<Row> rows = {
      {"ServerIP only: the server", "ServerIP:127.0.0.1\r\n" + server, {}, "127.0.0.1", true},
      {"ServerIP only: another address", "ServerIP:127.0.0.1\r\n" + server, {}, "127.0.0.2", false},
      {"ServerIP as a name: its address", "ServerIP:audit-server\r\n" + server, {{"audit-server", "127.0.0.3"}},
       "127.0.0.3", true},
      {"ServerIP as a name: another address", "ServerIP:audit-server\r\n" + server,
       {{"audit-server", "127.0.0.3"}}, "127.0.0.1", false},
      {"ServerIP that does not resolve: nobody", "ServerIP:audit-server\r\n" + server, {}, "127.0.0.1", false},
      {"list: a listed address", "ServerIP:127.0.0.1\r\n" + server + "AcceptCommandsFrom:127.0.0.4,127.0.0.2\r\n",
       {}, "127.0.0.2", true},
      {"list: the server itself when not listed",
       "ServerIP:127.0.0.1\r\n" + server + "AcceptCommandsFrom:127.0.0.4\r\n", {}, "127.0.0.1", false},
      {"any", "ServerIP:127.0.0.1\r\n" + server + "AcceptCommandsFrom:any\r\n", {}, "127.0.0.9", true},
      {"no server, no list: anyone", "# audits stay local\r\n", {}, "127.0.0.9", true},
      {"no server, a list", "AcceptCommandsFrom:127.0.0.5\r\n", {}, "127.0.0.9", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    asio::io_context io;
    Watched w(io, r.settings, "", r.names);
    ASSERT_TRUE(w.agent->Form_Load());
    // The first upload has been tried (its lookup tells a named server's address).
    ASSERT_TRUE(runUntil(io, [&] { return w.agent->connectSocket().State() == sckClosed; }));
    // A power-off command: it must take effect only from an accepted address.
    ASSERT_TRUE(commandFrom(io, r.source, "127.0.0.1", w.listenPort, tokPowerOff));
    ASSERT_TRUE(runUntil(io, [&] { return w.agent->listenSocket().State() == sckListening; }));
    for (int i = 0; i < 3; ++i) drain(io);
    EXPECT_EQ(w.powerOut.str(), r.accepted ? "dry-run: power-off\n" : "");
    EXPECT_EQ(w.count(AgentEvent::CommandReceived), r.accepted ? 1 : 0);
    ASSERT_EQ(w.count(AgentEvent::CommandRefused), r.accepted ? 0 : 1);
    if (!r.accepted) {
      for (const auto& [e, d] : w.events) {
        if (e == AgentEvent::CommandRefused) {
          EXPECT_EQ(d, r.source);
        }
      }
    }
    // The agent goes on listening either way.
    EXPECT_FALSE(w.agent->ended());
  }
}

TEST(CommandSources, ARefusedPeerDoesNotBlockTheServer) {
  asio::io_context io;
  Watched w(io, "ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(freePort()) + "\r\n");
  ASSERT_TRUE(w.agent->Form_Load());
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(commandFrom(io, "127.0.0.2", "127.0.0.1", w.listenPort, tokQuit));
    ASSERT_TRUE(runUntil(io, [&] { return w.agent->listenSocket().State() == sckListening; }));
  }
  EXPECT_EQ(w.count(AgentEvent::CommandRefused), 20);
  ASSERT_TRUE(commandFrom(io, "127.0.0.1", "127.0.0.1", w.listenPort, tokQuit));
  ASSERT_TRUE(runUntil(io, [&] { return w.agent->ended(); }));
  EXPECT_EQ(w.agent->exitStatus(), 0);
}

TEST(CommandSources, ANamedServerIsLookedUpWhenACommandComesBeforeAnyUpload) {
  asio::io_context io;
  // The upload waits a minute, so nothing has resolved the name yet.
  Watched w(io, "ServerIP:audit-server\r\nConnectPortNumber:" + std::to_string(freePort()) +
                    "\r\nReauditDelayTime:60-60\r\n",
            "", {{"audit-server", "127.0.0.3"}});
  ASSERT_TRUE(w.agent->Form_Load());
  EXPECT_EQ(w.resolver.queries(), 0);
  // The first command is refused and asks for the address ...
  ASSERT_TRUE(commandFrom(io, "127.0.0.3", "127.0.0.1", w.listenPort, tokLogOff));
  ASSERT_TRUE(runUntil(io, [&] { return w.agent->listenSocket().State() == sckListening; }));
  EXPECT_EQ(w.count(AgentEvent::CommandRefused), 1);
  ASSERT_TRUE(runUntil(io, [&] { return w.resolver.queries() == 1; }));
  for (int i = 0; i < 3; ++i) drain(io);
  // ... so that the server's next one is accepted; others stay refused.
  ASSERT_TRUE(commandFrom(io, "127.0.0.3", "127.0.0.1", w.listenPort, tokLogOff));
  ASSERT_TRUE(runUntil(io, [&] { return w.count(AgentEvent::CommandReceived) == 1; }));
  ASSERT_TRUE(runUntil(io, [&] { return w.agent->listenSocket().State() == sckListening; }));
  ASSERT_TRUE(commandFrom(io, "127.0.0.4", "127.0.0.1", w.listenPort, tokLogOff));
  ASSERT_TRUE(runUntil(io, [&] { return w.count(AgentEvent::CommandRefused) == 2; }));
  EXPECT_EQ(w.powerOut.str(), "dry-run: log-off\n");
  EXPECT_EQ(w.resolver.queries(), 1);
}

TEST(CommandSources, ALocalAddressIsUsedForUploadsAndListening) {
  asio::io_context io;
  // A server that notes the peer address of each connection.
  asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address_v4("127.0.0.1"), 0});
  std::vector<std::string> peers;
  asio::ip::tcp::socket peer(io);
  acceptor.async_accept(peer, [&](const asio::error_code& ec) {
    if (!ec) peers.push_back(peer.remote_endpoint().address().to_string());
  });
  Watched w(io, "ServerIP:127.0.0.1\r\nConnectPortNumber:" + std::to_string(acceptor.local_endpoint().port()) + "\r\n",
            "127.0.0.7");
  ASSERT_TRUE(w.agent->Form_Load());
  ASSERT_TRUE(runUntil(io, [&] { return peers.size() == 1; }));
  EXPECT_EQ(peers[0], "127.0.0.7");
  EXPECT_EQ(w.count(AgentEvent::UploadStarted), 1);
  // Listening is on its own address only.
  EXPECT_FALSE(commandFrom(io, "127.0.0.1", "127.0.0.1", w.listenPort, tokHangUp));
  EXPECT_TRUE(commandFrom(io, "127.0.0.1", "127.0.0.7", w.listenPort, tokHangUp));
  ASSERT_TRUE(runUntil(io, [&] { return w.count(AgentEvent::CommandReceived) == 1; }));
  EXPECT_EQ(w.events.back().second, "hang-up");
}

}  // namespace
}  // namespace quorvane::agent
