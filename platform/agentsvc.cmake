# Agent services of the platform layer: desktop (message boxes, tray, the
# password dialog), single-instance lock, termination signals, power actions,
# a command's message to the people at the PC.
# Included from platform/CMakeLists.txt; owned by the agent.

find_package(Threads REQUIRED)

set(QUORVANE_AGENTSVC_DIR ${CMAKE_CURRENT_LIST_DIR})
# Linux: the locale's encoding of the texts a person reads; a command's
# message on the desktops (sd-bus and sd-login of libsystemd) and terminals.
set(QUORVANE_AGENTSVC_NATIVE_SOURCES)
set(QUORVANE_AGENTSVC_NATIVE_TESTS)
set(QUORVANE_AGENTSVC_NATIVE_DEPS)
if(QUORVANE_PLATFORM STREQUAL "linux")
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(SYSTEMD REQUIRED IMPORTED_TARGET libsystemd)
  set(QUORVANE_AGENTSVC_NATIVE_SOURCES
    ${QUORVANE_AGENTSVC_DIR}/linux/LinuxLocaleText.cpp
    ${QUORVANE_AGENTSVC_DIR}/linux/LinuxUserMessageText.cpp)
  set(QUORVANE_AGENTSVC_NATIVE_TESTS
    ${QUORVANE_AGENTSVC_DIR}/linux/LinuxLocaleText_test.cpp
    ${QUORVANE_AGENTSVC_DIR}/linux/LinuxUserMessage_test.cpp)
  set(QUORVANE_AGENTSVC_NATIVE_DEPS PkgConfig::SYSTEMD)
endif()

# The signature check of commands: libcrypto on Linux, CNG on Windows.
if(QUORVANE_PLATFORM STREQUAL "windows")
  set(QUORVANE_AGENTSVC_CRYPTO bcrypt)
else()
  find_package(OpenSSL REQUIRED COMPONENTS Crypto)
  set(QUORVANE_AGENTSVC_CRYPTO OpenSSL::Crypto)
endif()

# The native services, one file per service: linux/LinuxPower.cpp,
# windows/WindowsPower.cpp, ...
if(QUORVANE_PLATFORM STREQUAL "windows")
  set(QUORVANE_AGENTSVC_PREFIX windows/Windows)
else()
  set(QUORVANE_AGENTSVC_PREFIX linux/Linux)
endif()
foreach(service InstanceLock Power SocketPolicy ProgramFolder NativeDesktop CommandSignature UserMessage)
  list(APPEND QUORVANE_AGENTSVC_NATIVE_SOURCES ${QUORVANE_AGENTSVC_DIR}/${QUORVANE_AGENTSVC_PREFIX}${service}.cpp)
endforeach()

quorvane_library(quorvane_agentsvc
  SOURCES
    ${QUORVANE_AGENTSVC_DIR}/DesktopHeadless.cpp
    ${QUORVANE_AGENTSVC_DIR}/DesktopScripted.cpp
    ${QUORVANE_AGENTSVC_DIR}/PowerDryRun.cpp
    ${QUORVANE_AGENTSVC_DIR}/TerminationSignals.cpp
    ${QUORVANE_AGENTSVC_NATIVE_SOURCES}
  DEPS quorvane_common quorvane_asio ${QUORVANE_AGENTSVC_CRYPTO} ${QUORVANE_AGENTSVC_NATIVE_DEPS})

quorvane_test_files(
  FILES
    ${QUORVANE_AGENTSVC_DIR}/Desktop_test.cpp
    ${QUORVANE_AGENTSVC_DIR}/InstanceLock_test.cpp
    ${QUORVANE_AGENTSVC_DIR}/Power_test.cpp
    ${QUORVANE_AGENTSVC_NATIVE_TESTS}
    ${QUORVANE_AGENTSVC_DIR}/CommandSignature_test.cpp
  DEPS quorvane_agentsvc nlohmann_json::nlohmann_json)

# A stand-in desktop notification service for the tests: owns
# org.freedesktop.Notifications on a given bus and records every Notify.
if(QUORVANE_PLATFORM STREQUAL "linux" AND QUORVANE_BUILD_TESTS)
  quorvane_program(quorvane-notify-standin SOURCES ${QUORVANE_AGENTSVC_DIR}/linux/NotifyStandIn.cpp
                   DEPS PkgConfig::SYSTEMD nlohmann_json::nlohmann_json)
  add_dependencies(linuxusermessage_test quorvane-notify-standin)
endif()
