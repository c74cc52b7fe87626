// Agent: one running QuorvanePro (the hidden main form and its state).
//
// One Agent owns everything that was module-level state of the program: its
// settings, the two sockets sckConnect and sckListen, the timers
// tmrAuditDelay and tmrTimeout, the current AuditRecord, its desktop, its
// power backend and its machine (platform) backend. Many Agents can run on
// one io_context (one thread); nothing is shared between them but the loop
// and the host-name resolver.
//
// The agent never ends the process itself: every end (quit command, menu,
// audit-once mode, a start-up error, a second instance) calls the `onEnd`
// hook once with the exit status (0 for an orderly end, 1 after a start-up
// error). The program turns it into the process's exit; a simulator stops
// that one agent. After the hook the agent does nothing more; it may be
// destroyed once the handler that ended it has returned.
//
// Every procedure follows the error-report convention: an unexpected error
// is shown in a critical message box ("Error in : QuorvanePro.frmMain.<proc>"
// ...) and the procedure returns; the agent keeps running.
//
// Keeping working on a hostile network and through outages:
// - a command connection that brings no complete command within
//   `commandDeadlineMs` is closed and the agent listens again (one command
//   connection at a time, as ever);
// - a failed upload (server down, refused, reset, timed out) is tried again
//   after a back-off step that starts at `uploadRetryFirstMs` and doubles up
//   to `uploadRetryMaxMs`, each wait drawn between half the step and the
//   step; it goes on until an upload succeeds or a newer audit replaces it. A
//   failure is reported once by the convention, not again while the same
//   failure repeats;
// - with ReauditIntervalHours the agent audits again that many hours after
//   its last audit (any audit restarts the count) and uploads it after the
//   ReauditDelayTime spread. A tick while an audit is being made, waits for
//   its spread or is on its way to the server is skipped; a tick while an
//   older audit waits to be sent again audits anew, and the new audit
//   replaces the old one;
// - a ServerIP that cannot be used (blanks around it, not an IPv4 address) is
//   reported once at start-up; the agent then keeps its audits local and goes
//   on listening for commands.
//
// With CommandPublicKey in its settings the agent obeys signed commands only
// (common/CommandEnvelope.h): it sends a fresh random challenge on every
// command connection and acts only on an envelope that answers that very
// challenge, names the address the connection came in on, carries a known
// command and verifies under the key. Anything else (a plain token, a bad or
// replayed envelope, an envelope cut short by the peer or the deadline) is
// refused with no action: the connection is closed, listening goes on, and
// the first refusal is reported by the convention (again only after a
// signed command has been accepted meanwhile). A peer that sends nothing and
// closes ("Check Client Status") is no refusal.
#pragma once

#include <asio.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "agent/AgentSettings.h"
#include "agent/CSocket.h"
#include "agent/MSocketSupport.h"
#include "agent/Timer.h"
#include "common/AuditRecord.h"
#include "common/CommandEnvelope.h"
#include "common/ErrorReport.h"
#include "platform/Desktop.h"
#include "platform/InstanceLock.h"
#include "platform/Power.h"
#include "platform/UserMessage.h"

namespace quorvane::agent {

// The program's title on its message boxes, and the tray icon's tip.
inline constexpr std::string_view kAppTitle = "QuorvanePro";
inline constexpr std::string_view kTrayTip = "Quorvane Pro";
inline constexpr std::string_view kSettingsFileName = "clientSettings.txt";

class Agent;

// What a host may watch of one agent's exchange. `detail` is the command's
// token name ("audit", "quit", "power-off", "reboot", "log-off", "hang-up",
// "message"), the refused peer's address, or empty.
enum class AgentEvent {
  UploadStarted,    // connecting to the server
  UploadSent,       // payload and end marker handed to the network, half-closed
  UploadFailed,     // the upload connection failed
  CommandReceived,  // a whole token arrived on the command connection
  CommandRefused,   // a command connection from an address not accepted, or
                    // a command that is not properly signed (detail: the peer)
};

// One audit: fills the reset record. `serverIP` is the ServerIP setting (the
// collectors pick the address the server sees); `report` shows an error
// report text of the convention (the agent's critical message box).
using AuditFn = std::function<void(AuditRecord& record, const std::string& serverIP,
                                   const std::function<void(const std::string& text)>& report)>;

struct AgentConfig {
  // Everything the agent keeps beside itself: settings, audit file, lock, Temp.
  std::filesystem::path programFolder;
  // The settings file; empty: programFolder / clientSettings.txt.
  std::filesystem::path settingsFile;
  std::unique_ptr<platform::Desktop> desktop;
  std::unique_ptr<platform::PowerControl> power;
  // Tells a command's message to the people at the PC beside the message box
  // (desktop notifications, terminals); none: the message box only. Each
  // distinct problem it finds is reported once by the convention.
  std::unique_ptr<platform::UserMessenger> userMessenger;
  // The collectors over the machine's platform backend (owned through it).
  AuditFn getInfo;
  // Uniform in [0, 1) for the ReauditDelayTime draw; a seeded one by default.
  std::function<double()> random;
  // Where temporary files go; the system's temporary folder when empty.
  std::filesystem::path temporaryFolder;
  // tmrTimeout's interval.
  std::int64_t timeoutMs = 15000;
  // How long a command connection may stay open without a complete command.
  std::int64_t commandDeadlineMs = 5000;
  // The back-off of a failed upload: the first step and the longest.
  std::int64_t uploadRetryFirstMs = 60 * 1000;
  std::int64_t uploadRetryMaxMs = 60 * 60 * 1000;
  // The length of one hour of ReauditIntervalHours (tests shorten it).
  std::int64_t reauditHourMs = 60 * 60 * 1000;
  // Called once when the agent ends, with the exit status.
  std::function<void(int exitStatus)> onEnd;
  // The local address both sockets use (a simulated PC's own loopback
  // address): uploads leave from it and commands are awaited on it. Empty:
  // the system chooses (any address when listening).
  std::string localAddress;
  // Watches the exchange (a simulator's counters); the agent never needs it.
  std::function<void(AgentEvent event, std::string_view detail)> observer;
};

class Agent {
 public:
  Agent(asio::io_context& io, HostResolver& resolver, AgentConfig config);
  ~Agent();
  Agent(const Agent&) = delete;
  Agent& operator=(const Agent&) = delete;

  // Start-up. Returns false when the agent ended during it.
  bool Form_Load();
  // The orderly end (menu, dialog, termination signal).
  void Form_Unload();

  // Tray icon callback and the "Quit" menu item.
  void Picture1_MouseMove(int message);
  void mnuSubItem_Click();
  // The password dialog.
  void frmInputBox_cmdOk_Click(const std::string& text);
  void frmInputBox_cmdCancel_Click();
  bool frmInputBox_Form_QueryUnload();

  // The audit cycle and the timers.
  void doGetInfo();
  void tmrAuditDelay_Timer();
  void tmrTimeout_Timer();
  void tmrCommandDeadline_Timer();
  void tmrUploadRetry_Timer();
  void tmrReaudit_Timer();

  // --- read-only views for hosts and tests --------------------------------
  bool ended() const { return ended_; }
  std::optional<int> exitStatus() const { return exitStatus_; }
  const AgentSettings& settings() const { return settings_; }
  const AuditRecord& record() const { return record_; }
  const std::filesystem::path& programFolder() const { return folder_; }
  const std::filesystem::path& settingsFile() const { return settingsFile_; }
  // The audit file the last audit wrote (empty before the first).
  const std::filesystem::path& auditFile() const { return auditFile_; }
  const CSocket& listenSocket() const { return sckListen_; }
  const CSocket& connectSocket() const { return sckConnect_; }
  bool auditing() const { return blnAuditing_; }
  bool quitPending() const { return blnQuitPending_; }
  const Timer& auditDelayTimer() const { return tmrAuditDelay_; }
  const Timer& timeoutTimer() const { return tmrTimeout_; }
  const Timer& uploadRetryTimer() const { return tmrUploadRetry_; }
  const Timer& reauditTimer() const { return tmrReaudit_; }
  // The back-off step the next failed upload waits for.
  std::int64_t uploadRetryStepMs() const { return retryStepMs_; }
  platform::Desktop& desktop() { return *desktop_; }

 private:
  void letPendingEventsRun();
  void endProgram(int status);
  void createIcon();
  void deleteIcon();
  void clearFlags();
  void listenAgain();
  void startUpload();
  void uploadFailed(std::string_view procedure, long number, const std::string& description);
  void uploadSucceeded();
  bool serverUsable() const { return !settings_.strServerIP.empty() && !serverUnusable_; }
  void checkServerAddress();
  void startupError(const std::string& text, int style, std::string_view title);
  void report(std::string_view procedure, long number, std::string_view description, long line);
  // Runs `body` under the error-report convention of `procedure`.
  template <class F>
  void guarded(std::string_view procedure, F&& body);

  void sckConnect_OnConnect();
  void sckConnect_OnDataArrival(long bytesTotal);
  void sckConnect_OnSendComplete();
  void sckConnect_OnError(SocketError& error);
  void sckListen_OnConnectionRequest(long requestID);
  void sckListen_OnDataArrival(long bytesTotal);
  void sckListen_OnClose();
  void sckListen_OnError();
  void obeyToken(const std::string& data);
  void sendChallenge();
  void signedCommandArrival(const std::string& data);
  const char* envelopeFault(const CommandEnvelope& e, const std::string& signedPart) const;
  void refuseCommand(std::string_view reason);
  void noteRefusal(const std::string& peer, std::string_view reason);
  void performPower(platform::PowerAction action, std::string_view procedure);
  void tellUsers(const std::string& text);
  void observe(AgentEvent event, std::string_view detail = {});
  // Who may command this agent (AcceptCommandsFrom, else ServerIP).
  void setUpCommandSources();
  bool commandsAcceptedFrom(const std::string& address);
  void learnServerAddress();

  asio::io_context& io_;
  MSocketSupport support_;
  std::filesystem::path folder_;
  std::filesystem::path settingsFile_;
  std::unique_ptr<platform::Desktop> desktop_;
  std::unique_ptr<platform::PowerControl> power_;
  std::unique_ptr<platform::UserMessenger> userMessenger_;
  std::set<std::string> messageProblemsReported_;
  AuditFn getInfo_;
  std::function<double()> random_;
  std::filesystem::path temporaryFolder_;
  std::function<void(int)> onEnd_;
  std::string localAddress_;
  std::function<void(AgentEvent, std::string_view)> observer_;
  HostResolver& resolver_;
  // nullopt: commands from any address. Otherwise the accepted addresses
  // (empty while ServerIP's name is still being resolved).
  std::optional<std::set<std::string>> commandSources_;
  long serverLookup_ = 0;

  CSocket sckConnect_;
  CSocket sckListen_;
  Timer tmrAuditDelay_;
  Timer tmrTimeout_;
  Timer tmrCommandDeadline_;
  Timer tmrUploadRetry_;
  Timer tmrReaudit_;
  std::unique_ptr<platform::InstanceLock> lock_;
  std::int64_t retryFirstMs_;
  std::int64_t retryMaxMs_;
  std::int64_t retryStepMs_;
  std::int64_t reauditHourMs_;
  bool uploadInFlight_ = false;  // between Connect and the half-close or a failure
  bool serverUnusable_ = false;
  std::string lastFailureReported_;  // cleared by a successful upload

  AgentSettings settings_;
  AuditRecord record_;
  std::filesystem::path auditFile_;
  std::string strExpectedType_;
  std::string strAuditData_;
  std::string strMessageText_;
  std::string challenge_;       // the challenge of the open command connection
  std::string commandBuffer_;   // a signed command as it arrives
  bool refusalReported_ = false;
  bool blnAuditing_ = false;
  bool blnEndMarkerSent_ = false;
  bool blnQuitPending_ = false;
  bool blnPowerOffPending_ = false;
  bool blnRebootPending_ = false;
  bool blnLogOffPending_ = false;
  bool blnMessagePending_ = false;
  bool iconShown_ = false;
  bool inputBoxOpen_ = false;
  bool ended_ = false;
  std::optional<int> exitStatus_;
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace quorvane::agent
