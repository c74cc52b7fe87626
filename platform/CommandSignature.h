// CommandSignature: the agent's check that a command comes from the console
// that holds the command key, and the random challenge it asks to be signed.
//
// The algorithm is ECDSA over P-256 with SHA-256, from the operating system's
// crypto library (libcrypto on Linux, CNG on Windows); nothing is computed
// here by hand.
//
// - `publicKey` is the uncompressed point: 0x04, X, Y (65 bytes).
// - `signature` is r then s, each 32 bytes big-endian (64 bytes).
// verifyCommandSignature is true only for a valid signature of `message`
// under `publicKey`; every malformed key or signature is simply false.
// fillRandom fills `out` from the system's cryptographic generator and says
// whether it could.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

namespace quorvane::platform {

inline constexpr std::size_t kCommandPublicKeySize = 65;
inline constexpr std::size_t kCommandSignatureSize = 64;

bool verifyCommandSignature(std::string_view publicKey, std::string_view message, std::string_view signature);

bool fillRandom(std::span<unsigned char> out);

}  // namespace quorvane::platform
