// The one serialisation routine of every record type: a writer and a reader
// visitor over the field lists of common/AuditRecord.h.
#include "common/AuditRecordIO.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane {
namespace {

template <class T>
struct IsArray : std::false_type {};
template <class T>
struct IsArray<Array<T>> : std::true_type {};

// Fewest bytes an encoded value of type T can take. Every kind takes at least
// two bytes, so an element count can always be checked against the bytes left.
template <class T>
constexpr std::size_t minEncodedSize() {
  if constexpr (std::is_same_v<T, Text>) {
    return 2;
  } else if constexpr (std::is_same_v<T, Flag> || std::is_same_v<T, std::int16_t>) {
    return 2;
  } else if constexpr (std::is_same_v<T, std::int32_t>) {
    return 4;
  } else if constexpr (IsArray<T>::value) {
    return 2;
  } else {
    static_assert(AuditRecordType<T>, "unsupported field type in a record description");
    return std::apply(
        [](const auto&... d) {
          return (std::size_t{0} + ... +
                  minEncodedSize<std::remove_cvref_t<decltype(std::declval<T&>().*(d.member))>>());
        },
        RecordFields<T>::list);
  }
}

// The most elements an array of T may hold in a record that is read.
template <class T>
constexpr std::size_t maxElements() {
  return std::is_same_v<T, ApplicationInfo> ? kMaxApplications : kMaxArrayElements;
}

// ---------------------------------------------------------------------------
// Writer

class Writer {
 public:
  explicit Writer(std::string& out) : out_(out) {}

  template <class T>
  void value(const T& v) {
    if constexpr (std::is_same_v<T, Text>) {
      const std::size_t n = v.size() < kMaxTextBytes ? v.size() : kMaxTextBytes;
      u16(static_cast<std::uint16_t>(n));
      out_.append(v.data(), n);
    } else if constexpr (std::is_same_v<T, Flag>) {
      u16(static_cast<std::uint16_t>(v.raw));
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
      u16(static_cast<std::uint16_t>(v));
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
      u32(static_cast<std::uint32_t>(v));
    } else if constexpr (IsArray<T>::value) {
      // An array that holds elements is written even if it was never marked
      // present, so that no data is dropped silently.
      if (!v.present && v.items.empty()) {
        u16(0);
        return;
      }
      u16(1);
      u32(static_cast<std::uint32_t>(v.items.size()));
      u32(static_cast<std::uint32_t>(v.lowerBound));
      for (const auto& item : v.items) value(item);
    } else {
      forEachField(v, [this](std::string_view, const auto& member) { this->value(member); });
    }
  }

 private:
  void u16(std::uint16_t x) {
    const char b[2] = {static_cast<char>(x & 0xFF), static_cast<char>(x >> 8)};
    out_.append(b, 2);
  }
  void u32(std::uint32_t x) {
    const char b[4] = {static_cast<char>(x & 0xFF), static_cast<char>((x >> 8) & 0xFF),
                       static_cast<char>((x >> 16) & 0xFF), static_cast<char>(x >> 24)};
    out_.append(b, 4);
  }

  std::string& out_;
};

// ---------------------------------------------------------------------------
// Reader

struct ReadFailure {
  long number;
  std::string what;
};

class Reader {
 public:
  explicit Reader(std::string_view bytes) : data_(bytes) {}

  std::size_t position() const { return pos_; }

  template <class T>
  void value(T& v) {
    if constexpr (std::is_same_v<T, Text>) {
      const std::uint16_t n = u16();
      need(n);
      v.assign(data_.data() + pos_, n);
      pos_ += n;
    } else if constexpr (std::is_same_v<T, Flag>) {
      v = Flag::fromRaw(static_cast<std::int16_t>(u16()));
    } else if constexpr (std::is_same_v<T, std::int16_t>) {
      v = static_cast<std::int16_t>(u16());
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
      v = static_cast<std::int32_t>(u32());
    } else if constexpr (IsArray<T>::value) {
      readArray(v);
    } else {
      forEachField(v, [this](std::string_view name, auto& member) {
        path_.push_back({name, false, 0});
        value(member);
        path_.pop_back();
      });
    }
  }

  [[noreturn]] void fail(long number, const std::string& what) const {
    throw ReadFailure{number, pathText() + ": " + what};
  }

 private:
  struct Step {
    std::string_view name;
    bool element;         // inside an element of the array `name`
    std::int64_t index;   // that element's index (lower bound + position)
  };

  template <class T>
  void readArray(Array<T>& a) {
    a = Array<T>();
    const auto dims = static_cast<std::int16_t>(u16());
    if (dims == 0) return;
    if (dims != 1) fail(kRecordMalformed, "dimension count " + std::to_string(dims) + " (only 0 or 1 allowed)");
    const auto count = static_cast<std::int32_t>(u32());
    const auto lower = static_cast<std::int32_t>(u32());
    if (count < 0) fail(kRecordMalformed, "negative element count " + std::to_string(count));
    if (static_cast<std::size_t>(count) > maxElements<T>())
      fail(kRecordPastLimits, std::to_string(count) + " elements past the limit of " +
                                  std::to_string(maxElements<T>()));
    if (count > 0 && static_cast<std::int64_t>(lower) + count - 1 > std::numeric_limits<std::int32_t>::max())
      fail(kRecordMalformed, "array bounds overflow (lower bound " + std::to_string(lower) + ", " +
                                 std::to_string(count) + " elements)");
    const std::uint64_t needed = static_cast<std::uint64_t>(count) * minEncodedSize<T>();
    if (needed > kMaxRecordBytes - pos_) tooLarge();
    if (needed > data_.size() - pos_)
      fail(kRecordEndsEarly, "stream ends early (" + std::to_string(count) + " elements need at least " +
                                 std::to_string(needed) + " bytes, " +
                                 std::to_string(data_.size() - pos_) + " left)");
    a.present = true;
    a.lowerBound = lower;
    a.items.resize(static_cast<std::size_t>(count));
    // The path of an element uses the element's own index (lower bound + i).
    path_.back().element = true;
    for (std::int32_t i = 0; i < count; ++i) {
      path_.back().index = static_cast<std::int64_t>(lower) + i;
      value(a.items[static_cast<std::size_t>(i)]);
    }
    path_.back().element = false;
  }

  void need(std::size_t n) const {
    if (n > kMaxRecordBytes - pos_) tooLarge();
    if (n > data_.size() - pos_) fail(kRecordEndsEarly, "stream ends early");
  }
  [[noreturn]] void tooLarge() const {
    fail(kRecordPastLimits, "record longer than the limit of " + std::to_string(kMaxRecordBytes) + " bytes");
  }
  std::uint16_t u16() {
    need(2);
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 2;
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
  }
  std::uint32_t u32() {
    need(4);
    const auto* p = reinterpret_cast<const unsigned char*>(data_.data() + pos_);
    pos_ += 4;
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  }

  std::string pathText() const {
    std::string s;
    for (const Step& step : path_) {
      if (!s.empty()) s += '.';
      s += step.name;
      if (step.element) {
        s += '[';
        s += std::to_string(step.index);
        s += ']';
      }
    }
    return s.empty() ? std::string("AuditRecord") : s;
  }

  std::string_view data_;
  std::size_t pos_ = 0;
  std::vector<Step> path_;
};

}  // namespace

void writeAuditRecord(std::string& out, const AuditRecord& record) {
  Writer writer(out);
  writer.value(record);
}

std::string writeAuditRecord(const AuditRecord& record) {
  std::string out;
  writeAuditRecord(out, record);
  return out;
}

Expected<AuditRecord> readAuditRecord(std::string_view bytes, std::size_t* consumed) {
  Reader reader(bytes);
  AuditRecord record;
  try {
    reader.value(record);
  } catch (const ReadFailure& failure) {
    return Status::Error(failure.number, failure.what, "readAuditRecord");
  }
  if (consumed) *consumed = reader.position();
  return record;
}

}  // namespace quorvane
