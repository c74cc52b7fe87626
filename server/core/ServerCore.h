// ServerCore: the server without its window. Runs the start-up sequence,
// owns the shared tables (ServerState), the intake of uploads into DataStore,
// the command connections and the status-bar activity text.
//
// The window (or the headless and command-line modes) supplies a StartupView
// for the loading window and other start-up steps that touch the screen, and
// a MessageSink for message boxes. Failures follow the error-report
// convention and go to the sink; start() also returns them.
//
// DataStore rules kept here: an upload is decoded from memory first (on the
// decoder's worker thread, UploadDecoder); only an upload that decodes
// replaces "<IP>.dat" (written atomically, with a trailing CR LF) and the
// client's record; one that does not is kept as "<IP>.dat.rejected" (its
// first kMaxRejectedCopy bytes; the newest rejected upload of a source
// replaces the older) and changes nothing else. At start-up the temporary
// files that an interrupted write left ("*.tmp-*") are removed, and a file
// that cannot be read or decoded is reported and left out; the rest load.
// A stop request (the termination signal) ends the start-up sequence at the
// next step or data file.
// A client is keyed by the address its file is named after; an upload that
// arrives while DataStore is still loading takes the place of its pending
// file, so no client is ever listed twice.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <set>
#include <source_location>
#include <string>
#include <vector>

#include "common/Status.h"
#include "server/core/CommandDispatcher.h"
#include "server/core/CommandTokens.h"
#include "server/core/IntakeServer.h"
#include "server/core/MessageSink.h"
#include "server/core/ReportCatalog.h"
#include "server/core/ServerFolders.h"
#include "server/core/ServerSettings.h"
#include "server/core/ServerState.h"
#include "server/core/UploadDecoder.h"
#include "server/core/modMisc.h"

namespace quorvane {

inline constexpr std::size_t kMaxRejectedCopy = 1024 * 1024;

// The start-up steps that touch the screen. Defaults do nothing.
class StartupView {
 public:
  virtual ~StartupView() = default;
  virtual void showLoading() {}                              // steps 2 and 11
  virtual void setLoadingFile(const std::string& /*name*/) {}
  virtual void setLoadingProgress(double /*fraction*/) {}   // 0..1
  virtual void unloadLoading() {}                            // step 13
  virtual void centreMainWindow() {}                         // step 4
  virtual void fillHardwareCategories() {}                   // step 7
  virtual void reportLibrariesFound(const std::vector<ReportLibraryEntry>& /*libraries*/) {}  // step 9
};

struct StartupOptions {
  bool listen = true;  // step 10; the command-line sender does not listen
  // A port that cannot be listened on (in use by another program, often a
  // headless server already receiving uploads) is reported and start-up
  // goes on without intake: DataStore loads, commands and reports work, and
  // the activity text says that intake is off and names the port. Without
  // it the failure ends start-up (the headless server, whose job is intake).
  bool browseWithoutIntake = false;
};

// The activity text while intake is off, and the description of the message
// that says so (which port, what to change).
std::string intakeOffActivity(const Status& why, int port);
std::string intakeOffDescription(const Status& why, int port);

class ServerCore : public QObject, private IntakeEvents {
  Q_OBJECT

 public:
  // A folder (std::string) stands for ServerFolders with only the program folder.
  ServerCore(ServerFolders folders, MessageSink& messages, QObject* parent = nullptr);
  ~ServerCore() override;

  void setReportCatalog(std::unique_ptr<ReportCatalog> catalog) { reportCatalog_ = std::move(catalog); }
  void setIntakeLimits(IntakeLimits limits);  // before start()
  void setCommandTimeoutMs(int ms);           // before start()
  // Asked between start-up steps and data files; true ends start-up there.
  void setStopRequested(std::function<bool()> stopRequested) { stopRequested_ = std::move(stopRequested); }

  // Steps 1 to 13. A failure is reported under "QuorvaneServer.frmMain.Form_Load"
  // and ends the sequence; the steps done so far stay done.
  Status start(StartupView& view, StartupOptions options = {});

  // Decodes and stores one complete upload from `ip` at once (the intake
  // decodes on its worker and stores through storeDecoded).
  void storeUpload(const std::string& ip, std::string upload);
  // Uploads handed to the decoder and not stored or rejected yet.
  std::size_t uploadsDecoding() const { return decoder_->pending(); }

  // Called on the loop's thread after an upload's file is stored, before its
  // record joins the tables: the client key, the record, the file's path.
  using StoredAuditHook =
      std::function<void(const std::string& key, const AuditRecord& record, const std::string& path)>;
  void setStoredAuditHook(StoredAuditHook hook) { storedAuditHook_ = std::move(hook); }

  // Called on the loop's thread when a command to a client has its final
  // status; handed to the dispatcher start() creates.
  void setCommandResultHook(CommandResultHook hook) { commandResultHook_ = std::move(hook); }

  const std::string& appPath() const { return appPath_; }
  const std::string& settingsFile() const { return settingsFile_; }
  const std::string& reportsPath() const { return reportsPath_; }
  ServerState& state() { return state_; }
  const ServerSettings& settings() const { return settings_; }
  IntakeServer& intake() { return *intake_; }
  CommandDispatcher* dispatcher() { return dispatcher_.get(); }
  const CommandTokens& tokens() const { return tokens_; }
  const std::vector<ReportLibraryEntry>& reportLibraries() const { return reportLibraries_; }
  bool fileListReady() const { return fileListReady_; }
  bool loading() const { return loading_; }
  // Start-up went on without listening (see StartupOptions).
  bool intakeOff() const { return intakeOff_; }
  const QString& activity() const { return activity_; }
  MessageSink& messages() { return messages_; }

  // Reports an error by the convention (critical icon, the server's title).
  void reportError(std::string_view where, long number, std::string_view description, long line);
  // The same for a failed status; the line is the caller's.
  void reportError(std::string_view where, const Status& why,
                   std::source_location at = std::source_location::current());
  void loadCommandKey();

 signals:
  void activityChanged(const QString& text);
  void uploadStored(const QString& ip, int recordIndex);
  void uploadRejected(const QString& ip);

 private:
  void onConnectionOpened(const std::string& ip, int openConnections) override;
  void onPieceArrived(const std::string& ip) override;
  void onUploadComplete(const std::string& ip, std::string upload) override;
  void onUploadRefused(const std::string& ip, const Status& why) override;
  void onConnectionClosed(const std::string& ip, int openConnections) override;
  void onSourceRefused(const std::string& ip, const Status& why) override;

  // Decodes an upload; one that does not decode is kept as "<IP>.dat.rejected"
  // and its status says so. Thread-safe (runs on the decoder's worker).
  Expected<AuditRecord> decodeOrKeepRejected(const std::string& ip, std::string_view upload) const;
  void storeDecoded(const std::string& ip, std::string upload, Expected<AuditRecord> record);
  bool stopping() const { return stopRequested_ && stopRequested_(); }

  void setActivity(const QString& text);
  void setConnectionCount(int openConnections);
  void loadDataFiles(StartupView& view);
  Expected<AuditRecord> loadDataFile(const std::string& path) const;
  Status listenForAgents(const StartupOptions& options);
  // Reports a start-up step that failed and ends the loading; returns `why`.
  Status startFailed(const Status& why, std::source_location at = std::source_location::current());

  std::string appPath_;
  std::string settingsFile_;
  std::string reportsPath_;
  MessageSink& messages_;
  ServerState state_;
  ServerSettings settings_;
  CommandTokens tokens_;
  IntakeLimits intakeLimits_;
  int commandTimeoutMs_ = kCommandTimeoutMs;
  std::unique_ptr<IntakeServer> intake_;
  std::unique_ptr<UploadDecoder> decoder_;
  std::function<bool()> stopRequested_;
  std::unique_ptr<CommandDispatcher> dispatcher_;
  std::unique_ptr<ReportCatalog> reportCatalog_;
  std::vector<ReportLibraryEntry> reportLibraries_;
  DataFileListing listing_;
  std::set<std::string> pendingKeys_;  // data files listed but not loaded yet
  bool fileListReady_ = false;
  bool loading_ = false;
  bool intakeOff_ = false;
  QString activity_;
  StoredAuditHook storedAuditHook_;
  CommandResultHook commandResultHook_;
};

// Decodes one upload (the stored-file form of exactly one audit record).
// Thread-safe.
Expected<AuditRecord> decodeUpload(std::string_view upload);

// Removes the temporary files ("*.tmp-*") that writes cut short left in
// `folder`; returns how many.
int removeLeftoverTemporaries(const std::string& folder);

// Writes `bytes` to `path` through a temporary file in the same folder and a
// rename, so the old file stays whole until the new one is complete.
Status writeFileAtomically(const std::string& path, std::string_view bytes);

}  // namespace quorvane
