# The Windows backend of the platform layer (cross-built with
# cmake/toolchain-mingw64.cmake). Included from platform/CMakeLists.txt when
# QUORVANE_PLATFORM is "windows": the native sources, the system libraries
# they call, and the tests that run under Wine (tests/wine/).

set(QUORVANE_PLATFORM_NATIVE_SOURCES
  windows/WindowsPlatform.cpp
  windows/WindowsSystem.cpp
  windows/WindowsRegistry.cpp
  windows/WindowsFiles.cpp
  windows/WindowsAccount.cpp
  windows/WindowsNetwork.cpp
  windows/WindowsHardware.cpp
  windows/WindowsLocalTime.cpp)

set(QUORVANE_PLATFORM_NATIVE_DEPS
  advapi32 netapi32 iphlpapi winmm winspool version user32 gdi32 ws2_32)
