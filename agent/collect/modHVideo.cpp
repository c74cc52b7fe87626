#include "agent/collect/modHVideo.h"

#include "agent/collect/Registry.h"

#include <cstdio>

namespace quorvane::agent {

std::string depthName(int bits, bool withBrackets) {
  std::string name;
  switch (bits) {
    case 4: name = "16 Color"; break;
    case 8: name = "256 Color"; break;
    case 16: name = "High Color"; break;
    case 24:
    case 32: name = "True Color"; break;
    default: return {};
  }
  return withBrackets ? "(" + name + ")" : name;
}

std::string resolutionText(int width, int height) {
  return std::to_string(width) + " * " + std::to_string(height);
}

std::string colourDepthText(int bits) {
  return std::to_string(bits) + " bits per pixel  " + depthName(bits, true);
}

std::string frequencyText(int rate) {
  return std::to_string(rate) + " hz  " +
         (rate == 0 || rate == 1 ? "(Hardware default)" : "(User-selected)");
}

std::string videoModeText(std::uint32_t width, std::uint32_t height, std::uint32_t bits) {
  return std::to_string(width) + "*" + std::to_string(height) + " " + std::to_string(bits) +
         "bit colour (" + depthName(static_cast<int>(bits), false) + ")";
}

bool VideoCardFilter::take(std::string_view description) {
  return seen_.emplace(description).second;
}

VideoInfo getVideo(const CollectContext& ctx) {
  const platform::Platform& p = ctx.platform;
  VideoInfo v;
  runCollector(ctx, "modHVideo", "getVideo", [&] {
    if (!p.display) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
    const auto& display = *p.display;
    platform::DisplayCaps caps = display.desktopCaps();
    v.currResolution = resolutionText(caps.horzRes, caps.vertRes);
    v.currColourDepth = colourDepthText(caps.bitsPixel);
    v.currFrequency = frequencyText(caps.vRefresh);

    Array<Text> cards;
    if (isWin95(p)) {
      if (!p.registry) throw RaisedError(kErrObjectNotSet, "Object variable or With block variable not set");
      for (int i = 0; i <= 9999; ++i) {
        char key[96];
        std::snprintf(key, sizeof key, "SYSTEM\\CurrentControlSet\\Services\\Class\\Display\\%04d", i);
        std::string desc = Registry(*p.registry).getValue(key, "DriverDesc");
        if (desc.empty()) break;
        cards.push_back(desc);
      }
    } else {
      VideoCardFilter filter;
      for (const auto& d : display.devices()) {
        std::string desc = d.deviceString.substr(0, d.deviceString.find('\0'));
        if (filter.take(desc)) cards.push_back(desc);
      }
    }
    if (cards.empty()) cards.push_back(Text());
    v.VideoCards = std::move(cards);

    for (const auto& m : display.modes()) {
      if (m.bitsPerPixel < 4) continue;
      v.VideoModes.push_back(videoModeText(m.width, m.height, m.bitsPerPixel));
    }
  }, OtherFailures::kInvalidCall);
  return v;
}

}  // namespace quorvane::agent
