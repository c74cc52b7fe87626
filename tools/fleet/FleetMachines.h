// FleetMachines: machine fixture files for a simulated fleet.
//
// Each generated machine is one of the template machines (the sample
// fixtures of tests/fixtures/machines by default) with its identity varied:
// host name, domain or workgroup, registered owner, application list
// (uninstall keys drawn from a pool of period software) and network address.
// Addresses are loopback only: machine i carries fleetAddress(i), so a
// fixture that a live server might command answers on loopback.
//
// Generation is deterministic for a given seed; the files are named
// "machine-00000.json", ... so that a sorted listing gives machine order.
#pragma once

#include <cstdint>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <vector>

#include "common/Status.h"

namespace quorvane::fleet {

// The loopback address of simulated PC `index` (0-based): 127.0.1.1,
// 127.0.1.2, ... 127.0.1.254, 127.0.2.1, ... (never 127.0.0.x, which the
// server and a real agent on this machine use). Valid for index < 254*254.
std::string fleetAddress(int index);
inline constexpr int kMaxFleetAgents = 254 * 254;

// The domain (NT: logon domain) or workgroup (Windows 9x) names used.
const std::vector<std::string>& fleetDomains();

// One varied machine from `base` (a parsed machine fixture).
nlohmann::json makeFleetMachine(const nlohmann::json& base, int index, std::mt19937& rng);

// The default templates: the sample machines of the repository.
std::vector<std::filesystem::path> defaultMachineTemplates();

// Writes `count` machine files into `outDir` (created when missing).
Status writeFleetMachines(const std::filesystem::path& outDir, int count, std::uint32_t seed,
                          const std::vector<std::filesystem::path>& templates);

// The machine files of a folder ("*.json"), sorted by name.
std::vector<std::filesystem::path> listMachineFiles(const std::filesystem::path& dir);

}  // namespace quorvane::fleet
