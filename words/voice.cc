#include "words/voice.h"

#include <wchar.h>

#include <vector>

#include "platform/console.h"

std::wstring FormatText(const wchar_t* format, va_list args) {
  std::vector<wchar_t> buffer(512);
  for (;;) {
    va_list copy;
    va_copy(copy, args);
    int n = vswprintf(buffer.data(), buffer.size(), format, copy);
    va_end(copy);
    if (n >= 0 && static_cast<size_t>(n) < buffer.size())
      return std::wstring(buffer.data(), static_cast<size_t>(n));
    // vswprintf reports truncation only as failure: grow until it fits.
    if (buffer.size() >= (1u << 22)) return std::wstring();
    buffer.resize(buffer.size() * 4);
  }
}

void Console::Print(const wchar_t* format, ...) const {
  if (!messages_) return;
  va_list args;
  va_start(args, format);
  platform::WriteConsoleText(messages_, FormatText(format, args));
  va_end(args);
}

void Console::Reason(const wchar_t* format, ...) const {
  va_list args;
  va_start(args, format);
  const std::wstring text = FormatText(format, args);
  va_end(args);
  if (first_reason_ && first_reason_->empty()) *first_reason_ = text;
  platform::WriteConsoleText(stderr, tool_name_ + L": " + text + L"\n");
}

void Console::Flush() const {
  if (messages_) fflush(messages_);
}

const Console& VxsromConsole() {
  static const Console console(stdout, L"vxsrom");
  return console;
}
