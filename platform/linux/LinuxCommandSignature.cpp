// CommandSignature on Linux: OpenSSL's libcrypto.
#include "platform/CommandSignature.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/params.h>
#include <openssl/rand.h>

#include <memory>
#include <string>

namespace quorvane::platform {

namespace {

template <class T, void (*Free)(T*)>
struct Freer {
  void operator()(T* p) const { Free(p); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using PkeyCtxPtr = std::unique_ptr<EVP_PKEY_CTX, Freer<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;
using SigPtr = std::unique_ptr<ECDSA_SIG, Freer<ECDSA_SIG, ECDSA_SIG_free>>;

PkeyPtr publicKeyFromPoint(std::string_view point) {
  if (point.size() != kCommandPublicKeySize || static_cast<unsigned char>(point[0]) != 0x04) return nullptr;
  PkeyCtxPtr ctx(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
  if (!ctx || EVP_PKEY_fromdata_init(ctx.get()) <= 0) return nullptr;
  std::string group = "prime256v1";
  std::string octets(point);
  OSSL_PARAM params[] = {
      OSSL_PARAM_construct_utf8_string(OSSL_PKEY_PARAM_GROUP_NAME, group.data(), 0),
      OSSL_PARAM_construct_octet_string(OSSL_PKEY_PARAM_PUB_KEY, octets.data(), octets.size()),
      OSSL_PARAM_construct_end()};
  EVP_PKEY* raw = nullptr;
  if (EVP_PKEY_fromdata(ctx.get(), &raw, EVP_PKEY_PUBLIC_KEY, params) <= 0) return nullptr;
  PkeyPtr key(raw);
  // The point must lie on the curve.
  PkeyCtxPtr check(EVP_PKEY_CTX_new_from_pkey(nullptr, key.get(), nullptr));
  if (!check || EVP_PKEY_public_check(check.get()) != 1) return nullptr;
  return key;
}

// r || s as the DER form libcrypto verifies.
std::string derSignature(std::string_view rs) {
  SigPtr sig(ECDSA_SIG_new());
  if (!sig) return {};
  const auto* bytes = reinterpret_cast<const unsigned char*>(rs.data());
  BIGNUM* r = BN_bin2bn(bytes, 32, nullptr);
  BIGNUM* s = BN_bin2bn(bytes + 32, 32, nullptr);
  if (!r || !s || ECDSA_SIG_set0(sig.get(), r, s) != 1) {
    BN_free(r);
    BN_free(s);
    return {};
  }
  unsigned char* der = nullptr;
  const int n = i2d_ECDSA_SIG(sig.get(), &der);
  if (n <= 0) return {};
  std::string out(reinterpret_cast<char*>(der), static_cast<std::size_t>(n));
  OPENSSL_free(der);
  return out;
}

}  // namespace

bool verifyCommandSignature(std::string_view publicKey, std::string_view message, std::string_view signature) {
  if (signature.size() != kCommandSignatureSize) return false;
  PkeyPtr key = publicKeyFromPoint(publicKey);
  if (!key) return false;
  const std::string der = derSignature(signature);
  if (der.empty()) return false;
  MdCtxPtr md(EVP_MD_CTX_new());
  if (!md || EVP_DigestVerifyInit(md.get(), nullptr, EVP_sha256(), nullptr, key.get()) != 1) return false;
  return EVP_DigestVerify(md.get(), reinterpret_cast<const unsigned char*>(der.data()), der.size(),
                          reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
}

bool fillRandom(std::span<unsigned char> out) {
  return RAND_bytes(out.data(), static_cast<int>(out.size())) == 1;
}

}  // namespace quorvane::platform
