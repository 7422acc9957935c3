// The run log of restore: the record format of vxsrom's /log, one line
// per run appended to a text file, so one log can serve both programs.
#ifndef VXROM_RUN_LOG_H_
#define VXROM_RUN_LOG_H_

#include <stdio.h>

#include <string>
#include <vector>

#include "device/log_record.h"

/// A run log held open, shared with no other writer, for the whole run.
class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog();

  /// Opens path for appending; says on stderr why not.
  bool Open(const std::wstring& path);

  /// Appends the record when the log is open.
  void Append(const std::wstring& record);

 private:
  FILE* stream_ = nullptr;
};

#endif  // VXROM_RUN_LOG_H_
