#include "agent/collect/clsFVer.h"

#include <cstdio>

#include "agent/collect/modRegistry.h"
#include "common/ErrorReport.h"

namespace quorvane::agent {

namespace {
constexpr const char* kSource = "QuorvanePro File Version";
}

std::string versionBlockName(std::uint16_t language, std::uint16_t codePage) {
  char block[16];
  std::snprintf(block, sizeof block, "%04X%04X", static_cast<unsigned>(language),
                static_cast<unsigned>(codePage));
  return block;
}

void clsFVer::GetVersionClassic(std::string_view fileName) {
  const std::string path = files_.systemFilePath(fileName);
  if (!files_.fileExists(path))
    throw RaisedError(kErrVersionFileNotFound, "File was not found : " + path, kSource);
  ReadFileDate(path);
  auto resource = files_.versionResource(path);
  if (!resource)
    throw RaisedError(kErrNoVersionResource, "Version Information Resource not found", kSource);
  major_ = static_cast<std::int32_t>(resource->fileVersionMS >> 16);
  minor_ = static_cast<std::int32_t>(resource->fileVersionMS & 0xFFFF);
  build_ = static_cast<std::int32_t>(resource->fileVersionLS >> 16);
  qfe_ = static_cast<std::int32_t>(resource->fileVersionLS & 0xFFFF);
  if (resource->fileOS == 1) platform_ = "Windows 9x";
  else if (resource->fileOS == 2) platform_ = "Windows NT";
  else platform_ = "Windows 3.xx";
}

bool clsFVer::ReadFileDate(std::string_view path) {
  auto t = files_.lastModified(path);
  if (!t) return false;
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", t->day, t->month, t->year);
  fileDate_ = text;
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t->hour, t->minute, t->second);
  fileTime_ = text;
  return true;
}

bool clsFVer::GetFileInfo(std::string_view path) {
  auto resource = files_.versionResource(path);
  if (!resource) return false;
  std::string block;
  if (!resource->translations.empty())
    block = versionBlockName(resource->translations[0].first, resource->translations[0].second);
  struct Entry {
    const char* name;
    std::string* field;
  } entries[] = {
      {"CompanyName", &companyName_},       {"FileDescription", &fileDescription_},
      {"FileVersion", &fileVersion_},       {"InternalName", &internalName_},
      {"LegalCopyright", &legalCopyright_}, {"OriginalFilename", &originalFileName_},
      {"ProductName", &productName_},       {"ProductVersion", &productVersion_},
  };
  for (const auto& e : entries) {
    auto text = block.empty() ? std::nullopt : resource->findString(block, e.name);
    if (!text) {
      e.field->clear();
      continue;
    }
    std::string value = text->substr(0, text->find('\0'));
    if (value.size() > 128) value.resize(128);
    *e.field = trimSpaces(value);
  }
  return true;
}

}  // namespace quorvane::agent
