#include "common/WholeFile.h"

#include <fstream>
#include <system_error>

namespace quorvane {

namespace fs = std::filesystem;

namespace {

constexpr const char* kSource = "readWholeFile()";

Status notFound(const fs::path& path) {
  return Status::Error(kErrFileNotFound, "File not found: " + path.string(), kSource);
}

Status noAccess(const fs::path& path) {
  return Status::Error(kErrPathAccess, "Path/File access error: " + path.string(), kSource);
}

Status tooLarge(const fs::path& path, std::uint64_t limit) {
  return Status::Error(kErrFileTooLarge,
                       "File too large: " + path.string() + " (more than " + std::to_string(limit) + " bytes)",
                       kSource);
}

Status readFailed(const fs::path& path) {
  return Status::Error(kErrPathAccess, "Could not read " + path.string(), kSource);
}

}  // namespace

Expected<std::string> readWholeFile(const fs::path& path, std::uint64_t limit) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (status.type() == fs::file_type::not_found) return notFound(path);
  if (ec || status.type() != fs::file_type::regular) return noAccess(path);
  std::ifstream in(path, std::ios::binary);
  if (!in) return fs::exists(path, ec) ? noAccess(path) : notFound(path);
  const std::uintmax_t size = fs::file_size(path, ec);
  if (!ec && size > limit) return tooLarge(path, limit);

  // The size read first, in one piece; then whatever the file grew by
  // meanwhile, up to one byte past the limit. A failing read sets badbit.
  std::string bytes(ec ? 0 : static_cast<std::size_t>(size), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  char chunk[16384];
  while (in && bytes.size() <= limit) {
    in.read(chunk, sizeof chunk);
    bytes.append(chunk, static_cast<std::size_t>(in.gcount()));
  }
  if (in.bad()) return readFailed(path);
  if (bytes.size() > limit) return tooLarge(path, limit);
  return bytes;
}

}  // namespace quorvane
