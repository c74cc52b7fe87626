// modSNetwork (collector side): the network identity of the machine
// (getNetwork) and its helpers getDomainName, getWorkgroup, isAdministrator,
// strGetUserName.
//
// IP is the address by which the server sees this agent: the local address
// of the route to ServerIP when one is set, else the first non-loopback IPv4
// address that is up, else 127.0.0.1. (The first address of the host name,
// on Debian often 127.0.1.1, names the audit after an address no socket
// uses.)
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "agent/collect/CollectContext.h"
#include "common/AuditRecord.h"
#include "platform/NetworkIdentity.h"

namespace quorvane::agent {

// The address choice above, pure: `routeLocal` is the system's answer for
// the server's address (nullopt when there is no server or no route).
std::string chooseAgentAddress(const std::optional<std::string>& routeLocal,
                               const std::vector<platform::InterfaceAddress>& addresses);

// The IP of the record for this context.
std::string agentAddress(const CollectContext& ctx);

std::string getDomainName(const CollectContext& ctx);
std::string getWorkgroup(const CollectContext& ctx);
bool isAdministrator(const CollectContext& ctx);
std::string strGetUserName(const CollectContext& ctx);

// The text shown (critical icon) when the host name cannot be read.
inline constexpr std::string_view kHostNameFailedText = "Windows Sockets error ...";

// The host name up to its first NUL; when it cannot be read, the message
// above goes to the context's report and the name is empty.
std::string localHostName(const CollectContext& ctx);

// A host name that cannot be read leaves Hostname empty and fills the rest.
NetworkInfo getNetwork(const CollectContext& ctx);

}  // namespace quorvane::agent
