#include "tools/AuditToolCodecs.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
};

using Filter = int (*)(std::string_view, std::istream&, std::ostream&, std::ostream&);

Result run(Filter filter, std::string_view mode, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = filter(mode, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(AuditToolCodecs, KnownOutputs) {
  struct Row {
    const char* name;
    Filter filter;
    const char* mode;
    std::string input;
    std::string output;
  };
  const std::vector<Row> rows = {
      {"b64 encode", runB64, "encode", "abc", "YWJj"},
      {"b64 decode", runB64, "decode", "YWI=", "ab"},
      {"b64 decode with trailing line break", runB64, "decode", "YWI=\r\n", "ab"},
      {"b64 empty", runB64, "encode", "", ""},
      {"he3 encode abc", runHe3, "encode", "abc",
       std::string("HE3\r\x60\x03\0\0\0\x03\0a\x02" "b\x02" "c\x01\r\r", 19)},
      {"he3 stored", runHe3, "encode", "aaaa", "HE0\raaaa"},
      {"he3 decode stored", runHe3, "decode", std::string("HE0\r\0\xff", 6), std::string("\0\xff", 2)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = run(row.filter, row.mode, row.input);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, row.output);
    EXPECT_EQ(r.err, "");
  }
}

TEST(AuditToolCodecs, FailuresGiveOneLineAndNoOutput) {
  struct Row {
    const char* name;
    Filter filter;
    const char* mode;
    std::string input;
    std::string messagePart;
  };
  const std::vector<Row> rows = {
      {"b64 length", runB64, "decode", "abc", "multiple of 4"},
      {"b64 alphabet", runB64, "decode", "ab!c", "outside the alphabet"},
      {"b64 mode", runB64, "squash", "", "unknown mode"},
      {"he3 identification", runHe3, "decode", "not a container", "identification string not found"},
      {"he3 truncated", runHe3, "decode", std::string("HE3\r\0\x05\0\0", 8), "corrupt"},
      {"he3 mode", runHe3, "", "", "unknown mode"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Result r = run(row.filter, row.mode, row.input);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(r.err.empty());
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_NE(r.err.find(row.messagePart), std::string::npos) << r.err;
  }
}

}  // namespace
