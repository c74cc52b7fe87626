// The error-report convention shared by all three programs.
//
// An unexpected error inside a procedure is shown to the user as
//   "Error in : " <where> CR LF CR LF
//   "Error Number : " <number> CR LF
//   "Error Description : " <description> CR LF
//   "On line : " <line>
// where <where> is project "." module "." procedure (the project words are
// QuorvanePro, QuorvaneServer and Dovrel); a few server window handlers use
// "frmMain." handler only. This header only builds the texts; who shows them
// (message box, standard error) belongs to each program's desktop layer.
//
// RaisedError is the exception that a procedure throws internally to leave
// its work at the failing line; the procedure's own handler catches it and
// reports it. It never crosses a layer boundary: layers return Status.
#pragma once

#include <source_location>
#include <stdexcept>
#include <string>
#include <string_view>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

inline constexpr std::string_view kProjectAgent = "QuorvanePro";
inline constexpr std::string_view kProjectServer = "QuorvaneServer";
inline constexpr std::string_view kProjectReports = "Dovrel";

// project "." module "." procedure
std::string errorLocation(std::string_view project, std::string_view module,
                          std::string_view procedure);

// The full message text of the convention, CR LF separated.
std::string formatErrorReport(std::string_view where, long number, std::string_view description,
                              long line);

class RaisedError : public std::runtime_error {
 public:
  RaisedError(long number, std::string description, std::string source = {},
              std::source_location at = std::source_location::current());
  explicit RaisedError(const Status& status,
                       std::source_location at = std::source_location::current());

  long number() const { return number_; }
  const std::string& description() const { return description_; }
  const std::string& source() const { return source_; }
  long line() const { return line_; }
  Status status() const { return Status::Error(number_, description_, source_); }

 private:
  long number_;
  std::string description_;
  std::string source_;
  long line_;
};

}  // namespace quorvane
