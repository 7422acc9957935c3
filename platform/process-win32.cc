// Windows child processes: CreateProcessW with one anonymous pipe for both
// outputs, polled with PeekNamedPipe (anonymous pipes have no overlapped
// reads).
#include <windows.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

namespace platform {

namespace {

HANDLE AsHandle(intptr_t value) { return reinterpret_cast<HANDLE>(value); }

std::wstring SystemText(const wchar_t* what) {
  return std::wstring(what) + L": error " + std::to_wstring(GetLastError());
}

/// One argument quoted as CommandLineToArgvW reads it back.
std::wstring Quoted(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos)
    return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    if (c == L'"')
      out.append(backslashes * 2 + 1, L'\\');
    else
      out.append(backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

}  // namespace

bool SpawnChild(const std::wstring& program,
                const std::vector<std::wstring>& args, ChildProcess* child,
                std::wstring* reason) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) {
    *reason = SystemText(L"CreatePipe");
    return false;
  }
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ, &inherit,
                               OPEN_EXISTING, 0, nullptr);
  std::wstring line;
  for (const std::wstring& arg : args) line += (line.empty() ? L"" : L" ") + Quoted(arg);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  PROCESS_INFORMATION info = {};
  BOOL started = CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE,
                                0, nullptr, nullptr, &startup, &info);
  if (!started) *reason = SystemText(program.c_str());
  CloseHandle(write_end);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!started) {
    CloseHandle(read_end);
    return false;
  }
  CloseHandle(info.hThread);
  child->handle = reinterpret_cast<intptr_t>(info.hProcess);
  child->pipe = reinterpret_cast<intptr_t>(read_end);
  child->id = info.dwProcessId;
  return true;
}

ChildOutput ReadChild(ChildProcess* child, std::string* text) {
  if (child->pipe == -1) return ChildOutput::kEnd;
  HANDLE pipe = AsHandle(child->pipe);
  bool got = false;
  for (;;) {
    DWORD available = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) break;
    if (available == 0) return got ? ChildOutput::kData : ChildOutput::kNothing;
    char buffer[4096];
    DWORD n = 0;
    if (!ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &n, nullptr) || n == 0) break;
    text->append(buffer, n);
    got = true;
  }
  CloseHandle(pipe);
  child->pipe = -1;
  return ChildOutput::kEnd;
}

void WaitForChildren(const std::vector<ChildProcess*>&, uint32_t milliseconds) {
  // An anonymous pipe cannot be waited on: a short sleep stands in.
  Sleep(milliseconds < 50 ? milliseconds : 50);
}

int ReapChild(ChildProcess* child, bool* signalled) {
  if (child->pipe != -1) CloseHandle(AsHandle(child->pipe));
  child->pipe = -1;
  HANDLE process = AsHandle(child->handle);
  WaitForSingleObject(process, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process, &code);
  CloseHandle(process);
  child->handle = -1;
  // Ended from outside (TerminateProcess, Ctrl-C): no code of the program.
  *signalled = code == 0xC000013AUL;
  return static_cast<int>(static_cast<int32_t>(code));
}

void KillChild(ChildProcess* child) {
  if (child->handle != -1) TerminateProcess(AsHandle(child->handle), 1);
}

uint64_t CurrentProcessId() { return GetCurrentProcessId(); }

uint64_t ProcessStartTime(uint64_t id) {
  HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE,
                               static_cast<DWORD>(id));
  if (!process) return 0;
  FILETIME created = {}, exited, kernel, user;
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  const bool known = GetProcessTimes(process, &created, &exited, &kernel, &user) != 0;
  CloseHandle(process);
  if (!running || !known) return 0;
  return uint64_t{created.dwHighDateTime} << 32 | created.dwLowDateTime;
}

bool ProcessAlive(uint64_t id, uint64_t start) {
  if (start != 0) return ProcessStartTime(id) == start;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  bool alive = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return alive;
}

std::string HostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size)) return std::string();
  return Utf8FromWide(std::wstring(name, size));
}

}  // namespace platform
