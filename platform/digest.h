// Digests of data (SHA-256), by the system's own cryptographic library:
// libcrypto on Linux, CNG on Windows.  A library of its own: vxsrom does
// not link it.
#ifndef VXSROM_PLATFORM_DIGEST_H_
#define VXSROM_PLATFORM_DIGEST_H_

#include <stddef.h>

#include <memory>
#include <string>

namespace platform {

/// A SHA-256 digest of data given in parts.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  /// Adds size bytes at data.  @return false when the system's library
  /// failed; the digest is then lost.
  bool Update(const void* data, size_t size);

  /// The digest of everything added, as 64 lower-case hexadecimal digits;
  /// empty when the system's library failed.  Ends the digest.
  std::string FinishHex();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// The SHA-256 digest of size bytes at data, as 64 lower-case
/// hexadecimal digits; empty when the system's library failed.
std::string Sha256Hex(const void* data, size_t size);

}  // namespace platform

#endif  // VXSROM_PLATFORM_DIGEST_H_
