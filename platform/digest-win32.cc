// SHA-256 through CNG (bcrypt.dll), part of every Windows since Vista.
#include <windows.h>
// After windows.h, which defines what it needs.
#include <bcrypt.h>

#include "platform/digest.h"
#include "platform/internal.h"

namespace platform {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  bool failed = false;
  ~State() {
    if (hash) BCryptDestroyHash(hash);
    if (algorithm) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(new State) {
  // A status of 0 or more is success.
  state_->failed =
      BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0 ||
      BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0;
}

Sha256::~Sha256() = default;

bool Sha256::Update(const void* data, size_t size) {
  // CNG takes at most 4 GiB a call.
  const unsigned char* at = static_cast<const unsigned char*>(data);
  while (!state_->failed && size > 0) {
    const ULONG part = size > 0x80000000u ? 0x80000000u : static_cast<ULONG>(size);
    state_->failed = BCryptHashData(state_->hash, const_cast<PUCHAR>(at), part, 0) < 0;
    at += part;
    size -= part;
  }
  return !state_->failed;
}

std::string Sha256::FinishHex() {
  unsigned char bytes[32];
  if (state_->failed || BCryptFinishHash(state_->hash, bytes, sizeof bytes, 0) < 0) {
    state_->failed = true;
    return std::string();
  }
  state_->failed = true;  // Finished: nothing more is added.
  return HexDigits(bytes, sizeof bytes);
}

}  // namespace platform
