// SourceShare: each source address's share of the upload intake.
//
// A source (one peer address) may hold at most `maxConnections` inbound
// connections at once; an agent needs one. A source whose uploads keep being
// rejected (undecodable, too large, too slow: `rejectsBeforeRefusal` within
// `windowMs`) is refused for `refusalMs`: its connections are closed as they
// arrive. The start of a refusal is to be reported once; the refusals that
// follow for the same source are not reported again until one of its
// uploads is stored. A stored upload clears the source's count.
//
// Pure bookkeeping with the time passed in (milliseconds of a steady clock);
// the table is bounded by `maxSources` (expired entries go first, then the
// ones that are not refused). Single-threaded.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>

namespace quorvane {

struct SourceSharePolicy {
  int maxConnections = 8;         // 0: no bound
  int rejectsBeforeRefusal = 5;   // 0: never refused
  std::int64_t windowMs = 60000;
  std::int64_t refusalMs = 60000;
  std::size_t maxSources = 65536;
};

class SourceShare {
 public:
  explicit SourceShare(SourceSharePolicy policy = {}) : policy_(policy) {}

  // May `ip` open one more connection now?
  bool mayConnect(const std::string& ip, std::int64_t nowMs) const;
  void connectionOpened(const std::string& ip);
  void connectionClosed(const std::string& ip);

  // An upload of `ip` was rejected. True when this starts a refusal that is
  // to be reported (the first one since the source's last stored upload).
  bool rejected(const std::string& ip, std::int64_t nowMs);
  // An upload of `ip` was stored.
  void stored(const std::string& ip);

  bool refused(const std::string& ip, std::int64_t nowMs) const;
  std::size_t sources() const { return table_.size(); }
  const SourceSharePolicy& policy() const { return policy_; }

 private:
  struct Entry {
    int connections = 0;
    int rejects = 0;
    std::int64_t windowStart = 0;
    std::int64_t refusedUntil = 0;
    bool reported = false;
  };
  void prune(std::int64_t nowMs);

  SourceSharePolicy policy_;
  std::unordered_map<std::string, Entry> table_;
};

}  // namespace quorvane
