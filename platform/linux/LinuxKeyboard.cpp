#include "platform/linux/LinuxKeyboard.h"

#include <sys/utsname.h>

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "common/Text8.h"
#include "platform/LanguageNames.h"
#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

std::string unquote(std::string_view v) {
  v = trimBlanks(v);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return std::string(v);
}

std::string firstOfList(std::string_view v) { return std::string(trimBlanks(v.substr(0, v.find(',')))); }

struct LayoutRow {
  std::string_view layout;
  std::string_view variant;  // "" matches any variant not listed
  std::uint32_t id;
};

constexpr LayoutRow kLayouts[] = {
    {"us", "dvorak", 0x00010409}, {"us", "intl", 0x00020409},   {"us", "", 0x00000409},
    {"gb", "", 0x00000809},       {"uk", "", 0x00000809},       {"ie", "", 0x00001809},
    {"de", "", 0x00000407},       {"at", "", 0x00000C07},       {"ch", "fr", 0x0000100C},
    {"ch", "", 0x00000807},       {"fr", "", 0x0000040C},       {"be", "", 0x0000080C},
    {"ca", "multix", 0x00011009}, {"ca", "", 0x00001009},       {"es", "", 0x0000040A},
    {"latam", "", 0x0000080A},    {"it", "", 0x00000410},       {"nl", "", 0x00000413},
    {"pt", "", 0x00000816},       {"br", "", 0x00000416},       {"dk", "", 0x00000406},
    {"no", "", 0x00000414},       {"se", "", 0x0000041D},       {"fi", "", 0x0000040B},
    {"is", "", 0x0000040F},       {"pl", "", 0x00010415},       {"cz", "", 0x00000405},
    {"sk", "", 0x0000041B},       {"hu", "", 0x0000040E},       {"si", "", 0x00000424},
    {"hr", "", 0x0000041A},       {"ro", "", 0x00000418},       {"bg", "", 0x00000402},
    {"ru", "", 0x00000419},       {"ua", "", 0x00000422},       {"by", "", 0x00000423},
    {"gr", "", 0x00000408},       {"tr", "", 0x0000041F},       {"il", "", 0x0000040D},
    {"ara", "", 0x00000401},      {"jp", "", 0x00000411},       {"kr", "", 0x00000412},
    {"cn", "", 0x00000804},       {"tw", "", 0x00000404},       {"ee", "", 0x00000425},
    {"lv", "", 0x00000426},       {"lt", "", 0x00010427},       {"th", "", 0x0000041E},
    {"vn", "", 0x0000042A},       {"in", "", 0x00004009}};

class LinuxKeyboardFacts final : public RootedBackend<KeyboardFacts> {
 public:
  using RootedBackend::RootedBackend;

  int keyboardType(int which) const override {
    auto text = readWholeFile(path("proc/bus/input/devices"));
    if (!text || !findKeyboard(parseInputDevices(*text))) return 0;
    switch (which) {
      case 0: return 4;
      case 1: return 0;
      case 2: return 12;
      default: return 0;
    }
  }
  unsigned oemCodePage() const override { return 437; }
  unsigned ansiCodePage() const override { return 1252; }
  std::string layoutName() const override {
    XkbConfig cfg = readXkbConfig(root());
    auto id = windowsLayoutId(cfg.layout, cfg.variant);
    return id ? layoutIdText(*id) : std::string();
  }
  std::optional<std::string> languageName(std::uint32_t languageId) const override {
    return windowsLanguageName(languageId);
  }
  unsigned caretBlinkTime() const override {
    return caretBlinkFromFbcon(readFirstLine(path("sys/class/graphics/fbcon/cursor_blink")));
  }
  std::optional<KeyboardDriver> driver() const override {
    struct utsname u {};
    return readKeyboardDriver(root(), uname(&u) == 0 ? u.release : "");
  }
};

}  // namespace

XkbConfig parseKeyboardDefaults(std::string_view text) {
  XkbConfig cfg;
  for (std::string_view piece : splitPieces(text, '\n')) {
    std::string_view line = trimBlanks(piece);
    if (line.empty() || line.front() == '#') continue;
    if (line.substr(0, 7) == "export ") line = trimBlanks(line.substr(7));
    auto eq = line.find('=');
    if (eq == std::string_view::npos) continue;
    std::string_view key = trimBlanks(line.substr(0, eq));
    std::string value = unquote(line.substr(eq + 1));
    if (key == "XKBMODEL") cfg.model = value;
    else if (key == "XKBLAYOUT") cfg.layout = firstOfList(value);
    else if (key == "XKBVARIANT") cfg.variant = firstOfList(value);
  }
  return cfg;
}

std::optional<std::uint32_t> windowsLayoutId(std::string_view layout, std::string_view variant) {
  for (const auto& row : kLayouts) {
    if (row.layout == layout && !row.variant.empty() && row.variant == variant) return row.id;
  }
  for (const auto& row : kLayouts) {
    if (row.layout == layout && row.variant.empty()) return row.id;
  }
  return std::nullopt;
}

std::string layoutIdText(std::uint32_t id) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08X", id);
  return buf;
}

std::vector<InputDevice> parseInputDevices(std::string_view text) {
  std::vector<InputDevice> out;
  InputDevice cur;
  bool open = false;
  std::size_t pos = 0;
  auto flush = [&] {
    if (open) out.push_back(cur);
    cur = InputDevice();
    open = false;
  };
  while (pos <= text.size()) {
    auto end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (trimBlanks(line).empty()) {
      flush();
    } else if (line.size() > 3 && line[1] == ':') {
      open = true;
      std::string_view body = trimBlanks(line.substr(2));
      if (line[0] == 'N' && body.substr(0, 5) == "Name=") cur.name = unquote(body.substr(5));
      else if (line[0] == 'H' && body.substr(0, 9) == "Handlers=") cur.handlers = std::string(trimBlanks(body.substr(9)));
      else if (line[0] == 'S' && body.substr(0, 6) == "Sysfs=") cur.sysfs = std::string(body.substr(6));
    }
    if (end == text.size()) break;
  }
  flush();
  return out;
}

std::optional<InputDevice> findKeyboard(const std::vector<InputDevice>& devices) {
  auto hasWord = [](std::string_view list, std::string_view word) {
    std::size_t pos = 0;
    while (pos < list.size()) {
      auto sp = list.find(' ', pos);
      auto w = list.substr(pos, sp == std::string_view::npos ? std::string_view::npos : sp - pos);
      if (w == word) return true;
      if (sp == std::string_view::npos) break;
      pos = sp + 1;
    }
    return false;
  };
  auto lowerHas = [](std::string s, std::string_view needle) {
    for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s.find(needle) != std::string::npos;
  };
  for (const auto& d : devices) {
    if (hasWord(d.handlers, "kbd") && lowerHas(d.name, "keyboard")) return d;
  }
  return std::nullopt;
}

std::optional<std::string> modinfoValue(std::string_view data, std::string_view prefix,
                                        std::string_view key) {
  for (std::string_view entry : splitPieces(data, '\0')) {
    if (entry.size() > prefix.size() + key.size() && entry.substr(0, prefix.size()) == prefix &&
        entry.substr(prefix.size(), key.size()) == key && entry[prefix.size() + key.size()] == '=') {
      return std::string(entry.substr(prefix.size() + key.size() + 1));
    }
  }
  return std::nullopt;
}

namespace {
std::string moduleKey(std::string_view name) {
  std::string out(name);
  for (auto& c : out)
    if (c == '-') c = '_';
  return out;
}
}  // namespace

std::optional<std::string> modulePathFromDep(std::string_view modulesDep, std::string_view module) {
  const std::string wanted = moduleKey(module);
  for (std::string_view line : splitPieces(modulesDep, '\n')) {
    std::string_view path = line.substr(0, line.find(':'));
    std::string_view base = path.substr(path.rfind('/') + 1);
    auto ko = base.find(".ko");
    if (ko == std::string_view::npos) continue;
    if (moduleKey(base.substr(0, ko)) == wanted) return std::string(path);
  }
  return std::nullopt;
}

std::string fourPartVersion(std::string_view version) {
  std::vector<std::string> parts;
  std::string cur;
  for (char c : version) {
    if (std::isdigit(static_cast<unsigned char>(c))) {
      cur.push_back(c);
    } else {
      if (!cur.empty()) parts.push_back(cur);
      else if (parts.empty()) return {};
      cur.clear();
      if (parts.size() == 4) break;
    }
  }
  if (!cur.empty() && parts.size() < 4) parts.push_back(cur);
  if (parts.empty()) return {};
  while (parts.size() < 4) parts.push_back("0");
  std::string out;
  for (std::size_t i = 0; i < 4; ++i) out += (i ? "." : "") + std::to_string(std::stoull(parts[i].substr(0, 9)));
  return out;
}

KeyboardDriver readKeyboardDriver(const std::string& root, const std::string& release) {
  namespace fs = std::filesystem;
  KeyboardDriver d;
  d.file = "None";
  auto devices = readWholeFile(joinPath(root, "proc/bus/input/devices"));
  auto keyboard = devices ? findKeyboard(parseInputDevices(*devices)) : std::nullopt;
  if (!keyboard || keyboard->sysfs.empty()) return d;
  std::error_code ec;
  fs::path driverLink = fs::path(joinPath(root, "sys")) / keyboard->sysfs.substr(1) / "device/driver";
  fs::path driverDir = fs::canonical(driverLink, ec);
  if (ec) return d;
  fs::path moduleDir = fs::canonical(driverDir / "module", ec);
  std::string module = ec ? driverDir.filename().string() : moduleDir.filename().string();
  const std::string modulesDir = joinPath(root, "lib/modules/" + release);
  auto dep = readWholeFile(modulesDir + "/modules.dep");
  auto relative = dep ? modulePathFromDep(*dep, module) : std::nullopt;
  std::optional<std::string> info;
  std::string prefix;
  if (relative) {
    d.file = "/lib/modules/" + release + "/" + *relative;
    if (relative->size() > 3 && relative->substr(relative->size() - 3) == ".ko")
      info = readWholeFile(modulesDir + "/" + *relative);
  } else {
    d.file = "/boot/vmlinuz-" + release;
    info = readWholeFile(modulesDir + "/modules.builtin.modinfo");
    prefix = moduleKey(module) + ".";
  }
  if (info) {
    d.description = modinfoValue(*info, prefix, "description").value_or("");
    d.provider = modinfoValue(*info, prefix, "author").value_or("");
  }
  std::string version = readFirstLine(joinPath(root, "sys/module/" + moduleKey(module) + "/version"));
  d.version = fourPartVersion(version.empty() ? release : version);
  d.description = utf8ToWindows1252(d.description);
  d.provider = utf8ToWindows1252(d.provider);
  return d;
}

unsigned caretBlinkFromFbcon(std::string_view cursorBlink) {
  return trimBlanks(cursorBlink) == "1" ? kFbconBlinkMilliseconds : 0;
}

XkbConfig readXkbConfig(const std::string& root) {
  auto text = readWholeFile(joinPath(root, "etc/default/keyboard"));
  return text ? parseKeyboardDefaults(*text) : XkbConfig{};
}

std::unique_ptr<KeyboardFacts> makeLinuxKeyboardFacts(std::string root) {
  return std::make_unique<LinuxKeyboardFacts>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
