#include "common/ErrorReport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane {
namespace {

TEST(ErrorReport, TextForEachProject) {
  struct Row {
    std::string_view project;
    const char* expected;
  };
  const std::vector<Row> rows = {
      {kProjectAgent,
       "Error in : QuorvanePro.modGetInfo.getInfo\r\n\r\nError Number : 5\r\n"
       "Error Description : Invalid procedure call or argument\r\nOn line : 120"},
      {kProjectServer,
       "Error in : QuorvaneServer.modGetInfo.getInfo\r\n\r\nError Number : 5\r\n"
       "Error Description : Invalid procedure call or argument\r\nOn line : 120"},
      {kProjectReports,
       "Error in : Dovrel.modGetInfo.getInfo\r\n\r\nError Number : 5\r\n"
       "Error Description : Invalid procedure call or argument\r\nOn line : 120"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.project));
    EXPECT_EQ(formatErrorReport(errorLocation(row.project, "modGetInfo", "getInfo"), 5,
                                "Invalid procedure call or argument", 120),
              row.expected);
  }
}

TEST(ErrorReport, HandlerOnlyLocationAndNegativeNumbers) {
  EXPECT_EQ(formatErrorReport("frmMain.Form_Load", -2147221504, "", 0),
            "Error in : frmMain.Form_Load\r\n\r\nError Number : -2147221504\r\n"
            "Error Description : \r\nOn line : 0");
}

TEST(ErrorReport, RaisedErrorCarriesItsLine) {
  long expectedLine = 0;
  try {
    expectedLine = __LINE__ + 1;
    throw RaisedError(kErrFileNotFound, "File not found", "Open()");
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.line(), expectedLine);
    EXPECT_EQ(e.number(), kErrFileNotFound);
    EXPECT_EQ(e.description(), "File not found");
    EXPECT_EQ(e.source(), "Open()");
    const Status s = e.status();
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.number(), kErrFileNotFound);
  }
  try {
    expectedLine = __LINE__ + 1;
    throw RaisedError(Status::Error(kErrSubscript, "Subscript out of range"));
  } catch (const RaisedError& e) {
    EXPECT_EQ(e.line(), expectedLine);
    EXPECT_EQ(e.number(), kErrSubscript);
  }
}

}  // namespace
}  // namespace quorvane
