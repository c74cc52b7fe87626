// AuditRecord: the audit of one machine, shared by the agent, the server and
// the report library.
//
// The record is a fixed tree of typed fields. Its byte layout (packed
// little-endian, field by field in declaration order) is produced and read by
// one generic routine (common/AuditRecordIO.h) driven by the per-type field
// lists at the end of this file; the same lists drive the JSON dump of the
// audit tool. Adding, removing or reordering a field changes the format of
// every stored audit file.
//
// Field kinds and their C++ types:
//   Text   -> Text (std::string of 8-bit bytes, Windows-1252 on the wire)
//   Flag   -> Flag (16-bit: -1 true, 0 false; any non-zero reads as true)
//   Int16  -> std::int16_t
//   Int32  -> std::int32_t
//   Record -> a struct with a RecordFields<> specialisation
//   Array  -> Array<T> (absent, or one dimension with a lower bound)
//
// Limits of a record, checked by the one reader for the agent, the server,
// the report library and the audit tool alike. They are far above anything a
// real machine reports (a few hundred applications, a few dozen drives,
// modes or devices, a record of well under 1 MiB) and keep a hostile record
// from costing more than a bounded amount of memory and time: a record past
// them is rejected before anything is allocated for it.
//   kMaxApplications     elements of Software.Applications
//   kMaxArrayElements    elements of any other array
//   kMaxRecordBytes      bytes of one serialised record (also the largest
//                        declared length of a stored audit that is inflated)
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvane {

inline constexpr std::size_t kMaxApplications = 65536;
inline constexpr std::size_t kMaxArrayElements = 4096;
inline constexpr std::size_t kMaxRecordBytes = 16u * 1024 * 1024;

using Text = std::string;

// A 16-bit flag. Keeps the raw value so that a record read from a file is
// written back byte for byte (one field of the record stores 1 for true).
struct Flag {
  std::int16_t raw = 0;

  constexpr Flag() = default;
  constexpr Flag(bool value) : raw(value ? -1 : 0) {}  // NOLINT: implicit by design
  static constexpr Flag fromRaw(std::int16_t value) {
    Flag f;
    f.raw = value;
    return f;
  }
  constexpr bool isTrue() const { return raw != 0; }
  constexpr explicit operator bool() const { return isTrue(); }
  friend constexpr bool operator==(Flag a, Flag b) { return a.raw == b.raw; }
};

// An array field. `present == false` is the absent array (dimension count 0);
// otherwise one dimension with `lowerBound` and the elements in index order.
template <class T>
struct Array {
  bool present = false;
  std::int32_t lowerBound = 0;
  std::vector<T> items;

  Array() = default;
  explicit Array(std::vector<T> elements) : present(true), items(std::move(elements)) {}

  void clear() { *this = Array(); }
  void push_back(T value) {
    present = true;
    items.push_back(std::move(value));
  }
  std::size_t size() const { return items.size(); }
  bool empty() const { return items.empty(); }
  T& operator[](std::size_t i) { return items[i]; }
  const T& operator[](std::size_t i) const { return items[i]; }
  auto begin() { return items.begin(); }
  auto end() { return items.end(); }
  auto begin() const { return items.begin(); }
  auto end() const { return items.end(); }
  friend bool operator==(const Array&, const Array&) = default;
};

struct ApplicationInfo {
  Text DisplayName;
  Text UninstallString;
  Text Publisher;
  Text InstallLocation;
  Text DisplayVersion;
  Text URLInfoAbout;
  friend bool operator==(const ApplicationInfo&, const ApplicationInfo&) = default;
};

struct WindowsInfo {
  Text RegisteredOwner;
  Text RegisteredOrganization;
  Text OperatingSystem;
  Text Version;
  Text Username;
  Text ProductKey;
  Text WindowsID;
  Text Uptime;
  Text CommandInterpreter;
  Text EnhancementPack;
  Flag DebugVersionOfUser;
  Flag DBCSVersionOfUser;
  std::int32_t WindowsBoot = 0;
  Flag HebrewAndArabic;
  Flag WindowsForPen;
  Flag Security;
  Flag ScreenReviewer;  // holds 1 (not -1) when true
  Flag ShowSounds;
  Flag DropDownMenusRightAligned;
  Text FastBoot;
  Flag NetworkConnection;
  Flag BootToGUI;
  Flag Autoscan;
  Flag ShowLogo;
  Flag LoadDriveSpace;
  Flag LoadDoubleSpace;
  Text ProgramsPath;
  Text Prompt;
  Text PagingDrive;
  friend bool operator==(const WindowsInfo&, const WindowsInfo&) = default;
};

struct SoftwareInfo {
  WindowsInfo Windows;
  Array<ApplicationInfo> Applications;
  friend bool operator==(const SoftwareInfo&, const SoftwareInfo&) = default;
};

struct PrinterInfo {
  Text DisplayName;
  Text DriverName;
  Text Port;
  Flag Colour;
  std::int32_t Duplex = 0;
  std::int32_t Orientation = 0;
  std::int32_t PaperBin = 0;
  std::int32_t PaperSize = 0;
  std::int32_t PrintQuality = 0;
  friend bool operator==(const PrinterInfo&, const PrinterInfo&) = default;
};

struct KeyboardInfo {
  Text Model;
  Text KeyboardType;
  Text OEMCodePage;
  Text ANSICodePage;
  Text LayoutID;
  Text LayoutName;
  Text RepeatDelay;
  Text RepeatSpeed;
  Text NumberOfFunctionKeys;
  Text CaretFlashSpeed;
  Text CaretWidth;
  Text DriverFile;
  Text DriverDesc;
  Text DriverVers;
  Text DriverProv;
  Text DriverDate;
  Text DriverTime;
  friend bool operator==(const KeyboardInfo&, const KeyboardInfo&) = default;
};

struct ProcessorInfo {
  Text NumberOfCPUs;
  Text ActiveProcessorMark;
  Text CPUVersion;
  Text CPUClass;
  Text CPUStepping;
  Text CPUSpeed;
  Text MinAppAddress;
  Text MaxAppAddress;
  Text PageSize;
  Flag LowEndCPU;
  Text BlockSize;
  friend bool operator==(const ProcessorInfo&, const ProcessorInfo&) = default;
};

struct MemoryInfo {
  Text TotalMemoryAvailable;
  Text TotalPhysicalMemory;
  Text TotalAvailablePhysicalMemory;
  Text MaxSwapFile;
  Text CurrentSwapFile;
  Text FreeSwapFile;
  Text MemoryLoad;
  friend bool operator==(const MemoryInfo&, const MemoryInfo&) = default;
};

struct VideoInfo {
  Array<Text> VideoCards;
  Text currResolution;
  Text currColourDepth;
  Text currFrequency;
  Array<Text> VideoModes;
  friend bool operator==(const VideoInfo&, const VideoInfo&) = default;
};

struct WaveDeviceCaps {
  Text DeviceName;
  Text DriverVersion;
  Text AudioChannels;
  Text ManufacturerID;
  Text ProductID;
  std::int32_t Features = 0;
  friend bool operator==(const WaveDeviceCaps&, const WaveDeviceCaps&) = default;
};

struct SoundInfo {
  Flag boolPresent;
  Text strIOPort;
  Text strIRQ;
  Text strDMA;
  Array<WaveDeviceCaps> WaveOutDevices;
  Array<WaveDeviceCaps> WaveInDevices;
  friend bool operator==(const SoundInfo&, const SoundInfo&) = default;
};

struct DriveInfo {
  Text DriveName;
  Text DriveSort;
  Text DriveLabel;
  Text DriveSerial;
  Text DriveSize;
  Text DriveFree;
  Text DriveUsed;
  Text DriveType;
  friend bool operator==(const DriveInfo&, const DriveInfo&) = default;
};

struct NetworkInfo {
  Text Hostname;
  Text IP;
  Text DomainName;
  Flag IsAdmin;
  Text UserName;
  Flag IsNT;
  friend bool operator==(const NetworkInfo&, const NetworkInfo&) = default;
};

struct HardwareInfo {
  Array<PrinterInfo> Printers;
  Flag PrintersPresent;
  KeyboardInfo Keyboard;
  ProcessorInfo Processor;
  MemoryInfo Memory;
  VideoInfo Video;
  SoundInfo Sound;
  Array<DriveInfo> Drives;
  NetworkInfo Network;
  friend bool operator==(const HardwareInfo&, const HardwareInfo&) = default;
};

struct AuditRecord {
  SoftwareInfo Software;
  HardwareInfo Hardware;
  Text AuditDate;
  std::int32_t ListenPortNumber = 0;
  friend bool operator==(const AuditRecord&, const AuditRecord&) = default;
};

// Puts `record` back into its empty state: every text empty, every flag and
// number 0, every array absent.
inline void resetAuditRecord(AuditRecord& record) { record = AuditRecord{}; }

// ---------------------------------------------------------------------------
// Field descriptions: name and member of every field, in stream order.

template <class Owner, class T>
struct FieldDesc {
  std::string_view name;
  T Owner::*member;
};

template <class Owner, class T>
constexpr FieldDesc<Owner, T> field(std::string_view name, T Owner::*member) {
  return {name, member};
}

template <class R>
struct RecordFields;  // specialised for every record type below

template <class T>
concept AuditRecordType = requires { RecordFields<T>::list; };

// Calls f(name, member) for every field of `record`, in stream order.
template <class R, class F>
  requires AuditRecordType<std::remove_const_t<R>>
constexpr void forEachField(R& record, F&& f) {
  std::apply([&](const auto&... d) { (f(d.name, record.*(d.member)), ...); },
             RecordFields<std::remove_const_t<R>>::list);
}

template <>
struct RecordFields<ApplicationInfo> {
  using R = ApplicationInfo;
  static constexpr auto list = std::make_tuple(
      field("DisplayName", &R::DisplayName), field("UninstallString", &R::UninstallString),
      field("Publisher", &R::Publisher), field("InstallLocation", &R::InstallLocation),
      field("DisplayVersion", &R::DisplayVersion), field("URLInfoAbout", &R::URLInfoAbout));
};

template <>
struct RecordFields<WindowsInfo> {
  using R = WindowsInfo;
  static constexpr auto list = std::make_tuple(
      field("RegisteredOwner", &R::RegisteredOwner),
      field("RegisteredOrganization", &R::RegisteredOrganization),
      field("OperatingSystem", &R::OperatingSystem), field("Version", &R::Version),
      field("Username", &R::Username), field("ProductKey", &R::ProductKey),
      field("WindowsID", &R::WindowsID), field("Uptime", &R::Uptime),
      field("CommandInterpreter", &R::CommandInterpreter),
      field("EnhancementPack", &R::EnhancementPack),
      field("DebugVersionOfUser", &R::DebugVersionOfUser),
      field("DBCSVersionOfUser", &R::DBCSVersionOfUser), field("WindowsBoot", &R::WindowsBoot),
      field("HebrewAndArabic", &R::HebrewAndArabic), field("WindowsForPen", &R::WindowsForPen),
      field("Security", &R::Security), field("ScreenReviewer", &R::ScreenReviewer),
      field("ShowSounds", &R::ShowSounds),
      field("DropDownMenusRightAligned", &R::DropDownMenusRightAligned),
      field("FastBoot", &R::FastBoot), field("NetworkConnection", &R::NetworkConnection),
      field("BootToGUI", &R::BootToGUI), field("Autoscan", &R::Autoscan),
      field("ShowLogo", &R::ShowLogo), field("LoadDriveSpace", &R::LoadDriveSpace),
      field("LoadDoubleSpace", &R::LoadDoubleSpace), field("ProgramsPath", &R::ProgramsPath),
      field("Prompt", &R::Prompt), field("PagingDrive", &R::PagingDrive));
};

template <>
struct RecordFields<SoftwareInfo> {
  using R = SoftwareInfo;
  static constexpr auto list =
      std::make_tuple(field("Windows", &R::Windows), field("Applications", &R::Applications));
};

template <>
struct RecordFields<PrinterInfo> {
  using R = PrinterInfo;
  static constexpr auto list = std::make_tuple(
      field("DisplayName", &R::DisplayName), field("DriverName", &R::DriverName),
      field("Port", &R::Port), field("Colour", &R::Colour), field("Duplex", &R::Duplex),
      field("Orientation", &R::Orientation), field("PaperBin", &R::PaperBin),
      field("PaperSize", &R::PaperSize), field("PrintQuality", &R::PrintQuality));
};

template <>
struct RecordFields<KeyboardInfo> {
  using R = KeyboardInfo;
  static constexpr auto list = std::make_tuple(
      field("Model", &R::Model), field("KeyboardType", &R::KeyboardType),
      field("OEMCodePage", &R::OEMCodePage), field("ANSICodePage", &R::ANSICodePage),
      field("LayoutID", &R::LayoutID), field("LayoutName", &R::LayoutName),
      field("RepeatDelay", &R::RepeatDelay), field("RepeatSpeed", &R::RepeatSpeed),
      field("NumberOfFunctionKeys", &R::NumberOfFunctionKeys),
      field("CaretFlashSpeed", &R::CaretFlashSpeed), field("CaretWidth", &R::CaretWidth),
      field("DriverFile", &R::DriverFile), field("DriverDesc", &R::DriverDesc),
      field("DriverVers", &R::DriverVers), field("DriverProv", &R::DriverProv),
      field("DriverDate", &R::DriverDate), field("DriverTime", &R::DriverTime));
};

template <>
struct RecordFields<ProcessorInfo> {
  using R = ProcessorInfo;
  static constexpr auto list = std::make_tuple(
      field("NumberOfCPUs", &R::NumberOfCPUs), field("ActiveProcessorMark", &R::ActiveProcessorMark),
      field("CPUVersion", &R::CPUVersion), field("CPUClass", &R::CPUClass),
      field("CPUStepping", &R::CPUStepping), field("CPUSpeed", &R::CPUSpeed),
      field("MinAppAddress", &R::MinAppAddress), field("MaxAppAddress", &R::MaxAppAddress),
      field("PageSize", &R::PageSize), field("LowEndCPU", &R::LowEndCPU),
      field("BlockSize", &R::BlockSize));
};

template <>
struct RecordFields<MemoryInfo> {
  using R = MemoryInfo;
  static constexpr auto list = std::make_tuple(
      field("TotalMemoryAvailable", &R::TotalMemoryAvailable),
      field("TotalPhysicalMemory", &R::TotalPhysicalMemory),
      field("TotalAvailablePhysicalMemory", &R::TotalAvailablePhysicalMemory),
      field("MaxSwapFile", &R::MaxSwapFile), field("CurrentSwapFile", &R::CurrentSwapFile),
      field("FreeSwapFile", &R::FreeSwapFile), field("MemoryLoad", &R::MemoryLoad));
};

template <>
struct RecordFields<VideoInfo> {
  using R = VideoInfo;
  static constexpr auto list = std::make_tuple(
      field("VideoCards", &R::VideoCards), field("currResolution", &R::currResolution),
      field("currColourDepth", &R::currColourDepth), field("currFrequency", &R::currFrequency),
      field("VideoModes", &R::VideoModes));
};

template <>
struct RecordFields<WaveDeviceCaps> {
  using R = WaveDeviceCaps;
  static constexpr auto list = std::make_tuple(
      field("DeviceName", &R::DeviceName), field("DriverVersion", &R::DriverVersion),
      field("AudioChannels", &R::AudioChannels), field("ManufacturerID", &R::ManufacturerID),
      field("ProductID", &R::ProductID), field("Features", &R::Features));
};

template <>
struct RecordFields<SoundInfo> {
  using R = SoundInfo;
  static constexpr auto list = std::make_tuple(
      field("boolPresent", &R::boolPresent), field("strIOPort", &R::strIOPort),
      field("strIRQ", &R::strIRQ), field("strDMA", &R::strDMA),
      field("WaveOutDevices", &R::WaveOutDevices), field("WaveInDevices", &R::WaveInDevices));
};

template <>
struct RecordFields<DriveInfo> {
  using R = DriveInfo;
  static constexpr auto list = std::make_tuple(
      field("DriveName", &R::DriveName), field("DriveSort", &R::DriveSort),
      field("DriveLabel", &R::DriveLabel), field("DriveSerial", &R::DriveSerial),
      field("DriveSize", &R::DriveSize), field("DriveFree", &R::DriveFree),
      field("DriveUsed", &R::DriveUsed), field("DriveType", &R::DriveType));
};

template <>
struct RecordFields<NetworkInfo> {
  using R = NetworkInfo;
  static constexpr auto list = std::make_tuple(
      field("Hostname", &R::Hostname), field("IP", &R::IP), field("DomainName", &R::DomainName),
      field("IsAdmin", &R::IsAdmin), field("UserName", &R::UserName), field("IsNT", &R::IsNT));
};

template <>
struct RecordFields<HardwareInfo> {
  using R = HardwareInfo;
  static constexpr auto list = std::make_tuple(
      field("Printers", &R::Printers), field("PrintersPresent", &R::PrintersPresent),
      field("Keyboard", &R::Keyboard), field("Processor", &R::Processor),
      field("Memory", &R::Memory), field("Video", &R::Video), field("Sound", &R::Sound),
      field("Drives", &R::Drives), field("Network", &R::Network));
};

template <>
struct RecordFields<AuditRecord> {
  using R = AuditRecord;
  static constexpr auto list =
      std::make_tuple(field("Software", &R::Software), field("Hardware", &R::Hardware),
                      field("AuditDate", &R::AuditDate),
                      field("ListenPortNumber", &R::ListenPortNumber));
};

}  // namespace quorvane
