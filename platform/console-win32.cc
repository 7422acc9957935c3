// Windows console: wide characters to a console, UTF-8 to pipes and files.
#include <conio.h>
#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include <string>

#include "platform/console.h"
#include "platform/text.h"

namespace platform {

const bool kSlashStartsPaths = false;

void InitConsole() {
  // UTF-8 to pipes and files, wide characters to a console: every
  // character of an argument or path prints as it is.
  _setmode(_fileno(stdout), _O_U8TEXT);
  _setmode(_fileno(stderr), _O_U8TEXT);
}

bool IsTerminal(FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void WriteConsoleText(FILE* stream, const std::wstring& text) {
  fputws(text.c_str(), stream);
}

void PrintDiagnostic(const std::string& utf8_line) {
  // Straight to the handle: the program may have put the shared C runtime's
  // stderr in a wide or UTF-8 text mode, where narrow text comes out as
  // garbage.  A console takes UTF-16 whatever its code page; files and
  // pipes get UTF-8 with the Windows line end.
  HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
  fflush(stderr);
  std::string text = utf8_line + "\r\n";
  DWORD mode = 0;
  DWORD written = 0;
  if (GetConsoleMode(handle, &mode)) {
    std::wstring wide = WideFromUtf8(text);
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  size_t done = 0;
  while (done < text.size()) {
    if (!WriteFile(handle, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

bool OwnsItsConsoleAlone() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) != 1) return false;
  for (DWORD which : {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE}) {
    if (GetFileType(GetStdHandle(which)) != FILE_TYPE_CHAR) return false;
  }
  return true;
}

void WaitForKey() { _getwch(); }

// Standard output is in text mode: its LF becomes CRLF.
const char kCrLf[] = "\n";

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
    *line = Utf8FromWide(text);
    return true;
  }
  // With the C library: iostreams would link their locales into vxsrom.
  line->clear();
  int c;
  while ((c = getc(stdin)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (c == EOF && line->empty()) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace platform
