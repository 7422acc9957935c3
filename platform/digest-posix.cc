// SHA-256 through libcrypto's EVP interface.
#include <openssl/evp.h>

#include "platform/digest.h"
#include "platform/internal.h"

namespace platform {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
  bool failed = false;
  ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(new State) {
  state_->context = EVP_MD_CTX_new();
  state_->failed = !state_->context ||
                   EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr) != 1;
}

Sha256::~Sha256() = default;

bool Sha256::Update(const void* data, size_t size) {
  if (!state_->failed && EVP_DigestUpdate(state_->context, data, size) != 1) state_->failed = true;
  return !state_->failed;
}

std::string Sha256::FinishHex() {
  unsigned char bytes[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (state_->failed || EVP_DigestFinal_ex(state_->context, bytes, &size) != 1) {
    state_->failed = true;
    return std::string();
  }
  state_->failed = true;  // Finished: nothing more is added.
  return HexDigits(bytes, size);
}

}  // namespace platform
