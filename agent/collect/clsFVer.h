// clsFVer: the version-resource reader of the collectors.
//
// Holds the facts of the last file examined; every property reads empty (or
// 0) until filled. GetVersionClassic raises RaisedError 28001 ("File was not
// found : " + path) or 28002 ("Version Information Resource not found"),
// source "QuorvanePro File Version", for the caller's error handler.
// FileDate and FileTime are written "dd/mm/yyyy" and "hh:mm:ss".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "agent/collect/AgentErrors.h"
#include "platform/VersionResources.h"

namespace quorvane::agent {

class clsFVer {
 public:
  explicit clsFVer(const platform::VersionResources& files) : files_(files) {}
  clsFVer(const clsFVer&) = delete;
  clsFVer& operator=(const clsFVer&) = delete;

  // Looks `fileName` up in the system directory: file date and time, the
  // four version numbers and the platform text.
  void GetVersionClassic(std::string_view fileName);
  // Reads the eight version strings of the file at `path`; false (strings
  // unchanged) when it has no version resource.
  bool GetFileInfo(std::string_view path);
  // FileDate and FileTime of the file at `path`; false (both unchanged) when
  // its modification time cannot be read.
  bool ReadFileDate(std::string_view path);

  const std::string& FileDate() const { return fileDate_; }
  const std::string& FileTime() const { return fileTime_; }
  std::int32_t MajorVersion() const { return major_; }
  std::int32_t MinorVersion() const { return minor_; }
  std::int32_t BuildNumber() const { return build_; }
  std::int32_t QFEVersion() const { return qfe_; }
  const std::string& Platform() const { return platform_; }
  const std::string& CompanyName() const { return companyName_; }
  const std::string& FileDescription() const { return fileDescription_; }
  const std::string& FileVersion() const { return fileVersion_; }
  const std::string& InternalName() const { return internalName_; }
  const std::string& LegalCopyright() const { return legalCopyright_; }
  const std::string& OriginalFileName() const { return originalFileName_; }
  const std::string& ProductName() const { return productName_; }
  const std::string& ProductVersion() const { return productVersion_; }

 private:
  const platform::VersionResources& files_;
  std::string fileDate_, fileTime_;
  std::int32_t major_ = 0, minor_ = 0, build_ = 0, qfe_ = 0;
  std::string platform_;
  std::string companyName_, fileDescription_, fileVersion_, internalName_, legalCopyright_,
      originalFileName_, productName_, productVersion_;
};

// The string-table block of a translation pair: eight upper-case hexadecimal
// digits, language first (0x0409, 0x04E4 -> "040904E4").
std::string versionBlockName(std::uint16_t language, std::uint16_t codePage);

}  // namespace quorvane::agent
