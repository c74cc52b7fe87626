#include "platform/linux/LinuxWaveDevices.h"

#include <cctype>

#include "common/Text8.h"
#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

std::vector<std::string_view> lines(std::string_view text) { return splitPieces(text, '\n'); }

int leadingNumber(std::string_view& s) {
  s = trimBlanks(s);
  std::size_t n = 0;
  while (n < s.size() && std::isdigit(static_cast<unsigned char>(s[n]))) ++n;
  if (n == 0 || n > 6) return -1;
  int v = std::stoi(std::string(s.substr(0, n)));
  s.remove_prefix(n);
  return v;
}

}  // namespace

std::vector<AlsaCard> parseAsoundCards(std::string_view text) {
  // " 0 [PCH            ]: HDA-Intel - HDA Intel PCH"
  //  "                      HDA Intel PCH at 0xf7f10000 irq 32"
  std::vector<AlsaCard> out;
  for (auto line : lines(text)) {
    std::string_view s = line;
    int index = leadingNumber(s);
    if (index < 0) continue;
    s = trimBlanks(s);
    if (s.empty() || s.front() != '[') continue;
    auto close = s.find(']');
    if (close == std::string_view::npos) continue;
    AlsaCard c;
    c.index = index;
    c.id = std::string(trimBlanks(s.substr(1, close - 1)));
    s = s.substr(close + 1);
    auto colon = s.find(':');
    if (colon == std::string_view::npos) continue;
    s = s.substr(colon + 1);
    auto dash = s.find(" - ");
    if (dash == std::string_view::npos) {
      c.driver = std::string(trimBlanks(s));
    } else {
      c.driver = std::string(trimBlanks(s.substr(0, dash)));
      c.name = std::string(trimBlanks(s.substr(dash + 3)));
    }
    out.push_back(std::move(c));
  }
  return out;
}

std::vector<AlsaPcm> parseAsoundPcm(std::string_view text) {
  // "00-00: ALC892 Analog : ALC892 Analog : playback 1 : capture 1"
  std::vector<AlsaPcm> out;
  for (auto line : lines(text)) {
    std::string_view s = line;
    int card = leadingNumber(s);
    if (card < 0 || s.empty() || s.front() != '-') continue;
    s.remove_prefix(1);
    int device = leadingNumber(s);
    if (device < 0 || s.empty() || s.front() != ':') continue;
    s.remove_prefix(1);
    AlsaPcm p;
    p.card = card;
    p.device = device;
    std::vector<std::string_view> parts;
    std::size_t pos = 0;
    while (true) {
      auto sep = s.find(" : ", pos);
      parts.push_back(trimBlanks(s.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos)));
      if (sep == std::string_view::npos) break;
      pos = sep + 3;
    }
    if (parts.size() < 2) continue;
    p.id = std::string(parts[0]);
    p.name = std::string(parts[1]);
    for (std::size_t i = 2; i < parts.size(); ++i) {
      std::string_view part = parts[i];
      auto sp = part.find(' ');
      if (sp == std::string_view::npos) continue;
      std::string_view count = part.substr(sp + 1);
      int n = leadingNumber(count);
      if (n < 0) continue;
      if (part.substr(0, sp) == "playback") p.playback = n;
      else if (part.substr(0, sp) == "capture") p.capture = n;
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::uint32_t parseAsoundVersion(std::string_view text) {
  auto k = text.find("Version ");
  if (k == std::string_view::npos) return 0;
  std::string_view s = text.substr(k + 8);
  if (!s.empty() && (s.front() == 'k' || s.front() == 'K')) s.remove_prefix(1);
  int major = leadingNumber(s);
  if (major < 0) return 0;
  int minor = 0;
  if (!s.empty() && s.front() == '.') {
    s.remove_prefix(1);
    minor = leadingNumber(s);
    if (minor < 0) minor = 0;
  }
  return static_cast<std::uint32_t>(((major & 0xFF) << 8) | (minor & 0xFF));
}

AlsaStreamCaps parseAlsaStream(std::string_view text, bool playback) {
  AlsaStreamCaps caps;
  std::string_view wanted = playback ? "Playback:" : "Capture:";
  bool inPart = false;
  for (auto line : lines(text)) {
    std::string_view t = trimBlanks(line);
    if (!line.empty() && line.front() != ' ' && line.front() != '\t') {
      inPart = t == wanted;
      continue;
    }
    if (!inPart) continue;
    auto colon = t.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view key = t.substr(0, colon);
    std::string_view value = trimBlanks(t.substr(colon + 1));
    if (key == "Format") {
      std::size_t pos = 0;
      while (pos < value.size()) {
        auto sep = value.find_first_of(", ", pos);
        auto item = value.substr(pos, sep == std::string_view::npos ? std::string_view::npos : sep - pos);
        if (!item.empty()) caps.formats.insert(std::string(item));
        if (sep == std::string_view::npos) break;
        pos = sep + 1;
      }
    } else if (key == "Channels") {
      std::string_view v = value;
      int ch = leadingNumber(v);
      if (ch > 0) {
        auto u = static_cast<unsigned>(ch);
        if (u > caps.maxChannels) caps.maxChannels = u;
        if (caps.minChannels == 0 || u < caps.minChannels) caps.minChannels = u;
      }
    } else if (key == "Rates") {
      std::string_view v = value;
      while (!v.empty()) {
        int r = leadingNumber(v);
        if (r <= 0) break;
        std::string_view rest = trimBlanks(v);
        if (!rest.empty() && rest.front() == '-') {  // "8000 - 96000 (continuous)"
          rest.remove_prefix(1);
          int hi = leadingNumber(rest);
          for (unsigned std : {11025u, 22050u, 44100u}) {
            if (std >= static_cast<unsigned>(r) && hi > 0 && std <= static_cast<unsigned>(hi)) caps.rates.insert(std);
          }
          break;
        }
        caps.rates.insert(static_cast<unsigned>(r));
        v = rest;
        if (!v.empty() && v.front() == ',') v.remove_prefix(1);
      }
    }
  }
  return caps;
}

std::uint32_t waveFormatsOf(const AlsaStreamCaps& caps) {
  bool has8 = caps.formats.count("U8") || caps.formats.count("S8");
  bool has16 = caps.formats.count("S16_LE") || caps.formats.count("S16_BE") ||
               caps.formats.count("U16_LE");
  bool mono = caps.minChannels >= 1 && caps.minChannels <= 1;
  bool stereo = caps.minChannels <= 2 && caps.maxChannels >= 2;
  std::uint32_t bits = 0;
  struct RateBits { unsigned rate; std::uint32_t m8, s8, m16, s16; };
  static constexpr RateBits kTable[] = {
      {11025, WAVE_FORMAT_1M08, WAVE_FORMAT_1S08, WAVE_FORMAT_1M16, WAVE_FORMAT_1S16},
      {22050, WAVE_FORMAT_2M08, WAVE_FORMAT_2S08, WAVE_FORMAT_2M16, WAVE_FORMAT_2S16},
      {44100, WAVE_FORMAT_4M08, WAVE_FORMAT_4S08, WAVE_FORMAT_4M16, WAVE_FORMAT_4S16}};
  for (const auto& r : kTable) {
    if (!caps.rates.count(r.rate)) continue;
    if (has8 && mono) bits |= r.m8;
    if (has8 && stereo) bits |= r.s8;
    if (has16 && mono) bits |= r.m16;
    if (has16 && stereo) bits |= r.s16;
  }
  return bits;
}

WaveDeviceSet readAlsaDevices(const std::string& root, bool playback) {
  WaveDeviceSet set;
  auto cardsText = readWholeFile(joinPath(root, "proc/asound/cards"));
  auto pcmText = readWholeFile(joinPath(root, "proc/asound/pcm"));
  if (!pcmText) return set;
  auto cards = parseAsoundCards(cardsText ? *cardsText : std::string());
  std::uint32_t version = 0;
  if (auto v = readWholeFile(joinPath(root, "proc/asound/version"))) version = parseAsoundVersion(*v);
  for (const auto& pcm : parseAsoundPcm(*pcmText)) {
    if ((playback ? pcm.playback : pcm.capture) < 1) continue;
    WaveCaps caps;
    std::string cardName;
    for (const auto& c : cards) {
      if (c.index == pcm.card) cardName = c.name.empty() ? c.id : c.name;
    }
    std::string name = cardName.empty() ? pcm.name : cardName + ": " + pcm.name;
    caps.productName = utf8ToWindows1252(name);
    caps.driverVersion = version;
    std::string cardDir = joinPath(root, "sys/class/sound/card" + std::to_string(pcm.card) + "/device");
    auto vendor = parseNumber(readFirstLine(cardDir + "/vendor"));
    auto product = parseNumber(readFirstLine(cardDir + "/device"));
    if (!vendor) vendor = parseNumber("0x" + readFirstLine(cardDir + "/../idVendor"));
    if (!product) product = parseNumber("0x" + readFirstLine(cardDir + "/../idProduct"));
    caps.manufacturerId = static_cast<std::uint16_t>(vendor.value_or(0));
    caps.productId = static_cast<std::uint16_t>(product.value_or(0));
    std::string stream = joinPath(root, "proc/asound/card" + std::to_string(pcm.card) + "/stream" +
                                            std::to_string(pcm.device));
    if (auto s = readWholeFile(stream)) {
      AlsaStreamCaps sc = parseAlsaStream(*s, playback);
      caps.formats = waveFormatsOf(sc);
      caps.channels = static_cast<std::uint16_t>(sc.maxChannels);
    }
    set.devices.push_back(std::move(caps));
  }
  if (!set.devices.empty()) set.mapper = set.devices.front();
  return set;
}

namespace {

class LinuxWaveDevices final : public RootedBackend<WaveDevices> {
 public:
  using RootedBackend::RootedBackend;
  WaveDeviceSet inputs() const override { return readAlsaDevices(root(), false); }
  WaveDeviceSet outputs() const override { return readAlsaDevices(root(), true); }
};

}  // namespace

std::unique_ptr<WaveDevices> makeLinuxWaveDevices(std::string root) {
  return std::make_unique<LinuxWaveDevices>(std::move(root));
}

}  // namespace quorvane::platform::linux_backend
