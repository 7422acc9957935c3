// libFuzzer target: the command-line parser, under both word rules (a
// word starting with "/" may be a Linux path, or is always an option).
// The first byte picks the rule; the rest are arguments split at NUL
// bytes, each byte one character.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "device/rom_types.h"
#include "vxsrom/command_line.h"

using namespace device;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FILE* quiet = freopen("/dev/null", "w", stdout);
  (void)quiet;
  if (size == 0) return 0;
  const bool slash_starts_paths = (data[0] & 1) != 0;
  std::vector<std::wstring> args(1, L"vxsrom");
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      args.emplace_back();
    } else {
      if (args.size() == 1) args.emplace_back();
      args.back() += static_cast<wchar_t>(data[i]);
    }
  }
  CommandLine options;
  RomTypeTable table;
  ParseCommandLine(args, &options, &table, slash_starts_paths);
  return 0;
}
