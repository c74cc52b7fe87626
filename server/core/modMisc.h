// modMisc: the server's small file and text utilities and the listing of the
// DataStore folder.
//
// Paths are texts built from the program folder, which always ends in "/".
// The DataStore listing keeps names ending exactly in ".dat" (case matters),
// sorted by name; "<IP>.dat.rejected" and the temporary files of atomic
// writes never match. Pure functions except getFileCount, which reads the
// folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quorvane {

inline constexpr std::string_view kDataStoreFolder = "DataStore";
inline constexpr std::string_view kDataFileExtension = ".dat";
inline constexpr std::string_view kRejectedSuffix = ".rejected";
inline constexpr std::string_view kSettingsFileName = "serverSettings.txt";

// The folder text, with "/" appended when it does not already end in one.
std::string getAppPath(std::string_view folder);

// The part after the last "/" (or "\"), the whole text when there is none.
std::string returnNameOfFile(std::string_view path);

// The part before the last "."; the whole name when it has no ".".
std::string stripExtension(std::string_view fileName);

// True for names of at least four characters ending exactly in ".dat".
bool isDataFileName(std::string_view fileName);

// The DataStore folder of a program folder: appPath + "DataStore/".
std::string dataStorePath(std::string_view appPath);
// The console's command key beside the server.
std::string commandKeyPath(std::string_view appPath);

// The data file list: full paths of the DataStore's data files, sorted by
// name. With no data file the list holds one empty entry and noDataFiles is
// set (a missing folder counts as empty).
struct DataFileListing {
  std::vector<std::string> paths;
  bool noDataFiles = true;
};
DataFileListing getFileCount(std::string_view appPath);

// The client key of a data file: its name without folder and extension,
// i.e. the peer address that intake named it after.
std::string clientKeyOfDataFile(std::string_view path);

// Windows-1252 lower case (ASCII and the accented letters of the code page).
std::string lowerCase1252(std::string_view text);

// True for a dotted IPv4 address of four decimal parts 0..255.
bool isDottedIPv4(std::string_view text);

}  // namespace quorvane
