#include "reportlib/modMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "common/ErrorReport.h"
#include "reportlib/modProgress.h"

namespace dovrel {

std::string lowerCase(std::string_view text) {
  std::string out(text);
  lowerCaseInPlace(out);
  return out;
}

void lowerCaseInPlace(std::string& text) {
  for (char& ch : text) {
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
  // An exchange sort of neighbours (swapping only when strictly greater) is
  // stable; a stable merge sort with the same comparison gives the very same
  // order, in n log n instead of n^2 (thousands of distinct applications).
  const std::size_t n = rows.size();
  std::vector<std::size_t> order(n);
  for (std::size_t i = 0; i < n; ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&rows](std::size_t a, std::size_t b) { return rows[a].first < rows[b].first; });
  // The passes the exchange sort made: each pass moves an entry at most one
  // place forward, so it takes 1 + the most greater entries standing before
  // any one entry. Entries before i ranked after it are exactly the greater
  // ones (equal names keep their order); counted with a Fenwick tree.
  std::vector<std::size_t> rankOf(n);
  for (std::size_t k = 0; k < n; ++k) rankOf[order[k]] = k;
  std::vector<std::size_t> tree(n + 1, 0);
  std::size_t mostGreaterBefore = 0;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t lower = 0;  // entries before i ranked before it
    for (std::size_t k = rankOf[i]; k > 0; k -= k & (~k + 1)) lower += tree[k];
    mostGreaterBefore = std::max(mostGreaterBefore, i - lower);
    for (std::size_t k = rankOf[i] + 1; k <= n; k += k & (~k + 1)) ++tree[k];
  }
  const int passes = static_cast<int>(mostGreaterBefore) + 1;
  std::vector<std::pair<std::string, ApplicationTally>> sorted;
  sorted.reserve(n);
  for (std::size_t k : order) sorted.push_back(std::move(rows[k]));
  rows = std::move(sorted);
  doEvents();
  for (std::size_t i = 0; i < rows.size(); ++i) table[i + 1] = std::move(rows[i].second);
  return passes;
}

std::string openFailedMessage(const std::string& path, const std::string& why) {
  return "The report was written to " + path + ", but it could not be opened (" + why +
         "). Open the file with a web browser.";
}

OpenerVerdict runOpener(const std::string& opener, const std::string& path, int waitMs) {
  OpenerVerdict verdict;
  const QString program = QStandardPaths::findExecutable(QString::fromLocal8Bit(opener.c_str()));
  if (program.isEmpty()) {
    verdict.why = "no program " + opener + " on this desktop";
    return verdict;
  }
  auto process = std::make_unique<QProcess>();
  process->start(program, {QString::fromLocal8Bit(path.c_str())});
  if (!process->waitForStarted(waitMs)) {
    verdict.why = opener + " could not be started: " + process->errorString().toStdString();
    return verdict;
  }
  QElapsedTimer clock;
  clock.start();
  while (process->state() != QProcess::NotRunning && clock.elapsed() < waitMs) {
    process->waitForFinished(20);
    doEvents();
  }
  if (process->state() != QProcess::NotRunning) {
    // The opener became the viewer: it keeps running, owned by the
    // application (not by this library, which may be unloaded first).
    QProcess* running = process.release();
    running->setParent(QCoreApplication::instance());
    QObject::connect(running, &QProcess::finished, running, &QObject::deleteLater);
    verdict.opened = true;
    return verdict;
  }
  if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0) {
    verdict.opened = true;
    return verdict;
  }
  verdict.why = opener + (process->exitStatus() == QProcess::NormalExit
                              ? " ended with code " + std::to_string(process->exitCode())
                              : std::string(" crashed"));
  const std::string said = QString::fromLocal8Bit(process->readAllStandardError()).trimmed().toStdString();
  if (!said.empty()) verdict.why += ": " + said.substr(0, 300);
  return verdict;
}

bool StartDoc(const std::string& path, ReportHost& host) {
  if (!host.interactive() || !hasDisplay()) return false;
  const OpenerVerdict verdict = runOpener(kDesktopOpener, path, kOpenerVerdictMs);
  if (!verdict.opened) host.showMessage(QV_ICON_EXCLAMATION, openFailedMessage(path, verdict.why));
  return verdict.opened;
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
