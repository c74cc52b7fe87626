// The signature check against known answers (a key pair made once with the
// openssl tool), so that every backend is held to the same bytes.
#include "platform/CommandSignature.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace quorvane::platform {
namespace {

std::string hex(std::string_view h) {
  std::string out;
  for (std::size_t i = 0; i + 1 < h.size(); i += 2) {
    out.push_back(static_cast<char>(std::stoi(std::string(h.substr(i, 2)), nullptr, 16)));
  }
  return out;
}

const std::string kKey = hex(
    "0485fed2071daed9bd3d45c60b46e345de63dfb0beb69833abd1babc739fe5f6e1"
    "a36f0fe63093e494b88b0fb05836aee43ce14bd0fe5a9cff878f2c0256fcc602");
const std::string kOtherKey = hex(
    "04d943c7cce6d2dc20d6da48faeb5cd43f917f8e34aebbdb0c03f36c794b9c3a8f"
    "81308fd8cc90d6f7616fff4d1d468fe5bbc355a7b04bc69d860589223f8b4ae6");
const std::string kMessage = "signed command bytes";
const std::string kSignature = hex(
    "710C5ABE1BC35B7DDFA216C7F87EA6EE2B3BD3A4082B45BF4864C241D9F8D747"
    "C67616B41EEEBDB37ACCBB9E81A64C491E63A8D5D46E8ADA93BBF031CB745421");

std::string flipped(std::string s, std::size_t at) {
  s[at] = static_cast<char>(s[at] ^ 0x01);
  return s;
}

TEST(CommandSignature, KnownAnswers) {
  struct Row {
    const char* name;
    std::string key;
    std::string message;
    std::string signature;
    bool valid;
  };
  const std::string offCurve = flipped(kKey, 64);
  const Row rows[] = {
      {"the signed message", kKey, kMessage, kSignature, true},
      {"another key", kOtherKey, kMessage, kSignature, false},
      {"one message byte changed", kKey, flipped(kMessage, 3), kSignature, false},
      {"message one byte longer", kKey, kMessage + "x", kSignature, false},
      {"empty message", kKey, "", kSignature, false},
      {"r changed", kKey, kMessage, flipped(kSignature, 0), false},
      {"s changed", kKey, kMessage, flipped(kSignature, 63), false},
      {"r and s swapped", kKey, kMessage, kSignature.substr(32) + kSignature.substr(0, 32), false},
      {"signature of zeros", kKey, kMessage, std::string(64, '\0'), false},
      {"signature of 0xFF", kKey, kMessage, std::string(64, '\xFF'), false},
      {"signature too short", kKey, kMessage, kSignature.substr(0, 63), false},
      {"signature too long", kKey, kMessage, kSignature + '\0', false},
      {"empty signature", kKey, kMessage, "", false},
      {"key off the curve", offCurve, kMessage, kSignature, false},
      {"compressed-form prefix", "\x02" + kKey.substr(1), kMessage, kSignature, false},
      {"key too short", kKey.substr(0, 64), kMessage, kSignature, false},
      {"empty key", "", kMessage, kSignature, false},
      {"key of zeros", std::string(65, '\0'), kMessage, kSignature, false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    EXPECT_EQ(verifyCommandSignature(r.key, r.message, r.signature), r.valid);
  }
}

TEST(CommandSignature, RandomChallengesDiffer) {
  std::array<unsigned char, 16> a{};
  std::array<unsigned char, 16> b{};
  ASSERT_TRUE(fillRandom(a));
  ASSERT_TRUE(fillRandom(b));
  EXPECT_NE(a, b);
  EXPECT_NE(a, (std::array<unsigned char, 16>{}));
}

}  // namespace
}  // namespace quorvane::platform
