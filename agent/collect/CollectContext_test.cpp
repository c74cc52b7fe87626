// runCollector: how each kind of failure escaping a collector's body is
// reported, and that the body's work up to the failure is kept.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "agent/collect/CollectContext.h"
#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

struct FailureRow {
  const char* name;
  OtherFailures other;
  std::function<void()> fail;
  long number;
  std::string description;
};

TEST(runCollector, NumbersEachKindOfFailure) {
  const std::vector<FailureRow> rows = {
      {"raised_keeps_its_number", OtherFailures::kInternal,
       [] { throw RaisedError(28001, "File was not found : KBD.DRV"); }, 28001,
       "File was not found : KBD.DRV"},
      {"raised_keeps_its_number_in_hardware", OtherFailures::kInvalidCall,
       [] { throw RaisedError(91, "Object variable or With block variable not set"); }, 91,
       "Object variable or With block variable not set"},
      {"internal_runtime_error", OtherFailures::kInternal, [] { throw std::runtime_error("boom"); }, 51,
       "Internal error: boom"},
      {"internal_out_of_memory", OtherFailures::kInternal, [] { throw std::bad_alloc(); }, 7,
       "Out of memory"},
      {"hardware_runtime_error", OtherFailures::kInvalidCall, [] { throw std::out_of_range("index 9"); }, 5,
       "index 9"},
      {"hardware_out_of_memory", OtherFailures::kInvalidCall, [] { throw std::bad_alloc(); }, 5,
       std::bad_alloc().what()},
  };
  auto machine = testing::machineFromJson("{}");
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    testing::Recorder rec;
    int before = 0, after = 0;
    runCollector(rec.context(*machine), "modProbe", "getProbe", [&] {
      ++before;
      row.fail();
      ++after;
    }, row.other);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 0);
    ASSERT_EQ(rec.reports.size(), 1u);
    const CollectReport& r = rec.reports[0];
    EXPECT_EQ(r.where, "QuorvanePro.modProbe.getProbe");
    EXPECT_EQ(r.number, row.number);
    EXPECT_EQ(r.description, row.description);
    EXPECT_EQ(r.text, formatErrorReport(r.where, r.number, r.description, r.line));
  }
}

TEST(runCollector, QuietWhenTheBodySucceedsOrNobodyListens) {
  auto machine = testing::machineFromJson("{}");
  testing::Recorder rec;
  bool ran = false;
  runCollector(rec.context(*machine), "modProbe", "getProbe", [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(rec.reports.empty());
  CollectContext silent{*machine, {}, {}, {}};
  EXPECT_NO_THROW(runCollector(silent, "modProbe", "getProbe", [] { throw std::runtime_error("x"); }));
}

}  // namespace
}  // namespace quorvane::agent
