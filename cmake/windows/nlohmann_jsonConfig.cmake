# nlohmann-json for the Windows cross build: the header-only library from the
# include folder that cmake/QuorvaneWindows.cmake prepares.
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${QUORVANE_WIN_HEADERS}")
endif()
set(nlohmann_json_FOUND TRUE)
