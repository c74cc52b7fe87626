// Packed id lists: round trips at the byte boundaries of the encoding, the
// exact bytes of a few numbers, removal of one occurrence, and blobs that are
// cut short, run past 64 bits or come from somewhere else.
#include "server/core/IdList.h"

#include <gtest/gtest.h>

#include <limits>

namespace quorvane {
namespace {

TEST(IdListTest, RoundTripsKeepOrderAndDuplicates) {
  struct Row {
    const char* name;
    std::vector<std::int64_t> ids;
  };
  const Row rows[] = {
      {"empty", {}},
      {"zero", {0}},
      {"one_byte_edge", {127}},
      {"two_bytes_first", {128}},
      {"two_bytes_last", {16383}},
      {"three_bytes_first", {16384}},
      {"duplicates_and_order_kept", {5, 3, 5, 1, 3}},
      {"large_keys", {std::int64_t{1} << 40, std::numeric_limits<std::int64_t>::max()}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Expected<std::vector<std::int64_t>> back = unpackIds(packIds(row.ids));
    ASSERT_TRUE(back.ok()) << back.status().description();
    EXPECT_EQ(*back, row.ids);
  }
}

TEST(IdListTest, NumbersAreLittleEndianSevenBitGroups) {
  struct Row {
    const char* name;
    std::int64_t id;
    std::string bytes;
  };
  const Row rows[] = {
      {"zero", 0, std::string(1, '\0')},
      {"one", 1, "\x01"},
      {"127", 127, "\x7f"},
      {"128", 128, "\x80\x01"},
      {"300", 300, "\xac\x02"},
      {"16384", 16384, "\x80\x80\x01"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string blob;
    appendPackedId(blob, row.id);
    EXPECT_EQ(blob, row.bytes);
  }
}

TEST(IdListTest, RemovesTheFirstOccurrenceOnly) {
  struct Row {
    const char* name;
    std::vector<std::int64_t> list;
    std::int64_t remove;
    bool removed;
    std::vector<std::int64_t> after;
  };
  const Row rows[] = {
      {"only_entry", {300}, 300, true, {}},
      {"first_of_two_equal", {7, 300, 7}, 7, true, {300, 7}},
      {"multi_byte_in_the_middle", {1, 16384, 2}, 16384, true, {1, 2}},
      {"absent", {1, 2, 3}, 4, false, {1, 2, 3}},
      {"prefix_bytes_are_not_a_match", {128}, 0, false, {128}},  // 128 is 80 01: no byte-wise 0
      {"empty_list", {}, 1, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string blob = packIds(row.list);
    EXPECT_EQ(removePackedId(blob, row.remove), row.removed);
    EXPECT_EQ(*unpackIds(blob), row.after);
  }
}

TEST(IdListTest, MalformedBlobsAreRefused) {
  struct Row {
    const char* name;
    std::string blob;
  };
  const Row rows[] = {
      {"ends_inside_a_number", "\x01\x80"},
      {"only_a_continuation_byte", "\xff"},
      {"eleven_bytes", std::string(10, '\xff') + "\x01"},
      {"tenth_byte_beyond_64_bits", std::string(9, '\xff') + "\x02"},
      {"text_of_another_format", "[1,2,\xe9\xe9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Expected<std::vector<std::int64_t>> ids = unpackIds(row.blob);
    ASSERT_FALSE(ids.ok());
    EXPECT_EQ(ids.status().number(), kErrIdList);
    std::string copy = row.blob;
    EXPECT_FALSE(removePackedId(copy, 1));
    EXPECT_EQ(copy, row.blob) << "a malformed list is left as it is";
  }
}

}  // namespace
}  // namespace quorvane
