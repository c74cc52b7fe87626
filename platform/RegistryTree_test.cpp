#include "platform/RegistryTree.h"

#include <gtest/gtest.h>

namespace quorvane::platform {
namespace {

TEST(RegistryTree, NamesCompareWithoutCaseAndSubkeysKeepInsertionOrder) {
  RegistryTree t;
  t.addKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Uninstall\\Zeta");
  t.addKey(HKEY_LOCAL_MACHINE, "software/uninstall/Alpha");
  t.setValue(HKEY_LOCAL_MACHINE, "Software\\UNINSTALL\\zeta", "DisplayName", RegistryTree::sz("Z"));
  EXPECT_EQ(t.subKeyName(HKEY_LOCAL_MACHINE, "SOFTWARE\\Uninstall", 0), "Zeta");
  EXPECT_EQ(t.subKeyName(HKEY_LOCAL_MACHINE, "SOFTWARE\\Uninstall", 1), "Alpha");
  EXPECT_EQ(t.subKeyName(HKEY_LOCAL_MACHINE, "SOFTWARE\\Uninstall", 2), std::nullopt);
  auto v = t.queryValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Uninstall\\ZETA", "displayname");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, REG_SZ);
  EXPECT_EQ(v->data, std::string("Z\0", 2));
}

TEST(RegistryTree, MissingKeysRootsAndValues) {
  RegistryTree t;
  t.setValue(HKEY_LOCAL_MACHINE, "A\\B", "V", RegistryTree::dword(0x7CD));
  struct Row {
    const char* name;
    RootKey root;
    const char* path;
    bool exists;
  } rows[] = {
      {"present", HKEY_LOCAL_MACHINE, "A\\B", true},
      {"parent made implicitly", HKEY_LOCAL_MACHINE, "A", true},
      {"root itself", HKEY_CURRENT_USER, "", true},
      {"other root", HKEY_CURRENT_USER, "A\\B", false},
      {"missing child", HKEY_LOCAL_MACHINE, "A\\B\\C", false},
      {"not a root handle", 0x1234, "", false},
  };
  for (const auto& r : rows) EXPECT_EQ(t.keyExists(r.root, r.path), r.exists) << r.name;
  EXPECT_EQ(t.queryValue(HKEY_LOCAL_MACHINE, "A\\B", "W"), std::nullopt);
  EXPECT_EQ(t.queryValue(HKEY_LOCAL_MACHINE, "A\\B", "V")->data, std::string("\xCD\x07\0\0", 4));
}

TEST(RegistryTree, RootNamesRoundTrip) {
  EXPECT_EQ(rootKeyFromName("hkey_local_machine"), HKEY_LOCAL_MACHINE);
  EXPECT_EQ(rootKeyFromName("HKEY_CURRENT_CONFIG"), HKEY_CURRENT_CONFIG);
  EXPECT_EQ(rootKeyFromName("HKLM"), std::nullopt);
  EXPECT_EQ(rootKeyName(HKEY_USERS), "HKEY_USERS");
}

}  // namespace
}  // namespace quorvane::platform
