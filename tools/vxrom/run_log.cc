#include "vxrom/run_log.h"

#include <wchar.h>

#include "platform/platform.h"

std::wstring CommandLineEcho(const std::vector<std::wstring>& args) {
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
  return echo + L'\n';
}

std::wstring LogRecord(const std::wstring& echo, int exit_code,
                       PciAddress open_address) {
  wchar_t prefix[64];
  if (open_address != 0xFFFF) {
    swprintf(prefix, 64, L"[%02X:%02X:%02X][Return = %d]", open_address >> 8,
             (open_address >> 3) & 0x1F, open_address & 7, exit_code);
  } else {
    swprintf(prefix, 64, L"[--:--:--][Return = %d]", exit_code);
  }
  return prefix + echo;
}

RunLog::~RunLog() {
  if (stream_) fclose(stream_);
}

bool RunLog::Open(const std::wstring& path) {
  int error_number = 0;
  stream_ = platform::OpenExclusiveAppend(path, &error_number);
  if (!stream_) {
    // As vxsrom does, the run goes on without its record.
    platform::PrintReason(L"cannot open the run log \"%ls\": %ls",
                          path.c_str(),
                          platform::ErrorNumberText(error_number).c_str());
    return false;
  }
  return true;
}

void RunLog::Append(const std::wstring& record) {
  if (stream_) platform::WriteLogText(stream_, record);
}
