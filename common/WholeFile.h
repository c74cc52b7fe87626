// readWholeFile: the bytes of one regular file in a single piece, refusing a
// file larger than the caller's limit before reading it.
//
// Errors (the description names the path; the source is "readWholeFile()"):
//   kErrFileNotFound  nothing at the path
//   kErrFileTooLarge  the file holds more than `limit` bytes (also when it
//                     grows past the limit while being read)
//   kErrPathAccess    not a regular file (a folder, a device), it cannot be
//                     opened (no permission), or reading it fails
// A file that shrinks while being read gives the bytes that were there.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

Expected<std::string> readWholeFile(const std::filesystem::path& path, std::uint64_t limit);

}  // namespace quorvane
