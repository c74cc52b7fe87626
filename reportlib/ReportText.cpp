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

// U+2400 + code for the codes 0..31, U+2421 for DEL: three UTF-8 bytes.
void appendControlPicture(std::string& out, unsigned char code) {
  const char32_t cp = code == 127 ? U'\u2421' : static_cast<char32_t>(0x2400 + code);
  out += static_cast<char>(0xE0 | (cp >> 12));
  out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (cp & 0x3F));
}

}  // namespace

void appendHtmlText(std::string& out, std::string_view windows1252) {
  std::size_t plain = 0;  // start of the run of bytes not yet written
  auto flush = [&](std::size_t upTo) {
    if (upTo > plain) out += quorvane::windows1252ToUtf8(windows1252.substr(plain, upTo - plain));
    plain = upTo + 1;
  };
  for (std::size_t i = 0; i < windows1252.size(); ++i) {
    const auto c = static_cast<unsigned char>(windows1252[i]);
    const char* reference = nullptr;
    switch (c) {
      case '&': reference = "&amp;"; break;
      case '<': reference = "&lt;"; break;
      case '>': reference = "&gt;"; break;
      case '"': reference = "&quot;"; break;
      case '\'': reference = "&#39;"; break;
      default: break;
    }
    if (reference != nullptr) {
      flush(i);
      out += reference;
    } else if (c < 32 || c == 127) {
      flush(i);
      appendControlPicture(out, c);
    }
  }
  flush(windows1252.size());
}

std::string htmlText(std::string_view windows1252) {
  std::string out;
  out.reserve(windows1252.size() + windows1252.size() / 4);
  appendHtmlText(out, windows1252);
  return out;
}

}  // namespace dovrel
