#include "platform/linux/LinuxPackages.h"

#include <filesystem>

#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

namespace fs = std::filesystem;

// Calls `line` for each line of `text` (without its line end).
template <typename Fn>
void eachLine(std::string_view text, Fn&& line) {
  for (std::string_view l : splitPieces(text, '\n')) {
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);
    line(l);
  }
}

std::string decodeEntities(std::string_view s) {
  static constexpr std::pair<std::string_view, char> kEntities[] = {
      {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    bool done = false;
    if (s[i] == '&') {
      for (const auto& [name, c] : kEntities) {
        if (s.substr(i, name.size()) == name) {
          out.push_back(c);
          i += name.size() - 1;
          done = true;
          break;
        }
      }
    }
    if (!done) out.push_back(s[i]);
  }
  return out;
}

// The opening tags "<tag" followed by a blank, "/" or ">"; calls `fn` with
// the tag's attributes text and the offset after ">" until it returns true.
template <typename Fn>
void eachOpeningTag(std::string_view xml, std::string_view tag, Fn&& fn) {
  const std::string open = "<" + std::string(tag);
  std::size_t pos = 0;
  while ((pos = xml.find(open, pos)) != std::string_view::npos) {
    std::size_t after = pos + open.size();
    pos = after;
    if (after >= xml.size()) return;
    char c = xml[after];
    if (c != ' ' && c != '>' && c != '/' && c != '\t' && c != '\n' && c != '\r') continue;
    auto close = xml.find('>', after);
    if (close == std::string_view::npos) return;
    if (fn(xml.substr(after, close - after), close + 1)) return;
  }
}

std::string unquoteYaml(std::string_view v) {
  v = trimBlanks(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return std::string(v.substr(1, v.size() - 2));
  auto comment = v.find(" #");
  return std::string(trimBlanks(v.substr(0, comment)));
}

}  // namespace

std::optional<InstalledPackage> parsePacmanDesc(std::string_view text) {
  InstalledPackage p;
  std::string section;
  bool named = false;
  eachLine(text, [&](std::string_view line) {
    if (line.size() > 2 && line.front() == '%' && line.back() == '%') {
      section = std::string(line);
      return;
    }
    if (line.empty()) {
      section.clear();
      return;
    }
    std::string* field = section == "%NAME%"       ? &p.name
                         : section == "%VERSION%"  ? &p.version
                         : section == "%URL%"      ? &p.url
                         : section == "%PACKAGER%" ? &p.publisher
                                                   : nullptr;
    if (field && field->empty()) *field = std::string(line);
    if (section == "%NAME%") named = true;
  });
  if (!named || p.name.empty()) return std::nullopt;
  p.uninstall = "pacman -R " + p.name;
  return p;
}

std::vector<InstalledPackage> parseApkInstalled(std::string_view text) {
  std::vector<InstalledPackage> out;
  InstalledPackage cur;
  auto flush = [&] {
    if (!cur.name.empty()) {
      cur.uninstall = "apk del " + cur.name;
      out.push_back(cur);
    }
    cur = InstalledPackage();
  };
  eachLine(text, [&](std::string_view line) {
    if (line.empty()) return flush();
    if (line.size() < 2 || line[1] != ':') return;
    std::string value(line.substr(2));
    switch (line[0]) {
      case 'P': cur.name = value; break;
      case 'V': cur.version = value; break;
      case 'U': cur.url = value; break;
      case 'm': cur.publisher = value; break;
      default: break;
    }
  });
  flush();
  return out;
}

std::optional<InstalledPackage> parseSnapYaml(std::string_view text, const std::string& location) {
  InstalledPackage p;
  eachLine(text, [&](std::string_view line) {
    if (line.empty() || line.front() == ' ' || line.front() == '\t' || line.front() == '#') return;
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    std::string_view key = line.substr(0, colon);
    std::string value = unquoteYaml(line.substr(colon + 1));
    if (key == "name" && p.name.empty()) p.name = value;
    else if (key == "version" && p.version.empty()) p.version = value;
    else if (key == "website" && p.url.empty()) p.url = value;
  });
  if (p.name.empty()) return std::nullopt;
  p.location = location;
  p.uninstall = "snap remove " + p.name;
  return p;
}

std::optional<std::string> xmlElementText(std::string_view xml, std::string_view tag,
                                          std::string_view attribute) {
  std::optional<std::string> found;
  eachOpeningTag(xml, tag, [&](std::string_view attrs, std::size_t contentStart) {
    if (attrs.find("xml:lang") != std::string_view::npos) return false;
    if (!attribute.empty() && attrs.find(attribute) == std::string_view::npos) return false;
    if (!attrs.empty() && attrs.back() == '/') {
      found = std::string();
      return true;
    }
    auto end = xml.find("</" + std::string(tag), contentStart);
    if (end == std::string_view::npos) return false;
    found = decodeEntities(trimBlanks(xml.substr(contentStart, end - contentStart)));
    return true;
  });
  return found;
}

std::optional<std::string> xmlAttribute(std::string_view xml, std::string_view tag,
                                        std::string_view attribute) {
  std::optional<std::string> found;
  eachOpeningTag(xml, tag, [&](std::string_view attrs, std::size_t) {
    const std::string key = std::string(attribute) + "=";
    std::size_t at = 0;
    while ((at = attrs.find(key, at)) != std::string_view::npos) {
      bool wordStart = at == 0 || attrs[at - 1] == ' ' || attrs[at - 1] == '\t' || attrs[at - 1] == '\n';
      std::size_t q = at + key.size();
      at = q;
      if (!wordStart || q >= attrs.size() || (attrs[q] != '"' && attrs[q] != '\'')) continue;
      auto endQuote = attrs.find(attrs[q], q + 1);
      if (endQuote == std::string_view::npos) return false;
      found = decodeEntities(attrs.substr(q + 1, endQuote - q - 1));
      return true;
    }
    return true;  // only the first element counts
  });
  return found;
}

InstalledPackage flatpakApplication(const std::string& id, const std::string& branch,
                                    const std::optional<std::string>& appstream,
                                    const std::string& location) {
  InstalledPackage p;
  p.name = id;
  p.location = location;
  p.uninstall = "flatpak uninstall --system " + id;
  if (appstream) {
    p.version = xmlAttribute(*appstream, "release", "version").value_or("");
    auto developer = xmlElementText(*appstream, "developer_name");
    if (!developer) {
      if (auto block = xmlElementText(*appstream, "developer")) developer = xmlElementText(*block, "name");
    }
    p.publisher = developer.value_or("");
    p.url = xmlElementText(*appstream, "url", "type=\"homepage\"").value_or("");
  }
  if (p.version.empty()) p.version = branch;
  return p;
}

std::vector<InstalledPackage> readPacmanPackages(const std::string& root) {
  std::vector<InstalledPackage> out;
  const std::string dir = joinPath(root, "var/lib/pacman/local");
  for (const auto& entry : listDirectory(dir)) {
    auto text = readWholeFile(dir + "/" + entry + "/desc");
    if (!text) continue;
    if (auto p = parsePacmanDesc(*text)) out.push_back(std::move(*p));
  }
  return out;
}

std::vector<InstalledPackage> readApkPackages(const std::string& root) {
  auto text = readWholeFile(joinPath(root, "lib/apk/db/installed"));
  return text ? parseApkInstalled(*text) : std::vector<InstalledPackage>{};
}

std::vector<InstalledPackage> readFlatpakApplications(const std::string& root) {
  std::vector<InstalledPackage> out;
  const std::string dir = joinPath(root, "var/lib/flatpak/app");
  for (const auto& id : listDirectory(dir)) {
    std::error_code ec;
    fs::path appDir = fs::path(dir) / id;
    fs::path current = fs::read_symlink(appDir / "current", ec);  // "<arch>/<branch>"
    if (ec) continue;
    fs::path commit = fs::read_symlink(appDir / current / "active", ec);
    if (ec) continue;
    const fs::path deployment = appDir / current / commit;
    const std::string share = (deployment / "files/share").string();
    auto appstream = readWholeFile(share + "/metainfo/" + id + ".metainfo.xml");
    if (!appstream) appstream = readWholeFile(share + "/appdata/" + id + ".appdata.xml");
    const std::string location =
        "/var/lib/flatpak/app/" + id + "/" + current.string() + "/" + commit.filename().string();
    out.push_back(flatpakApplication(id, current.filename().string(), appstream, location));
  }
  return out;
}

std::vector<InstalledPackage> readSnapPackages(const std::string& root) {
  std::vector<InstalledPackage> out;
  const std::string dir = joinPath(root, "snap");
  for (const auto& name : listDirectory(dir)) {
    std::error_code ec;
    fs::path revision = fs::read_symlink(fs::path(dir) / name / "current", ec);
    if (ec) continue;
    auto yaml = readWholeFile((fs::path(dir) / name / revision / "meta/snap.yaml").string());
    if (!yaml) continue;
    if (auto p = parseSnapYaml(*yaml, "/snap/" + name + "/" + revision.filename().string()))
      out.push_back(std::move(*p));
  }
  return out;
}

std::string rpmVersionText(std::optional<long long> epoch, std::string_view version,
                           std::string_view release) {
  std::string out;
  if (epoch) out = std::to_string(*epoch) + ":";
  out.append(version);
  if (!release.empty()) out.append("-").append(release);
  return out;
}

}  // namespace quorvane::platform::linux_backend
