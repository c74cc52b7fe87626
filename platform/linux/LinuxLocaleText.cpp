#include "platform/linux/LinuxLocaleText.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "common/Text8.h"

namespace quorvane::platform::linux_backend {
namespace {

bool isUtf8Name(std::string_view name) {
  std::string n;
  for (char c : name)
    if (c != '-' && c != '_') n.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  return n == "utf8";
}

std::string envText(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

}  // namespace

std::string localeCharset(std::string_view lcAll, std::string_view lcCtype, std::string_view lang) {
  std::string_view chosen = !lcAll.empty() ? lcAll : !lcCtype.empty() ? lcCtype : lang;
  auto dot = chosen.find('.');
  if (dot == std::string_view::npos) return "UTF-8";
  std::string_view set = chosen.substr(dot + 1);
  set = set.substr(0, set.find('@'));
  if (set.empty() || isUtf8Name(set)) return "UTF-8";
  return std::string(set);
}

std::string environmentCharset() {
  return localeCharset(envText("LC_ALL"), envText("LC_CTYPE"), envText("LANG"));
}

std::string windows1252ToCharset(std::string_view bytes, const std::string& charset) {
  std::string utf8 = windows1252ToUtf8(bytes);
  if (isUtf8Name(charset)) return utf8;
  iconv_t cd = iconv_open((charset + "//TRANSLIT").c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;  // an unknown set: UTF-8 it is
  std::string out;
  char* in = utf8.data();
  std::size_t inLeft = utf8.size();
  char buf[256];
  while (inLeft > 0) {
    char* o = buf;
    std::size_t oLeft = sizeof buf;
    std::size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A character the set cannot hold, even transliterated.
      out.push_back('?');
      std::size_t skip = 1;
      while (skip < inLeft && (static_cast<unsigned char>(in[skip]) & 0xC0) == 0x80) ++skip;
      in += skip;
      inLeft -= skip;
    }
  }
  iconv_close(cd);
  return out;
}

}  // namespace quorvane::platform::linux_backend
