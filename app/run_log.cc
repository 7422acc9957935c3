#include "app/run_log.h"

#include <stdio.h>
#include <wchar.h>

#include "platform/platform.h"

RunLog::~RunLog() { CloseRunLog(*this); }

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
