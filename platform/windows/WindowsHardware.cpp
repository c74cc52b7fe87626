// The hardware services of Windows: the installed printers with their
// settings (EnumPrintersA level 2 and each printer's DEVMODE), the keyboard
// and code-page queries, GetSystemInfo, GlobalMemoryStatusEx, the display
// (GetDeviceCaps of the screen, EnumDisplayDevicesA, EnumDisplaySettingsA),
// the wave devices (waveIn/waveOut GetNumDevs and GetDevCapsA, the wave
// mapper first) and the logical drives (GetLogicalDriveStringsA,
// GetDriveTypeA, GetVolumeInformationA, GetDiskFreeSpaceExA).
//
// GlobalMemoryStatusEx rather than GlobalMemoryStatus: the older call caps
// or wraps its figures above 4 GB.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>
#include <mmsystem.h>
#include <winspool.h>

#include <memory>
#include <vector>


namespace quorvane::platform::windows_backend {
namespace {

// ---- printers --------------------------------------------------------------

class WindowsPrinters final : public Printers {
 public:
  Expected<std::vector<PrinterSettings>> installed() const override {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0, count = 0;
    EnumPrintersA(flags, nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<PrinterSettings> out;
    if (needed == 0) return out;  // no printers installed
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersA(flags, nullptr, 2, buffer.data(), needed, &needed, &count)) {
      const DWORD code = GetLastError();
      return Status::Error(static_cast<int>(code), win32ErrorText(code));
    }
    const auto* list = reinterpret_cast<const PRINTER_INFO_2A*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const PRINTER_INFO_2A& p = list[i];
      PrinterSettings s;
      s.deviceName = p.pPrinterName ? p.pPrinterName : "";
      s.driverName = p.pDriverName ? p.pDriverName : "";
      s.portName = p.pPortName ? p.pPortName : "";
      if (const DEVMODEA* dm = p.pDevMode) {
        if (dm->dmFields & DM_COLOR) s.colorMode = dm->dmColor;
        if (dm->dmFields & DM_DUPLEX) s.duplex = dm->dmDuplex;
        if (dm->dmFields & DM_ORIENTATION) s.orientation = dm->dmOrientation;
        if (dm->dmFields & DM_DEFAULTSOURCE) s.defaultSource = dm->dmDefaultSource;
        if (dm->dmFields & DM_PAPERSIZE) s.paperSize = dm->dmPaperSize;
        if (dm->dmFields & DM_PRINTQUALITY) s.printQuality = dm->dmPrintQuality;
      }
      out.push_back(std::move(s));
    }
    return out;
  }
};

// ---- keyboard and code pages ---------------------------------------------------

class WindowsKeyboardFacts final : public KeyboardFacts {
 public:
  int keyboardType(int which) const override { return GetKeyboardType(which); }
  unsigned oemCodePage() const override { return GetOEMCP(); }
  unsigned ansiCodePage() const override { return GetACP(); }
  std::string layoutName() const override {
    char name[KL_NAMELENGTH + 1] = {};
    if (!GetKeyboardLayoutNameA(name)) return {};
    return fromBuffer(name, sizeof name);
  }
  std::optional<std::string> languageName(std::uint32_t languageId) const override {
    char name[256] = {};
    const DWORD n = VerLanguageNameA(languageId, name, sizeof name);
    if (n == 0) return std::nullopt;
    return fromBuffer(name, sizeof name);
  }
  unsigned caretBlinkTime() const override { return GetCaretBlinkTime(); }
};

// ---- processor and memory ---------------------------------------------------------

class WindowsSystemInfo final : public SystemInfo {
 public:
  Expected<SystemInfoFacts> get() const override {
    SYSTEM_INFO si{};
    GetSystemInfo(&si);
    SystemInfoFacts f;
    f.processorArchitecture = si.wProcessorArchitecture;
    f.pageSize = si.dwPageSize;
    f.minimumApplicationAddress = reinterpret_cast<std::uintptr_t>(si.lpMinimumApplicationAddress);
    f.maximumApplicationAddress = reinterpret_cast<std::uintptr_t>(si.lpMaximumApplicationAddress);
    f.activeProcessorMask = si.dwActiveProcessorMask;
    f.numberOfProcessors = si.dwNumberOfProcessors;
    f.processorType = si.dwProcessorType;
    f.allocationGranularity = si.dwAllocationGranularity;
    f.processorLevel = si.wProcessorLevel;
    f.processorRevision = si.wProcessorRevision;
    f.addressBits = static_cast<int>(sizeof(void*) * 8);
    return f;
  }
};

class WindowsMemoryStatus final : public MemoryStatus {
 public:
  Expected<MemoryStatusFacts> get() const override {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    if (!GlobalMemoryStatusEx(&m)) {
      const DWORD code = GetLastError();
      return Status::Error(static_cast<int>(code), win32ErrorText(code));
    }
    MemoryStatusFacts f;
    f.memoryLoad = m.dwMemoryLoad;
    f.totalPhys = m.ullTotalPhys;
    f.availPhys = m.ullAvailPhys;
    f.totalPageFile = m.ullTotalPageFile;
    f.availPageFile = m.ullAvailPageFile;
    f.totalVirtual = m.ullTotalVirtual;
    f.availVirtual = m.ullAvailVirtual;
    return f;
  }
};

// ---- display ---------------------------------------------------------------------

class WindowsDisplay final : public Display {
 public:
  DisplayCaps desktopCaps() const override {
    DisplayCaps caps;
    HDC dc = GetDC(nullptr);
    if (!dc) return caps;
    caps.horzRes = GetDeviceCaps(dc, HORZRES);
    caps.vertRes = GetDeviceCaps(dc, VERTRES);
    caps.bitsPixel = GetDeviceCaps(dc, BITSPIXEL);
    caps.vRefresh = GetDeviceCaps(dc, VREFRESH);
    ReleaseDC(nullptr, dc);
    return caps;
  }

  std::vector<DisplayDevice> devices() const override {
    std::vector<DisplayDevice> out;
    for (DWORD i = 0; i < 64; ++i) {
      DISPLAY_DEVICEA dd{};
      dd.cb = sizeof dd;
      if (!EnumDisplayDevicesA(nullptr, i, &dd, 0)) break;
      out.push_back({fromBuffer(dd.DeviceName, sizeof dd.DeviceName),
                     fromBuffer(dd.DeviceString, sizeof dd.DeviceString), dd.StateFlags});
    }
    return out;
  }

  std::vector<DisplayMode> modes() const override {
    std::vector<DisplayMode> out;
    for (DWORD i = 0; i < 4096; ++i) {
      DEVMODEA dm{};
      dm.dmSize = sizeof dm;
      if (!EnumDisplaySettingsA(nullptr, i, &dm)) break;
      out.push_back({dm.dmPelsWidth, dm.dmPelsHeight, dm.dmBitsPerPel, dm.dmDisplayFrequency});
    }
    return out;
  }
};

// ---- sound -----------------------------------------------------------------------

WaveCaps capsOf(const WAVEOUTCAPSA& c) {
  return {c.wMid, c.wPid, c.vDriverVersion, fromBuffer(c.szPname, sizeof c.szPname),
          c.dwFormats, c.wChannels, c.dwSupport};
}
WaveCaps capsOf(const WAVEINCAPSA& c) {
  return {c.wMid, c.wPid, c.vDriverVersion, fromBuffer(c.szPname, sizeof c.szPname),
          c.dwFormats, c.wChannels, 0};
}

class WindowsWaveDevices final : public WaveDevices {
 public:
  WaveDeviceSet inputs() const override {
    WaveDeviceSet set;
    const UINT n = waveInGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
      WAVEINCAPSA c{};
      if (waveInGetDevCapsA(i, &c, sizeof c) == MMSYSERR_NOERROR) set.devices.push_back(capsOf(c));
    }
    WAVEINCAPSA mapper{};
    if (!set.devices.empty() && waveInGetDevCapsA(WAVE_MAPPER, &mapper, sizeof mapper) == MMSYSERR_NOERROR)
      set.mapper = capsOf(mapper);
    return set;
  }

  WaveDeviceSet outputs() const override {
    WaveDeviceSet set;
    const UINT n = waveOutGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
      WAVEOUTCAPSA c{};
      if (waveOutGetDevCapsA(i, &c, sizeof c) == MMSYSERR_NOERROR) set.devices.push_back(capsOf(c));
    }
    WAVEOUTCAPSA mapper{};
    if (!set.devices.empty() &&
        waveOutGetDevCapsA(WAVE_MAPPER, &mapper, sizeof mapper) == MMSYSERR_NOERROR)
      set.mapper = capsOf(mapper);
    return set;
  }
};

// ---- drives ----------------------------------------------------------------------

class WindowsDrives final : public Drives {
 public:
  std::vector<DriveFacts> list() const override {
    std::vector<DriveFacts> out;
    char roots[1024] = {};
    const DWORD n = GetLogicalDriveStringsA(sizeof roots - 1, roots);
    if (n == 0 || n >= sizeof roots) return out;
    // An empty floppy or card reader must not stop the agent with a
    // "no disk" dialog.
    const UINT previous = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    for (const char* root = roots; *root; root += lstrlenA(root) + 1) {
      DriveFacts d;
      d.root = root;
      d.driveType = GetDriveTypeA(root);
      char label[MAX_PATH + 1] = {};
      DWORD serial = 0;
      if (GetVolumeInformationA(root, label, sizeof label, &serial, nullptr, nullptr, nullptr, 0)) {
        d.volumeLabel = fromBuffer(label, sizeof label);
        d.serialNumber = serial;
      }
      ULARGE_INTEGER available{}, total{}, totalFree{};
      d.hasWideSpaceQuery = true;
      if (GetDiskFreeSpaceExA(root, &available, &total, &totalFree))
        d.space = DiskSpace{total.QuadPart, totalFree.QuadPart, available.QuadPart};
      out.push_back(std::move(d));
    }
    SetErrorMode(previous);
    return out;
  }
};

}  // namespace

std::unique_ptr<Printers> makeWindowsPrinters() { return std::make_unique<WindowsPrinters>(); }
std::unique_ptr<KeyboardFacts> makeWindowsKeyboardFacts() {
  return std::make_unique<WindowsKeyboardFacts>();
}
std::unique_ptr<SystemInfo> makeWindowsSystemInfo() { return std::make_unique<WindowsSystemInfo>(); }
std::unique_ptr<MemoryStatus> makeWindowsMemoryStatus() {
  return std::make_unique<WindowsMemoryStatus>();
}
std::unique_ptr<Display> makeWindowsDisplay() { return std::make_unique<WindowsDisplay>(); }
std::unique_ptr<WaveDevices> makeWindowsWaveDevices() {
  return std::make_unique<WindowsWaveDevices>();
}
std::unique_ptr<Drives> makeWindowsDrives() { return std::make_unique<WindowsDrives>(); }

}  // namespace quorvane::platform::windows_backend
