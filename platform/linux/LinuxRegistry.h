// LinuxRegistry: the registry keys a Linux host has facts for, presented
// under their Windows names and read from the host's own sources.
//
// Each source fills a part of an in-memory tree (platform/RegistryTree.h).
// The tree is built on first use and rebuilt when one of the files the
// sources depend on has changed (checked at most once a second), so two
// audits of one run each see the machine as it is.
//
// Adding a source: write a fill function in your own .cpp and add one line to
// linuxRegistrySources() in LinuxRegistry.cpp.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/RegistryTree.h"

namespace quorvane::platform {

struct LinuxRegistrySource {
  std::vector<std::string> dependsOn;  // files whose change calls for a rebuild
  std::function<void(RegistryTree&)> fill;
};

// The uninstall list from the dpkg database.
void fillUninstallFromDpkg(RegistryTree& tree);
// ProductId (machine-id) under the version key of the Windows family.
void fillWindowsCurrentVersion(RegistryTree& tree);
// The workgroup value of the network client (DNS domain, Samba workgroup,
// else "workgroup").
void fillWorkgroup(RegistryTree& tree);

}  // namespace quorvane::platform
