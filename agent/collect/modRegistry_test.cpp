// modRegistry: a value's text by its type, key paths put together, root
// names, the subkeys of a key with their child flags.
#include "agent/collect/modRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "agent/collect/CollectTesting.h"

namespace quorvane::agent {
namespace {

using testing::machineFromJson;

TEST(ModRegistry, GetKeyValueByType) {
  auto m = machineFromJson(testing::kRegistryMachine);
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
  auto m = machineFromJson(testing::kRegistryMachine);
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
