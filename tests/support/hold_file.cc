// hold_file PATH: opens PATH as the run log opens it (append, exclusive),
// creates PATH.held, then keeps it open until PATH.release exists (at most
// 60 s).  Lets a test hold a log file from another process.
#include <stdio.h>

#include <string>

#include "platform/files.h"
#include "platform/program.h"

namespace {
bool Exists(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f) fclose(f);
  return f != nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  std::string path = argv[1];
  int error = 0;
  FILE* log = platform::OpenExclusiveAppend(
      std::wstring(path.begin(), path.end()), &error);
  if (!log) return 1;
  FILE* held = fopen((path + ".held").c_str(), "wb");
  if (held) fclose(held);
  for (int i = 0; i < 600 && !Exists(path + ".release"); ++i)
    platform::SleepMilliseconds(100);
  fclose(log);
  return 0;
}
