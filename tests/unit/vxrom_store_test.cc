// The store's text rules: EUI-64 forms, passwords kept out of messages,
// and the digest history records of every image.
#include <gtest/gtest.h>

#include <cctype>

#include "vxrom/db.h"
#include "vxrom/sha256.h"
#include "vxrom/store.h"

namespace {

TEST(VxromStore, Eui64Forms) {
  struct Case {
    const char* text;
    bool valid;
    uint64_t value;
  };
  const Case cases[] = {
      {"02-56-58-FF-FE-00-00-01", true, 0x025658FFFE000001ull},
      {"fe-ff-ff-ff-ff-ff-ff-ff", true, 0xFEFFFFFFFFFFFFFFull},
      {"02-56-58-FF-FE-00-00", false, 0},
      {"02:56:58:FF:FE:00:00:01", false, 0},
      {"02-56-58-FF-FE-00-00-0G", false, 0},
      {"02-56-58-FF-FE-00-00-011", false, 0},
      {" 02-56-58-FF-FE-00-00-01", false, 0},
  };
  for (const Case& c : cases) {
    uint64_t value = 0;
    EXPECT_EQ(ParseEui64(c.text, &value), c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(value, c.value) << c.text;
      std::string upper = c.text;
      for (char& ch : upper) ch = static_cast<char>(toupper(ch));
      EXPECT_EQ(FormatEui64Value(value), upper);
    }
  }
}

TEST(VxromStore, PasswordsMasked) {
  const std::pair<const char*, const char*> cases[] = {
      {"odbc:DSN=line;UID=a;PWD=secret", "odbc:DSN=line;UID=a;PWD=***"},
      {"odbc:DSN=line;pwd=secret;UID=a", "odbc:DSN=line;pwd=***;UID=a"},
      {"Driver={x};Password={se;cret};Port=1", "Driver={x};Password=***;Port=1"},
      {"sqlite:/var/lib/vxrom.db", "sqlite:/var/lib/vxrom.db"},
  };
  for (const auto& c : cases) EXPECT_EQ(MaskCredentials(c.first), c.second);
}

TEST(VxromStore, Sha256) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Sha256Hex(reinterpret_cast<const uint8_t*>(c.first.data()), c.first.size()), c.second);
}

}  // namespace
