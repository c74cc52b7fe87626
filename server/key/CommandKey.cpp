#include "server/key/CommandKey.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "common/ErrorReport.h"
#include "common/clsB64.h"

namespace quorvane {

struct CommandKey::Impl {
  EVP_PKEY* key = nullptr;
  ~Impl() { EVP_PKEY_free(key); }
};

namespace {

constexpr char kSource[] = "CommandKey";

Status cryptoError(std::string what) { return Status::Error(kErrBadFileFormat, std::move(what), kSource); }

}  // namespace

Expected<CommandKey> CommandKey::generate() {
  auto impl = std::make_shared<Impl>();
  impl->key = EVP_EC_gen("prime256v1");
  if (!impl->key) return cryptoError("The command key could not be generated");
  return CommandKey(std::move(impl));
}

Expected<CommandKey> CommandKey::create(const std::string& path) {
  auto key = generate();
  if (!key) return key.status();
  // O_EXCL: an existing key is never replaced; 0600: its owner reads it only.
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    const int e = errno;
    return Status::Error(e == EEXIST ? kErrPathAccess : kErrFileNotFound,
                         path + ": " + (e == EEXIST ? "a command key exists already" : std::strerror(e)), kSource);
  }
  std::FILE* f = ::fdopen(fd, "w");
  if (!f) {
    ::close(fd);
    ::unlink(path.c_str());
    return Status::Error(kErrPathAccess, path + ": cannot be written", kSource);
  }
  const bool written = PEM_write_PrivateKey(f, key->impl_->key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    ::unlink(path.c_str());
    return Status::Error(kErrPathAccess, path + ": cannot be written", kSource);
  }
  return key;
}

Expected<CommandKey> CommandKey::load(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "r");
  if (!f) return Status::Error(kErrFileNotFound, path + ": " + std::strerror(errno), kSource);
  auto impl = std::make_shared<Impl>();
  impl->key = PEM_read_PrivateKey(f, nullptr, nullptr, nullptr);
  std::fclose(f);
  if (!impl->key || !EVP_PKEY_is_a(impl->key, "EC")) return cryptoError(path + ": not a command key");
  char group[32] = {};
  std::size_t n = 0;
  if (EVP_PKEY_get_utf8_string_param(impl->key, OSSL_PKEY_PARAM_GROUP_NAME, group, sizeof group, &n) != 1 ||
      std::string_view(group, n) != "prime256v1") {
    return cryptoError(path + ": not a P-256 key");
  }
  return CommandKey(std::move(impl));
}

std::string CommandKey::publicKey() const {
  unsigned char point[65];
  std::size_t n = 0;
  if (EVP_PKEY_get_octet_string_param(impl_->key, OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point, &n) != 1) {
    return {};
  }
  return std::string(reinterpret_cast<char*>(point), n);
}

std::string CommandKey::publicKeyLine() const {
  return std::string(kCommandPublicKeySetting) + ":" + clsB64().EncodeString(publicKey());
}

Expected<std::string> CommandKey::sign(std::string_view message) const {
  EVP_MD_CTX* md = EVP_MD_CTX_new();
  if (!md) return cryptoError("out of memory");
  std::string der(static_cast<std::size_t>(EVP_PKEY_get_size(impl_->key)), '\0');
  std::size_t derSize = der.size();
  const bool ok = EVP_DigestSignInit(md, nullptr, EVP_sha256(), nullptr, impl_->key) == 1 &&
                  EVP_DigestSign(md, reinterpret_cast<unsigned char*>(der.data()), &derSize,
                                 reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
  EVP_MD_CTX_free(md);
  if (!ok) return cryptoError("the command could not be signed");
  const auto* p = reinterpret_cast<const unsigned char*>(der.data());
  ECDSA_SIG* sig = d2i_ECDSA_SIG(nullptr, &p, static_cast<long>(derSize));
  if (!sig) return cryptoError("the command could not be signed");
  std::string rs(64, '\0');
  auto* out = reinterpret_cast<unsigned char*>(rs.data());
  const bool fits = BN_bn2binpad(ECDSA_SIG_get0_r(sig), out, 32) == 32 &&
                    BN_bn2binpad(ECDSA_SIG_get0_s(sig), out + 32, 32) == 32;
  ECDSA_SIG_free(sig);
  if (!fits) return cryptoError("the command could not be signed");
  return rs;
}

}  // namespace quorvane
