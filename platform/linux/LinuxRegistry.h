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
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryTree.h"
#include "platform/linux/LinuxPackages.h"
#include "platform/linux/LinuxSources.h"

namespace quorvane::platform {

struct LinuxRegistrySource {
  std::vector<std::string> dependsOn;  // files whose change calls for a rebuild
  std::function<void(RegistryTree&)> fill;
};

// The uninstall list from the dpkg database.
void fillUninstallFromDpkg(RegistryTree& tree);
// Its pure part: the uninstall keys of `packages` (texts converted to
// Windows-1252).
void addUninstallKeys(RegistryTree& tree, const std::vector<linux_backend::DpkgPackage>& packages);
// The uninstall keys of one more package database, after those already
// there (one list in the databases' order); a name an earlier database
// already took gets its key as "name (database)". Texts converted to
// Windows-1252.
void addPackageKeys(RegistryTree& tree, const std::vector<linux_backend::InstalledPackage>& packages,
                    std::string_view database);
// ProductId (machine-id) under the version key of the Windows family.
void fillWindowsCurrentVersion(RegistryTree& tree);
// The workgroup value of the network client (DNS domain, Samba workgroup,
// else "workgroup").
void fillWorkgroup(RegistryTree& tree);
// Its pure part, from the host name and the texts of /etc/hosts,
// /etc/resolv.conf and smb.conf (each may be missing); UTF-8.
std::string workgroupOf(const std::string& hostName, const std::optional<std::string>& hosts,
                        const std::optional<std::string>& resolv,
                        const std::optional<std::string>& smbConf);

}  // namespace quorvane::platform
