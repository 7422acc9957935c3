// SHA-256 from the system's library: the standard's test vectors, whole
// and in parts.
#include "platform/digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(PlatformDigest, Sha256TestVectors) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::Sha256Hex(c.first.data(), c.first.size()), c.second);
}

TEST(PlatformDigest, Sha256InParts) {
  // A million 'a' in parts that straddle the 64-byte blocks.
  const std::string part(1000, 'a');
  platform::Sha256 digest;
  for (int i = 0; i < 1000; ++i) ASSERT_TRUE(digest.Update(part.data(), part.size()));
  EXPECT_EQ(digest.FinishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

}  // namespace
