#include "reportlib/modMain.h"

#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "common/ErrorReport.h"
#include "reportlib/modProgress.h"

namespace dovrel {

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& ch : out) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 'A' && c <= 'Z') {
      ch = static_cast<char>(c + 32);
    } else if ((c >= 0xC0 && c <= 0xDE && c != 0xD7)) {
      ch = static_cast<char>(c + 32);
    } else if (c == 0x8A || c == 0x8C || c == 0x8E) {
      ch = static_cast<char>(c + 16);
    } else if (c == 0x9F) {
      ch = static_cast<char>(0xFF);
    }
  }
  return out;
}

std::string_view trimBlanks(std::string_view text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

quorvane::Expected<std::string> getTemporaryPath() {
  std::string dir;
  if (const char* env = std::getenv("TMPDIR"); env != nullptr && *env != '\0') {
    dir = env;
  } else {
    dir = "/tmp";
  }
  if (dir.back() != '/') dir += '/';
  return dir;
}

quorvane::Expected<std::string> getTemporaryFile() {
  auto dir = getTemporaryPath();
  if (!dir) return dir.status();
  std::string name = *dir + "KVXXXXXXX";
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    return quorvane::Status::Error(quorvane::kErrPathAccess, std::strerror(errno),
                                   "Dovrel.modMain.getTemporaryFile");
  }
  ::close(fd);
  return name;
}

int sortString(ApplicationTable& table, modProgress* progress) {
  if (progress != nullptr) {
    progress->setStatus("Sorting Applications ...");
    progress->setProgress(0.0f);
  }
  if (table.size() < 3) return table.size() < 2 ? 0 : 1;
  // The keys are lower-cased once and travel with their entries.
  std::vector<std::pair<std::string, ApplicationTally>> rows;
  rows.reserve(table.size() - 1);
  for (std::size_t i = 1; i < table.size(); ++i) {
    rows.emplace_back(lowerCase(table[i].name), std::move(table[i]));
  }
  int passes = 0;
  bool exchanged = true;
  while (exchanged) {
    exchanged = false;
    ++passes;
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
      if (rows[i].first > rows[i + 1].first) {
        std::swap(rows[i], rows[i + 1]);
        exchanged = true;
      }
    }
    doEvents();
  }
  for (std::size_t i = 0; i < rows.size(); ++i) table[i + 1] = std::move(rows[i].second);
  return passes;
}

bool StartDoc(const std::string& path, const ReportHost& host) {
  if (!host.interactive() || !hasDisplay()) return false;
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromLocal8Bit(path.c_str())));
}

namespace {
std::string ownFileName() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&ownFileName), &info) == 0 || info.dli_fname == nullptr) {
    return {};
  }
  return info.dli_fname;
}
}  // namespace

std::filesystem::path libraryFolder() {
  const std::string own = ownFileName();
  if (own.empty()) return std::filesystem::current_path();
  std::error_code ec;
  auto abs = std::filesystem::absolute(own, ec);
  return (ec ? std::filesystem::path(own) : abs).parent_path();
}

std::string libraryProjectName() {
  const std::string own = ownFileName();
  std::string name = std::filesystem::path(own).filename().string();
  const auto dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name.empty() ? std::string("Dovrel") : name;
}

}  // namespace dovrel
