// POSIX console: text in the locale's encoding.
#include <errno.h>
#include <locale.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/internal.h"

namespace platform {

const bool kSlashStartsPaths = true;

void InitConsole() {
  // Only the character set matters to the program's text.
  const char* ctype = setlocale(LC_CTYPE, "");
  if (!ctype || !strcmp(ctype, "C") || !strcmp(ctype, "POSIX")) {
    // The C locale knows only ASCII; prefer its UTF-8 form when present.
    setlocale(LC_CTYPE, "C.UTF-8");
  }
}

bool IsTerminal(FILE* stream) { return isatty(fileno(stream)) != 0; }

void WriteConsoleText(FILE* stream, const std::wstring& text) {
  std::string bytes = NativeFromWide(text);
  fwrite(bytes.data(), 1, bytes.size(), stream);
}

int DecodeArguments(int argc, char** argv, std::vector<std::wstring>* args) {
  args->clear();
  for (int i = 0; i < argc; ++i) {
    std::wstring arg;
    if (!WideFromLocale(argv[i], &arg)) return i;
    args->push_back(arg);
  }
  return -1;
}

void PrintDiagnostic(const std::string& utf8_line) {
  // Past the C stream: a stream the program made wide-oriented would refuse
  // narrow output.  Whatever the stream still buffers goes out first.
  fflush(stderr);
  std::string text = utf8_line + "\n";
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

// A terminal outlives the program: nothing closes with it.
bool OwnsItsConsoleAlone() { return false; }

void WaitForKey() {}

const char kCrLf[] = "\r\n";

bool EnableTerminalSequences(FILE*) { return true; }

bool ReadTerminalLine(std::string* line) {
  // With the C library: iostreams would link their locales into vxsrom
  // and cost it start-up time and memory.
  line->clear();
  int c;
  while ((c = getc(stdin)) != EOF && c != '\n') line->push_back(static_cast<char>(c));
  if (c == EOF && line->empty()) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace platform
