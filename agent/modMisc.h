// modMisc: small helpers of the agent (paths, temporary files, bytes).
//
// Paths use "/" as the separator. Temporary files are created, unique, in
// the system's temporary folder with the prefix "KVX"; whoever asked for one
// removes it once its content has been used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/AuditRecord.h"
#include "common/Status.h"

namespace quorvane::agent {

// `path` with "/" appended unless it already ends in one.
std::string makeGoodPath(std::string_view path);

// 0 when no file is at `path` (or it is not a regular file), else its length.
std::uintmax_t FileLen2(const std::filesystem::path& path);

// The system's temporary folder.
std::filesystem::path getTemporaryPath();

// Creates a new, empty, uniquely named file "KVX…" in `folder` (the system's
// temporary folder by default) and returns its path, or an empty path when
// none could be created.
std::filesystem::path getTemporaryFile(const std::filesystem::path& folder = getTemporaryPath());

// Writes the serialised `record` into a new temporary file and returns its
// path. When no temporary file can be created it uses programFolder/Temp/temp
// instead (creating Temp, replacing a leftover file).
Expected<std::filesystem::path> saveToTempFile(
    const AuditRecord& record, const std::filesystem::path& programFolder,
    const std::filesystem::path& temporaryFolder = getTemporaryPath());

// Whole-file helpers (binary). readWholeFile of a missing file fails with
// kErrFileNotFound "File not found", any other failure (also a file larger
// than kMaxAgentFileBytes) with kErrDeviceIO "Device I/O error".
inline constexpr std::uint64_t kMaxAgentFileBytes = 256ull << 20;
Expected<std::string> readWholeFile(const std::filesystem::path& path);
Status writeWholeFile(const std::filesystem::path& path, std::string_view bytes);

// Bytes of 16- and 32-bit values.
inline std::uint8_t HiByte(std::uint16_t word) { return static_cast<std::uint8_t>(word >> 8); }
inline std::uint8_t LoByte(std::uint16_t word) { return static_cast<std::uint8_t>(word & 0xFF); }
inline std::int16_t LoWord(std::int32_t value) {
  return static_cast<std::int16_t>(static_cast<std::uint32_t>(value) & 0xFFFF);
}

// The text before its first NUL (the whole text when it has none).
std::string doStripTerminator(std::string_view text);

}  // namespace quorvane::agent
