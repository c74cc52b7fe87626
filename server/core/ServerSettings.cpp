#include "server/core/ServerSettings.h"

#include <fstream>
#include <iterator>
#include <limits>
#include <vector>

#include "common/ErrorReport.h"
#include "server/core/modMisc.h"

namespace quorvane {
namespace {

std::vector<std::string_view> split(std::string_view text, char sep) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const auto at = text.find(sep, start);
    if (at == std::string_view::npos) {
      fields.push_back(text.substr(start));
      return fields;
    }
    fields.push_back(text.substr(start, at - start));
    start = at + 1;
  }
}

Expected<std::int32_t> parseWholeNumber(std::string_view key, std::string_view value) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!value.empty() && blank(value.front())) value.remove_prefix(1);
  while (!value.empty() && blank(value.back())) value.remove_suffix(1);
  bool negative = false;
  if (!value.empty() && (value.front() == '+' || value.front() == '-')) {
    negative = value.front() == '-';
    value.remove_prefix(1);
  }
  if (value.empty()) {
    return Status::Error(kErrTypeMismatch, "Type mismatch (" + std::string(key) + ")");
  }
  std::int64_t number = 0;
  for (char c : value) {
    if (c < '0' || c > '9') {
      return Status::Error(kErrTypeMismatch, "Type mismatch (" + std::string(key) + ")");
    }
    number = number * 10 + (c - '0');
    if (number > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) {
      return Status::Error(kErrOverflow, "Overflow (" + std::string(key) + ")");
    }
  }
  if (negative) number = -number;
  if (number > std::numeric_limits<std::int32_t>::max() ||
      number < std::numeric_limits<std::int32_t>::min()) {
    return Status::Error(kErrOverflow, "Overflow (" + std::string(key) + ")");
  }
  return static_cast<std::int32_t>(number);
}

// The index keys: their value is the whole text after the first ":".
bool readIndexKey(std::string_view line, IndexSettings& index) {
  static const std::pair<std::string_view, std::string IndexSettings::*> kKeys[] = {
      {"IndexDatabase", &IndexSettings::database}, {"IndexFile", &IndexSettings::file},
      {"IndexHost", &IndexSettings::host},         {"IndexPort", &IndexSettings::port},
      {"IndexName", &IndexSettings::name},         {"IndexUser", &IndexSettings::user},
      {"IndexPasswordFile", &IndexSettings::passwordFile}};
  const auto colon = line.find(':');
  const std::string_view key = line.substr(0, colon);
  for (const auto& [name, member] : kKeys) {
    if (key != name) continue;
    std::string_view value = colon == std::string_view::npos ? std::string_view{} : line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    index.*member = std::string(value);
    return true;
  }
  return false;
}

}  // namespace

Expected<ServerSettings> parseServerSettings(std::string_view text) {
  ServerSettings settings;
  for (std::string_view line : split(text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || readIndexKey(line, settings.index)) continue;
    const std::vector<std::string_view> fields = split(line, ':');
    std::int32_t* target = nullptr;
    if (fields[0] == "ConnectPortNumber") {
      target = &settings.connectPort;
    } else if (fields[0] == "ListenPortNumber") {
      target = &settings.listenPort;
    } else {
      continue;
    }
    if (fields.size() < 2) {
      return Status::Error(kErrSubscript,
                           "Subscript out of range (" + std::string(fields[0]) + " has no value)");
    }
    Expected<std::int32_t> value = parseWholeNumber(fields[0], fields[1]);
    if (!value) return value.status();
    *target = *value;
  }
  return settings;
}

Expected<ServerSettings> readServerSettings(std::string_view appPath) {
  return readServerSettingsFile(getAppPath(appPath) + std::string(kSettingsFileName));
}

Expected<ServerSettings> readServerSettingsFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::ofstream create(path, std::ios::binary | std::ios::app);
    if (!create) {
      return Status::Error(kErrPathAccess, "Path/File access error: " + path);
    }
    return ServerSettings{};
  }
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Status::Error(kErrPathAccess, "Path/File access error: " + path);
  return parseServerSettings(text);
}

}  // namespace quorvane
