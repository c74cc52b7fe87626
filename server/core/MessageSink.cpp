#include "server/core/MessageSink.h"

#include "common/Text8.h"

namespace quorvane {

std::string formatMessageBlock(std::string_view title, std::string_view text, int style) {
  std::string body;
  body.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      body.push_back('\n');
      ++i;
    } else {
      body.push_back(text[i]);
    }
  }
  std::string block = "== " + windows1252ToUtf8(title) + " (style " + std::to_string(style) + ") ==\n";
  block += windows1252ToUtf8(body);
  block += "\n==\n";
  return block;
}

void StderrMessageSink::showMessage(std::string_view title, std::string_view text, int style) {
  const std::string block = formatMessageBlock(title, text, style);
  std::fwrite(block.data(), 1, block.size(), out_);
  std::fflush(out_);
}

}  // namespace quorvane
