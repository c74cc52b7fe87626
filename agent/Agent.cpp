#include "agent/Agent.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <random>
#include <system_error>

#include "agent/AgentProtocol.h"
#include "agent/HostResolver.h"
#include "agent/modMisc.h"
#include "common/modCompression.h"
#include "common/modZlib.h"
#include "platform/CommandSignature.h"
#include "agent/collect/AgentErrors.h"

namespace quorvane::agent {

namespace fs = std::filesystem;

namespace {
constexpr std::string_view kModule = "frmMain";
constexpr const char* kPasswordPrompt = "Please enter your password below ...";
}  // namespace

Agent::Agent(asio::io_context& io, HostResolver& resolver, AgentConfig config)
    : io_(io),
      support_(io, resolver),
      folder_(std::move(config.programFolder)),
      settingsFile_(config.settingsFile.empty() ? folder_ / kSettingsFileName
                                                : std::move(config.settingsFile)),
      desktop_(std::move(config.desktop)),
      power_(std::move(config.power)),
      userMessenger_(std::move(config.userMessenger)),
      getInfo_(std::move(config.getInfo)),
      random_(std::move(config.random)),
      temporaryFolder_(std::move(config.temporaryFolder)),
      onEnd_(std::move(config.onEnd)),
      localAddress_(std::move(config.localAddress)),
      observer_(std::move(config.observer)),
      resolver_(resolver),
      sckConnect_(support_),
      sckListen_(support_),
      tmrAuditDelay_(io, [this] { tmrAuditDelay_Timer(); }),
      tmrTimeout_(io, [this] { tmrTimeout_Timer(); }),
      tmrCommandDeadline_(io, [this] { tmrCommandDeadline_Timer(); }),
      tmrUploadRetry_(io, [this] { tmrUploadRetry_Timer(); }),
      tmrReaudit_(io, [this] { tmrReaudit_Timer(); }),
      retryFirstMs_(std::max<std::int64_t>(1, config.uploadRetryFirstMs)),
      retryMaxMs_(std::max(retryFirstMs_, config.uploadRetryMaxMs)),
      retryStepMs_(retryFirstMs_),
      reauditHourMs_(std::max<std::int64_t>(1, config.reauditHourMs)) {
  if (!random_) {
    auto gen = std::make_shared<std::mt19937_64>(std::random_device{}());
    random_ = [gen] { return std::uniform_real_distribution<double>(0.0, 1.0)(*gen); };
  }
  if (temporaryFolder_.empty()) temporaryFolder_ = getTemporaryPath();
  tmrTimeout_.Interval(config.timeoutMs);
  tmrCommandDeadline_.Interval(config.commandDeadlineMs);

  sckConnect_.events.OnConnect = [this] { sckConnect_OnConnect(); };
  sckConnect_.events.OnDataArrival = [this](long n) { sckConnect_OnDataArrival(n); };
  sckConnect_.events.OnSendComplete = [this] { sckConnect_OnSendComplete(); };
  sckConnect_.events.OnError = [this](SocketError& e) { sckConnect_OnError(e); };
  sckListen_.events.OnConnectionRequest = [this](long id) { sckListen_OnConnectionRequest(id); };
  sckListen_.events.OnDataArrival = [this](long n) { sckListen_OnDataArrival(n); };
  sckListen_.events.OnClose = [this] { sckListen_OnClose(); };
  sckListen_.events.OnError = [this](SocketError&) { sckListen_OnError(); };
}

Agent::~Agent() {
  alive_.reset();
  if (serverLookup_ != 0) resolver_.cancel(serverLookup_);
  if (desktop_ && iconShown_) desktop_->removeTrayIcon();
}

// ---------------------------------------------------------------------------
// Plumbing

void Agent::letPendingEventsRun() {
  if (!ended_) support_.letPendingEventsRun();
}

void Agent::endProgram(int status) {
  if (ended_) return;
  ended_ = true;
  exitStatus_ = status;
  tmrAuditDelay_.Enabled(false);
  tmrTimeout_.Enabled(false);
  tmrCommandDeadline_.Enabled(false);
  tmrReaudit_.Enabled(false);
  tmrUploadRetry_.Enabled(false);
  for (CSocket* s : {&sckListen_, &sckConnect_}) {
    s->events = {};
    try {
      s->CloseSocket();
    } catch (const RaisedError&) {
    }
  }
  if (inputBoxOpen_) {
    inputBoxOpen_ = false;
    desktop_->closeInputBox();
  }
  lock_.reset();
  if (onEnd_) onEnd_(status);
}

void Agent::report(std::string_view procedure, long number, std::string_view description,
                   long line) {
  desktop_->messageBox(
      formatErrorReport(errorLocation(kProjectAgent, kModule, procedure), number, description, line),
      platform::kMbCritical, kAppTitle);
}

template <class F>
void Agent::guarded(std::string_view procedure, F&& body) {
  if (ended_) return;
  try {
    body();
  } catch (const RaisedError& e) {
    if (!ended_) report(procedure, e.number(), e.description(), e.line());
  } catch (const fs::filesystem_error& e) {
    if (!ended_) report(procedure, kErrPathAccess, std::string("Path/File access error (") + e.what() + ")", 0);
  } catch (const std::bad_alloc&) {
    if (!ended_) report(procedure, kErrOutOfMemory, "Out of memory", 0);
  } catch (const std::exception& e) {
    if (!ended_) report(procedure, kErrInternal, std::string("Internal error (") + e.what() + ")", 0);
  }
}

void Agent::createIcon() {
  iconShown_ = desktop_->addTrayIcon(kTrayTip, [this](int message) { Picture1_MouseMove(message); });
}

void Agent::deleteIcon() {
  desktop_->removeTrayIcon();
  iconShown_ = false;
}

void Agent::clearFlags() {
  blnQuitPending_ = blnPowerOffPending_ = blnRebootPending_ = blnLogOffPending_ =
      blnMessagePending_ = false;
}

// ---------------------------------------------------------------------------
// Start-up and end

void Agent::startupError(const std::string& text, int style, std::string_view title) {
  desktop_->messageBox(text, style, title);
  deleteIcon();
  endProgram(1);
}

bool Agent::Form_Load() {
  // 1-2: the command tokens are constants; the sockets exist with the agent.
  long line = 0;
  try {
    // 3: the compression library.
    line = 3;
    if (Status z = checkForZlib(); !z) throw RaisedError(z);

    // 4: one agent per folder.
    line = 4;
    auto lock = platform::acquireInstanceLock(folder_);
    if (!lock) throw RaisedError(lock.status());
    if (lock->outcome == platform::LockOutcome::HeldElsewhere) {
      endProgram(0);
      return false;
    }
    lock_ = std::move(lock->lock);

    // 5: no settings at all: audit once and end.
    line = 5;
    const fs::path& settingsFile = settingsFile_;
    blnQuitPending_ = FileLen2(settingsFile) == 0;

    // 6: the main form stays hidden. 7-8: read the settings.
    line = 7;
    if (!fs::exists(settingsFile)) {
      if (Status st = writeWholeFile(settingsFile, ""); !st) throw RaisedError(st);
    }
    auto text = readWholeFile(settingsFile);
    if (!text) throw RaisedError(text.status());
    SettingsResult parsed = parseClientSettings(*text, random_);
    settings_ = parsed.settings;
    sckConnect_.RemotePort(settings_.lngConnectPort);
    if (parsed.error) {
      strExpectedType_ = parsed.error->expectedType;
      if (parsed.error->typeMismatch()) {
        startupError(criticalSettingsText(*parsed.error), platform::kMbCritical, kCriticalTitle);
      } else {
        startupError(otherSettingsErrorText(parsed.error->number, parsed.error->description,
                                            parsed.error->line),
                     platform::kMbOkOnly, kAppTitle);
      }
      return false;
    }
    if (settings_.auditDelayMs) tmrAuditDelay_.Interval(*settings_.auditDelayMs);
    // Started by every audit (doGetInfo), so it counts from the last one.
    tmrReaudit_.Interval(std::int64_t{settings_.reauditIntervalHours} * reauditHourMs_);
    setUpCommandSources();
    checkServerAddress();

    // 9: the tray icon.
    line = 9;
    if (settings_.blnShowSystemTray) createIcon();

    // 10: listen for commands.
    line = 10;
    listenAgain();
  } catch (const RaisedError& e) {
    startupError(otherSettingsErrorText(e.number(), e.description(), line), platform::kMbOkOnly,
                 kAppTitle);
    return false;
  } catch (const std::exception& e) {
    startupError(otherSettingsErrorText(kErrInternal, e.what(), line), platform::kMbOkOnly, kAppTitle);
    return false;
  }

  // tmrTimeout runs from the start: it first fires one interval after it.
  tmrTimeout_.Enabled(true);
  // 11: the first audit, at once.
  doGetInfo();
  return !ended_;
}

void Agent::Form_Unload() {
  if (ended_) return;
  std::weak_ptr<int> alive = alive_;
  letPendingEventsRun();
  if (alive.expired() || ended_) return;
  try {
    sckListen_.CloseSocket();
  } catch (const RaisedError&) {
  }
  letPendingEventsRun();
  if (alive.expired() || ended_) return;
  try {
    sckConnect_.CloseSocket();
  } catch (const RaisedError&) {
  }
  letPendingEventsRun();
  if (alive.expired() || ended_) return;
  deleteIcon();
  letPendingEventsRun();
  if (alive.expired() || ended_) return;
  endProgram(0);
}

// ---------------------------------------------------------------------------
// Tray icon, menu and the password dialog

void Agent::Picture1_MouseMove(int message) {
  guarded("Picture1_MouseMove", [&] {
    if (message != platform::kTrayRightButtonDown) return;
    std::weak_ptr<int> alive = alive_;
    desktop_->bringToForeground();
    letPendingEventsRun();
    if (alive.expired() || ended_) return;
    const int choice = desktop_->popupMenu({"Quit"});
    if (choice == 0) mnuSubItem_Click();
    if (alive.expired() || ended_) return;
    letPendingEventsRun();
    if (alive.expired() || ended_) return;
    letPendingEventsRun();
  });
}

void Agent::mnuSubItem_Click() {
  guarded("mnuSubItem_Click", [&] {
    if (settings_.blnAllowQuit) {
      const int answer = desktop_->messageBox("Are you sure you want to Quit",
                                              platform::kMbYesNo | platform::kMbCritical, kAppTitle);
      if (answer == platform::kAnswerYes) Form_Unload();
      return;
    }
    // frmInputBox: modeless; the menu handler returns at once.
    inputBoxOpen_ = true;
    desktop_->showInputBox(
        kPasswordPrompt,
        {[this](const std::string& text) { frmInputBox_cmdOk_Click(text); },
         [this] { frmInputBox_cmdCancel_Click(); },
         [this] { return frmInputBox_Form_QueryUnload(); }});
  });
}

void Agent::frmInputBox_cmdOk_Click(const std::string& text) {
  if (ended_ || !inputBoxOpen_) return;
  inputBoxOpen_ = false;
  desktop_->closeInputBox();
  if (text == settings_.strQuitPassword) {
    Form_Unload();
    return;
  }
  desktop_->messageBox("Invalid Password", platform::kMbCritical, kAppTitle);
}

void Agent::frmInputBox_cmdCancel_Click() {
  if (!inputBoxOpen_) return;
  inputBoxOpen_ = false;
  desktop_->closeInputBox();
}

bool Agent::frmInputBox_Form_QueryUnload() {
  return true;  // only the two buttons close the dialog
}

// ---------------------------------------------------------------------------
// The audit cycle

void Agent::doGetInfo() {
  fs::path tempFile;
  guarded("doGetInfo", [&] {
    record_ = AuditRecord{};
    record_.ListenPortNumber = settings_.lngListenPort;
    blnAuditing_ = true;
    if (tmrReaudit_.Interval() > 0) tmrReaudit_.Enabled(true);
    std::weak_ptr<int> alive = alive_;
    if (getInfo_) {
      getInfo_(record_, settings_.strServerIP, [this, alive](const std::string& text) {
        if (!alive.expired() && !ended_) {
          desktop_->messageBox(text, platform::kMbCritical, kAppTitle);
        }
      });
    }
    if (alive.expired() || ended_) return;

    auto saved = saveToTempFile(record_, folder_, temporaryFolder_);
    if (!saved) throw RaisedError(saved.status());
    tempFile = *saved;
    if (Status st = compressFile(tempFile); !st) throw RaisedError(st);
    const fs::path target = folder_ / (record_.Hardware.Network.IP + ".dat");
    fs::copy_file(tempFile, target, fs::copy_options::overwrite_existing);
    auditFile_ = target;
    std::error_code ec;
    fs::remove(tempFile, ec);
    tempFile.clear();
    blnAuditing_ = false;

    if (blnQuitPending_) {
      deleteIcon();
      endProgram(0);
      return;
    }
    // A newer audit replaces one still waiting to be sent.
    tmrUploadRetry_.Enabled(false);
    retryStepMs_ = retryFirstMs_;
    if (!serverUsable()) return;
    if (settings_.lngReauditMin != -1 && tmrAuditDelay_.Interval() > 0) {
      tmrAuditDelay_.Enabled(true);
      return;
    }
    // No delay (none configured, or a drawn delay of 0 s): send at once.
    startUpload();
  });
  if (!tempFile.empty()) {  // an error left it behind: its content is of no use now
    std::error_code ec;
    fs::remove(tempFile, ec);
  }
}

void Agent::startUpload() {
  sckConnect_.CloseSocket();
  if (!localAddress_.empty()) sckConnect_.Bind(0, localAddress_);
  observe(AgentEvent::UploadStarted);
  uploadInFlight_ = true;
  tmrTimeout_.Enabled(true);
  try {
    sckConnect_.Connect(settings_.strServerIP, settings_.lngConnectPort);
  } catch (const RaisedError& e) {
    sckConnect_.CloseSocket();
    uploadFailed("sckConnect_Connect", e.number(), e.description());
  }
}

// A failed upload: reported unless the same failure was reported last, and
// tried again after the back-off step (half the step to the whole, drawn).
void Agent::uploadFailed(std::string_view procedure, long number, const std::string& description) {
  if (!uploadInFlight_) return;
  uploadInFlight_ = false;
  observe(AgentEvent::UploadFailed);
  const double r = random_();
  const auto wait = static_cast<std::int64_t>(static_cast<double>(retryStepMs_) * (0.5 + 0.5 * r));
  tmrUploadRetry_.Interval(std::max<std::int64_t>(1, wait));
  tmrUploadRetry_.Enabled(true);
  retryStepMs_ = std::min(retryStepMs_ * 2, retryMaxMs_);
  const std::string failure = std::to_string(number) + " " + description;
  if (failure == lastFailureReported_) return;
  lastFailureReported_ = failure;
  report(procedure, number, "The audit could not be sent to " + settings_.strServerIP + ":" +
                                std::to_string(settings_.lngConnectPort) + " (" + description +
                                "); it is sent again later",
         0);
}

void Agent::uploadSucceeded() {
  uploadInFlight_ = false;
  tmrUploadRetry_.Enabled(false);
  retryStepMs_ = retryFirstMs_;
  lastFailureReported_.clear();
  observe(AgentEvent::UploadSent);
}

// The regular audit. An audit being made, waiting for its ReauditDelayTime
// spread or on its way to the server is not disturbed: this tick is skipped
// (a new audit would overwrite the file the connection is about to send).
// An older audit waiting to be sent again is replaced by the new one.
void Agent::tmrReaudit_Timer() {
  guarded("tmrReaudit_Timer", [&] {
    if (blnAuditing_ || tmrAuditDelay_.Enabled() || uploadInFlight_) return;
    doGetInfo();
  });
}

void Agent::tmrUploadRetry_Timer() {
  guarded("tmrUploadRetry_Timer", [&] {
    tmrUploadRetry_.Enabled(false);
    if (blnAuditing_ || uploadInFlight_ || !serverUsable()) return;
    startUpload();
  });
}

// ServerIP is used as written: blanks around it would be part of the name.
// Digits and dots only that do not make a dotted IPv4 address (300.1.2.3,
// 10.1.2) are no host name either.
void Agent::checkServerAddress() {
  const std::string& ip = settings_.strServerIP;
  if (ip.empty()) return;
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  const bool numeric = ip.find_first_not_of("0123456789.") == std::string::npos;
  std::string why;
  if (blank(ip.front()) || blank(ip.back())) {
    why = "blanks around the address";
  } else if (numeric && !parseDottedAddress(ip)) {
    why = "not an IPv4 address";
  }
  if (why.empty()) return;
  serverUnusable_ = true;
  report("Form_Load", kErrInvalidPropertyValue,
         "Invalid property value: ServerIP \"" + ip + "\" cannot be used (" + why +
             "); audits are kept in the program's folder only",
         0);
}

void Agent::tmrAuditDelay_Timer() {
  guarded("tmrAuditDelay_Timer", [&] {
    tmrAuditDelay_.Enabled(false);
    startUpload();
  });
}

void Agent::tmrTimeout_Timer() {
  guarded("tmrTimeout_Timer", [&] {
    tmrTimeout_.Enabled(false);
    blnAuditing_ = false;
    if (settings_.lngListenPort != 0) {
      sckListen_.CloseSocket();
      listenAgain();
    }
    sckConnect_.CloseSocket();
    uploadFailed("tmrTimeout_Timer", 10060, "Connection timed out");
  });
}

// A command connection that brought no complete command in time (an idle or
// half-open peer, a token that never ends), or whose peer never closed after
// one: it is closed as if the peer had closed it, and listening restarts.
void Agent::tmrCommandDeadline_Timer() {
  guarded("tmrCommandDeadline_Timer", [&] {
    tmrCommandDeadline_.Enabled(false);
    sckListen_.CloseSocket();
    sckListen_.CloseSocket();
    sckListen_OnClose();
  });
}

// ---------------------------------------------------------------------------
// Upload

void Agent::sckConnect_OnConnect() {
  guarded("sckConnect_OnConnect", [&] {
    learnServerAddress();
    // The file the last audit wrote (named after the record's IP address).
    if (auditFile_.empty() || !fs::is_regular_file(auditFile_)) return;
    auto bytes = readWholeFile(auditFile_);
    if (!bytes) throw RaisedError(bytes.status());
    strAuditData_ = std::move(*bytes);
    blnEndMarkerSent_ = false;
    sckConnect_.SendData(strAuditData_);
  });
}

void Agent::sckConnect_OnSendComplete() {
  guarded("sckConnect_OnSendComplete", [&] {
    if (!blnEndMarkerSent_) {
      blnEndMarkerSent_ = true;
      sckConnect_.SendData(EndMarker);
    } else {
      strAuditData_.clear();
      sckConnect_.CloseSocket();
      uploadSucceeded();
    }
  });
}

void Agent::sckConnect_OnDataArrival(long) {
  guarded("sckConnect_OnDataArrival", [&] { sckConnect_.GetData(); });
}

void Agent::sckConnect_OnError(SocketError& error) {
  guarded("sckConnect_OnError", [&] {
    learnServerAddress();
    sckConnect_.CloseSocket();
    uploadFailed("sckConnect_OnError", error.Number, error.Description);
  });
}

// ---------------------------------------------------------------------------
// Commands

void Agent::sckListen_OnConnectionRequest(long requestID) {
  guarded("sckListen_OnConnectionRequest", [&] {
    sckListen_.CloseSocket();
    sckListen_.Accept(requestID);
    const std::string peer = sckListen_.RemoteHostIP();
    if (!commandsAcceptedFrom(peer)) {
      // Refused: closed at once (the second close releases the handle), and
      // listening goes on.
      sckListen_.CloseSocket();
      sckListen_.CloseSocket();
      observe(AgentEvent::CommandRefused, peer);
      listenAgain();
      return;
    }
    tmrCommandDeadline_.Enabled(true);
    if (settings_.commandPublicKey) sendChallenge();
  });
}

void Agent::sckListen_OnDataArrival(long) {
  guarded("sckListen_OnDataArrival", [&] {
    const std::string data = sckListen_.GetData();
    if (settings_.commandPublicKey) {
      signedCommandArrival(data);
    } else {
      obeyToken(data);
    }
  });
}

void Agent::sendChallenge() {
  std::array<unsigned char, kChallengeSize> nonce{};
  commandBuffer_.clear();
  if (!platform::fillRandom(nonce)) {
    challenge_.clear();
    refuseCommand("no random challenge could be made");
    return;
  }
  challenge_.assign(reinterpret_cast<const char*>(nonce.data()), nonce.size());
  sckListen_.SendData(makeChallengeMessage(challenge_));
}

void Agent::signedCommandArrival(const std::string& data) {
  if (commandBuffer_.size() + data.size() > kEnvelopeMaxSize) return refuseCommand("too long");
  commandBuffer_ += data;
  const ParsedEnvelope parsed = parseEnvelope(commandBuffer_);
  if (parsed.state == EnvelopeState::Incomplete) return;
  if (parsed.state == EnvelopeState::Malformed) return refuseCommand("not a signed command");
  if (const char* fault = envelopeFault(parsed.envelope, parsed.signedPart)) return refuseCommand(fault);
  // One use per challenge.
  challenge_.clear();
  commandBuffer_.clear();
  refusalReported_ = false;
  sckListen_.SendData(kVerdictAccepted);
  obeyToken(std::string(tokenForCommandCode(parsed.envelope.code)) + parsed.envelope.text);
}

// Why a whole envelope is not obeyed; nullptr when it is.
const char* Agent::envelopeFault(const CommandEnvelope& e, const std::string& signedPart) const {
  if (challenge_.empty() || e.challenge != challenge_) return "it answers another challenge";
  if (e.address != sckListen_.LocalIP()) return "it is addressed to another PC";
  if (tokenForCommandCode(e.code).empty()) return "unknown command";
  if (tokenForCommandCode(e.code) != tokMessage && !e.text.empty()) return "text on a command without one";
  if (!platform::verifyCommandSignature(*settings_.commandPublicKey, signedPart, e.signature)) {
    return "the signature does not match";
  }
  return nullptr;
}

// Closes the command connection without acting, and listens again.
void Agent::refuseCommand(std::string_view reason) {
  const std::string peer = sckListen_.RemoteHostIP();
  commandBuffer_.clear();
  challenge_.clear();
  try {
    sckListen_.SendData(kVerdictRefused);
  } catch (const RaisedError&) {
    // The peer is gone already (reset); the refusal stands.
  }
  // Half-close, then release; a peer that reset the connection makes the
  // first step fail, which changes nothing here.
  for (int step = 0; step < 3 && sckListen_.State() != sckClosed; ++step) {
    try {
      sckListen_.CloseSocket();
    } catch (const RaisedError&) {
    }
  }
  noteRefusal(peer, reason);
  listenAgain();
}

void Agent::noteRefusal(const std::string& peer, std::string_view reason) {
  observe(AgentEvent::CommandRefused, peer);
  if (refusalReported_) return;
  refusalReported_ = true;
  report("sckListen_OnDataArrival", kErrPermissionDenied,
         "Command from " + peer + " refused: " + std::string(reason), 0);
}

void Agent::obeyToken(const std::string& data) {
  {
    if (data == tokAudit) {
      observe(AgentEvent::CommandReceived, "audit");
      sckListen_.CloseSocket();
      std::weak_ptr<int> alive = alive_;
      letPendingEventsRun();
      if (alive.expired() || ended_) return;
      if (!blnAuditing_) doGetInfo();
    } else if (data == tokQuit) {
      observe(AgentEvent::CommandReceived, "quit");
      sckListen_.CloseSocket();
      blnQuitPending_ = true;
    } else if (data == tokPowerOff) {
      observe(AgentEvent::CommandReceived, "power-off");
      sckListen_.CloseSocket();
      blnPowerOffPending_ = true;
    } else if (data == tokReboot) {
      observe(AgentEvent::CommandReceived, "reboot");
      sckListen_.CloseSocket();
      blnRebootPending_ = true;
    } else if (data == tokLogOff) {
      observe(AgentEvent::CommandReceived, "log-off");
      sckListen_.CloseSocket();
      blnLogOffPending_ = true;
    } else if (data == tokHangUp) {
      observe(AgentEvent::CommandReceived, "hang-up");
      sckListen_.CloseSocket();
    } else if (data.size() >= tokMessage.size() && data.compare(0, 3, tokMessage) == 0) {
      observe(AgentEvent::CommandReceived, "message");
      sckListen_.CloseSocket();
      blnMessagePending_ = true;
      strMessageText_ = data.substr(3);
    }
    // Anything else: ignored; the connection stays open.
  }
}

// Listens for commands on the configured port and address (every address
// unless the agent was given one). Accepting a connection leaves that
// connection's local address in the socket, so it is set again each time:
// otherwise the agent would listen again only on the address the last
// command came in on.
void Agent::listenAgain() {
  tmrCommandDeadline_.Enabled(false);
  challenge_.clear();
  commandBuffer_.clear();
  if (settings_.lngListenPort == 0) return;
  sckListen_.LocalPort(settings_.lngListenPort);
  sckListen_.LocalIP(localAddress_);
  sckListen_.Listen();
}

void Agent::performPower(platform::PowerAction action, std::string_view procedure) {
  // AdjustToken belongs to the system backend: it asks with the rights it needs.
  Status st = power_ ? power_->perform(action) : Status::Error(kErrInvalidCall, "No power backend");
  if (!st) report(procedure, st.number(), st.description(), 0);
}

// Starts telling the people at the PC; the delivery's problems come back
// later on the loop, each reported the first time it is seen.
void Agent::tellUsers(const std::string& text) {
  if (!userMessenger_) return;
  std::weak_ptr<int> alive = alive_;
  userMessenger_->tell(text, [this, alive](std::vector<std::string> problems) {
    if (alive.expired() || ended_) return;
    for (std::string& p : problems) {
      if (!messageProblemsReported_.insert(p).second) continue;
      report("sckListen_OnClose", kErrDeviceUnavailable, p, 0);
    }
  });
}

void Agent::observe(AgentEvent event, std::string_view detail) {
  if (observer_) observer_(event, detail);
}

void Agent::setUpCommandSources() {
  commandSources_.reset();
  if (const auto& from = settings_.acceptCommandsFrom) {
    if (from->any) return;
    commandSources_.emplace(from->addresses.begin(), from->addresses.end());
    return;
  }
  if (settings_.strServerIP.empty()) return;  // no server: open, as ever
  commandSources_.emplace();
  if (parseDottedAddress(settings_.strServerIP)) {
    commandSources_->insert(settings_.strServerIP);
    return;
  }
  // A host name: its address is learnt from the upload connection's own
  // lookup (learnServerAddress), or asked for when a command arrives first.
}

void Agent::learnServerAddress() {
  if (!commandSources_ || settings_.acceptCommandsFrom) return;
  const std::string& ip = sckConnect_.RemoteHostIP();
  if (parseDottedAddress(ip)) commandSources_->insert(ip);
}

bool Agent::commandsAcceptedFrom(const std::string& address) {
  if (!commandSources_) return true;
  if (commandSources_->count(address)) return true;
  if (settings_.acceptCommandsFrom || serverLookup_ != 0 || !commandSources_->empty()) return false;
  // ServerIP's address is not known yet: look it up for the next command
  // connection; this one is refused.
  std::weak_ptr<int> alive = alive_;
  serverLookup_ = resolver_.resolve(settings_.strServerIP, [this, alive](const ResolveResult& r) {
    if (alive.expired()) return;
    serverLookup_ = 0;
    if (r.error == 0 && commandSources_ && parseDottedAddress(r.address)) commandSources_->insert(r.address);
  });
  return false;
}

// A command connection the peer reset (for example a peer that closed without
// reading the challenge): it ends as if the peer had closed it, at once
// rather than at the deadline. Errors while merely listening are left alone.
void Agent::sckListen_OnError() {
  if (!tmrCommandDeadline_.Enabled()) return;
  tmrCommandDeadline_Timer();
}

void Agent::sckListen_OnClose() {
  guarded("sckListen_OnClose", [&] {
    // A signed command cut short (by the peer or the deadline) is refused.
    if (settings_.commandPublicKey && !commandBuffer_.empty()) {
      commandBuffer_.clear();
      noteRefusal(sckListen_.RemoteHostIP(), "the command was cut short");
    }
    if (blnQuitPending_) {
      deleteIcon();
      endProgram(0);
    } else if (blnPowerOffPending_) {
      performPower(platform::PowerAction::PowerOff, "sckListen_OnClose");
      clearFlags();
      listenAgain();
    } else if (blnRebootPending_) {
      performPower(platform::PowerAction::Reboot, "sckListen_OnClose");
      clearFlags();
      listenAgain();
    } else if (blnLogOffPending_) {
      performPower(platform::PowerAction::LogOff, "sckListen_OnClose");
      clearFlags();
      listenAgain();
    } else if (blnMessagePending_) {
      clearFlags();
      const std::string text = std::move(strMessageText_);
      strMessageText_.clear();
      listenAgain();
      tellUsers(text);
      desktop_->messageBox(text, platform::kMbInformation, kAppTitle);
    } else {
      clearFlags();
      listenAgain();
    }
  });
}

}  // namespace quorvane::agent
