// intake_sink: the baseline of the intake load figure. It only reads each
// connection to its end marker and writes the bytes before the marker to
// DIR/<peer address>.dat, then closes: no decoding, no tables.
//
//   intake_sink DIR [PORT]      prints "intake_sink listening on port N";
//                               runs until SIGTERM or SIGINT.
#include <sys/resource.h>

#include <asio.hpp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace {

const std::string kEndMarker("\xFD\x01\xFE\x02\xFF\x04", 6);

class Sink {
 public:
  Sink(asio::io_context& io, std::filesystem::path dir, unsigned short port)
      : io_(io), acceptor_(io), dir_(std::move(dir)) {
    asio::ip::tcp::endpoint at(asio::ip::make_address_v4("127.0.0.1"), port);
    acceptor_.open(at.protocol());
    acceptor_.set_option(asio::socket_base::reuse_address(true));
    acceptor_.bind(at);
    acceptor_.listen(4096);
    accept();
  }
  unsigned short port() const { return acceptor_.local_endpoint().port(); }

 private:
  struct Conn {
    explicit Conn(asio::io_context& io) : socket(io) {}
    asio::ip::tcp::socket socket;
    std::string bytes;
    std::array<char, 65536> chunk{};
  };
  void accept() {
    auto c = std::make_shared<Conn>(io_);
    acceptor_.async_accept(c->socket, [this, c](const asio::error_code& ec) {
      if (!ec) read(c);
      if (ec != asio::error::operation_aborted) accept();
    });
  }
  void read(std::shared_ptr<Conn> c) {
    c->socket.async_read_some(asio::buffer(c->chunk), [this, c](const asio::error_code& ec, std::size_t n) {
      const std::size_t from = c->bytes.size() > 5 ? c->bytes.size() - 5 : 0;
      c->bytes.append(c->chunk.data(), n);
      const auto at = c->bytes.find(kEndMarker, from);
      if (at != std::string::npos) {
        asio::error_code e;
        const std::string peer = c->socket.remote_endpoint(e).address().to_string();
        std::ofstream(dir_ / (peer + ".dat"), std::ios::binary | std::ios::trunc).write(c->bytes.data(), at);
        c->socket.close(e);
        return;
      }
      if (!ec) read(c);
    });
  }
  asio::io_context& io_;
  asio::ip::tcp::acceptor acceptor_;
  std::filesystem::path dir_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: intake_sink DIR [PORT]\n");
    return 2;
  }
  rlimit r{};
  if (getrlimit(RLIMIT_NOFILE, &r) == 0) {
    r.rlim_cur = r.rlim_max;
    setrlimit(RLIMIT_NOFILE, &r);
  }
  std::filesystem::create_directories(argv[1]);
  asio::io_context io;
  Sink sink(io, argv[1], static_cast<unsigned short>(argc > 2 ? std::atoi(argv[2]) : 0));
  std::fprintf(stderr, "intake_sink listening on port %u\n", sink.port());
  std::fflush(stderr);
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code&, int) { io.stop(); });
  io.run();
  return 0;
}
