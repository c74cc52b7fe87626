#include "agent/collect/Registry.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;

std::string longText(std::size_t n) { return std::string(n, 'x'); }

TEST(RegistryGetValue, TextFormsOfTheValueTypes) {
  auto m = machineFromJson(testing::kRegistryMachine);
  Registry reg(*m->registry);
  struct Row {
    const char* name;
    const char* key;
    const char* value;
    platform::RootKey root;
    std::string expected;
  } rows[] = {
      {"dword 0", "Soft\\Values", "zero", 0, "&H0"},
      {"dword 255", "Soft\\Values", "ff", 0, "&HFF"},
      {"dword 1997", "Soft\\Values", "year", 0, "&H7CD"},
      {"dword all bits", "Soft\\Values", "all", 0, "&HFFFFFFFF"},
      {"dword 2^31", "Soft\\Values", "high", 0, "&H80000000"},
      {"dword of two bytes", "Soft\\Values", "short dword", 0, "&H1FF"},
      {"big-endian is not a dword: bytes to the first NUL", "Soft\\Values", "be", 0, ""},
      {"text kept untrimmed", "Soft\\Values", "text", 0, "  Jane Doe  "},
      {"expandable text unexpanded", "Soft\\Values", "expand", 0, "%SystemRoot%\\system32"},
      {"text without terminator", "Soft\\Values", "unterminated", 0, "AB"},
      {"binary up to its first NUL", "Soft\\Values", "binary", 0, "\x01\xAB"},
      {"text up to the embedded NUL", "Soft\\Values", "embedded nul", 0, "a"},
      {"multi-string: the first", "Soft\\Values", "multi", 0, "one"},
      {"default value", "Soft\\Values", "", 0, "default"},
      {"root 0 is the local machine", "SOFT\\VALUES", "TEXT", 0, "  Jane Doe  "},
      {"explicit root", "Soft\\Values", "text", platform::HKEY_CURRENT_USER, "user"},
      {"missing value", "Soft\\Values", "nothing", 0, ""},
      {"missing key", "Soft\\Nothing", "text", 0, ""},
      {"unknown root", "Soft\\Values", "text", 0x12345678, ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(reg.getValue(r.key, r.value, r.root), r.expected) << r.name;
}

TEST(RegistryGetValue, TheBufferHolds260Bytes) {
  struct Row {
    const char* name;
    std::string json;
    std::string expected;
  } rows[] = {
      {"259 characters and the NUL fit",
       R"({"type": "REG_SZ", "value": ")" + longText(259) + "\"}", longText(259)},
      {"260 characters and the NUL do not",
       R"({"type": "REG_SZ", "value": ")" + longText(260) + "\"}", ""},
      {"300 characters read empty", R"({"type": "REG_SZ", "value": ")" + longText(300) + "\"}",
       ""},
  };
  for (const auto& r : rows) {
    auto m = machineFromJson(R"({"registry": {"HKEY_LOCAL_MACHINE\\K": {"V": )" + r.json + "}}}");
    EXPECT_EQ(Registry(*m->registry).getValue("K", "V"), r.expected) << r.name;
  }
  // Exactly 260 bytes without any NUL: the buffer has none either.
  std::string hex;
  for (int i = 0; i < 260; ++i) hex += "41 ";
  auto m = machineFromJson(R"({"registry": {"HKEY_LOCAL_MACHINE\\K": {"V": {"type": "REG_SZ", "data": ")" +
                           hex + "\"}}}}");
  EXPECT_EQ(Registry(*m->registry).getValue("K", "V"), "");
}

}  // namespace
}  // namespace quorvane::agent
