#include "vxrom/output.h"

#include <stdio.h>

#include "platform/console.h"
#include "platform/text.h"

const Console& VxromReasons() {
  static const Console console(nullptr, L"vxrom");
  return console;
}

void WriteResult(const std::string& utf8_text) {
  platform::WriteConsoleText(stdout, platform::WideFromUtf8(utf8_text));
  fflush(stdout);
}
