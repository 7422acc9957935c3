#include <io.h>
#include <stdlib.h>
#include <windows.h>

#include <iostream>

#include "platform/text.h"
#include "vxrom/host.h"

// Standard output is in text mode: its LF becomes CRLF.
const char kCsvLineEnd[] = "\n";

std::optional<std::string> EnvironmentVariable(const char* name) {
  const std::wstring wide(name, name + strlen(name));
  const wchar_t* value = _wgetenv(wide.c_str());
  if (!value || !*value) return std::nullopt;
  return platform::Utf8FromWide(value);
}

std::string DefaultDatabasePath() {
  return EnvironmentVariable("LOCALAPPDATA").value_or(".") + "\\vxrom\\vxrom.db";
}

bool EnableTerminalSequences(FILE* stream) {
  HANDLE console = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  DWORD mode = 0;
  if (!GetConsoleMode(console, &mode)) return false;
  return SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

bool ReadTerminalLine(std::string* line) {
  // The console gives UTF-16; a scanner types plain ASCII either way.
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    std::wstring text;
    wchar_t c;
    DWORD n = 0;
    while (ReadConsoleW(input, &c, 1, &n, nullptr) && n == 1 && c != L'\n')
      if (c != L'\r') text += c;
    if (n == 0 && text.empty()) return false;
    *line = platform::Utf8FromWide(text);
    return true;
  }
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}
