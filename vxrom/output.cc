#include "vxrom/output.h"

#include <stdio.h>

#include "platform/console.h"
#include "platform/text.h"

const Console& VxromReasons() {
  static const Console console(nullptr, L"vxrom");
  return console;
}

void VxromReason(const std::string& utf8_text) {
  VxromReasons().Reason(L"%ls", platform::WideFromUtf8(utf8_text).c_str());
}

void WriteResult(const std::string& utf8_text) {
  platform::WriteConsoleText(stdout, platform::WideFromUtf8(utf8_text));
  fflush(stdout);
}
