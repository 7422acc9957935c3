// POSIX child processes: posix_spawn with one pipe for both outputs.
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/files.h"
#include "platform/process.h"
#include "platform/text.h"

extern char** environ;

namespace platform {

namespace {

std::wstring ErrnoText(const char* what, int error_number) {
  return std::wstring(what, what + strlen(what)) + L": " +
         ErrorNumberText(error_number);
}

}  // namespace

bool SpawnChild(const std::wstring& program,
                const std::vector<std::wstring>& args, ChildProcess* child,
                std::wstring* reason) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    *reason = ErrnoText("pipe", errno);
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  // The child starts with the default reaction to stop requests; it
  // installs its own handlers as any run of the program does.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  std::vector<std::string> words;
  for (const std::wstring& arg : args) words.push_back(Utf8FromWide(arg));
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(&word[0]);
  argv.push_back(nullptr);
  const std::string path = Utf8FromWide(program);
  pid_t pid = 0;
  int error = posix_spawn(&pid, path.c_str(), &actions, &attributes,
                          argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(fds[1]);
  if (error != 0) {
    close(fds[0]);
    *reason = ErrnoText(path.c_str(), error);
    return false;
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  child->handle = pid;
  child->pipe = fds[0];
  child->id = static_cast<uint64_t>(pid);
  return true;
}

ChildOutput ReadChild(ChildProcess* child, std::string* text) {
  if (child->pipe < 0) return ChildOutput::kEnd;
  char buffer[4096];
  bool got = false;
  for (;;) {
    ssize_t n = read(static_cast<int>(child->pipe), buffer, sizeof buffer);
    if (n > 0) {
      text->append(buffer, static_cast<size_t>(n));
      got = true;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) return got ? ChildOutput::kData : ChildOutput::kNothing;
    close(static_cast<int>(child->pipe));
    child->pipe = -1;
    return ChildOutput::kEnd;
  }
}

void WaitForChildren(const std::vector<ChildProcess*>& children,
                     uint32_t milliseconds) {
  std::vector<pollfd> fds;
  for (const ChildProcess* child : children)
    if (child->pipe >= 0) fds.push_back({static_cast<int>(child->pipe), POLLIN, 0});
  poll(fds.data(), fds.size(), static_cast<int>(milliseconds));
}

int ReapChild(ChildProcess* child, bool* signalled) {
  if (child->pipe >= 0) close(static_cast<int>(child->pipe));
  child->pipe = -1;
  int status = 0;
  while (waitpid(static_cast<pid_t>(child->handle), &status, 0) < 0 &&
         errno == EINTR) {
  }
  child->handle = -1;
  *signalled = WIFSIGNALED(status);
  if (*signalled) return -1;
  // The program's negative codes reach the parent as their low byte.
  return static_cast<int8_t>(WEXITSTATUS(status) & 0xFF);
}

void KillChild(ChildProcess* child) {
  if (child->handle > 0) kill(static_cast<pid_t>(child->handle), SIGKILL);
}

uint64_t CurrentProcessId() { return static_cast<uint64_t>(getpid()); }

uint64_t ProcessStartTime(uint64_t id) {
  if (id == 0 || id > 0x7FFFFFFF) return 0;
  char path[64];
  snprintf(path, sizeof path, "/proc/%llu/stat", static_cast<unsigned long long>(id));
  FILE* file = fopen(path, "re");
  if (!file) return 0;
  char text[1024];
  const size_t n = fread(text, 1, sizeof text - 1, file);
  fclose(file);
  text[n] = '\0';
  // The name in parentheses may hold anything: count the fields after
  // its last ')'; the state is the first of them, the start time the
  // 20th (field 22).  A zombie has ended: only its parent has not yet
  // collected it (and a dead run's parent may never).
  const char* at = strrchr(text, ')');
  if (!at || at[1] != ' ' || at[2] == 'Z' || at[2] == 'X') return 0;
  for (int field = 0; at && field < 20; ++field) at = strchr(at + 1, ' ');
  return at ? strtoull(at + 1, nullptr, 10) : 0;
}

bool ProcessAlive(uint64_t id, uint64_t start) {
  if (id == 0 || id > 0x7FFFFFFF) return false;
  if (start != 0) return ProcessStartTime(id) == start;
  return kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM;
}

std::string HostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return std::string();
  return name;
}

}  // namespace platform
