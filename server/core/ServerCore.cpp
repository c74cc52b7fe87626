#include "server/core/ServerCore.h"

#include <QCoreApplication>
#include <QDir>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/AuditRecordIO.h"
#include "common/ErrorReport.h"
#include "common/modCompression.h"
#include "common/modZlib.h"
#include "common/WholeFile.h"
#include "server/core/ResourceLimits.h"
#include "server/core/ServerTexts.h"

namespace quorvane {

namespace {

QString qs(std::string_view s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

// The new bytes go to a temporary file beside the target ("<name>.tmp-XXXXXX",
// never listed as a data file), which then replaces the target by a rename:
// whoever reads the file, and a server killed at any moment, sees the old
// file or the new one, never a part. Every write is checked, so a disk that
// refuses bytes (full, over quota, too large) leaves the old file alone.
// There is no fsync per file: it cost ~5 ms an upload, most of the intake's
// time under a fleet; replace-by-rename on the usual Linux file systems
// (ext4 auto_da_alloc, xfs, btrfs) already writes the data before the name.
Status writeFileAtomically(const std::string& path, std::string_view bytes) {
  const auto failed = [&](const std::string& why) {
    return Status::Error(kErrPathAccess, "Path/File access error: " + path + " (" + why + ")");
  };
  std::string temp = path + ".tmp-XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return failed(std::strerror(errno));
  ::fchmod(fd, 0644);
  std::string_view rest = bytes;
  while (!rest.empty()) {
    const ssize_t n = ::write(fd, rest.data(), rest.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string why = n < 0 ? std::strerror(errno) : "nothing written";
      ::close(fd);
      ::unlink(temp.c_str());
      return failed(why);
    }
    rest.remove_prefix(static_cast<std::size_t>(n));
  }
  if (::close(fd) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temp.c_str());
    return failed(why);
  }
  if (::rename(temp.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(errno);
    ::unlink(temp.c_str());
    return failed(why);
  }
  return Status::Ok();
}

// An upload is one audit record, exactly: bytes left after the record (a
// zero-filled blob reads as an empty record) mean it is not an agent's audit,
// and it must not replace a good one.
Expected<AuditRecord> decodeUpload(std::string_view upload) {
  Expected<std::string> data = readStoredRecordBytes(upload);
  if (!data) return data.status();
  std::size_t consumed = 0;
  Expected<AuditRecord> record = readAuditRecord(*data, &consumed);
  if (record && consumed != data->size()) {
    return Status::Error(kRecordMalformed, "Not an audit record: " + std::to_string(data->size() - consumed) +
                                               " bytes follow the record");
  }
  return record;
}

int removeLeftoverTemporaries(const std::string& folder) {
  QDir dir(QString::fromStdString(folder));
  int removed = 0;
  for (const QString& name : dir.entryList({QStringLiteral("*.tmp-*")}, QDir::Files | QDir::Hidden)) {
    removed += dir.remove(name) ? 1 : 0;
  }
  return removed;
}

ServerCore::ServerCore(ServerFolders folders, MessageSink& messages, QObject* parent)
    : QObject(parent),
      appPath_(getAppPath(folders.program)),
      settingsFile_(folders.settingsFile.empty() ? appPath_ + std::string(kSettingsFileName)
                                                 : std::move(folders.settingsFile)),
      reportsPath_(folders.reports.empty() ? appPath_ : getAppPath(folders.reports)),
      messages_(messages) {
  intake_ = std::make_unique<IntakeServer>(static_cast<IntakeEvents&>(*this), intakeLimits_);
  decoder_ = std::make_unique<UploadDecoder>(
      [this](const std::string& ip, std::string_view upload) { return decodeOrKeepRejected(ip, upload); },
      [this](const std::string& ip, std::string upload, Expected<AuditRecord> record) {
        storeDecoded(ip, std::move(upload), std::move(record));
      });
  reportCatalog_ = std::make_unique<NoReportLibraries>();
}

ServerCore::~ServerCore() {
  decoder_.reset();  // its worker may still call back into this object
}

void ServerCore::setIntakeLimits(IntakeLimits limits) {
  intakeLimits_ = limits;
  intake_ = std::make_unique<IntakeServer>(static_cast<IntakeEvents&>(*this), intakeLimits_);
}

void ServerCore::setCommandTimeoutMs(int ms) { commandTimeoutMs_ = ms; }

void ServerCore::reportError(std::string_view where, long number, std::string_view description, long line) {
  messages_.showMessage(kServerTitle, formatErrorReport(where, number, description, line), kStyleCritical);
}

void ServerCore::reportError(std::string_view where, const Status& why, std::source_location at) {
  reportError(where, why.number(), why.description(), static_cast<long>(at.line()));
}

// A key beside the server makes every command signed. A key that cannot be
// read is reported; commands then go out unsigned, which agents holding the
// public key refuse.
void ServerCore::loadCommandKey() {
  const std::string path = commandKeyPath(appPath_);
  if (::access(path.c_str(), F_OK) != 0) return;
  Expected<CommandKey> key = CommandKey::load(path);
  if (!key) {
    reportError(kWhereFormLoad, key.status().number(), key.status().description(), 0);
    return;
  }
  dispatcher_->setCommandKey(std::move(*key));
}

void ServerCore::setActivity(const QString& text) {
  activity_ = text;
  emit activityChanged(text);
}

void ServerCore::setConnectionCount(int openConnections) {
  if (openConnections > 0) {
    setActivity(QString::number(openConnections) + qs(kConnectionsSuffix));
  } else {
    setActivity(qs(kActivityIdle));
  }
}

Status ServerCore::startFailed(const Status& why, std::source_location at) {
  loading_ = false;
  reportError(kWhereFormLoad, why, at);
  return why;
}

Status ServerCore::start(StartupView& view, StartupOptions options) {
  // 1. The compression library.
  if (Status zlib = checkForZlib(); !zlib) return startFailed(zlib);

  // 2. The loading window and the data file list.
  view.showLoading();
  QCoreApplication::processEvents();
  if (stopping()) return Status::Ok();
  removeLeftoverTemporaries(dataStorePath(appPath_));
  listing_ = getFileCount(appPath_);
  fileListReady_ = true;

  // 3. The command tokens (and the command connections that send them).
  tokens_ = CommandTokens::build();
  dispatcher_ = std::make_unique<CommandDispatcher>(state_, tokens_, commandTimeoutMs_);
  dispatcher_->setResultHook(commandResultHook_);
  loadCommandKey();

  // 4. Centre the main window.
  view.centreMainWindow();

  // 5. Empty tables.
  state_.createTables();
  reportLibraries_.clear();

  // 6. Status bar.
  setActivity(qs(kActivityIdle));

  // 7. Hardware categories.
  view.fillHardwareCategories();

  // 8. Settings.
  Expected<ServerSettings> settings = readServerSettingsFile(settingsFile_);
  if (!settings) return startFailed(settings.status());
  settings_ = *settings;

  // 9. Report libraries.
  Expected<std::vector<ReportLibraryEntry>> libraries = reportCatalog_->discover(reportsPath_);
  if (!libraries) return startFailed(libraries.status());
  reportLibraries_ = std::move(*libraries);
  view.reportLibrariesFound(reportLibraries_);

  // 10. Listen for agents.
  if (options.listen) {
    if (Status listening = listenForAgents(options); !listening) return startFailed(listening);
  }

  // 11. The loading window again.
  if (stopping()) return Status::Ok();
  view.showLoading();

  // 12. The data files.
  if (listing_.noDataFiles) {
    state_.showNoDataFiles();
  } else {
    loadDataFiles(view);
  }

  // 13. Done.
  view.unloadLoading();
  return Status::Ok();
}

std::string intakeOffActivity(const Status& why, int port) {
  return "Intake off: port " + std::to_string(port) + (why.number() == kErrAddressInUse ? " in use" : " not available");
}

std::string intakeOffDescription(const Status& why, int port) {
  const std::string portText = std::to_string(port);
  std::string text = why.number() == kErrAddressInUse
                         ? "Port " + portText + " is in use by another program."
                         : "Cannot listen on port " + portText + " (" + why.description() + ").";
  text += " Uploads from agents are not received; the console shows DataStore and sends commands.";
  text += " To receive uploads, end the program that uses port " + portText +
          " or set ListenPortNumber in serverSettings.txt to a free port (and the agents' server port "
          "to the same), then start the server again.";
  return text;
}

// A port that cannot be used ends the start-up, unless the console may go on
// without intake (then it says so, and why).
Status ServerCore::listenForAgents(const StartupOptions& options) {
  raiseOpenFileLimit();  // one descriptor per client connection
  keepLargeBlocksOutOfTheHeap();
  const Status listening = intake_->listen(settings_.listenPort);
  if (listening.ok() || !options.browseWithoutIntake) return listening;
  intakeOff_ = true;
  reportError(kWhereFormLoad, listening.number(), intakeOffDescription(listening, settings_.listenPort),
              static_cast<long>(std::source_location::current().line()));
  setActivity(QString::fromStdString(intakeOffActivity(listening, settings_.listenPort)));
  return Status::Ok();
}

void ServerCore::loadDataFiles(StartupView& view) {
  loading_ = true;
  state_.reserveClients(listing_.paths.size());
  for (const std::string& path : listing_.paths) pendingKeys_.insert(clientKeyOfDataFile(path));
  const std::size_t last = listing_.paths.size() - 1;
  for (std::size_t i = 0; i < listing_.paths.size(); ++i) {
    QCoreApplication::processEvents();
    if (stopping()) break;
    const std::string& path = listing_.paths[i];
    view.setLoadingFile(returnNameOfFile(path));
    if (listing_.paths.size() > 1) view.setLoadingProgress(static_cast<double>(i) / static_cast<double>(last));

    const std::string key = clientKeyOfDataFile(path);
    if (!pendingKeys_.count(key)) continue;  // an upload during loading already took its place
    pendingKeys_.erase(key);
    Expected<AuditRecord> record = loadDataFile(path);
    if (record) {
      state_.addClient(key, std::move(*record), path);
    } else {
      reportError(kWhereFormLoad, record.status());
    }
  }
  loading_ = false;
  pendingKeys_.clear();
  if (state_.clientCount() == 0) state_.showNoDataFiles();
}

// A data file that does not read or decode names itself in the description.
Expected<AuditRecord> ServerCore::loadDataFile(const std::string& path) const {
  Expected<std::string> bytes = readWholeFile(path, kMaxStoredFileSize);
  if (!bytes) return bytes.status();
  Expected<AuditRecord> record = decodeStoredAudit(*bytes);
  if (record) return record;
  return Status::Error(record.status().number(), record.status().description() + " (" + returnNameOfFile(path) + ")");
}

void ServerCore::storeUpload(const std::string& ip, std::string upload) {
  Expected<AuditRecord> record = decodeOrKeepRejected(ip, upload);
  storeDecoded(ip, std::move(upload), std::move(record));
}

// A rejected upload is kept (its first kMaxRejectedCopy bytes) for whoever
// looks into it; the newest one of a source replaces the older.
Expected<AuditRecord> ServerCore::decodeOrKeepRejected(const std::string& ip, std::string_view upload) const {
  Expected<AuditRecord> record = decodeUpload(upload);
  if (record) return record;
  const std::string folder = dataStorePath(appPath_);
  QDir().mkpath(QString::fromStdString(folder));
  const std::string rejected = folder + ip + std::string(kDataFileExtension) + std::string(kRejectedSuffix);
  const std::size_t kept = std::min(upload.size(), kMaxRejectedCopy);
  const Status written = writeFileAtomically(rejected, upload.substr(0, kept));
  std::string why = record.status().description();
  if (!written.ok()) {
    why += " (" + written.description() + ")";
  } else if (kept < upload.size()) {
    why += " (first " + std::to_string(kept) + " of " + std::to_string(upload.size()) + " bytes kept as " +
           returnNameOfFile(rejected) + ")";
  } else {
    why += " (upload kept as " + returnNameOfFile(rejected) + ")";
  }
  return Status::Error(record.status().number(), why, record.status().source());
}

// The completion step of an upload, on the event loop. A rejected one counts
// against its source's share of the intake.
void ServerCore::storeDecoded(const std::string& ip, std::string upload, Expected<AuditRecord> record) {
  if (!record) {
    intake_->uploadRejected(ip);
    emit uploadRejected(QString::fromStdString(ip));
    reportError(kWhereDataArrival, record.status());
    return;
  }
  const std::string folder = dataStorePath(appPath_);
  if (!QDir().mkpath(QString::fromStdString(folder))) {
    reportError(kWhereDataArrival, Status::Error(kErrPathAccess, "Path/File access error: " + folder));
    return;
  }
  const std::string path = folder + ip + std::string(kDataFileExtension);
  upload += "\r\n";
  if (Status written = writeFileAtomically(path, upload); !written) {
    reportError(kWhereDataArrival, written);
    return;
  }
  intake_->uploadStored(ip);
  if (storedAuditHook_) storedAuditHook_(ip, *record, path);

  int index = -1;
  if (std::optional<int> known = state_.findClient(ip)) {
    index = *known;
    state_.replaceClient(index, std::move(*record));
  } else {
    pendingKeys_.erase(ip);
    index = state_.addClient(ip, std::move(*record), path);
  }
  emit uploadStored(QString::fromStdString(ip), index);
}

void ServerCore::onConnectionOpened(const std::string& ip, int openConnections) {
  setConnectionCount(openConnections);
  state_.clientList().setStatus(QString::fromStdString(ip), qs(kStatusInboundConnection));
}

void ServerCore::onPieceArrived(const std::string& ip) {
  state_.clientList().setStatus(QString::fromStdString(ip), qs(kStatusDataArrival));
}

// What decoding the upload costs: the length it declares (0 when it has
// none, for then it fails at once).
static std::uint64_t decodingCost(std::string_view upload) {
  const std::size_t nul = upload.find('\0');
  if (nul == std::string_view::npos) return 0;
  Expected<std::uint64_t> length = parseDeclaredLength(upload.substr(0, nul));
  return length ? *length : 0;
}

void ServerCore::onUploadComplete(const std::string& ip, std::string upload) {
  const std::uint64_t cost = decodingCost(upload);
  if (decoder_->submit(ip, std::move(upload), cost)) return;
  intake_->uploadRejected(ip);
  onUploadRefused(ip, Status::Error(kErrUploadTooLarge,
                                    "Out of memory: too many uploads waiting to be decoded; this one is dropped"));
}

void ServerCore::onSourceRefused(const std::string& ip, const Status& why) { onUploadRefused(ip, why); }

void ServerCore::onUploadRefused(const std::string& ip, const Status& why) {
  reportError(kWhereDataArrival, Status::Error(why.number(), why.description() + " (from " + ip + ")"));
}

void ServerCore::onConnectionClosed(const std::string&, int openConnections) {
  setConnectionCount(openConnections);
}

}  // namespace quorvane
