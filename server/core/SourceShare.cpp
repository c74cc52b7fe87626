#include "server/core/SourceShare.h"

#include <iterator>

namespace quorvane {

bool SourceShare::refused(const std::string& ip, std::int64_t nowMs) const {
  auto it = table_.find(ip);
  return it != table_.end() && it->second.refusedUntil > nowMs;
}

bool SourceShare::mayConnect(const std::string& ip, std::int64_t nowMs) const {
  auto it = table_.find(ip);
  if (it == table_.end()) return true;
  if (it->second.refusedUntil > nowMs) return false;
  return policy_.maxConnections <= 0 || it->second.connections < policy_.maxConnections;
}

void SourceShare::connectionOpened(const std::string& ip) { ++table_[ip].connections; }

void SourceShare::connectionClosed(const std::string& ip) {
  auto it = table_.find(ip);
  if (it == table_.end()) return;
  if (it->second.connections > 0) --it->second.connections;
  const Entry& e = it->second;
  if (e.connections == 0 && e.rejects == 0 && e.refusedUntil == 0 && !e.reported) table_.erase(it);
}

bool SourceShare::rejected(const std::string& ip, std::int64_t nowMs) {
  if (policy_.rejectsBeforeRefusal <= 0) return false;
  if (table_.size() >= policy_.maxSources && !table_.count(ip)) prune(nowMs);
  Entry& e = table_[ip];
  if (e.refusedUntil > nowMs) return false;  // already refused
  if (e.rejects == 0 || nowMs - e.windowStart > policy_.windowMs) {
    e.rejects = 0;
    e.windowStart = nowMs;
  }
  if (++e.rejects < policy_.rejectsBeforeRefusal) return false;
  e.rejects = 0;
  e.refusedUntil = nowMs + policy_.refusalMs;
  const bool report = !e.reported;
  e.reported = true;
  return report;
}

void SourceShare::stored(const std::string& ip) {
  auto it = table_.find(ip);
  if (it == table_.end()) return;
  const int connections = it->second.connections;
  it->second = Entry{};
  it->second.connections = connections;
  if (connections == 0) table_.erase(it);
}

void SourceShare::prune(std::int64_t nowMs) {
  for (auto it = table_.begin(); it != table_.end();) {
    const Entry& e = it->second;
    const bool idle = e.connections == 0 && e.refusedUntil <= nowMs && nowMs - e.windowStart > policy_.windowMs;
    it = idle ? table_.erase(it) : std::next(it);
  }
  if (table_.size() < policy_.maxSources) return;
  for (auto it = table_.begin(); it != table_.end();) {
    it = it->second.refusedUntil <= nowMs && it->second.connections == 0 ? table_.erase(it) : std::next(it);
  }
}

}  // namespace quorvane
