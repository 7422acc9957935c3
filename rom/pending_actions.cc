// Actions whose modules are not in this build yet.
#include "platform/platform.h"
#include "rom/actions.h"

namespace {
int NotYet(const wchar_t* action) {
  platform::PrintError(L"vxsrom: %ls is not available in this build\n", action);
  return -1;
}
}  // namespace

int EraseSrom(Context&, uint32_t) { return NotYet(L"/erase"); }
int VerifySrom(Context&, const uint8_t*, uint32_t) { return NotYet(L"verification"); }
int WriteAction(Context&) { return NotYet(L"/write"); }
int DumpAction(Context&) { return NotYet(L"/dump"); }
int VerifyAction(Context&) { return NotYet(L"/verify"); }
int ImageGenAction(Context&) { return NotYet(L"/imagegen"); }
int WriteAllAction(Context&) { return NotYet(L"/writeall"); }
