// The store's text rules: EUI-64 forms and passwords kept out of
// messages.
#include <gtest/gtest.h>

#include <cctype>

#include "vxrom/db.h"
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

}  // namespace
