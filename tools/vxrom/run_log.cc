#include "vxrom/run_log.h"

#include <wchar.h>

#include "platform/platform.h"

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
