// CommandSignature on Windows: CNG (bcrypt).
#include "platform/CommandSignature.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace quorvane::platform {

namespace {

bool ok(NTSTATUS status) { return status >= 0; }

struct AlgHandle {
  BCRYPT_ALG_HANDLE h = nullptr;
  ~AlgHandle() {
    if (h) BCryptCloseAlgorithmProvider(h, 0);
  }
};
struct KeyHandle {
  BCRYPT_KEY_HANDLE h = nullptr;
  ~KeyHandle() {
    if (h) BCryptDestroyKey(h);
  }
};

bool sha256(std::string_view message, unsigned char (&digest)[32]) {
  AlgHandle alg;
  if (!ok(BCryptOpenAlgorithmProvider(&alg.h, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) return false;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!ok(BCryptCreateHash(alg.h, &hash, nullptr, 0, nullptr, 0, 0))) return false;
  const bool done =
      ok(BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(message.data())),
                        static_cast<ULONG>(message.size()), 0)) &&
      ok(BCryptFinishHash(hash, digest, sizeof digest, 0));
  BCryptDestroyHash(hash);
  return done;
}

}  // namespace

bool verifyCommandSignature(std::string_view publicKey, std::string_view message, std::string_view signature) {
  if (signature.size() != kCommandSignatureSize || publicKey.size() != kCommandPublicKeySize ||
      static_cast<unsigned char>(publicKey[0]) != 0x04) {
    return false;
  }
  // BCRYPT_ECCKEY_BLOB header, then X and Y.
  std::vector<unsigned char> blob(sizeof(BCRYPT_ECCKEY_BLOB) + 64);
  BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, 32};
  std::memcpy(blob.data(), &header, sizeof header);
  std::memcpy(blob.data() + sizeof header, publicKey.data() + 1, 64);

  AlgHandle alg;
  if (!ok(BCryptOpenAlgorithmProvider(&alg.h, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) return false;
  KeyHandle key;
  if (!ok(BCryptImportKeyPair(alg.h, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key.h, blob.data(),
                              static_cast<ULONG>(blob.size()), 0))) {
    return false;
  }
  unsigned char digest[32];
  if (!sha256(message, digest)) return false;
  std::vector<unsigned char> sig(signature.begin(), signature.end());
  return ok(BCryptVerifySignature(key.h, nullptr, digest, sizeof digest, sig.data(),
                                  static_cast<ULONG>(sig.size()), 0));
}

bool fillRandom(std::span<unsigned char> out) {
  return ok(BCryptGenRandom(nullptr, out.data(), static_cast<ULONG>(out.size()), BCRYPT_USE_SYSTEM_PREFERRED_RNG));
}

}  // namespace quorvane::platform
