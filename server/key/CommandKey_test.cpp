// The command key: creation beside the server (owner-only, never replacing a
// key), loading, refusing files that are not a P-256 key, and signatures the
// agent's check accepts.
#include "server/key/CommandKey.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "common/clsB64.h"
#include "platform/CommandSignature.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;

struct TempFolder {
  fs::path path = fs::temp_directory_path() / ("qv-key-" + std::to_string(::getpid()));
  TempFolder() { fs::create_directories(path); }
  ~TempFolder() { fs::remove_all(path); }
};

TEST(CommandKey, CreatedOnceOwnerOnlyAndLoadedBack) {
  TempFolder dir;
  const std::string path = (dir.path / "commandKey.pem").string();
  auto made = CommandKey::create(path);
  ASSERT_TRUE(made) << made.status().description();
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  const std::string before = [&] { std::ifstream f(path); return std::string(std::istreambuf_iterator<char>(f), {}); }();
  auto again = CommandKey::create(path);
  ASSERT_FALSE(again);
  EXPECT_NE(again.status().description().find("exists already"), std::string::npos);
  const std::string after = [&] { std::ifstream f(path); return std::string(std::istreambuf_iterator<char>(f), {}); }();
  EXPECT_EQ(before, after);

  auto loaded = CommandKey::load(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->publicKey(), made->publicKey());
  EXPECT_EQ(loaded->publicKey().size(), platform::kCommandPublicKeySize);

  const std::string line = made->publicKeyLine();
  ASSERT_EQ(line.rfind("CommandPublicKey:", 0), 0u);
  const std::string value = line.substr(17);
  EXPECT_EQ(value.find(':'), std::string::npos);
  EXPECT_EQ(*clsB64().DecodeString(value), made->publicKey());
}

TEST(CommandKey, SignaturesVerifyUnderTheRightKeyOnly) {
  auto key = CommandKey::generate();
  auto other = CommandKey::generate();
  ASSERT_TRUE(key && other);
  for (const std::string message : {std::string(), std::string("x"), std::string(5000, '\xFE')}) {
    auto sig = key->sign(message);
    ASSERT_TRUE(sig);
    ASSERT_EQ(sig->size(), platform::kCommandSignatureSize);
    EXPECT_TRUE(platform::verifyCommandSignature(key->publicKey(), message, *sig));
    EXPECT_FALSE(platform::verifyCommandSignature(other->publicKey(), message, *sig));
    EXPECT_FALSE(platform::verifyCommandSignature(key->publicKey(), message + "!", *sig));
  }
}

TEST(CommandKey, RefusesFilesThatAreNotAKey) {
  TempFolder dir;
  struct Row {
    const char* name;
    std::string content;
  };
  const Row rows[] = {
      {"empty file", ""},
      {"text", "CommandPublicKey:abc\n"},
      {"a PEM of something else", "-----BEGIN CERTIFICATE-----\nAAAA\n-----END CERTIFICATE-----\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    const fs::path p = dir.path / "k.pem";
    std::ofstream(p) << r.content;
    EXPECT_FALSE(CommandKey::load(p.string()));
  }
  EXPECT_FALSE(CommandKey::load((dir.path / "missing.pem").string()));
  EXPECT_FALSE(CommandKey::create((dir.path / "no-such-folder" / "k.pem").string()));
}

}  // namespace
}  // namespace quorvane
