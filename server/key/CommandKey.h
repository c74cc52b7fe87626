// CommandKey: the console's private command key (ECDSA P-256), through
// OpenSSL's libcrypto.
//
// The key lives beside the server as a PEM file readable by its owner only.
// create() makes a new one and refuses to replace an existing file; load()
// reads it back. sign() gives r then s (32 bytes each, big-endian) over
// SHA-256 of the message, the form platform/CommandSignature.h checks.
// publicKey() is the uncompressed point (0x04, X, Y); publicKeyLine() is the
// settings line an agent needs: "CommandPublicKey:" + its Base64.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/Status.h"

namespace quorvane {

inline constexpr std::string_view kCommandKeyFileName = "commandKey.pem";
inline constexpr std::string_view kCommandPublicKeySetting = "CommandPublicKey";

class CommandKey {
 public:
  static Expected<CommandKey> create(const std::string& path);
  static Expected<CommandKey> load(const std::string& path);
  // A key that is only in memory (tests, simulations).
  static Expected<CommandKey> generate();

  std::string publicKey() const;
  std::string publicKeyLine() const;
  Expected<std::string> sign(std::string_view message) const;

 private:
  struct Impl;
  explicit CommandKey(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
  std::shared_ptr<Impl> impl_;
};

}  // namespace quorvane
