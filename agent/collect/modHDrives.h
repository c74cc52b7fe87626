// modHDrives: the logical drives of the machine (getDrives).
//
// One DriveInfo per drive in the order the system lists them, then one
// empty DriveInfo. Byte counts are written with the pattern "###,###,###,##0"
// and " Bytes". Space from the wide query: size = total bytes, free = total
// free bytes, used = total bytes - bytes available to the caller; from the
// cluster query: size and free from the cluster counts, used = size - free,
// computed in 64 bits (the 32-bit products of old systems overflow at 2 GiB).
// A drive whose space cannot be read counts 0.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "agent/collect/modHCommon.h"
#include "common/AuditRecord.h"
#include "platform/Drives.h"

namespace quorvane::agent {

std::string driveTypeText(std::uint32_t type);
// "0ABC-1234", or "0000-0000" when the serial cannot be read.
std::string driveSerialText(std::optional<std::uint32_t> serial);
// "20,003,794,944 Bytes"
std::string byteCountText(std::int64_t bytes);
DriveInfo driveInfoOf(const platform::DriveFacts& facts);

Array<DriveInfo> getDrives(const CollectContext& ctx);

}  // namespace quorvane::agent
