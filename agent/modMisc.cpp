#include "agent/modMisc.h"

#include <cstdio>
#include <fstream>
#include <random>

#include "common/AuditRecordIO.h"
#include "agent/collect/AgentErrors.h"
#include "common/WholeFile.h"

namespace quorvane::agent {

namespace fs = std::filesystem;

std::string makeGoodPath(std::string_view path) {
  std::string s(path);
  if (s.empty() || s.back() != '/') s.push_back('/');
  return s;
}

std::uintmax_t FileLen2(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return 0;
  const auto n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

fs::path getTemporaryPath() {
  std::error_code ec;
  fs::path p = fs::temp_directory_path(ec);
  if (ec) return {};
  return p;
}

fs::path getTemporaryFile(const fs::path& folder) {
  if (folder.empty()) return {};
  static thread_local std::mt19937_64 gen{std::random_device{}()};
  char name[32];
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::snprintf(name, sizeof name, "KVX%08llX.tmp",
                  static_cast<unsigned long long>(gen() & 0xFFFFFFFFull));
    const fs::path p = folder / name;
    // "x": fails when the file exists, so two agents never share a name.
    if (std::FILE* f = std::fopen(p.string().c_str(), "wbx")) {
      std::fclose(f);
      return p;
    }
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return {};
  }
  return {};
}

Expected<std::string> readWholeFile(const fs::path& path) {
  auto bytes = quorvane::readWholeFile(path, kMaxAgentFileBytes);
  if (bytes) return bytes;
  if (bytes.status().number() == kErrFileNotFound) return Status::Error(kErrFileNotFound, "File not found");
  return Status::Error(kErrDeviceIO, "Device I/O error");
}

Status writeWholeFile(const fs::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) return Status::Error(kErrPathAccess, "Path/File access error");
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) return Status::Error(kErrDeviceIO, "Device I/O error");
  return Status::Ok();
}

Expected<fs::path> saveToTempFile(const AuditRecord& record, const fs::path& programFolder,
                                  const fs::path& temporaryFolder) {
  fs::path file = getTemporaryFile(temporaryFolder);
  if (file.empty()) {
    const fs::path tempDir = programFolder / "Temp";
    std::error_code ec;
    fs::create_directories(tempDir, ec);
    file = tempDir / "temp";
    fs::remove(file, ec);
  }
  Status st = writeWholeFile(file, writeAuditRecord(record));
  if (!st) return st;
  return file;
}

std::string doStripTerminator(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

}  // namespace quorvane::agent
