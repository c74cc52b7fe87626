# The Windows build (cross-built with cmake/toolchain-mingw64.cmake).
# Included from the top-level CMakeLists.txt when WIN32, before any package
# is looked for:
#   - the header-only libraries of the build host (Asio, nlohmann-json) reach
#     the cross compiler through an include folder of their own, never the
#     host's /usr/include itself;
#   - GoogleTest is compiled for the target from its sources;
#   - the build-time packer runs on the build host: QUORVANE_HOST_TOOLS_DIR
#     names the folder of a host he3pack (tools/test-windows.sh builds one).

set(QUORVANE_HOST_INCLUDE_DIR "/usr/include" CACHE PATH
    "Where the build host keeps the header-only libraries (asio.hpp, asio/, nlohmann/)")
set(QUORVANE_GTEST_SOURCE_DIR "/usr/src/googletest" CACHE PATH "GoogleTest sources")
set(QUORVANE_HOST_TOOLS_DIR "" CACHE PATH "Folder holding he3pack built for the build host")

# An include folder holding only the header-only libraries.
set(QUORVANE_WIN_HEADERS "${CMAKE_BINARY_DIR}/host-headers")
file(MAKE_DIRECTORY "${QUORVANE_WIN_HEADERS}")
foreach(entry asio.hpp asio nlohmann)
  if(NOT EXISTS "${QUORVANE_HOST_INCLUDE_DIR}/${entry}")
    message(FATAL_ERROR "${QUORVANE_HOST_INCLUDE_DIR}/${entry} is missing (libasio-dev, nlohmann-json3-dev)")
  endif()
  if(NOT EXISTS "${QUORVANE_WIN_HEADERS}/${entry}")
    file(CREATE_LINK "${QUORVANE_HOST_INCLUDE_DIR}/${entry}" "${QUORVANE_WIN_HEADERS}/${entry}" SYMBOLIC)
  endif()
endforeach()
include_directories(SYSTEM "${QUORVANE_WIN_HEADERS}")
set(nlohmann_json_DIR "${CMAKE_CURRENT_LIST_DIR}/windows" CACHE PATH "" FORCE)

# The lean Windows headers (each file includes the parts it calls), and no
# min/max macros.
add_compile_definitions(WIN32_LEAN_AND_MEAN NOMINMAX
  _POSIX_THREAD_SAFE_FUNCTIONS)  # localtime_r, gmtime_r of the MinGW C runtime

# Winsock under Asio; the rest of the Win32 calls of the platform backend.
link_libraries(ws2_32 mswsock)

# GoogleTest for the target.
if(QUORVANE_BUILD_TESTS)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory("${QUORVANE_GTEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
endif()

# The packer of build-time data, built for the build host.
if(CMAKE_CROSSCOMPILING)
  find_program(QUORVANE_HOST_HE3PACK he3pack PATHS "${QUORVANE_HOST_TOOLS_DIR}" NO_DEFAULT_PATH)
  if(NOT QUORVANE_HOST_HE3PACK)
    message(FATAL_ERROR "A cross build needs he3pack of the build host: "
                        "-DQUORVANE_HOST_TOOLS_DIR=<folder holding he3pack> (tools/test-windows.sh builds one)")
  endif()
  add_executable(he3pack IMPORTED GLOBAL)
  set_target_properties(he3pack PROPERTIES IMPORTED_LOCATION "${QUORVANE_HOST_HE3PACK}")
endif()

# QuorvanePro.exe: a program without a console window, with its application
# manifest and version resource (platform/windows/QuorvanePro.rc). Applied
# once every folder has declared its targets.
enable_language(RC)
function(quorvane_windows_finish)
  if(TARGET QuorvanePro)
    target_sources(QuorvanePro PRIVATE "${PROJECT_SOURCE_DIR}/platform/windows/QuorvanePro.rc")
    set_target_properties(QuorvanePro PROPERTIES WIN32_EXECUTABLE ON)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY "${CMAKE_SOURCE_DIR}" CALL quorvane_windows_finish)
