// The run log's record: one line per run, the same for every program that
// keeps the log, so one log can serve a whole station.
#ifndef VXSROM_DEVICE_LOG_RECORD_H_
#define VXSROM_DEVICE_LOG_RECORD_H_

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace device {

/// Builds CommandLineEcho: the arguments separated by blanks, trailing
/// blanks removed, ending in a line feed.  Line feeds and carriage returns
/// inside an argument are written as the two characters \n and \r, so one
/// run stays one line of the log.
std::wstring BuildCommandLineEcho(const std::vector<std::wstring>& args);

/// The record's text: "[BB:DD:FF][Return = N]" for the controller last
/// chosen (or "[--:--:--]" when none was, open_address 0xFFFF), then the
/// echo.
std::wstring FormatLogRecord(const std::wstring& echo, int32_t exit_code,
                             uint16_t open_address);

/// A run log held open, shared with no other writer, for the whole run.
class RunLog {
 public:
  RunLog() = default;
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;
  ~RunLog();

  /// Opens path for appending ("a+"), exclusively.
  /// @return false with the C library's error number.
  bool Open(const std::wstring& path, int* error_number);

  /// True while the log is open.
  bool is_open() const { return stream_ != nullptr; }

  /// Appends the record when the log is open.
  void Append(const std::wstring& record);

 private:
  FILE* stream_ = nullptr;
};

}  // namespace device

#endif  // VXSROM_DEVICE_LOG_RECORD_H_
