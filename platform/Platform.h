// Platform: every system service the collectors use, one object per machine.
//
// A Platform is either the native one (the machine the agent runs on; the
// backend is chosen by CMake: platform/linux/ or platform/windows/) or a
// fixture (a JSON machine description, platform/fixture/, chosen at run time
// with --machine). Collectors see only the neutral service headers included
// here, never a backend.
//
// Adding a service: one neutral header, one member below, one line in each
// factory (platform/linux/LinuxPlatform.cpp, platform/windows/WindowsPlatform.cpp,
// platform/fixture/FixturePlatform.cpp)
// and, for the fixture, one top-level section of the machine file
// (docs/machine-fixture.md).
//
// The Platform owns its services; it lives as long as the agent that uses it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "common/Status.h"
#include "platform/Account.h"
#include "platform/Display.h"
#include "platform/Drives.h"
#include "platform/Environment.h"
#include "platform/IniFiles.h"
#include "platform/KeyboardFacts.h"
#include "platform/LocalTime.h"
#include "platform/MemoryStatus.h"
#include "platform/NetworkIdentity.h"
#include "platform/Printers.h"
#include "platform/RegistryStore.h"
#include "platform/SystemInfo.h"
#include "platform/SystemMetrics.h"
#include "platform/SystemParameters.h"
#include "platform/SystemVersion.h"
#include "platform/TickCount.h"
#include "platform/VersionResources.h"
#include "platform/WaveDevices.h"

namespace quorvane::platform {

struct Platform {
  std::unique_ptr<SystemVersion> version;
  std::unique_ptr<SystemMetrics> metrics;
  std::unique_ptr<SystemParameters> parameters;
  std::unique_ptr<TickCount> ticks;
  std::unique_ptr<LocalTime> localTime;
  std::unique_ptr<Environment> environment;
  std::unique_ptr<IniFiles> ini;
  std::unique_ptr<RegistryStore> registry;
  std::unique_ptr<VersionResources> files;
  std::unique_ptr<Account> account;
  std::unique_ptr<NetworkIdentity> network;
  std::unique_ptr<Printers> printers;
  std::unique_ptr<KeyboardFacts> keyboard;
  std::unique_ptr<SystemInfo> systemInfo;
  std::unique_ptr<MemoryStatus> memory;
  std::unique_ptr<Display> display;
  std::unique_ptr<WaveDevices> wave;
  std::unique_ptr<Drives> drives;
};

// The machine the program runs on.
std::unique_ptr<Platform> makeNativePlatform();

// The machine described by a JSON machine file. Fails with a description of
// the first thing wrong in the file (unreadable, not JSON, a section or value
// of the wrong form).
// Only plain files of at most kMaxMachineFileBytes are read.
inline constexpr std::uintmax_t kMaxMachineFileBytes = 16u * 1024 * 1024;
Expected<std::unique_ptr<Platform>> makeFixturePlatform(const std::filesystem::path& machineFile);

}  // namespace quorvane::platform
