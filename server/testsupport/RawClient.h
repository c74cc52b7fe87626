// Raw loopback clients for intake tests: a blocking TCP socket bound to a
// chosen 127.x.y.z address (distinct addresses stand for distinct PCs), and
// what the tests send through it.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvane::testing {

// A blocking client socket from `from` to 127.0.0.1:port (loopback connects
// complete in the kernel, before the server accepts); -1 on failure.
inline int rawConnect(const std::string& from, int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return -1;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  ::inet_pton(AF_INET, from.c_str(), &a.sin_addr);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(s);
    return -1;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  if (::connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    ::close(s);
    return -1;
  }
  return s;
}

inline bool sendAll(int s, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(s, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The server's side of the connection has ended (end of stream or reset).
inline bool closedByServer(int s) {
  char c;
  const ssize_t n = ::recv(s, &c, 1, MSG_DONTWAIT);
  return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

inline std::string zlibOf(const std::string& data) {
  uLongf n = compressBound(static_cast<uLong>(data.size()));
  std::string out(n, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &n, reinterpret_cast<const Bytef*>(data.data()),
            static_cast<uLong>(data.size()), 9);
  out.resize(n);
  return out;
}

// A zlib bomb in the stored form: `declared` as its length, the stream of
// `inflated` zero bytes.
inline std::string zlibBomb(std::uint64_t declared, std::size_t inflated) {
  return std::to_string(declared) + std::string(1, '\0') + zlibOf(std::string(inflated, '\0'));
}

}  // namespace quorvane::testing
