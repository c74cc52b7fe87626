// The envelope's parser and writer on whole, cut and hostile byte strings.
#include "common/CommandEnvelope.h"

#include <gtest/gtest.h>

#include "common/ExchangeBytes.h"

namespace quorvane {
namespace {

CommandEnvelope sample(int code = 5, std::string text = "Back in 5 minutes") {
  CommandEnvelope e;
  e.challenge = std::string(kChallengeSize, '\xA5');
  e.address = "127.0.0.2";
  e.code = code;
  e.text = std::move(text);
  e.signature = std::string(kEnvelopeSignatureSize, '\x5A');
  return e;
}

TEST(CommandEnvelope, RoundTripsEveryCode) {
  for (int code : {0, 1, 2, 3, 4, 5}) {
    SCOPED_TRACE(code);
    const CommandEnvelope e = sample(code, code == 5 ? std::string("a\0b\xFF", 4) : "");
    auto bytes = serializeEnvelope(e);
    ASSERT_TRUE(bytes);
    const ParsedEnvelope p = parseEnvelope(*bytes);
    ASSERT_EQ(p.state, EnvelopeState::Complete);
    EXPECT_EQ(p.envelope.challenge, e.challenge);
    EXPECT_EQ(p.envelope.address, e.address);
    EXPECT_EQ(p.envelope.code, code);
    EXPECT_EQ(p.envelope.text, e.text);
    EXPECT_EQ(p.envelope.signature, e.signature);
    EXPECT_EQ(p.signedPart, *envelopeSignedPart(e));
    EXPECT_EQ(p.signedPart + e.signature, *bytes);
  }
}

TEST(CommandEnvelope, EveryCutIsIncomplete) {
  const std::string bytes = *serializeEnvelope(sample());
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(parseEnvelope(std::string_view(bytes).substr(0, n)).state, EnvelopeState::Incomplete);
  }
}

TEST(CommandEnvelope, HostileBytesAreMalformed) {
  const std::string good = *serializeEnvelope(sample());
  auto with = [&](std::size_t at, char c) {
    std::string s = good;
    s[at] = c;
    return s;
  };
  // Declares a rest of `length` bytes holding `body`.
  auto declared = [](std::size_t length, const std::string& body) {
    std::string s(kEnvelopeMagic);
    s.push_back(static_cast<char>(length >> 8));
    s.push_back(static_cast<char>(length & 0xFF));
    return s + body;
  };
  const std::string sig(kEnvelopeSignatureSize, 'S');
  struct Row {
    const char* name;
    std::string bytes;
  };
  const Row rows[] = {
      {"a plain token", std::string(tokAudit)},
      {"a plain message", std::string(tokMessage) + "hello"},
      {"first byte wrong", with(0, 'X')},
      {"other version", with(3, '\x02')},
      {"a challenge sent back", makeChallengeMessage(std::string(kChallengeSize, 'c'))},
      {"one byte too many", good + "!"},
      {"two envelopes at once", good + good},
      {"rest shorter than a signature", declared(10, std::string(10, '\0'))},
      {"empty rest", declared(0, "")},
      {"challenge longer than the rest", declared(1 + kEnvelopeSignatureSize, "\x40" + sig)},
      {"address longer than the rest", declared(2 + kEnvelopeSignatureSize, std::string("\0\x30", 2) + sig)},
      {"code missing", declared(2 + kEnvelopeSignatureSize, std::string("\0\0", 2) + sig)},
      {"text longer than the rest",
       declared(5 + kEnvelopeSignatureSize, std::string("\0\0\0\xFF\xFF", 5) + sig)},
      {"bytes left after the text",
       declared(6 + kEnvelopeSignatureSize, std::string("\0\0\0\0\0Z", 6) + sig)},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(parseEnvelope(r.bytes).state, EnvelopeState::Malformed);
  }
  // The smallest well-formed envelope: every field empty.
  EXPECT_EQ(parseEnvelope(declared(5 + kEnvelopeSignatureSize, std::string(5, '\0') + sig)).state,
            EnvelopeState::Complete);
}

TEST(CommandEnvelope, FieldsThatDoNotFitAreNotWritten) {
  CommandEnvelope longAddress = sample();
  longAddress.address = std::string(256, '1');
  EXPECT_FALSE(envelopeSignedPart(longAddress));
  CommandEnvelope longText = sample();
  longText.text = std::string(0xFFFF, 'x');
  EXPECT_FALSE(envelopeSignedPart(longText));
  CommandEnvelope shortSignature = sample();
  shortSignature.signature.pop_back();
  EXPECT_FALSE(serializeEnvelope(shortSignature));
  CommandEnvelope longest = sample();
  longest.text.clear();
  while (envelopeSignedPart(longest)) longest.text.push_back('x');
  longest.text.pop_back();
  const std::string bytes = *serializeEnvelope(longest);
  EXPECT_LE(bytes.size(), kEnvelopeMaxSize);
  EXPECT_EQ(parseEnvelope(bytes).state, EnvelopeState::Complete);
}

TEST(CommandEnvelope, ChallengeMessages) {
  const std::string c(kChallengeSize, '\x07');
  EXPECT_EQ(parseChallengeMessage(makeChallengeMessage(c)), c);
  EXPECT_FALSE(parseChallengeMessage(makeChallengeMessage(c).substr(1)));
  EXPECT_FALSE(parseChallengeMessage(makeChallengeMessage(c) + "x"));
  EXPECT_FALSE(parseChallengeMessage(std::string(kEnvelopeMagic) + c));
  EXPECT_EQ(tokenForCommandCode(0), tokAudit);
  EXPECT_EQ(tokenForCommandCode(5), tokMessage);
  EXPECT_TRUE(tokenForCommandCode(6).empty());
  EXPECT_TRUE(tokenForCommandCode(7).empty());
  EXPECT_TRUE(tokenForCommandCode(-1).empty());
}

}  // namespace
}  // namespace quorvane
