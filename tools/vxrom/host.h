// What vxrom asks of the machine beyond the platform layer: its
// environment, where its state lives, the terminal an operator sits at.
#ifndef VXROM_HOST_H_
#define VXROM_HOST_H_

#include <stdio.h>

#include <optional>
#include <string>

/// CSV's line end (CRLF, RFC 4180) as written to standard output, whose
/// text mode may add the CR itself.
extern const char kCsvLineEnd[];

/// The environment variable name, in UTF-8; nothing when unset or empty.
std::optional<std::string> EnvironmentVariable(const char* name);

/// The state folder's database file: $XDG_STATE_HOME/vxrom/vxrom.db,
/// ~/.local/state/vxrom/vxrom.db, %LOCALAPPDATA%\vxrom\vxrom.db.
std::string DefaultDatabasePath();

/// Makes the terminal behind stream take cursor and colour sequences.
/// @return false when it cannot.
bool EnableTerminalSequences(FILE* stream);

/// Reads one line that an operator (or a barcode scanner) types, without
/// its line end.  @return false at the end of input.
bool ReadTerminalLine(std::string* line);

#endif  // VXROM_HOST_H_
