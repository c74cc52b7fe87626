#include "reportlib/ReportText.h"

#include "common/Text8.h"

namespace dovrel {

void appendCsvField(std::string& out, std::string_view windows1252) {
  const std::string utf8 = quorvane::windows1252ToUtf8(windows1252);
  if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
    out += utf8;
    return;
  }
  out += '"';
  for (const char c : utf8) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void appendCsvRecord(std::string& out, std::initializer_list<std::string_view> fields) {
  bool first = true;
  for (const auto field : fields) {
    if (!first) out += ',';
    first = false;
    appendCsvField(out, field);
  }
  out += kCsvLineEnd;
}

namespace {

// U+2400 + code for the codes 0..31, U+2421 for DEL.
void appendControlPicture(std::string& out, unsigned char code) {
  quorvane::appendUtf8(out, code == 127 ? U'\u2421' : static_cast<char32_t>(0x2400 + code));
}

}  // namespace

void appendHtmlText(std::string& out, std::string_view windows1252) {
  for (const char ch : windows1252) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '&': out += "&amp;"; continue;
      case '<': out += "&lt;"; continue;
      case '>': out += "&gt;"; continue;
      case '"': out += "&quot;"; continue;
      case '\'': out += "&#39;"; continue;
      default: break;
    }
    if (c < 32 || c == 127) {
      appendControlPicture(out, c);
    } else {
      quorvane::appendUtf8(out, c);
    }
  }
}

std::string htmlText(std::string_view windows1252) {
  std::string out;
  out.reserve(windows1252.size() + windows1252.size() / 4);
  appendHtmlText(out, windows1252);
  return out;
}

}  // namespace dovrel
