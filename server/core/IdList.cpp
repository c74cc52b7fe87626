#include "server/core/IdList.h"

namespace quorvane {
namespace {

// Reads one number at `at`; false when the blob ends inside it or it is
// longer than 64 bits.
bool readId(std::string_view blob, std::size_t& at, std::uint64_t& out) {
  out = 0;
  for (int shift = 0; shift < 64; shift += 7) {
    if (at >= blob.size()) return false;
    const auto byte = static_cast<unsigned char>(blob[at++]);
    const std::uint64_t bits = byte & 0x7Fu;
    if (shift == 63 && bits > 1) return false;  // beyond 64 bits
    out |= bits << shift;
    if ((byte & 0x80u) == 0) return true;
  }
  return false;
}

}  // namespace

void appendPackedId(std::string& blob, std::int64_t id) {
  auto v = static_cast<std::uint64_t>(id);
  while (v >= 0x80) {
    blob.push_back(static_cast<char>((v & 0x7Fu) | 0x80u));
    v >>= 7;
  }
  blob.push_back(static_cast<char>(v));
}

std::string packIds(const std::vector<std::int64_t>& ids) {
  std::string blob;
  blob.reserve(ids.size() * 3);
  for (const std::int64_t id : ids) appendPackedId(blob, id);
  return blob;
}

Expected<std::vector<std::int64_t>> unpackIds(std::string_view blob) {
  std::vector<std::int64_t> ids;
  ids.reserve(blob.size() / 2);
  std::size_t at = 0;
  while (at < blob.size()) {
    std::uint64_t v = 0;
    if (!readId(blob, at, v)) {
      return Status::Error(kErrIdList, "a packed id list is cut short or malformed at byte " + std::to_string(at));
    }
    ids.push_back(static_cast<std::int64_t>(v));
  }
  return ids;
}

bool removePackedId(std::string& blob, std::int64_t id) {
  std::size_t at = 0, matchAt = 0, matchEnd = 0;
  bool matched = false;
  while (at < blob.size()) {  // the whole list is read: a malformed one is left alone
    const std::size_t start = at;
    std::uint64_t v = 0;
    if (!readId(blob, at, v)) return false;
    if (!matched && v == static_cast<std::uint64_t>(id)) matched = true, matchAt = start, matchEnd = at;
  }
  if (matched) blob.erase(matchAt, matchEnd - matchAt);
  return matched;
}

}  // namespace quorvane
