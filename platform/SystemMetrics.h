// SystemMetrics: GetSystemMetrics by index.
//
// An index the system does not know gives 0, as on Windows. The indices the
// collectors use are named below; a backend answers every index it has a
// fact for and 0 for the rest.
#pragma once

namespace quorvane::platform {

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;
inline constexpr int SM_DEBUG = 22;
inline constexpr int SM_MENUDROPALIGNMENT = 40;
inline constexpr int SM_PENWINDOWS = 41;
inline constexpr int SM_DBCSENABLED = 42;
inline constexpr int SM_SECURE = 44;
inline constexpr int SM_NETWORK = 63;
inline constexpr int SM_CLEANBOOT = 67;
inline constexpr int SM_SHOWSOUNDS = 70;
inline constexpr int SM_SLOWMACHINE = 73;
inline constexpr int SM_MIDEASTENABLED = 74;

class SystemMetrics {
 public:
  virtual ~SystemMetrics() = default;
  virtual int get(int index) const = 0;
};

}  // namespace quorvane::platform
