// ServerTexts: the fixed texts of the server and console (status texts of the
// client list, activity texts of the status bar, captions and titles).
//
// Every text here is shown to the user exactly as written, blanks included.
#pragma once

#include <array>
#include <string_view>

namespace quorvane {

// Title of the server's message boxes.
inline constexpr std::string_view kServerTitle = "QuorvaneServer";

// Status texts written to the " Status " column of the client list.
inline constexpr std::string_view kStatusConnecting = "Connecting...";
inline constexpr std::string_view kStatusConnected = "Connected";
inline constexpr std::string_view kStatusClientRunning = "Client Running";
inline constexpr std::string_view kStatusRequestSent = "Request Sent";
inline constexpr std::string_view kStatusTimedOut = "Timed out...";
// A console with a command key: the agent refused the signed command (or
// answered as no signing agent would), or the command could not be signed.
inline constexpr std::string_view kStatusRefused = "Refused by client";
inline constexpr std::string_view kStatusNotSigned = "Not signed";
inline constexpr std::string_view kStatusInboundConnection = "Inbound Connection";
inline constexpr std::string_view kStatusDataArrival = "Data Arrival";

// Activity texts of status bar panel 1.
inline constexpr std::string_view kActivityIdle = "Idle";
inline constexpr std::string_view kConnectionsSuffix = " Connections";

// The hardware categories of lstHardware, in list order. The browser
// dispatches on these exact texts.
inline constexpr std::array<std::string_view, 7> kHardwareCategories = {
    "Printers Information", "Keyboard Information", "Processor Information",
    "Memory Information",   "Video Information",    "Sound Information",
    "Drives Information"};

// The placeholder node of an empty DataStore.
inline constexpr std::string_view kNoDataFilesKey = "root";
inline constexpr std::string_view kNoDataFilesText = "(no data files)";

// Where failures are reported (see common/ErrorReport.h).
inline constexpr std::string_view kWhereFormLoad = "QuorvaneServer.frmMain.Form_Load";
inline constexpr std::string_view kWhereDataArrival = "QuorvaneServer.frmMain.sckListen_DataArrival";
inline constexpr std::string_view kWhereConnectionRequest = "frmMain.sckListen_ConnectionRequest";
inline constexpr std::string_view kWhereCmdDo = "frmMain.cmdDo_Click";

// Message box styles (icons and buttons) the server uses.
inline constexpr int kStyleCritical = 16;
inline constexpr int kStyleOkCancelCritical = 17;
inline constexpr int kStyleExclamation = 48;
inline constexpr int kStyleInformation = 64;

// Messages of the broadcast dialog.
inline constexpr std::string_view kMessagePrompt =
    "Please enter your message to be sent to all\r\nactive Quorvane Pro clients";
inline constexpr std::string_view kMessageConfirm =
    "Are you sure you would like to send the following message : \r\n\r\n";

}  // namespace quorvane
