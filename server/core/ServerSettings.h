// ServerSettings: the server's settings file "serverSettings.txt" beside the
// program.
//
// Lines of key ":" value; keys are compared exactly (case matters); unknown
// keys and empty lines are ignored. A line whose key is one of the two port
// keys must carry ":" and a whole number (32-bit signed); anything else is an
// error (13 for a value that is not a whole number, 6 for one out of range,
// 9 for a missing ":"). A key that does not appear leaves its port at 0.
// Lines end in CR LF; a lone LF also ends a line (a file edited on this
// platform), and the CR of a CR LF never becomes part of a value.
//
// The index database has keys of its own (all optional; the value is the
// whole text after the first ":", so a path may hold ":"):
//   IndexDatabase      "sqlite" (the default), "postgresql" or "off"
//   IndexFile          SQLite: the database file (default: QuorvaneIndex.sqlite
//                      in the program folder)
//   IndexHost, IndexPort, IndexName, IndexUser
//                      PostgreSQL: host or Unix-socket folder, port, database, user
//   IndexPasswordFile  PostgreSQL: a file whose first line is the password;
//                      without it the environment's QUORVANE_INDEX_PASSWORD.
// The password itself never stands in this file. The values are checked when
// the index opens, so a wrong one never stops the intake.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/Status.h"
#include "server/core/ServerErrors.h"

namespace quorvane {

struct IndexSettings {
  std::string database, file, host, port, name, user, passwordFile;  // as written
};

struct ServerSettings {
  std::int32_t connectPort = 0;  // read and kept; requests use each audit's port
  std::int32_t listenPort = 0;
  IndexSettings index;
};

Expected<ServerSettings> parseServerSettings(std::string_view text);

// Reads the settings file at `path`, creating it empty when missing.
Expected<ServerSettings> readServerSettingsFile(const std::string& path);

// Reads appPath + "serverSettings.txt", creating the file empty when missing.
Expected<ServerSettings> readServerSettings(std::string_view appPath);

}  // namespace quorvane
