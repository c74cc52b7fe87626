// MessageSink: where the server's message boxes go.
//
// The window shows them as message boxes; the headless and command-line
// modes write them to standard error as blocks:
//   == <title> (style <n>) ==
//   <text, each CR LF shown as a line break>
//   ==
// Texts are 8-bit (Windows-1252) and are written as UTF-8.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace quorvane {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void showMessage(std::string_view title, std::string_view text, int style) = 0;
};

// The standard-error block of one message box, UTF-8, ending in a newline.
std::string formatMessageBlock(std::string_view title, std::string_view text, int style);

class StderrMessageSink final : public MessageSink {
 public:
  explicit StderrMessageSink(std::FILE* out = stderr) : out_(out) {}
  void showMessage(std::string_view title, std::string_view text, int style) override;

 private:
  std::FILE* out_;
};

}  // namespace quorvane
