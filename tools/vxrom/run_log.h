// The run log of restore: the record format of vxsrom's /log, one line
// per run appended to a text file, so one log can serve both programs.
#ifndef VXROM_RUN_LOG_H_
#define VXROM_RUN_LOG_H_

#include <stdio.h>

#include <string>
#include <vector>

#include "device/controller_library.h"

/// The arguments separated by blanks, ending in a line feed; line feeds
/// and carriage returns inside an argument written as \n and \r, so one
/// run stays one line.
std::wstring CommandLineEcho(const std::vector<std::wstring>& args);

/// "[BB:DD:FF][Return = N]" (or "[--:--:--]..." when no controller was
/// opened) followed by the echo.
std::wstring LogRecord(const std::wstring& echo, int exit_code,
                       PciAddress open_address);

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
