// NetworkIdentity: the host name and the IPv4 addresses of this machine.
//
// `localAddressToward` asks the system which local address it would use to
// reach a dotted IPv4 address (a UDP socket connected without sending
// anything). It never resolves names: anything but a dotted IPv4 address
// gives nullopt.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Status.h"

namespace quorvane::platform {

struct InterfaceAddress {
  std::string interfaceName;
  std::string address;  // dotted decimal IPv4
  bool up = false;
  bool loopback = false;
  friend bool operator==(const InterfaceAddress&, const InterfaceAddress&) = default;
};

class NetworkIdentity {
 public:
  virtual ~NetworkIdentity() = default;

  virtual Expected<std::string> hostName() const = 0;
  // IPv4 addresses of the interfaces, in the system's order.
  virtual std::vector<InterfaceAddress> addresses() const = 0;
  virtual std::optional<std::string> localAddressToward(std::string_view serverIPv4) const = 0;
};

}  // namespace quorvane::platform
