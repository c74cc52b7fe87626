#include "server/core/TextIdTable.h"

#include <functional>

namespace quorvane {
namespace {

std::uint64_t hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

}  // namespace

// The slot that holds `key`, or the empty slot where it would go. Linear
// probing: the table is at most half full, so an empty slot is always found.
std::size_t TextIdTable::slotOf(std::string_view key, std::uint64_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = slots_[i];
    if (s.id < 0) return i;
    if (s.hash == hash && std::string_view(keys_).substr(s.offset, s.length) == key) return i;
  }
}

std::int64_t TextIdTable::find(std::string_view key) const {
  if (count_ == 0) return -1;
  return slots_[slotOf(key, hashOf(key))].id;
}

void TextIdTable::findMany(const std::vector<std::string_view>& keys, std::vector<std::int64_t>& ids) const {
  ids.assign(keys.size(), -1);
  if (count_ == 0) return;
  const std::size_t mask = slots_.size() - 1;
  hashes_.resize(keys.size());
  for (std::size_t k = 0; k < keys.size(); ++k) {
    hashes_[k] = hashOf(keys[k]);
    __builtin_prefetch(&slots_[hashes_[k] & mask]);
  }
  for (std::size_t k = 0; k < keys.size(); ++k) {  // the key bytes of the first slot of the same hash
    for (std::size_t i = hashes_[k] & mask; slots_[i].id >= 0; i = (i + 1) & mask) {
      if (slots_[i].hash == hashes_[k]) {
        __builtin_prefetch(keys_.data() + slots_[i].offset);
        break;
      }
    }
  }
  for (std::size_t k = 0; k < keys.size(); ++k) ids[k] = slots_[slotOf(keys[k], hashes_[k])].id;
}

void TextIdTable::insert(std::string_view key, std::int64_t id) {
  if (id < 0) return;  // -1 marks an empty slot
  if ((count_ + 1) * 2 > slots_.size()) grow();
  const std::uint64_t hash = hashOf(key);
  Slot& s = slots_[slotOf(key, hash)];
  if (s.id < 0) {
    s.hash = hash;
    s.offset = static_cast<std::uint32_t>(keys_.size());
    s.length = static_cast<std::uint32_t>(key.size());
    keys_.append(key);
    ++count_;
  }
  s.id = id;
}

void TextIdTable::clear() {
  slots_.clear();
  keys_.clear();
  count_ = 0;
}

void TextIdTable::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  const std::size_t mask = slots_.size() - 1;
  for (const Slot& s : old) {
    if (s.id < 0) continue;
    std::size_t i = s.hash & mask;
    while (slots_[i].id >= 0) i = (i + 1) & mask;
    slots_[i] = s;
  }
}

}  // namespace quorvane
