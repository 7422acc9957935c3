// A program's two voices on the console: its messages (standard output
// for vxsrom, as the scripts that read it expect) and its reasons, one
// line each on standard error, starting with the program's name.
#ifndef VXSROM_WORDS_VOICE_H_
#define VXSROM_WORDS_VOICE_H_

#include <stdarg.h>
#include <stdio.h>

#include <string>

/// wprintf-style formatting into a string.
std::wstring FormatText(const wchar_t* format, va_list args);

/// Where one program's messages and reasons go.
class Console {
 public:
  /// @param messages the messages' stream; null discards them.
  /// @param tool_name what starts every reason line.
  /// @param first_reason when given, keeps the first reason's text (a
  ///        worker records why its board failed).
  Console(FILE* messages, std::wstring tool_name, std::wstring* first_reason = nullptr)
      : messages_(messages), tool_name_(std::move(tool_name)), first_reason_(first_reason) {}

  /// A formatted message.
  void Print(const wchar_t* format, ...) const;
  /// "name: " + formatted text + "\n" on standard error.
  void Reason(const wchar_t* format, ...) const;
  /// Flushes the messages, so progress shows live in a pipe too.
  void Flush() const;
  /// The name reasons start with.
  const std::wstring& tool_name() const { return tool_name_; }

 private:
  FILE* messages_;
  std::wstring tool_name_;
  std::wstring* first_reason_;
};

/// vxsrom's console: messages on standard output.
const Console& VxsromConsole();

#endif  // VXSROM_WORDS_VOICE_H_
