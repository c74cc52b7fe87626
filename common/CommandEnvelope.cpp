#include "common/CommandEnvelope.h"

#include <algorithm>

#include "common/ExchangeBytes.h"

namespace quorvane {

namespace {

constexpr std::size_t kMaxText = 0xFFFF - 1 - kChallengeSize - 1 - 255 - 1 - 2 - kEnvelopeSignatureSize;

void putU16(std::string& out, std::size_t n) {
  out.push_back(static_cast<char>((n >> 8) & 0xFF));
  out.push_back(static_cast<char>(n & 0xFF));
}

// Reads fields front to back; any read past the end fails the reader.
struct Reader {
  std::string_view rest;
  bool ok = true;
  std::size_t byte() {
    if (rest.empty()) return ok = false, 0;
    const auto b = static_cast<unsigned char>(rest[0]);
    rest.remove_prefix(1);
    return b;
  }
  std::size_t u16() {
    const std::size_t hi = byte();
    return (hi << 8) | byte();
  }
  std::string bytes(std::size_t n) {
    if (!ok || rest.size() < n) return ok = false, std::string();
    std::string out(rest.substr(0, n));
    rest.remove_prefix(n);
    return out;
  }
};

}  // namespace

std::string_view tokenForCommandCode(int code) {
  switch (code) {
    case 0: return tokAudit;
    case 1: return tokQuit;
    case 2: return tokPowerOff;
    case 3: return tokReboot;
    case 4: return tokLogOff;
    case 5: return tokMessage;
    default: return {};
  }
}

std::string makeChallengeMessage(std::string_view challenge) {
  return std::string(kChallengeMagic) + std::string(challenge);
}

std::optional<std::string> parseChallengeMessage(std::string_view bytes) {
  if (bytes.size() != kChallengeMessageSize || bytes.substr(0, kChallengeMagic.size()) != kChallengeMagic) {
    return std::nullopt;
  }
  return std::string(bytes.substr(kChallengeMagic.size()));
}

std::optional<std::string> envelopeSignedPart(const CommandEnvelope& e) {
  if (e.challenge.size() > 255 || e.address.size() > 255 || e.text.size() > kMaxText || e.code < 0 ||
      e.code > 255) {
    return std::nullopt;
  }
  std::string body;
  body.push_back(static_cast<char>(e.challenge.size()));
  body += e.challenge;
  body.push_back(static_cast<char>(e.address.size()));
  body += e.address;
  body.push_back(static_cast<char>(e.code));
  putU16(body, e.text.size());
  body += e.text;
  std::string out(kEnvelopeMagic);
  putU16(out, body.size() + kEnvelopeSignatureSize);
  return out + body;
}

std::optional<std::string> serializeEnvelope(const CommandEnvelope& e) {
  if (e.signature.size() != kEnvelopeSignatureSize) return std::nullopt;
  auto signedPart = envelopeSignedPart(e);
  if (!signedPart) return std::nullopt;
  return *signedPart + e.signature;
}

ParsedEnvelope parseEnvelope(std::string_view bytes) {
  ParsedEnvelope out;
  const std::size_t magic = kEnvelopeMagic.size();
  // Refuse early: a stream that does not start like an envelope never becomes one.
  if (bytes.substr(0, magic) != kEnvelopeMagic.substr(0, std::min(magic, bytes.size()))) {
    out.state = EnvelopeState::Malformed;
    return out;
  }
  if (bytes.size() < magic + 2) return out;
  const std::size_t length = (static_cast<std::size_t>(static_cast<unsigned char>(bytes[magic])) << 8) |
                             static_cast<unsigned char>(bytes[magic + 1]);
  const std::size_t total = magic + 2 + length;
  if (bytes.size() < total) return out;
  out.state = EnvelopeState::Malformed;
  if (bytes.size() > total || length < kEnvelopeSignatureSize) return out;

  Reader r{bytes.substr(magic + 2, length - kEnvelopeSignatureSize)};
  CommandEnvelope e;
  e.challenge = r.bytes(r.byte());
  e.address = r.bytes(r.byte());
  e.code = static_cast<int>(r.byte());
  e.text = r.bytes(r.u16());
  if (!r.ok || !r.rest.empty()) return out;
  e.signature = std::string(bytes.substr(total - kEnvelopeSignatureSize));
  out.signedPart = std::string(bytes.substr(0, total - kEnvelopeSignatureSize));
  out.envelope = std::move(e);
  out.state = EnvelopeState::Complete;
  return out;
}

}  // namespace quorvane
