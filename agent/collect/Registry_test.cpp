#include "agent/collect/Registry.h"

#include <gtest/gtest.h>

#include "agent/collect/CollectTesting.h"
#include "agent/collect/modRegistry.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;

const char* kMachine = R"({"registry": {
  "HKEY_LOCAL_MACHINE\\Soft\\Values": {
    "zero": {"type": "REG_DWORD", "value": 0},
    "ff": {"type": "REG_DWORD", "value": 255},
    "year": {"type": "REG_DWORD", "value": 1997},
    "all": {"type": "REG_DWORD", "value": 4294967295},
    "high": {"type": "REG_DWORD", "value": 2147483648},
    "short dword": {"type": "REG_DWORD", "data": "FF 01"},
    "be": {"type": "REG_DWORD_BIG_ENDIAN", "value": 1997},
    "text": {"type": "REG_SZ", "value": "  Jane Doe  "},
    "expand": {"type": "REG_EXPAND_SZ", "value": "%SystemRoot%\\system32"},
    "unterminated": {"type": "REG_SZ", "data": "41 42"},
    "binary": {"type": "REG_BINARY", "value": "01 AB"},
    "binary empty": {"type": "REG_BINARY", "data": ""},
    "embedded nul": {"type": "REG_SZ", "data": "61 00 62 20 00"},
    "multi": {"type": "REG_MULTI_SZ", "value": ["one", "two"]},
    "empty": {"type": "REG_SZ", "value": ""},
    "": {"type": "REG_SZ", "value": "default"}
  },
  "HKEY_CURRENT_USER\\Soft\\Values": {"text": {"type": "REG_SZ", "value": "user"}},
  "HKEY_LOCAL_MACHINE\\Tree\\A\\Child": {},
  "HKEY_LOCAL_MACHINE\\Tree\\B": {},
  "HKEY_LOCAL_MACHINE\\Tree\\C\\X": {}
}})";

std::string longText(std::size_t n) { return std::string(n, 'x'); }

TEST(RegistryGetValue, TextFormsOfTheValueTypes) {
  auto m = machineFromJson(kMachine);
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

TEST(ModRegistry, GetKeyValueByType) {
  auto m = machineFromJson(kMachine);
  const auto& s = *m->registry;
  const auto hklm = platform::HKEY_LOCAL_MACHINE;
  struct Row {
    const char* name;
    const char* value;
    std::string expected;
  } rows[] = {
      {"binary pairs", "binary", "01 AB"},
      {"empty binary", "binary empty", ""},
      {"dword decimal", "year", "1997"},
      {"dword all bits", "all", "4294967295"},
      {"big-endian dword decimal", "be", "1997"},
      {"dword of two bytes cannot be read", "short dword", ""},
      {"text trimmed", "text", "Jane Doe"},
      {"expandable text as stored", "expand", "%SystemRoot%\\system32"},
      {"unterminated text", "unterminated", "AB"},
      {"NULs removed after trimming", "embedded nul", "ab"},
      {"multi-string is another type", "multi", ""},
      {"empty text", "empty", ""},
      {"missing value", "nothing", ""},
  };
  for (const auto& r : rows)
    EXPECT_EQ(getKeyValue(s, hklm, "Soft\\Values", r.value), r.expected) << r.name;
  EXPECT_EQ(getKeyValue(s, hklm, "Soft/Values", "year", true), "1997") << "write access, / path";
  EXPECT_EQ(getKeyValue(s, hklm, "Soft\\Missing", "year"), "");
}

TEST(ModRegistry, CompileKeyStringAndRoots) {
  struct Row {
    const char* a;
    const char* b;
    const char* c;
    const char* expected;
  } rows[] = {
      {"SOFTWARE/Microsoft", "", "Windows", "SOFTWARE\\Microsoft\\Windows"},
      {"SOFTWARE\\", "\\Microsoft", "", "SOFTWARE\\\\Microsoft"},  // three become two
      {"", "", "", ""},
      {"A", "B", "C", "A\\B\\C"},
      {"A\\\\\\\\B", "", "", "A\\\\B"},  // one pass: four become two
      {"A//B", "", "", "A\\\\B"},        // "/" is replaced after the pass
  };
  for (const auto& r : rows)
    EXPECT_EQ(CompileKeyString(r.a, r.b, r.c), r.expected) << r.a << "|" << r.b << "|" << r.c;

  EXPECT_EQ(resolveHkeyLong("hkey_local_machine"), platform::HKEY_LOCAL_MACHINE);
  EXPECT_EQ(resolveHkeyLong("HKEY_CURRENT_USER"), platform::HKEY_CURRENT_USER);
  EXPECT_EQ(resolveHkeyLong("Hkey_Users"), platform::HKEY_USERS);
  EXPECT_EQ(resolveHkeyLong("HKEY_CLASSES_ROOT"), platform::HKEY_CLASSES_ROOT);
  EXPECT_EQ(resolveHkeyLong("HKEY_CURRENT_CONFIG"), platform::HKEY_CURRENT_CONFIG);
  EXPECT_EQ(resolveHkeyLong("HKLM"), 0u);
}

TEST(ModRegistry, SubKeyNamesInEnumerationOrderWithChildFlags) {
  auto m = machineFromJson(kMachine);
  auto plain = getSubKeyNames(*m->registry, "HKEY_LOCAL_MACHINE", "Tree", false);
  EXPECT_EQ(plain.names, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_TRUE(plain.hasChildren.empty());
  auto flagged = getSubKeyNames(*m->registry, "hkey_local_machine", "Tree/", true);
  EXPECT_EQ(flagged.names, plain.names);
  EXPECT_EQ(flagged.hasChildren, (std::vector<bool>{true, false, true}));
  EXPECT_TRUE(getSubKeyNames(*m->registry, "HKEY_LOCAL_MACHINE", "Nothing", true).names.empty());
  EXPECT_TRUE(getSubKeyNames(*m->registry, "HKLM", "Tree", false).names.empty());
}

}  // namespace
}  // namespace quorvane::agent
