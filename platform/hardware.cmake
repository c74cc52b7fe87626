# Hardware services of the platform layer (printers, keyboard facts, system
# information, memory status, display, wave devices, drives): their Linux
# and fixture sources, appended to the lists of platform/CMakeLists.txt,
# and the tests of the Linux parsers. Included from platform/CMakeLists.txt
# before the library is declared.

if(QUORVANE_PLATFORM STREQUAL "linux")
  find_package(Cups REQUIRED)
endif()
find_package(Threads REQUIRED)

list(APPEND QUORVANE_PLATFORM_NEUTRAL_SOURCES
  LanguageNames.cpp)

list(APPEND QUORVANE_PLATFORM_LINUX_SOURCES
  linux/LinuxHardwareFiles.cpp
  linux/LinuxPrinters.cpp
  linux/LinuxKeyboard.cpp
  linux/LinuxSystemInfo.cpp
  linux/LinuxMemoryStatus.cpp
  linux/LinuxDisplay.cpp
  linux/LinuxWaveDevices.cpp
  linux/LinuxDrives.cpp)

list(APPEND QUORVANE_PLATFORM_FIXTURE_SOURCES
  fixture/FixtureHardware.cpp
  fixture/FixturePrinters.cpp
  fixture/FixtureKeyboard.cpp
  fixture/FixtureSystemInfo.cpp
  fixture/FixtureMemoryStatus.cpp
  fixture/FixtureDisplay.cpp
  fixture/FixtureWaveDevices.cpp
  fixture/FixtureDrives.cpp)

if(QUORVANE_PLATFORM STREQUAL "linux")
  set(QUORVANE_PLATFORM_HW_DEPS Cups::Cups Threads::Threads)
endif()

if(QUORVANE_PLATFORM STREQUAL "linux")
  quorvane_test(linux_hardware_test
    SOURCES linux/LinuxHardware_test.cpp
    DEPS quorvane_platform)
endif()
