// modCompression: the zlib wrapper and the stored-file form of an audit.
//
// Stored-file form: the uncompressed length as plain decimal ASCII digits, one
// NUL byte, then the zlib stream (compress2, level 9). The server's DataStore
// copy carries one CR LF more after the stream; readers ignore what follows
// the end of the stream.
//
// Texts hold bytes, one byte per character. zlib return codes are examined:
// a damaged stream is an error. The declared length is untrusted: it must be
// plain decimal digits, at most kMaxDeclaredLength, and reached exactly by the
// stream, checked before anything large is allocated.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

inline constexpr std::uint64_t kMaxDeclaredLength = 64ull * 1024 * 1024;
// The largest file a stored form can fill: the length digits and the NUL,
// zlib's worst case for kMaxDeclaredLength bytes (a 1/1000 growth at most)
// and the server's CR LF, with room to spare. A larger file is refused
// before it is read.
inline constexpr std::uint64_t kMaxStoredFileSize = kMaxDeclaredLength + kMaxDeclaredLength / 256 + 4096;

// The zlib stream of `data` (compress2 at `level`).
Expected<std::string> compressString(std::string_view data, int level);

// Rewrites the file at `path` in the stored-file form (a file longer than
// kMaxDeclaredLength is refused, as no reader would take its stored form).
Status compressFile(const std::filesystem::path& path);

// Inflates `stream` into exactly `uncompressedLength` bytes. Fails when the
// stream is damaged, ends early, or holds more than that.
Expected<std::string> decompressString(std::string_view stream, std::uint64_t uncompressedLength);

// Builds the stored-file form of `data` (no trailing CR LF). Throws
// std::bad_alloc only when zlib runs out of memory.
std::string makeStoredForm(std::string_view data);

// Reads the stored-file form: parses and checks the length, inflates the rest.
// Anything after the end of the zlib stream (the server's CR LF) is ignored.
Expected<std::string> readStoredForm(std::string_view fileBytes);

// The declared length of the stored form: "0" or digits without a leading
// zero, no sign, no blanks, at most kMaxDeclaredLength.
Expected<std::uint64_t> parseDeclaredLength(std::string_view digits);

// Replaces the file's contents: writes a temporary file in the same folder and
// renames it over `path`, so that readers see the old or the new bytes only.
Status replaceFileContents(const std::filesystem::path& path, std::string_view bytes);

}  // namespace quorvane
