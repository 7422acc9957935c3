// The console: the program's text on its standard streams, its arguments,
// and the stand-in library's diagnostics, whatever mode the C streams are
// in.
#ifndef VXSROM_PLATFORM_CONSOLE_H_
#define VXSROM_PLATFORM_CONSOLE_H_

#include <stdio.h>

#include <string>
#include <vector>

namespace platform {

/// True where an absolute path begins with "/", so that a word in path
/// position may look like an option.
extern const bool kSlashStartsPaths;

/// Sets the locale and console mode so wide output prints any character.
void InitConsole();

/// True when stream is a terminal (a console on Windows).
bool IsTerminal(FILE* stream);

/// Writes text to a console stream (stdout or stderr) in its encoding.
void WriteConsoleText(FILE* stream, const std::wstring& text);

#ifndef _WIN32
/// Decodes argv with the locale.  @return -1, or the index of the first
/// argument that is not valid text in it.
int DecodeArguments(int argc, char** argv, std::vector<std::wstring>* args);
#endif

/// True when the program has a console window of its own that closes
/// when it ends (Windows, started from Explorer by a double-click), with
/// the keyboard and the screen as its standard streams.
bool OwnsItsConsoleAlone();

/// Waits for a key on the console.
void WaitForKey();

/// What to write to standard output for a CRLF line end (CSV's): on
/// Windows the stream's text mode adds the CR itself.
extern const char kCrLf[];

/// Makes the terminal behind stream take cursor and colour sequences.
/// @return false when it cannot.
bool EnableTerminalSequences(FILE* stream);

/// Reads one line that an operator (or a barcode scanner) types, without
/// its line end.  @return false at the end of input.
bool ReadTerminalLine(std::string* line);

/// Writes one line (UTF-8, without its line end) to standard error so that
/// it reads correctly whatever mode the program set on its C streams: the
/// library shares the program's C runtime, and a program that made stderr a
/// wide or UTF-8 text stream would turn narrow text into garbage.
void PrintDiagnostic(const std::string& utf8_line);

}  // namespace platform

#endif  // VXSROM_PLATFORM_CONSOLE_H_
