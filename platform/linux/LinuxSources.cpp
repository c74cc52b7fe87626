#include "platform/linux/LinuxSources.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>

#include "common/WholeFile.h"
#include "platform/RegistryTree.h"

namespace quorvane::platform::linux_backend {

namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

// Calls f(line) for every line (without its "\n").
template <class F>
void forEachLine(std::string_view text, F&& f) {
  while (!text.empty()) {
    auto nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    f(line);
    if (nl == std::string_view::npos) break;
    text.remove_prefix(nl + 1);
  }
}

std::vector<std::string_view> splitWhitespace(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    std::size_t start = i;
    while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

}  // namespace

std::optional<std::string> readTextFile(const std::string& path) {
  auto data = quorvane::readWholeFile(path, kMaxSourceFileBytes);
  if (!data) return std::nullopt;
  return std::move(*data);
}

std::optional<std::string> parseOsReleasePrettyName(std::string_view text) {
  std::optional<std::string> result;
  forEachLine(text, [&](std::string_view line) {
    line = trim(line);
    if (line.substr(0, 12) != "PRETTY_NAME=") return;
    std::string_view v = line.substr(12);
    std::string out;
    if (!v.empty() && (v.front() == '"' || v.front() == '\'')) {
      char quote = v.front();
      v.remove_prefix(1);
      for (std::size_t i = 0; i < v.size(); ++i) {
        char c = v[i];
        if (c == quote) break;
        if (quote == '"' && c == '\\' && i + 1 < v.size() &&
            std::string_view("\"\\$`").find(v[i + 1]) != std::string_view::npos) {
          out.push_back(v[++i]);
          continue;
        }
        out.push_back(c);
      }
    } else {
      out.assign(v);
    }
    result = out;  // the last assignment wins, as in a shell
  });
  if (result && result->empty()) return std::nullopt;
  return result;
}

std::optional<KernelRelease> parseKernelRelease(std::string_view release) {
  KernelRelease k;
  std::uint32_t* parts[] = {&k.major, &k.minor, &k.patch};
  const char* p = release.data();
  const char* end = p + release.size();
  for (int i = 0; i < 3; ++i) {
    auto [next, ec] = std::from_chars(p, end, *parts[i]);
    if (ec != std::errc()) {
      if (i == 0) return std::nullopt;
      break;
    }
    p = next;
    if (p == end || *p != '.') break;
    ++p;
  }
  return k;
}

std::string kernelVersionText(const KernelRelease& k) {
  return std::to_string(k.major) + "." + std::to_string(k.minor) + " Build " +
         std::to_string(k.patch);
}

std::optional<std::uint64_t> parseUptimeMilliseconds(std::string_view text) {
  text = trim(text);
  std::uint64_t seconds = 0;
  auto [p, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (ec != std::errc() || seconds > (UINT64_MAX / 1000 - 1)) return std::nullopt;
  std::uint64_t ms = seconds * 1000;
  const char* end = text.data() + text.size();
  if (p < end && *p == '.') {
    ++p;
    std::uint64_t scale = 100;
    while (p < end && std::isdigit(static_cast<unsigned char>(*p))) {
      ms += static_cast<std::uint64_t>(*p - '0') * scale;
      scale /= 10;
      ++p;
    }
  }
  if (p < end && !std::isspace(static_cast<unsigned char>(*p))) return std::nullopt;
  return ms;
}

std::optional<std::string> parseMachineId(std::string_view text) {
  text = trim(text);
  if (text.size() != 32) return std::nullopt;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return std::string(text);
}

std::optional<std::string> parseFirstSwapArea(std::string_view text) {
  std::optional<std::string> result;
  bool header = true;
  forEachLine(text, [&](std::string_view line) {
    if (result) return;
    if (header) {
      header = false;
      if (line.substr(0, 8) == "Filename") return;
    }
    auto fields = splitWhitespace(line);
    if (fields.empty()) return;
    std::string name;
    std::string_view f = fields[0];
    for (std::size_t i = 0; i < f.size(); ++i) {
      if (f[i] == '\\' && f.size() - i >= 4 &&
          std::all_of(f.begin() + i + 1, f.begin() + i + 4,
                      [](char c) { return c >= '0' && c <= '7'; })) {
        name.push_back(static_cast<char>((f[i + 1] - '0') * 64 + (f[i + 2] - '0') * 8 +
                                         (f[i + 3] - '0')));
        i += 3;
      } else {
        name.push_back(f[i]);
      }
    }
    result = name;
  });
  return result;
}

std::vector<DpkgPackage> parseDpkgStatus(std::string_view text) {
  static const std::string_view kPresent[] = {"installed",        "half-configured",
                                              "unpacked",         "half-installed",
                                              "triggers-awaited", "triggers-pending"};
  std::vector<DpkgPackage> out;
  DpkgPackage current;
  std::string* lastField = nullptr;
  auto finish = [&] {
    if (!current.name.empty() &&
        std::find(std::begin(kPresent), std::end(kPresent), current.status) != std::end(kPresent))
      out.push_back(std::move(current));
    current = DpkgPackage();
    lastField = nullptr;
  };
  forEachLine(text, [&](std::string_view line) {
    if (trim(line).empty()) {
      finish();
      return;
    }
    if (line.front() == ' ' || line.front() == '\t') {
      // Continuation of a multi-line field: only Description has them among
      // the fields read here, and it is not read.
      (void)lastField;
      return;
    }
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view key = line.substr(0, colon);
    std::string value(trim(line.substr(colon + 1)));
    lastField = nullptr;
    if (key == "Package") current.name = value, lastField = &current.name;
    else if (key == "Architecture") current.architecture = value;
    else if (key == "Version") current.version = value;
    else if (key == "Maintainer") current.maintainer = value;
    else if (key == "Homepage") current.homepage = value;
    else if (key == "Status") {
      auto words = splitWhitespace(value);
      current.status = words.size() == 3 ? std::string(words[2]) : std::string();
    }
  });
  finish();
  return out;
}

std::optional<PasswdEntry> parsePasswdByUid(std::string_view text, std::uint32_t uid) {
  std::optional<PasswdEntry> result;
  forEachLine(text, [&](std::string_view line) {
    if (result || line.empty() || line.front() == '#') return;
    std::vector<std::string_view> f;
    std::size_t start = 0;
    while (true) {
      auto c = line.find(':', start);
      f.push_back(line.substr(start, c == std::string_view::npos ? std::string_view::npos : c - start));
      if (c == std::string_view::npos) break;
      start = c + 1;
    }
    if (f.size() < 7) return;
    std::uint32_t id = 0;
    auto [p, ec] = std::from_chars(f[2].data(), f[2].data() + f[2].size(), id);
    if (ec != std::errc() || p != f[2].data() + f[2].size() || id != uid) return;
    result = PasswdEntry{std::string(f[0]), std::string(f[6])};
  });
  return result;
}

bool groupListsMember(std::string_view groupText, std::string_view groupName,
                      std::string_view userName) {
  bool found = false;
  forEachLine(groupText, [&](std::string_view line) {
    if (found) return;
    auto c1 = line.find(':');
    if (c1 == std::string_view::npos || line.substr(0, c1) != groupName) return;
    auto c3 = line.rfind(':');
    std::string_view members = line.substr(c3 + 1);
    std::size_t start = 0;
    while (start <= members.size()) {
      auto comma = members.find(',', start);
      std::string_view m = trim(members.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (m == userName && !m.empty()) found = true;
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  });
  return found;
}

bool isAdministratorAccount(std::uint32_t uid, const std::vector<std::string>& groupNames) {
  if (uid == 0) return true;
  for (const auto& g : groupNames)
    if (g == "sudo" || g == "wheel" || g == "admin") return true;
  return false;
}

std::optional<std::string> parseSambaWorkgroup(std::string_view text) {
  std::optional<std::string> result;
  bool inGlobal = false;
  forEachLine(text, [&](std::string_view raw) {
    std::string_view line = trim(raw);
    if (line.empty() || line.front() == '#' || line.front() == ';') return;
    if (line.front() == '[') {
      auto close = line.find(']');
      inGlobal = close != std::string_view::npos &&
                 equalsNoCase(trim(line.substr(1, close - 1)), "global");
      return;
    }
    if (!inGlobal) return;
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return;
    if (!equalsNoCase(trim(line.substr(0, eq)), "workgroup")) return;
    std::string_view v = trim(line.substr(eq + 1));
    if (!v.empty()) result = std::string(v);
  });
  return result;
}

std::optional<std::string> parseHostsDomain(std::string_view hostsText, std::string_view hostName) {
  std::optional<std::string> result;
  if (hostName.empty()) return result;
  forEachLine(hostsText, [&](std::string_view line) {
    if (result) return;
    auto hash = line.find('#');
    auto fields = splitWhitespace(line.substr(0, hash));
    if (fields.size() < 2) return;
    bool named = false;
    for (std::size_t i = 1; i < fields.size(); ++i) {
      std::string_view n = fields[i];
      if (equalsNoCase(n, hostName) ||
          (n.size() > hostName.size() && n[hostName.size()] == '.' &&
           equalsNoCase(n.substr(0, hostName.size()), hostName)))
        named = true;
    }
    if (!named) return;
    std::string_view canonical = fields[1];
    auto dot = canonical.find('.');
    if (dot != std::string_view::npos && dot + 1 < canonical.size())
      result = std::string(canonical.substr(dot + 1));
  });
  return result;
}

std::optional<std::string> parseResolvDomain(std::string_view resolvText) {
  std::optional<std::string> domain, search;
  forEachLine(resolvText, [&](std::string_view line) {
    auto fields = splitWhitespace(line);
    if (fields.size() < 2 || fields[0].front() == '#' || fields[0].front() == ';') return;
    if (fields[0] == "domain") domain = std::string(fields[1]);
    else if (fields[0] == "search") search = std::string(fields[1]);
  });
  if (domain) return domain;
  if (search && *search != ".") return search;
  return std::nullopt;
}

int parseBootMode(std::string_view cmdline) {
  for (auto word : splitWhitespace(cmdline)) {
    if (word == "single" || word == "S" || word == "s" || word == "1" || word == "-s" ||
        word == "rescue" || word == "emergency" || word == "-b" ||
        word == "systemd.unit=rescue.target" || word == "systemd.unit=emergency.target")
      return 1;
  }
  return 0;
}

bool screenReaderRunning(const std::vector<std::string>& processNames) {
  for (const auto& n : processNames) {
    std::string_view name = trim(n);
    if (name == "orca" || name == "espeakup" || name == "fenrir" || name == "brltty")
      return true;
  }
  return false;
}

}  // namespace quorvane::platform::linux_backend
