// AuditViews: the texts of the audit browser, built from one AuditRecord.
//
// Every view of the console's Local View tab (the software list, the software
// description, the seven hardware categories and the network identity) is a
// pure function of the record and the user's selection. The window only
// shows these texts; it owns no layout of its own. Texts are 8-bit
// (Windows-1252), lines end in CR LF, and TABs align labels and values.
//
// An array the record does not hold (written with no dimension) is shown as
// an empty list in every view. An array that does not start at index 0
// stops the view with the system's subscript error (9); the outcome then
// carries the error and the text written up to that point, which is what
// the text area keeps. A code-page text that is not a whole number is shown
// as "Unknown".
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/AuditRecord.h"
#include "server/core/ServerTexts.h"

namespace quorvane {

// The hardware view dispatches on the captions of lstHardware
// (kHardwareCategories), exactly and case-sensitively.

// An error that stopped a view, in the terms of the error report.
struct ViewError {
  long number = 0;
  std::string description;
  long line = 0;
};

// What a view put into its text area, and the error that stopped it, if any.
struct ViewText {
  std::string text;
  std::optional<ViewError> error;
  bool ok() const { return !error.has_value(); }
};

// Items of lstSoftware for one record, and the error that stopped the list.
struct SoftwareItems {
  std::vector<std::string> items;
  std::optional<ViewError> error;
  bool ok() const { return !error.has_value(); }
};

// Which record a tree node stands for.
struct NodeRecord {
  std::optional<std::size_t> index;  // empty: not a machine node
  std::optional<ViewError> error;
  bool ok() const { return !error.has_value(); }
};

// Reads a node tag: empty text or -1 stand for no record; any other whole
// number must be an index below `tableSize` (else error 9); any other text is
// a type mismatch (13).
NodeRecord recordIndexFromTag(std::string_view tag, std::size_t tableSize);

// Reads a decimal 32-bit whole number, blanks around it allowed.
std::optional<std::int32_t> readWholeNumber(std::string_view text);

// "True" or "False".
std::string flagText(Flag flag);

// Item 0: the operating system; then the display name of every application
// but the array's closing element, in record order.
SoftwareItems softwareListItems(const AuditRecord& record);

// rtbSoftwareInfo: the Windows information when `selectedIndex` is 0, else
// one block for every application whose display name equals `selectedText`.
ViewText softwareInfoText(const SoftwareInfo& software, int selectedIndex,
                          std::string_view selectedText);
std::string windowsInfoText(const WindowsInfo& windows);
std::string applicationBlock(const ApplicationInfo& application);

// rtbHardwareInfo for one category caption; empty text for an unknown caption.
ViewText hardwareInfoText(const HardwareInfo& hardware, std::string_view category);
ViewText printersText(const HardwareInfo& hardware);
std::string keyboardText(const KeyboardInfo& keyboard);
std::string processorText(const ProcessorInfo& processor);
std::string memoryText(const MemoryInfo& memory);
ViewText videoText(const VideoInfo& video);
ViewText soundText(const SoundInfo& sound);
ViewText drivesText(const Array<DriveInfo>& drives);

// rtbNetworkInfo.
std::string networkInfoText(const NetworkInfo& network);

}  // namespace quorvane
