// The run log: one line per run appended to a text file.
#ifndef VXSROM_APP_RUN_LOG_H_
#define VXSROM_APP_RUN_LOG_H_

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "device/log_record.h"

/// The log stream of one run; absent until opened.
struct RunLog {
  FILE* stream = nullptr;
  ~RunLog();
};

/// Opens log_path for appending with exclusive access; prints why not.
/// @return true when the log is open.
bool OpenRunLog(RunLog& log, const std::wstring& log_path);

/// Appends the record to an open log; does nothing when none is open.
void WriteLogRecord(RunLog& log, const std::wstring& echo, int32_t exit_code,
                    uint16_t open_address);

/// Closes the log stream.
void CloseRunLog(RunLog& log);

#endif  // VXSROM_APP_RUN_LOG_H_
