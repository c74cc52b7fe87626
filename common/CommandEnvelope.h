// CommandEnvelope: the signed form of a console command, for agents that hold
// the console's public command key. The plain three-byte tokens stay the wire
// between a console and an agent without a key.
//
// The exchange on one command connection:
//   agent   -> console  challenge: "QVC" 01, then 16 random bytes
//   console -> agent    envelope:  "QVE" 01, u16 length of the rest, then
//                                  u8 n + n bytes   the challenge it answers
//                                  u8 n + n bytes   the agent's address (dotted)
//                                  u8               the command code (0..5)
//                                  u16 n + n bytes  the message text (code 5)
//                                  64 bytes         signature: r, s
//   agent   -> console  verdict:   "QVK" 01 accepted, or "QVN" 01 refused
// Numbers are big-endian. The signature (ECDSA P-256, SHA-256) covers every
// byte of the envelope before it. After an accepted verdict the console
// closes and the agent acts as for the plain token.
//
// parseEnvelope is pure and takes any bytes: it says whether they are a whole
// envelope, the start of one, or not an envelope at all; it never checks the
// signature or the challenge (the agent does).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quorvane {

inline constexpr std::size_t kChallengeSize = 16;
inline constexpr std::size_t kEnvelopeSignatureSize = 64;
inline constexpr std::string_view kChallengeMagic{"QVC\x01", 4};
inline constexpr std::string_view kEnvelopeMagic{"QVE\x01", 4};
inline constexpr std::string_view kVerdictAccepted{"QVK\x01", 4};
inline constexpr std::string_view kVerdictRefused{"QVN\x01", 4};
inline constexpr std::size_t kChallengeMessageSize = kChallengeMagic.size() + kChallengeSize;
// The largest envelope: magic, length and a 16-bit rest.
inline constexpr std::size_t kEnvelopeMaxSize = kEnvelopeMagic.size() + 2 + 0xFFFF;

struct CommandEnvelope {
  std::string challenge;
  std::string address;
  int code = 0;
  std::string text;
  std::string signature;
};

// The token a command code stands for (codes 0..5); empty for any other.
std::string_view tokenForCommandCode(int code);

std::string makeChallengeMessage(std::string_view challenge);
// The challenge of a whole challenge message; nullopt for anything else.
std::optional<std::string> parseChallengeMessage(std::string_view bytes);

// The bytes the signature covers; nullopt when a field does not fit its
// length prefix (an address over 255 bytes, a text too long for the envelope).
std::optional<std::string> envelopeSignedPart(const CommandEnvelope& envelope);
// The signed part followed by the signature.
std::optional<std::string> serializeEnvelope(const CommandEnvelope& envelope);

enum class EnvelopeState { Incomplete, Malformed, Complete };
struct ParsedEnvelope {
  EnvelopeState state = EnvelopeState::Incomplete;
  CommandEnvelope envelope;  // filled when Complete
  std::string signedPart;    // filled when Complete
};
ParsedEnvelope parseEnvelope(std::string_view bytes);

}  // namespace quorvane
