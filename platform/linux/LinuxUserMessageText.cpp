// The pure parts of the Linux user messenger: login records and the texts
// of a terminal broadcast and a desktop notification.
#include <utmp.h>

#include <cstring>

#include "common/Text8.h"
#include "platform/linux/LinuxUserMessage.h"

namespace quorvane::platform::linux_backend {
namespace {

template <std::size_t N>
std::string field(const char (&f)[N]) {
  return std::string(f, strnlen(f, N));
}

bool undefinedIn1252(unsigned char c) { return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D; }

bool control(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Calls `line(text)` for each line of the text (CR LF, lone CR, lone LF end
// one) and `end()` between lines.
template <class Line, class End>
void eachLine(std::string_view text, Line line, End end) {
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i < text.size() && text[i] != '\r' && text[i] != '\n') continue;
    line(text.substr(start, i - start));
    if (i == text.size()) break;
    end();
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
}

}  // namespace

std::vector<TerminalLogin> parseUtmp(std::string_view bytes) {
  std::vector<TerminalLogin> logins;
  for (std::size_t at = 0; at + sizeof(struct utmp) <= bytes.size(); at += sizeof(struct utmp)) {
    struct utmp u;
    std::memcpy(&u, bytes.data() + at, sizeof u);
    if (u.ut_type != USER_PROCESS) continue;
    TerminalLogin login{field(u.ut_user), field(u.ut_line)};
    if (login.line.empty()) continue;
    logins.push_back(std::move(login));
  }
  return logins;
}

std::optional<std::string> terminalDevice(std::string_view devRoot, std::string_view line) {
  if (line.empty() || line.front() == '/' || line.back() == '/') return std::nullopt;
  for (char c : line) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/' ||
                    c == '_' || c == '-' || c == '.';
    if (!ok) return std::nullopt;
  }
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t slash = std::min(line.find('/', start), line.size());
    const std::string_view part = line.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return std::nullopt;
    start = slash + 1;
  }
  std::string device(devRoot);
  if (device.empty() || device.back() != '/') device.push_back('/');
  return device.append(line);
}

std::string terminalMessage(std::string_view text8, std::string_view from, std::string_view when) {
  std::string out = "\r\n\aBroadcast message from ";
  out.append(from).append(" (").append(when).append("):\r\n\r\n");
  eachLine(
      text8,
      [&](std::string_view line) {
        for (char ch : line) {
          const auto c = static_cast<unsigned char>(ch);
          if (c == '\t') {
            out.push_back('\t');
          } else if (control(c)) {
            out.push_back('^');
            out.push_back(static_cast<char>(c ^ 0x40));
          } else if (undefinedIn1252(c)) {
            out.push_back('?');
          } else {
            appendUtf8(out, c);
          }
        }
      },
      [&] { out.append("\r\n"); });
  out.append("\r\n\r\n");
  return out;
}

std::string notificationBody(std::string_view text8, bool markup) {
  std::string out;
  eachLine(
      text8,
      [&](std::string_view line) {
        for (char ch : line) {
          const auto c = static_cast<unsigned char>(ch);
          if (c == '\t') out.push_back('\t');
          else if (control(c) || undefinedIn1252(c)) out.push_back('?');
          else if (markup && c == '&') out.append("&amp;");
          else if (markup && c == '<') out.append("&lt;");
          else if (markup && c == '>') out.append("&gt;");
          else appendUtf8(out, c);
        }
      },
      [&] { out.push_back('\n'); });
  return out;
}

}  // namespace quorvane::platform::linux_backend
