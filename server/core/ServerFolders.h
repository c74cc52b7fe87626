// ServerFolders: where the server keeps and finds its files.
//
// By default everything sits in the program folder: DataStore, the settings
// file serverSettings.txt and the report libraries. An installed server keeps
// its data in a state folder, its settings with the system's configuration
// and its report libraries with the system's libraries; the two optional
// fields name those places.
#pragma once

#include <string>

namespace quorvane {

struct ServerFolders {
  ServerFolders(std::string programFolder) : program(std::move(programFolder)) {}  // NOLINT: implicit

  std::string program;       // DataStore, and everything not named below
  std::string settingsFile;  // empty: the program folder's serverSettings.txt
  std::string reports;       // empty: report libraries are found in the program folder
};

}  // namespace quorvane
