// The text-to-id table of the index writer: keys that differ only in bytes a
// C string would stop at, replacing and clearing, and enough keys to make the
// table grow many times with every key still found and no stranger found.
#include "server/core/TextIdTable.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using namespace std::string_view_literals;

TEST(TextIdTableTest, KeysAreAllTheirBytes) {
  TextIdTable table;
  struct Row {
    const char* name;
    std::string_view key;
    std::int64_t id;
  };
  const Row rows[] = {
      {"empty_key", ""sv, 0},
      {"plain", "Mozilla Firefox\0Mozilla\0"
                "119.0"sv, 1},
      {"differs_after_a_nul", "Mozilla Firefox\0Mozilla\0"
                              "120.0"sv, 2},
      {"nul_moved", "Mozilla Firefox\0\0Mozilla"
                    "119.0"sv, 3},
      {"prefix_of_another", "Mozilla Firefox"sv, 4},
      {"high_bytes", "Caf\xe9\0\xff"sv, 5},
  };
  for (const Row& row : rows) table.insert(row.key, row.id);
  EXPECT_EQ(table.size(), std::size(rows));
  for (const Row& row : rows) EXPECT_EQ(table.find(row.key), row.id) << row.name;
  EXPECT_EQ(table.find("Mozilla Firefox\0Mozilla"sv), -1);
  EXPECT_EQ(table.find("mozilla firefox"sv), -1) << "letter case counts";
}

TEST(TextIdTableTest, ReplacingKeepsOneEntryAndNegativeIdsAreNotStored) {
  TextIdTable table;
  EXPECT_EQ(table.find("a"), -1) << "an empty table answers";
  table.insert("a", 7);
  table.insert("a", 9);
  EXPECT_EQ(table.size(), 1u);
  EXPECT_EQ(table.find("a"), 9);
  table.insert("b", -1);
  EXPECT_EQ(table.find("b"), -1);
  EXPECT_EQ(table.size(), 1u);
  table.clear();
  EXPECT_EQ(table.size(), 0u);
  EXPECT_EQ(table.find("a"), -1);
  table.insert("a", 3);
  EXPECT_EQ(table.find("a"), 3) << "usable again after clear";
}

TEST(TextIdTableTest, GrowsWithEveryKeyFound) {
  TextIdTable table;
  constexpr int kKeys = 50'000;  // the table grows from 1,024 slots to 131,072
  for (int i = 0; i < kKeys; ++i) table.insert("Product " + std::to_string(i) + '\0' + "1.0", i * 3);
  ASSERT_EQ(table.size(), static_cast<std::size_t>(kKeys));
  int wrong = 0;
  for (int i = 0; i < kKeys; ++i) {
    if (table.find("Product " + std::to_string(i) + '\0' + "1.0") != i * 3) ++wrong;
    if (table.find("Product " + std::to_string(i) + '\0' + "1.1") != -1) ++wrong;
  }
  EXPECT_EQ(wrong, 0);
}

}  // namespace
}  // namespace quorvane
