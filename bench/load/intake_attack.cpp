// intake_attack: a mixed attack on the upload intake, with good uploads sent
// meanwhile. Loopback only; bounded in count and time; stops by itself.
//
//   intake_attack --port P --datastore DIR [--hostile N] [--good M] [--seconds S]
//                 [--kinds bomb64,bomb16,array,slow,idle,endless]
//
// N hostile connections (default 1000) from 127.1.x.y, one kind each in
// turn: zlib bombs declaring 64 MiB and 16 MiB, a record declaring 5,592,278
// applications, slow senders (one byte a second), idle connections, and
// endless streams without end marker. Senders of whole uploads send again as
// soon as one is done; the others reconnect when cut. Meanwhile M good
// uploads (default 200) from 127.2.x.y, spread over the first part of the S
// seconds (default 20). Each good upload's latency runs from the moment its
// end marker is handed to the network to the moment DIR/<address>.dat holds
// it, byte for byte (the server's trailing CR LF included).
//
// Prints the good uploads stored, the worst and median latency, and what the
// hostile side sent. Exit status 0 when every good upload was stored.
#include <sys/resource.h>

#include <algorithm>
#include <asio.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "common/modCompression.h"

namespace {

using Clock = std::chrono::steady_clock;
using quorvane::AuditRecord;

const std::string kEndMarker("\xFD\x01\xFE\x02\xFF\x04", 6);

struct Options {
  unsigned short port = 0;
  std::filesystem::path dataStore;
  int hostile = 1000;
  int good = 200;
  int seconds = 20;
  std::vector<int> kinds;  // indexes into kKinds; empty: all
};

std::string address(int net, int i) {
  return "127." + std::to_string(net) + "." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
}

std::string zlibBomb(std::size_t declared) {
  return std::to_string(declared) + std::string(1, '\0') +
         *quorvane::compressString(std::string(64u * 1024 * 1024, '\0'), 9);
}

// 5,592,278 empty applications: 64 MiB raw, about 66 KB stored.
std::string hugeArrayUpload() {
  return quorvane::makeStoredForm(quorvane::serialisedRecordWithEmptyApplications(5592278));
}

enum class Kind { Bomb64, Bomb16, HugeArray, Slow, Idle, Endless };
constexpr Kind kKinds[] = {Kind::Bomb64, Kind::Bomb16, Kind::HugeArray, Kind::Slow, Kind::Idle, Kind::Endless};
constexpr const char* kKindNames[] = {"bomb64", "bomb16", "array", "slow", "idle", "endless"};

bool parseKinds(const std::string& list, std::vector<int>& kinds) {
  std::size_t from = 0;
  while (from <= list.size()) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    const std::string name = list.substr(from, comma - from);
    const auto* at = std::find(std::begin(kKindNames), std::end(kKindNames), name);
    if (at == std::end(kKindNames)) return false;
    kinds.push_back(static_cast<int>(at - std::begin(kKindNames)));
    from = comma + 1;
  }
  return !kinds.empty();
}

class Attack {
 public:
  Attack(asio::io_context& io, const Options& o) : io_(io), o_(o), end_(Clock::now() + std::chrono::seconds(o.seconds)) {
    payloads_[0] = zlibBomb(64u * 1024 * 1024) + kEndMarker;
    payloads_[1] = zlibBomb(16u * 1024 * 1024) + kEndMarker;
    payloads_[2] = hugeArrayUpload() + kEndMarker;
    for (int i = 0; i < o.hostile; ++i) startHostile(i);
    for (int k = 0; k < o.good; ++k) scheduleGood(k);
  }

  void report() const {
    std::vector<double> ms;
    for (const Good& g : goods_) {
      if (g.found) ms.push_back(std::chrono::duration<double, std::milli>(g.foundAt - g.sentAt).count());
    }
    std::sort(ms.begin(), ms.end());
    std::printf("good uploads: %zu of %d stored\n", ms.size(), o_.good);
    if (!ms.empty()) {
      std::printf("good upload latency: worst %.0f ms, median %.0f ms (goal: worst <= 2000 ms)\n", ms.back(),
                  ms[ms.size() / 2]);
    }
    std::printf("hostile: %d connections at once; %ld connects, %ld whole uploads, %.1f MiB sent\n", o_.hostile,
                connects_, uploads_, static_cast<double>(bytes_) / (1024.0 * 1024.0));
  }
  bool finished() const {
    return (over() && allStored()) || Clock::now() > end_ + std::chrono::seconds(30);
  }
  bool allStored() const {
    return std::all_of(goods_.begin(), goods_.end(), [](const Good& g) { return g.found; });
  }

 private:
  struct Hostile {
    explicit Hostile(asio::io_context& io) : socket(io), timer(io) {}
    asio::ip::tcp::socket socket;
    asio::steady_timer timer;
    Kind kind = Kind::Idle;
    std::string from;
    std::string chunk;
  };
  struct Good {
    std::string from;
    std::string expected;  // the DataStore file's bytes
    Clock::time_point sentAt{};
    Clock::time_point foundAt{};
    bool sent = false;
    bool found = false;
  };

  bool over() const { return Clock::now() >= end_; }

  void startHostile(int i) {
    auto h = std::make_shared<Hostile>(io_);
    h->kind = o_.kinds.empty() ? kKinds[i % std::size(kKinds)]
                               : kKinds[o_.kinds[static_cast<std::size_t>(i) % o_.kinds.size()]];
    h->from = address(1, i);
    connectHostile(h);
  }

  void connectHostile(std::shared_ptr<Hostile> h) {
    if (over()) return;
    asio::error_code ec;
    h->socket.close(ec);
    h->socket.open(asio::ip::tcp::v4(), ec);
    h->socket.bind({asio::ip::make_address_v4(h->from), 0}, ec);
    ++connects_;
    h->socket.async_connect({asio::ip::make_address_v4("127.0.0.1"), o_.port}, [this, h](const asio::error_code& e) {
      if (e) return retryLater(h);
      switch (h->kind) {
        case Kind::Bomb64: return sendWhole(h, payloads_[0]);
        case Kind::Bomb16: return sendWhole(h, payloads_[1]);
        case Kind::HugeArray: return sendWhole(h, payloads_[2]);
        case Kind::Slow: h->chunk = "x"; return trickle(h, std::chrono::milliseconds(1000));
        case Kind::Idle: return awaitCut(h);
        case Kind::Endless: h->chunk.assign(64 * 1024, 'e'); return trickle(h, std::chrono::milliseconds(100));
      }
    });
  }

  void retryLater(std::shared_ptr<Hostile> h) {
    h->timer.expires_after(std::chrono::milliseconds(200));
    h->timer.async_wait([this, h](const asio::error_code& e) {
      if (!e) connectHostile(h);
    });
  }

  // A whole hostile upload, then at once the next one on a new connection.
  void sendWhole(std::shared_ptr<Hostile> h, const std::string& payload) {
    asio::async_write(h->socket, asio::buffer(payload), [this, h](const asio::error_code& e, std::size_t n) {
      bytes_ += static_cast<long>(n);
      if (e) return retryLater(h);  // refused or cut: a little later
      ++uploads_;
      connectHostile(h);
    });
  }

  void trickle(std::shared_ptr<Hostile> h, std::chrono::milliseconds every) {
    asio::async_write(h->socket, asio::buffer(h->chunk), [this, h, every](const asio::error_code& e, std::size_t n) {
      bytes_ += static_cast<long>(n);
      if (e) return retryLater(h);  // cut by the server: connect again
      h->timer.expires_after(every);
      h->timer.async_wait([this, h, every](const asio::error_code& te) {
        if (!te && !over()) trickle(h, every);
      });
    });
  }

  void awaitCut(std::shared_ptr<Hostile> h) {
    auto sink = std::make_shared<std::array<char, 64>>();
    h->socket.async_read_some(asio::buffer(*sink), [this, h, sink](const asio::error_code& e, std::size_t) {
      if (e) retryLater(h);
      else awaitCut(h);
    });
  }

  void scheduleGood(int k) {
    goods_.push_back({address(2, k), {}, {}, {}, false, false});
    AuditRecord r = quorvane::makeSampleAudit(120, static_cast<std::uint32_t>(k + 1));
    r.Hardware.Network.IP = goods_.back().from;
    const std::string stored = quorvane::encodeStoredAudit(r);
    goods_.back().expected = stored + "\r\n";
    // Spread over the first 60 % of the attack, after its first second.
    const auto span = std::chrono::milliseconds(o_.seconds * 600);
    const auto at = std::chrono::seconds(1) + span * k / std::max(1, o_.good);
    auto timer = std::make_shared<asio::steady_timer>(io_, at);
    auto payload = std::make_shared<std::string>(stored + kEndMarker);
    timer->async_wait([this, k, timer, payload](const asio::error_code&) { sendGood(k, payload); });
  }

  void sendGood(int k, std::shared_ptr<std::string> payload) {
    auto socket = std::make_shared<asio::ip::tcp::socket>(io_);
    asio::error_code ec;
    socket->open(asio::ip::tcp::v4(), ec);
    socket->bind({asio::ip::make_address_v4(goods_[k].from), 0}, ec);
    socket->async_connect({asio::ip::make_address_v4("127.0.0.1"), o_.port}, [this, k, socket, payload](
                                                                                  const asio::error_code& e) {
      if (e) return;
      asio::async_write(*socket, asio::buffer(*payload), [this, k, socket, payload](const asio::error_code& we,
                                                                                     std::size_t) {
        if (we) return;
        goods_[k].sentAt = Clock::now();
        goods_[k].sent = true;
        asio::error_code se;
        socket->shutdown(asio::socket_base::shutdown_send, se);
        watchFile(k, socket);
      });
    });
  }

  // Polls the DataStore file every 5 ms until it holds the upload.
  void watchFile(int k, std::shared_ptr<asio::ip::tcp::socket> socket) {
    Good& g = goods_[k];
    const auto path = o_.dataStore / (g.from + ".dat");
    std::error_code fe;
    if (std::filesystem::file_size(path, fe) == g.expected.size() && !fe) {
      std::ifstream in(path, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      if (bytes == g.expected) {
        g.found = true;
        g.foundAt = Clock::now();
        return;
      }
    }
    if (Clock::now() > end_ + std::chrono::seconds(30)) return;
    auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(5));
    timer->async_wait([this, k, socket, timer](const asio::error_code&) { watchFile(k, socket); });
  }

  asio::io_context& io_;
  Options o_;
  Clock::time_point end_;
  std::string payloads_[3];
  std::vector<Good> goods_;
  long connects_ = 0;
  long uploads_ = 0;
  long bytes_ = 0;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    const char* value = argv[i + 1];
    if (key == "--port") o.port = static_cast<unsigned short>(std::atoi(value));
    else if (key == "--datastore") o.dataStore = value;
    else if (key == "--hostile") o.hostile = std::atoi(value);
    else if (key == "--good") o.good = std::atoi(value);
    else if (key == "--seconds") o.seconds = std::atoi(value);
    else if (key == "--kinds") {
      if (!parseKinds(value, o.kinds)) return false;
    }
    else return false;
  }
  return o.port != 0 && !o.dataStore.empty() && o.hostile >= 0 && o.hostile <= 5000 && o.good >= 0 &&
         o.good <= 5000 && o.seconds > 0 && o.seconds <= 600;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!parse(argc, argv, o)) {
    std::fprintf(stderr,
                 "usage: intake_attack --port P --datastore DIR [--hostile N<=5000] [--good M<=5000] "
                 "[--seconds S<=600] [--kinds bomb64,bomb16,array,slow,idle,endless]\n");
    return 2;
  }
  rlimit r{};
  if (getrlimit(RLIMIT_NOFILE, &r) == 0) {
    r.rlim_cur = r.rlim_max;
    setrlimit(RLIMIT_NOFILE, &r);
  }
  asio::io_context io;
  Attack attack(io, o);
  // Everything stops by itself: when the attack time is over and every good
  // upload is stored, and at the latest 30 s after the attack.
  asio::steady_timer tick(io);
  std::function<void()> watch = [&] {
    tick.expires_after(std::chrono::milliseconds(100));
    tick.async_wait([&](const asio::error_code&) {
      if (attack.finished()) {
        io.stop();
      } else {
        watch();
      }
    });
  };
  watch();
  io.run();
  attack.report();
  return attack.allStored() ? 0 : 1;
}
