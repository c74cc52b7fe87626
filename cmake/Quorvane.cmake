# Small helpers so that every library, program and test is declared the same way.
#
#   quorvane_library(name [SHARED] SOURCES ... [DEPS ...])
#   quorvane_program(name SOURCES ... [DEPS ...])
#   quorvane_test(name SOURCES ... [DEPS ...] [TIMEOUT seconds] [LABELS ...])
#   quorvane_test_files(FILES X_test.cpp ... [PREFIX p] [SOURCES ...] [DEPS ...] [TIMEOUT seconds] [LABELS ...])
#
# Includes are written from the repository root ("common/AuditRecord.h").

function(quorvane_library name)
  cmake_parse_arguments(Q "SHARED;MODULE" "" "SOURCES;DEPS" ${ARGN})
  if(Q_SHARED)
    add_library(${name} SHARED ${Q_SOURCES})
  elseif(Q_MODULE)
    add_library(${name} MODULE ${Q_SOURCES})
  else()
    add_library(${name} STATIC ${Q_SOURCES})
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  if(Q_DEPS)
    target_link_libraries(${name} PUBLIC ${Q_DEPS})
  endif()
endfunction()

function(quorvane_program name)
  cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  if(Q_DEPS)
    target_link_libraries(${name} PRIVATE ${Q_DEPS})
  endif()
endfunction()

function(quorvane_test name)
  if(NOT QUORVANE_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(Q "" "TIMEOUT" "SOURCES;DEPS;LABELS" ${ARGN})
  add_executable(${name} ${Q_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE ${Q_DEPS} GTest::gmock GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE QUORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
                                             QUORVANE_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no
           WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  if(NOT Q_TIMEOUT)
    set(Q_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${Q_TIMEOUT})
  if(Q_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${Q_LABELS}")
  endif()
endfunction()

# One test target per file, named after the file in lower case
# (X_test.cpp is x_test); SOURCES are compiled into every one of them. PREFIX
# goes before the name where two programs have units of the same name
# (agent/CommandLine_test.cpp with PREFIX agent_ is agent_commandline_test).
function(quorvane_test_files)
  cmake_parse_arguments(Q "" "TIMEOUT;PREFIX" "FILES;SOURCES;DEPS;LABELS" ${ARGN})
  set(options)
  if(Q_TIMEOUT)
    list(APPEND options TIMEOUT ${Q_TIMEOUT})
  endif()
  if(Q_LABELS)
    list(APPEND options LABELS ${Q_LABELS})
  endif()
  foreach(file ${Q_FILES})
    get_filename_component(name ${file} NAME_WE)
    string(TOLOWER "${Q_PREFIX}${name}" name)
    quorvane_test(${name} SOURCES ${file} ${Q_SOURCES} DEPS ${Q_DEPS} ${options})
  endforeach()
endfunction()

function(quorvane_bench name)
  cmake_parse_arguments(Q "" "" "SOURCES;DEPS" ${ARGN})
  find_package(benchmark REQUIRED)
  add_executable(${name} ${Q_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR}/generated)
  target_link_libraries(${name} PRIVATE ${Q_DEPS} benchmark::benchmark)
endfunction()

# quorvane_pack_file(target_name INPUT file PIECES n SYMBOL name)
#
# Packs `file` at build time with the he3pack tool (HE3 container, Base64
# text, `n` pieces) into ${PROJECT_BINARY_DIR}/generated/packed/<name>.h/.cpp
# and makes the static library `target_name` from it. Code that links the
# library includes "packed/<name>.h" and reads the pieces as
# quorvane::packed::<name> (a std::array of std::string_view), which
# getFile() of common/modZlib.h unpacks.
function(quorvane_pack_file target_name)
  cmake_parse_arguments(Q "" "INPUT;PIECES;SYMBOL" "" ${ARGN})
  if(NOT Q_INPUT OR NOT Q_PIECES OR NOT Q_SYMBOL)
    message(FATAL_ERROR "quorvane_pack_file(${target_name}) needs INPUT, PIECES and SYMBOL")
  endif()
  get_filename_component(input "${Q_INPUT}" ABSOLUTE BASE_DIR "${CMAKE_CURRENT_SOURCE_DIR}")
  set(outdir "${PROJECT_BINARY_DIR}/generated/packed")
  set(out_h "${outdir}/${Q_SYMBOL}.h")
  set(out_cpp "${outdir}/${Q_SYMBOL}.cpp")
  file(MAKE_DIRECTORY "${outdir}")
  add_custom_command(
    OUTPUT "${out_h}" "${out_cpp}"
    COMMAND he3pack "${input}" ${Q_PIECES} ${Q_SYMBOL} "${out_h}" "${out_cpp}"
    DEPENDS he3pack "${input}"
    COMMENT "Packing ${Q_INPUT} as ${Q_SYMBOL} (${Q_PIECES} pieces)"
    VERBATIM)
  add_library(${target_name} STATIC "${out_cpp}" "${out_h}")
  target_include_directories(${target_name} PUBLIC "${PROJECT_BINARY_DIR}/generated")
endfunction()
