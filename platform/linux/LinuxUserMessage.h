// The Linux user messenger (platform/UserMessage.h) and its parts.
//
// Receivers:
// - every graphical session (logind sessions of type x11, wayland or mir):
//   a desktop notification (org.freedesktop.Notifications, Notify) on the
//   session owner's bus /run/user/<uid>/bus, one per user;
// - every terminal of a logged-in user (the user-process entries of the
//   login records, utmp, and the terminals of logind sessions): a broadcast
//   in the manner of wall.
//
// How a delivery runs: each receiving bus gets a short-lived child process,
// and the terminals get one together. The agent runs as root, and a session
// bus admits only its owner (the EXTERNAL authentication compares the
// connecting process's uid), so the child of a bus first drops to the owner:
// no supplementary groups, the group that owns the bus socket, the owner's
// uid (setgroups, setresgid, setresuid; checked, else the child gives up).
// Only the child changes identity, never the agent, and the agent's own
// descriptors are closed in the child at once. The child pumps its sd-bus
// calls against a deadline; the agent polls for the children's ends from a
// timer and kills a child still running at the delivery's deadline, so a
// hung bus or terminal can neither block the agent nor outlive the delivery.
// A child calls only the kernel, malloc and sd-bus over an address it was
// given (no name lookups, no standard streams), which is what is safe after
// fork in a process with helper threads.
//
// Test seams (environment of the agent): QUORVANE_MESSAGE_BUSES, D-Bus
// addresses separated by blanks, replaces the logind discovery of buses (the
// agent connects as itself); QUORVANE_MESSAGE_UTMP names the login records
// file instead of the system's. With either set, neither logind nor the
// system's login records are asked: a test never reaches a real desktop or
// terminal.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/UserMessage.h"

namespace quorvane::platform::linux_backend {

// ---- pure parts -------------------------------------------------------------

// One login on a terminal, from the login records.
struct TerminalLogin {
  std::string user;
  std::string line;  // the terminal below /dev ("pts/3", "tty1")
};

// The user-process records of utmp file bytes (records of struct utmp), in
// file order; other record types, records without a terminal and a cut-off
// last record are left out. Unterminated fields end at their size.
std::vector<TerminalLogin> parseUtmp(std::string_view bytes);

// The device of a terminal line below `devRoot` ("pts/3" -> devRoot/pts/3);
// nullopt for a line that is not a plain terminal name (empty, absolute, a
// ".." part, characters other than letters, digits, "/", "_", "-", ".").
std::optional<std::string> terminalDevice(std::string_view devRoot, std::string_view line);

// What goes to each terminal: a bell, the banner "Broadcast message from
// <from> (<when>):", then the text in UTF-8; CR LF, lone CR and lone LF end
// lines (written CR LF), control characters show as ^X and the five bytes
// Windows-1252 leaves undefined as "?", so the text cannot drive the terminal.
std::string terminalMessage(std::string_view text8, std::string_view from, std::string_view when);

// The body of the desktop notification: the text in UTF-8, lines ended by
// LF, control characters other than tab (and the five undefined bytes) as
// "?"; with `markup` (the service reads its body as markup) "&", "<" and ">"
// are escaped.
std::string notificationBody(std::string_view text8, bool markup);

// The notification's application name, summary and icon.
inline constexpr const char* kNotifyAppName = "Quorvane Pro";
inline constexpr const char* kNotifySummary = "Message from your administrator";
inline constexpr const char* kNotifyIcon = "dialog-information";

// ---- deliveries (blocking, bounded; run in the children) --------------------

// Writes `bytes` to every device at once, without blocking, for at most
// `deadline` in all. Only character devices that are terminals are written.
struct TerminalWrite {
  std::vector<std::string> written;  // took the whole text
  std::vector<std::string> failed;   // not a terminal, refused, or not in time
};
TerminalWrite writeTerminals(const std::vector<std::string>& devices, std::string_view bytes,
                             std::chrono::milliseconds deadline);

// The outcome of a notification on one bus; also the exit status of the
// child that tried it.
enum class NotifyResult : int {
  Delivered = 0,
  NoBus = 10,        // no connection (no socket, refused, authentication refused)
  NoService = 11,    // nothing owns org.freedesktop.Notifications
  NoAnswer = 12,     // the bus or the service did not answer in time
  Refused = 13,      // the service answered Notify with an error
  NotAsUser = 14,    // the process could not take the bus owner's identity
};
std::string describe(NotifyResult result, std::chrono::milliseconds callTimeout);

// Connects to `address` and shows `text8` (asking the service whether it
// reads markup first); each call gets `callTimeout`, the whole at most twice
// that plus the connection.
NotifyResult notifyOnBus(const std::string& address, std::string_view text8,
                         std::chrono::milliseconds callTimeout);

// ---- discovery --------------------------------------------------------------

// A session bus to notify on: its address and its owner.
struct SessionBus {
  std::string address;
  uid_t uid = 0;
  gid_t gid = 0;
  bool actAsOwner = true;  // false: connect as this process (the test seam)
};

// The work of one bus's child: takes the owner's identity (when
// `actAsOwner`; only root can, and only the owner is then left), then
// notifyOnBus. Changes the calling process for good: call it in a child.
NotifyResult deliverToBus(const SessionBus& bus, std::string_view text8, std::chrono::milliseconds timeout);

// The buses of the graphical sessions logind knows, one per user, with
// a problem line for a graphical session whose bus is not there.
struct Discovery {
  std::vector<SessionBus> buses;
  std::vector<std::string> terminals;  // devices
  std::vector<std::string> problems;
};

struct MessengerOptions {
  std::optional<std::vector<std::string>> busAddresses;  // instead of logind
  std::string utmpFile;  // empty: the system's (unless busAddresses are given)
  std::string devRoot = "/dev";
  std::chrono::milliseconds callTimeout{2000};
  // A child still running this long after the start is killed.
  std::chrono::milliseconds deadline{5000};
  // Deliveries under way at once; a message beyond them reaches only the
  // message box (and is reported).
  std::size_t maxDeliveries = 4;
};

// The options with the test seams of the environment applied.
MessengerOptions messengerOptionsFromEnvironment();

Discovery discoverReceivers(const MessengerOptions& options);

std::unique_ptr<UserMessenger> makeLinuxUserMessenger(asio::io_context& io, MessengerOptions options);

}  // namespace quorvane::platform::linux_backend
