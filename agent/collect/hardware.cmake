# The hardware collectors (modHPrinters, modHKeyboard, modHProcessor,
# modHMemory, modHVideo, modHSound, modHDrives) and their tests, joined to
# quorvane_collect and collect_test. Included from agent/collect/CMakeLists.txt.

set(QUORVANE_HWCOLLECT_DIR ${CMAKE_CURRENT_LIST_DIR})

list(APPEND QUORVANE_COLLECT_HW_SOURCES
  ${QUORVANE_HWCOLLECT_DIR}/HardwareHooks.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHCommon.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHPrinters.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHKeyboard.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHProcessor.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHMemory.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHVideo.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHSound.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHDrives.cpp)

list(APPEND QUORVANE_COLLECT_HW_TESTS
  ${QUORVANE_HWCOLLECT_DIR}/modHText_test.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHardware_test.cpp
  ${QUORVANE_HWCOLLECT_DIR}/modHMachine_test.cpp)
