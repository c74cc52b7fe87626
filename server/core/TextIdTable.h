// TextIdTable: byte strings to ids, for a cache that is asked millions of
// times in a row (every application of every audit during an index build).
//
// Open addressing over a power-of-two slot array that keeps each key's hash
// beside its id, with the key bytes in one growing buffer: a lookup reads
// one slot and, on a hash match, one key, instead of following list nodes.
// Keys are any bytes (NUL included). Never holds more than half its slots.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

class TextIdTable {
 public:
  // The id stored for `key`, or -1.
  std::int64_t find(std::string_view key) const;
  // find() of many keys into `ids` (same order): the memory every lookup
  // needs is asked for ahead, so the lookups wait for it together rather
  // than one after another.
  void findMany(const std::vector<std::string_view>& keys, std::vector<std::int64_t>& ids) const;
  // Stores `id` for `key`, replacing an id stored before; a negative id is
  // not stored.
  void insert(std::string_view key, std::int64_t id);
  void clear();
  std::size_t size() const { return count_; }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::int64_t id = -1;  // -1: empty
    std::uint32_t offset = 0, length = 0;
  };
  std::size_t slotOf(std::string_view key, std::uint64_t hash) const;
  void grow();

  std::vector<Slot> slots_;
  mutable std::vector<std::uint64_t> hashes_;  // findMany's, kept to spare an allocation
  std::string keys_;
  std::size_t count_ = 0;
};

}  // namespace quorvane
