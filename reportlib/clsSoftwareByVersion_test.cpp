// The grouping of "Software by Version and Computer": products compared as
// the software-assets report counts them, versions, computers, totals and
// the natural order of versions.
#include "reportlib/clsSoftwareByVersion.h"

#include <gtest/gtest.h>

#include "reportlib/DovrelTestSupport.h"

namespace dovrel {
namespace {

using testing::withApps;

// product name (installations): version [hosts], version [hosts] ...
std::vector<std::string> listing(const SoftwareGrouping& g) {
  std::vector<std::string> lines;
  g.forEachProduct([&](const ProductGroup& p, std::span<const VersionGroup> versions) {
    std::string line = p.name + " (" + std::to_string(p.installations) + "):";
    for (const VersionGroup& v : versions) {
      line += " " + std::string(v.version) + " [";
      for (const auto i : v.computers) line += " " + g.computers()[i].hostName;
      line += " ]";
    }
    lines.push_back(line);
  });
  return lines;
}

TEST(SoftwareGroupingTest, ProductsVersionsAndComputers) {
  SoftwareGrouping g;
  g.add(withApps("127.0.0.1", "PC1", {{"Word", "11.0"}, {" word ", "12.0"}, {"   ", "1"}}));
  g.add(withApps("127.0.0.2", "PC2", {{"WORD", "11.0"}, {"Word", " 11.0 "}, {"Zip", ""}}));
  g.add(withApps("127.0.0.3", "PC3", {}));
  g.add(withApps("127.0.0.4", "PC4", {{"Microsoft Word", "11.0"}}));
  g.sort();

  EXPECT_EQ(g.computers().size(), 4u);
  EXPECT_EQ(g.installations(), 6u);  // blank names do not count, repeats do
  EXPECT_EQ(g.productCount(), 3u);
  EXPECT_EQ(listing(g), (std::vector<std::string>{
                            "Microsoft Word (1): 11.0 [ PC4 ]",
                            "Word (4): 11.0 [ PC1 PC2 ] 12.0 [ PC1 ]",  // first form seen; PC2 once
                            "Zip (1):  [ PC2 ]",
                        }));
}

TEST(SoftwareGroupingTest, VersionsInNaturalOrderComputersInAuditOrder) {
  SoftwareGrouping g;
  g.add(withApps("127.0.0.1", "A", {{"Tool", "1.10"}, {"Tool", "1.9"}}));
  g.add(withApps("127.0.0.2", "B", {{"TOOL", "1.9"}, {"Other", "1.10"}, {"tool", "1.10"}}));
  g.add(withApps("127.0.0.3", "C", {{"Tool", "1.9"}}));
  g.sort();
  EXPECT_EQ(listing(g), (std::vector<std::string>{"Other (1): 1.10 [ B ]",
                                                  "Tool (5): 1.9 [ A B C ] 1.10 [ A B ]"}));
}

struct OrderCase {
  const char* name;
  std::string a;
  std::string b;
  int sign;
};

class NaturalCompareTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(NaturalCompareTest, Sign) {
  const int c = naturalCompare(GetParam().a, GetParam().b);
  EXPECT_EQ((c > 0) - (c < 0), GetParam().sign);
  const int r = naturalCompare(GetParam().b, GetParam().a);
  EXPECT_EQ((r > 0) - (r < 0), -GetParam().sign);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, NaturalCompareTest,
    ::testing::Values(OrderCase{"NumbersAsNumbers", "1.9", "1.10", -1},
                      OrderCase{"Equal", "2.0", "2.0", 0},
                      OrderCase{"LetterCaseIgnored", "1.0 Beta", "1.0 beta", 0},
                      OrderCase{"LeadingZerosDifferButOrdered", "1.01", "1.1", -1},
                      OrderCase{"LongNumbers", "99999999999999999999", "100000000000000000000", -1},
                      OrderCase{"PrefixFirst", "1.0", "1.0.1", -1},
                      OrderCase{"EmptyFirst", "", "0", -1},
                      OrderCase{"DigitsBeforeLetters", "1", "a", -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace dovrel
