#include <stdlib.h>

#include <iostream>

#include "vxrom/host.h"

const char kCsvLineEnd[] = "\r\n";

std::optional<std::string> EnvironmentVariable(const char* name) {
  const char* value = getenv(name);
  if (!value || !*value) return std::nullopt;
  return std::string(value);
}

std::string DefaultDatabasePath() {
  if (auto state = EnvironmentVariable("XDG_STATE_HOME"))
    return *state + "/vxrom/vxrom.db";
  return EnvironmentVariable("HOME").value_or(".") + "/.local/state/vxrom/vxrom.db";
}

bool EnableTerminalSequences(FILE*) { return true; }

bool ReadTerminalLine(std::string* line) {
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}
