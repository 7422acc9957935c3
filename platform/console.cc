// Formatted console output shared by both platforms: the text is formatted
// wide, then each platform writes it in its console's encoding.
#include <stdarg.h>
#include <stdio.h>
#include <wchar.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <vector>

#include "platform/platform.h"

namespace {

std::wstring Format(const wchar_t* format, va_list args) {
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

/// Where Print sends the program's messages: standard output unless a
/// program that keeps standard output for results of its own sends them
/// elsewhere; null sends them nowhere.
FILE* g_message_stream = stdout;

}  // namespace

namespace platform {

void SetMessageStream(FILE* stream) { g_message_stream = stream; }

bool IsTerminal(FILE* stream) {
#ifdef _WIN32
  return _isatty(_fileno(stream)) != 0;
#else
  return isatty(fileno(stream)) != 0;
#endif
}

void Print(const wchar_t* format, ...) {
  if (!g_message_stream) return;
  va_list args;
  va_start(args, format);
  WriteConsoleText(g_message_stream, Format(format, args));
  va_end(args);
}

void PrintError(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  WriteConsoleText(stderr, Format(format, args));
  va_end(args);
}

namespace {
const wchar_t* g_tool_name = L"vxsrom";
}  // namespace

void SetToolName(const wchar_t* name) { g_tool_name = name; }

void PrintReason(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring line = g_tool_name;
  line += L": ";
  line += Format(format, args);
  line += L'\n';
  va_end(args);
  WriteConsoleText(stderr, line);
}

void Flush() {
  if (g_message_stream) fflush(g_message_stream);
}

}  // namespace platform
