// modHVideo: the display adapters, the current display mode and the display
// modes of the machine (getVideo).
//
// Adapters: on Windows 95 the DriverDesc values of the display class keys
// (0000, 0001, ... until the first empty one); elsewhere the display
// devices, each description once per audit (a card with two monitors is
// reported twice by the system). No adapter gives one empty element.
// Modes: every mode of at least 4 bits per pixel, in enumeration order,
// duplicates kept; none gives an absent array.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"

namespace quorvane::agent {

// "(True Color)" / "True Color" for 24 and 32 bits, ... ; empty for other depths.
std::string depthName(int bitsPerPixel, bool withBrackets);
std::string resolutionText(int width, int height);     // "1024 * 768"
std::string colourDepthText(int bitsPerPixel);          // "32 bits per pixel  (True Color)"
std::string frequencyText(int rate);                    // "60 hz  (User-selected)"
std::string videoModeText(std::uint32_t width, std::uint32_t height, std::uint32_t bits);

// The duplicate filter of the adapter list: made anew for every audit.
class VideoCardFilter {
 public:
  // True the first time a description is offered.
  bool take(std::string_view description);

 private:
  std::set<std::string, std::less<>> seen_;
};

VideoInfo getVideo(const CollectContext& ctx);

}  // namespace quorvane::agent
