#include "server/core/modMisc.h"

#include "server/key/CommandKey.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quorvane {

std::string getAppPath(std::string_view folder) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path.push_back('/');
  return path;
}

std::string returnNameOfFile(std::string_view path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) return std::string(path);
  return std::string(path.substr(slash + 1));
}

std::string stripExtension(std::string_view fileName) {
  const auto dot = fileName.rfind('.');
  if (dot == std::string_view::npos) return std::string(fileName);
  return std::string(fileName.substr(0, dot));
}

bool isDataFileName(std::string_view fileName) {
  return fileName.size() >= kDataFileExtension.size() && fileName.ends_with(kDataFileExtension);
}

std::string dataStorePath(std::string_view appPath) {
  return getAppPath(appPath) + std::string(kDataStoreFolder) + "/";
}

std::string commandKeyPath(std::string_view appPath) {
  return getAppPath(appPath) + std::string(kCommandKeyFileName);
}

DataFileListing getFileCount(std::string_view appPath) {
  const std::string folder = dataStorePath(appPath);
  std::vector<std::string> names;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc)) continue;
    std::string name = it->path().filename().string();
    if (name == "." || name == "..") continue;
    if (isDataFileName(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());

  DataFileListing listing;
  if (names.empty()) {
    listing.paths.assign(1, std::string());
    listing.noDataFiles = true;
    return listing;
  }
  listing.noDataFiles = false;
  for (const std::string& name : names) listing.paths.push_back(folder + name);
  return listing;
}

std::string clientKeyOfDataFile(std::string_view path) {
  return stripExtension(returnNameOfFile(path));
}

std::string lowerCase1252(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    unsigned char lower = c;
    if (c >= 'A' && c <= 'Z') {
      lower = c + 32;
    } else if (c >= 0xC0 && c <= 0xDE && c != 0xD7) {
      lower = c + 32;
    } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
      lower = c + 16;
    } else if (c == 0x9F) {
      lower = 0xFF;
    }
    ch = static_cast<char>(lower);
  }
  return out;
}

bool isDottedIPv4(std::string_view text) {
  int parts = 0;
  std::size_t i = 0;
  while (true) {
    std::size_t digits = 0;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9' && digits < 4) {
      value = value * 10 + (text[i] - '0');
      ++digits;
      ++i;
    }
    if (digits == 0 || digits > 3 || value > 255) return false;
    ++parts;
    if (i == text.size()) return parts == 4;
    if (text[i] != '.' || parts == 4) return false;
    ++i;
  }
}

}  // namespace quorvane
