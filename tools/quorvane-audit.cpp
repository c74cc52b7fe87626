// quorvane-audit: looks into stored audit files and filters data through the
// HE3 and Base64 codecs, for administrators and scripts.
//
//   quorvane-audit dump FILE            the audit in FILE as JSON on stdout
//   quorvane-audit he3 encode|decode    stdin -> stdout
//   quorvane-audit b64 encode|decode    stdin -> stdout
//
// Exit status: 0 done, 1 bad input (one line on stderr), 2 wrong usage.
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <string_view>

#include "common/AuditJson.h"
#include "common/AuditRecordIO.h"
#include "tools/AuditToolCodecs.h"

namespace {

using namespace quorvane;  // the codec filters are found here or globally

constexpr std::string_view kUsage =
    "Usage:\n"
    "  quorvane-audit dump FILE\n"
    "      Prints the audit in FILE as JSON. FILE is an agent's audit file or a\n"
    "      DataStore copy (decimal length, NUL, zlib stream [, CR LF]) or a raw\n"
    "      serialised record. Texts are shown as UTF-8 (stored as Windows-1252).\n"
    "  quorvane-audit he3 encode|decode\n"
    "      Packs standard input into an HE3 container, or unpacks one, to\n"
    "      standard output.\n"
    "  quorvane-audit b64 encode|decode\n"
    "      Base64 text of standard input, or its decoding, to standard output.\n"
    "  quorvane-audit --help\n"
    "\n"
    "Exit status: 0 done; 1 bad input, with one line on standard error naming\n"
    "what is wrong; 2 wrong usage.\n";

constexpr int kBadInput = 1;
constexpr int kWrongUsage = 2;

std::string oneLine(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

int usageError(std::string_view what) {
  std::cerr << "quorvane-audit: " << what << " (see quorvane-audit --help)\n";
  return kWrongUsage;
}

// The stored-file form begins with the decimal length and a NUL.
bool looksStored(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size() && bytes[i] >= '0' && bytes[i] <= '9') ++i;
  return i > 0 && i < bytes.size() && bytes[i] == '\0';
}

quorvane::Expected<quorvane::AuditRecord> readAuditFile(std::string_view bytes) {
  if (looksStored(bytes)) {
    auto stored = quorvane::decodeStoredAudit(bytes);
    if (stored) return stored;
    // A raw record can begin like a stored file (a 49-byte owner name starts
    // with "1" and a NUL); take it as raw if it reads as one.
    auto raw = quorvane::readAuditRecord(bytes);
    if (raw) return raw;
    return quorvane::Status::Error(stored.status().number(),
                                   "stored audit file: " + stored.status().description());
  }
  auto raw = quorvane::readAuditRecord(bytes);
  if (raw) return raw;
  return quorvane::Status::Error(raw.status().number(), "raw audit record: " + raw.status().description());
}

int runDump(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) {
    std::cerr << "quorvane-audit: " << path << ": is a folder, not an audit file\n";
    return kBadInput;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << "quorvane-audit: " << path << ": cannot open: " << std::strerror(errno) << "\n";
    return kBadInput;
  }
  std::string bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    in.setstate(std::ios::badbit);
  }
  if (in.bad()) {
    std::cerr << "quorvane-audit: " << path << ": cannot read\n";
    return kBadInput;
  }
  auto record = readAuditFile(bytes);
  if (!record) {
    std::cerr << "quorvane-audit: " << path << ": " << oneLine(record.status().description()) << "\n";
    return kBadInput;
  }
  std::cout << quorvane::auditRecordToJsonText(*record) << "\n";
  std::cout.flush();
  return std::cout ? 0 : kBadInput;
}

int run(int argc, char** argv) {
  if (argc < 2) return usageError("no command given");
  const std::string_view command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << kUsage;
    return 0;
  }
  if (command == "dump") {
    if (argc != 3) return usageError("dump takes one FILE");
    return runDump(argv[2]);
  }
  if (command == "he3" || command == "b64") {
    if (argc != 3) return usageError(std::string(command) + " takes encode or decode");
    const std::string_view mode = argv[2];
    if (mode != "encode" && mode != "decode")
      return usageError(std::string(command) + ": unknown mode \"" + std::string(mode) + "\"");
    return command == "he3" ? runHe3(mode, std::cin, std::cout, std::cerr)
                            : runB64(mode, std::cin, std::cout, std::cerr);
  }
  return usageError("unknown command \"" + std::string(command) + "\"");
}

}  // namespace

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  try {
    return run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "quorvane-audit: " << oneLine(e.what()) << "\n";
    return kBadInput;
  }
}
