#include "app/run_log.h"

#include <stdio.h>
#include <wchar.h>

#include "platform/platform.h"

RunLog::~RunLog() { CloseRunLog(*this); }

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

bool OpenRunLog(RunLog& log, const std::wstring& log_path) {
  if (log.stream) {
    platform::Print(L"Other log file already opened!\n");
    return false;
  }
  int error = 0;
  log.stream = platform::OpenExclusiveAppend(log_path, &error);
  if (!log.stream) {
    platform::Print(L"Log file open error: %ls(a+) (%d)\n", log_path.c_str(),
                    error);
    return false;
  }
  return true;
}

std::wstring FormatLogRecord(const std::wstring& echo, int32_t exit_code,
                             uint16_t open_address) {
  wchar_t prefix[64];
  if (open_address != 0xFFFF) {
    swprintf(prefix, 64, L"[%02X:%02X:%02X][Return = %d]",
             open_address >> 8, (open_address >> 3) & 0x1F, open_address & 7,
             static_cast<int>(exit_code));
  } else {
    swprintf(prefix, 64, L"[--:--:--][Return = %d]",
             static_cast<int>(exit_code));
  }
  return prefix + echo;
}

void WriteLogRecord(RunLog& log, const std::wstring& echo, int32_t exit_code,
                    uint16_t open_address) {
  if (!log.stream) return;
  platform::WriteLogText(log.stream,
                         FormatLogRecord(echo, exit_code, open_address));
}

void CloseRunLog(RunLog& log) {
  if (log.stream) fclose(log.stream);
  log.stream = nullptr;
}
