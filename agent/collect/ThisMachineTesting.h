// Test helpers that read this machine's own files (/proc) beside the
// collectors, to compare the collectors' figures with the system's.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

namespace quorvane::agent::testing {

inline std::string slurp(const char* path) {
  std::ifstream in(path);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// The value after "key:" in a "key : value" text such as /proc/cpuinfo.
inline std::string field(const std::string& text, const std::string& key) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string k = line.substr(0, colon);
    while (!k.empty() && (k.back() == ' ' || k.back() == '\t')) k.pop_back();
    if (k != key) continue;
    std::string v = line.substr(colon + 1);
    auto b = v.find_first_not_of(" \t");
    return b == std::string::npos ? std::string() : v.substr(b);
  }
  return {};
}

// "1,234 Bytes" / "5 KBytes" -> 1234 / 5
inline double figure(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ' ') break;
    if (c != ',') digits += c;
  }
  return std::stod(digits);
}

}  // namespace quorvane::agent::testing
