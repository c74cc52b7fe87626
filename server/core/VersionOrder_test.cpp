// Version order: named rows from Debian, rpm and Windows, each checked in both
// directions so that the order is antisymmetric; and the query operators.
#include "server/core/VersionOrder.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

struct OrderRow {
  const char* name;
  const char* older;
  const char* newer;  // equal to `older` in order when `same` is set
  bool same = false;
};

const OrderRow kOrder[] = {
    // Debian
    {"debian_epoch_beats_upstream", "2.30-1", "1:1.0-1"},
    {"debian_epoch_zero_is_none", "0:1.2-3", "1.2-3", true},
    {"debian_revision_decides", "1.2-3", "1.2-10"},
    {"debian_tilde_before_release", "1.0~rc1-1", "1.0-1"},
    {"debian_tilde_tilde_before_tilde", "1.0~~a", "1.0~"},
    {"debian_tilde_before_end", "1.0~", "1.0"},
    {"debian_plus_after_release", "1.0-1", "1.0-1+deb12u1"},
    {"debian_letters_before_dot", "1.0a", "1.0.1"},
    {"debian_dfsg_suffix", "6.4.2+dfsg-9", "6.4.2+dfsg-10"},
    {"debian_hyphen_in_upstream", "1.2-3-4", "1.2-4-1"},
    {"debian_leading_zeros", "1.002", "1.2", true},
    {"debian_numeric_not_text", "1.9", "1.10"},
    // rpm
    {"rpm_el_release", "2.4.6-97.el8", "2.4.6-98.el8"},
    {"rpm_tilde_prerelease", "1.0~beta1-1.fc38", "1.0-1.fc38"},
    {"rpm_caret_after_release", "1.0-1", "1.0^20230101-1"},
    {"rpm_caret_before_point_release", "1.0^git1", "1.0.1"},
    {"rpm_epoch", "5.0-1", "1:4.0-1"},
    // Windows
    {"windows_dotted_numeric", "10.0.9200", "10.0.19041"},
    {"windows_more_parts_is_newer", "10.0.19041", "10.0.19041.1"},
    {"windows_firefox_major", "119.0.1", "120.0"},
    {"windows_two_digit_minor", "7.9", "7.10"},
    {"windows_zero_padded", "7.00", "7.0", true},
    {"windows_build_number", "4.10.0.1998", "4.10.0.2222"},
    {"windows_build_words", "4.10 A Build 1998", "4.10 A Build 2222"},
    {"windows_large_numbers", "1.2.99999999999999999999", "1.2.100000000000000000000"},
    {"windows_blanks_ignored", " 3.1 ", "3.1", true},
    {"empty_is_oldest", "", "0.1"},
};

class VersionOrderTest : public ::testing::TestWithParam<OrderRow> {};

TEST_P(VersionOrderTest, OrdersBothWays) {
  const OrderRow& r = GetParam();
  if (r.same) {
    EXPECT_EQ(compareVersions(r.older, r.newer), 0);
    EXPECT_EQ(compareVersions(r.newer, r.older), 0);
  } else {
    EXPECT_LT(compareVersions(r.older, r.newer), 0) << r.older << " vs " << r.newer;
    EXPECT_GT(compareVersions(r.newer, r.older), 0) << r.newer << " vs " << r.older;
  }
  EXPECT_EQ(compareVersions(r.older, r.older), 0);
}

INSTANTIATE_TEST_SUITE_P(Rows, VersionOrderTest, ::testing::ValuesIn(kOrder),
                         [](const auto& info) { return std::string(info.param.name); });

struct MatchRow {
  const char* name;
  const char* version;
  VersionOp op;
  const char* bound;
  bool matches;
};

const MatchRow kMatch[] = {
    {"less_below", "119.0.1", VersionOp::Less, "120", true},
    {"less_at", "120", VersionOp::Less, "120", false},
    {"less_above_with_more_parts", "120.0", VersionOp::Less, "120", false},
    {"less_equal_at", "120", VersionOp::LessEqual, "120", true},
    {"equal_padded", "7.00", VersionOp::Equal, "7.0", true},
    {"equal_other", "7.01", VersionOp::Equal, "7.0", false},
    {"greater_equal_below", "1.9", VersionOp::GreaterEqual, "1.10", false},
    {"greater_tilde", "1.0", VersionOp::Greater, "1.0~rc1", true},
    {"any_empty_version", "", VersionOp::Any, "", true},
};

class VersionMatchTest : public ::testing::TestWithParam<MatchRow> {};

TEST_P(VersionMatchTest, Matches) {
  const MatchRow& r = GetParam();
  EXPECT_EQ(versionMatches(r.version, r.op, r.bound), r.matches);
}

INSTANTIATE_TEST_SUITE_P(Rows, VersionMatchTest, ::testing::ValuesIn(kMatch),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace quorvane
