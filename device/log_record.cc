#include "device/log_record.h"

#include <wchar.h>

#include "device/controller_library.h"
#include "platform/files.h"

namespace device {

std::wstring BuildCommandLineEcho(const std::vector<std::wstring>& args) {
  std::wstring echo;
  for (const std::wstring& arg : args) {
    for (wchar_t c : arg) {
      if (c == L'\n') {
        echo += L"\\n";
      } else if (c == L'\r') {
        echo += L"\\r";
      } else {
        echo += c;
      }
    }
    echo += L' ';
  }
  while (!echo.empty() && echo.back() == L' ') echo.pop_back();
  echo += L'\n';
  return echo;
}

std::wstring FormatLogRecord(const std::wstring& echo, int32_t exit_code,
                             uint16_t open_address) {
  wchar_t prefix[64];
  if (open_address != 0xFFFF) {
    swprintf(prefix, 64, L"[%02X:%02X:%02X][Return = %d]",
             PciBus(open_address), PciDevice(open_address),
             PciFunction(open_address), static_cast<int>(exit_code));
  } else {
    swprintf(prefix, 64, L"[--:--:--][Return = %d]",
             static_cast<int>(exit_code));
  }
  return prefix + echo;
}

RunLog::~RunLog() {
  if (stream_) fclose(stream_);
}

bool RunLog::Open(const std::wstring& path, int* error_number) {
  stream_ = platform::OpenExclusiveAppend(path, error_number);
  return stream_ != nullptr;
}

void RunLog::Append(const std::wstring& record) {
  if (stream_) platform::WriteLogText(stream_, record);
}

}  // namespace device
