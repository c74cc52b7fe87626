#include "common/ErrorReport.h"

namespace quorvane {

std::string errorLocation(std::string_view project, std::string_view module,
                          std::string_view procedure) {
  std::string s;
  s.reserve(project.size() + module.size() + procedure.size() + 2);
  s.append(project).append(".").append(module).append(".").append(procedure);
  return s;
}

std::string formatErrorReport(std::string_view where, long number, std::string_view description,
                              long line) {
  std::string s = "Error in : ";
  s.append(where);
  s.append("\r\n\r\nError Number : ").append(std::to_string(number));
  s.append("\r\nError Description : ").append(description);
  s.append("\r\nOn line : ").append(std::to_string(line));
  return s;
}

RaisedError::RaisedError(long number, std::string description, std::string source,
                         std::source_location at)
    : std::runtime_error(description),
      number_(number),
      description_(std::move(description)),
      source_(std::move(source)),
      line_(static_cast<long>(at.line())) {}

RaisedError::RaisedError(const Status& status, std::source_location at)
    : RaisedError(status.number(), status.description(), status.source(), at) {}

}  // namespace quorvane
