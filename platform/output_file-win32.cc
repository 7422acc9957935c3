// Windows output files.  The path is first opened as _wfopen "wb" opens
// it, so whatever the system refuses there (a name it does not take, a
// read-only file, a directory) fails as "wb" fails, with its error number.
#include <errno.h>
#include <windows.h>

#include <optional>
#include <string>

#include "platform/internal.h"
#include "platform/output_file.h"

namespace platform {

struct OutputFile::State {
  HANDLE file = INVALID_HANDLE_VALUE;       ///< The path, while written in place.
  HANDLE temporary = INVALID_HANDLE_VALUE;  ///< Where the data goes meanwhile.
  std::wstring final_path;                  ///< What the first open reached, as the
                                            ///< system names it.
  std::wstring temporary_path;              ///< The temporary's path.
  bool created = false;                     ///< The first open made the file.
  DWORD volume = 0;                         ///< What the first open reached, to know it
  ULONGLONG index = 0;                      ///< again by its name.
  bool failed = false;                      ///< A write failed: nothing to commit.
};

}  // namespace platform

namespace {

/// The error numbers that the C library gives for the system's errors,
/// as its open reports them.
struct ErrorNumberOf {
  DWORD error;
  int error_number;
};
const ErrorNumberOf kErrorNumbers[] = {
    {ERROR_INVALID_FUNCTION, EINVAL},
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_TOO_MANY_OPEN_FILES, EMFILE},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_ARENA_TRASHED, ENOMEM},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_INVALID_BLOCK, ENOMEM},
    {ERROR_BAD_ENVIRONMENT, E2BIG},
    {ERROR_BAD_FORMAT, ENOEXEC},
    {ERROR_INVALID_ACCESS, EINVAL},
    {ERROR_INVALID_DATA, EINVAL},
    {ERROR_INVALID_DRIVE, ENOENT},
    {ERROR_CURRENT_DIRECTORY, EACCES},
    {ERROR_NOT_SAME_DEVICE, EXDEV},
    {ERROR_NO_MORE_FILES, ENOENT},
    {ERROR_LOCK_VIOLATION, EACCES},
    {ERROR_BAD_NETPATH, ENOENT},
    {ERROR_NETWORK_ACCESS_DENIED, EACCES},
    {ERROR_BAD_NET_NAME, ENOENT},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_CANNOT_MAKE, EACCES},
    {ERROR_FAIL_I24, EACCES},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_NO_PROC_SLOTS, EAGAIN},
    {ERROR_DRIVE_LOCKED, EACCES},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_DISK_FULL, ENOSPC},
    {ERROR_INVALID_TARGET_HANDLE, EBADF},
    {ERROR_WAIT_NO_CHILDREN, ECHILD},
    {ERROR_CHILD_NOT_COMPLETE, ECHILD},
    {ERROR_DIRECT_ACCESS_HANDLE, EBADF},
    {ERROR_NEGATIVE_SEEK, EINVAL},
    {ERROR_SEEK_ON_DEVICE, EACCES},
    {ERROR_DIR_NOT_EMPTY, ENOTEMPTY},
    {ERROR_NOT_LOCKED, EACCES},
    {ERROR_BAD_PATHNAME, ENOENT},
    {ERROR_MAX_THRDS_REACHED, EAGAIN},
    {ERROR_LOCK_FAILED, EACCES},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_FILENAME_EXCED_RANGE, ENOENT},
    {ERROR_NESTING_NOT_ALLOWED, EAGAIN},
    {ERROR_NOT_ENOUGH_QUOTA, ENOMEM},
};

/// The error number that _wfopen sets when its open fails with error.
int ErrorNumberFor(DWORD error) {
  for (const ErrorNumberOf& known : kErrorNumbers) {
    if (known.error == error) return known.error_number;
  }
  if (error >= ERROR_WRITE_PROTECT && error <= ERROR_SHARING_BUFFER_EXCEEDED)
    return EACCES;
  if (error >= ERROR_INVALID_STARTING_CODESEG &&
      error <= ERROR_INFLOOP_IN_RELOC_CHAIN)
    return ENOEXEC;
  return EINVAL;
}

/// The directory part of path, with its separator ("" for a bare name).
std::wstring DirectoryOf(const std::wstring& path) {
  size_t at = path.find_last_of(L"\\/:");
  return at == std::wstring::npos ? L"" : path.substr(0, at + 1);
}

/// Creates a new temporary file beside final_path, deletable by the
/// control handler while open.  @return its handle, or
/// INVALID_HANDLE_VALUE.
HANDLE CreateTemporaryBeside(const std::wstring& final_path,
                             std::wstring* temporary) {
  std::wstring directory = DirectoryOf(final_path);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::wstring name = directory + L"~vxsrom-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" +
                        std::to_wstring(attempt) + L".tmp";
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE,
                                nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      *temporary = name;
      return handle;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  return INVALID_HANDLE_VALUE;
}

/// The path of the file open as handle, as the system names it; empty
/// when it has none.
std::wstring FinalPathOf(HANDLE handle) {
  std::wstring path(32768, L'\0');
  DWORD n = GetFinalPathNameByHandleW(handle, &path[0],
                                      static_cast<DWORD>(path.size()),
                                      FILE_NAME_NORMALIZED);
  path.resize(n > 0 && n < path.size() ? n : 0);
  return path;
}

/// Writes all of data to handle.  @return false with GetLastError's.
bool WriteAll(HANDLE handle, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr)) return false;
    if (written == 0) {
      SetLastError(ERROR_WRITE_FAULT);
      return false;
    }
    bytes += written;
    size -= written;
  }
  return true;
}

/// Closes *handle unless it is closed, and marks it closed.  @return false
/// with GetLastError's when the close failed.
bool CloseFile(HANDLE* handle) {
  if (*handle == INVALID_HANDLE_VALUE) return true;
  const bool ok = CloseHandle(*handle) != 0;
  *handle = INVALID_HANDLE_VALUE;
  return ok;
}

/// Deletes the file at path if it is still the one on volume with index.
void DeleteIfSame(const std::wstring& path, DWORD volume, ULONGLONG index) {
  HANDLE handle = CreateFileW(
      path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  BY_HANDLE_FILE_INFORMATION info = {};
  if (GetFileInformationByHandle(handle, &info) &&
      info.dwVolumeSerialNumber == volume &&
      (static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow) == index) {
    FILE_DISPOSITION_INFO disposition = {TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                               sizeof disposition);
  }
  CloseHandle(handle);
}

/// Moves temporary over target, keeping the target's attributes and
/// access rights.  @return false with GetLastError's.
bool MoveIntoPlace(const std::wstring& temporary, const std::wstring& target) {
  // Another opener may hold the target for a moment (another run's first
  // open, a virus scanner): the move is tried again, for half a second.
  for (DWORD pause = 1;; pause *= 2) {
    // With no file at target there is nothing to keep, and ReplaceFileW
    // fails: a plain move does.
    if (ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) ||
        MoveFileExW(temporary.c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD error = GetLastError();
    if (pause > 256 ||
        (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION))
      return false;
    Sleep(pause);
  }
}

}  // namespace

namespace platform {

bool OutputFile::Open(const std::wstring& path,
                      std::unique_ptr<OutputFile>* file, int* error_number,
                      std::wstring* reason) {
  std::unique_ptr<State> state(new State);
  State& s = *state;
  // While the control handler waits, no file made here can be left behind
  // before it is registered for removal.
  std::optional<PendingFilesLock> lock(std::in_place);
  // As "wb" opens it: its access and sharing, but without truncating.
  s.file = CreateFileW(path.c_str(), GENERIC_WRITE,
                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD error = GetLastError();
  if (s.file == INVALID_HANDLE_VALUE) {
    *error_number = ErrorNumberFor(error);
    *reason = SystemErrorText(error);
    return false;
  }
  BY_HANDLE_FILE_INFORMATION info = {};
  const bool known = GetFileType(s.file) == FILE_TYPE_DISK &&
                     GetFileInformationByHandle(s.file, &info);
  s.created = known && error != ERROR_ALREADY_EXISTS;
  if (!s.created && known &&
      (info.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM))) {
    // "wb" makes the file anew, which the system refuses for these.
    CloseFile(&s.file);
    *error_number = EACCES;
    *reason = SystemErrorText(ERROR_ACCESS_DENIED);
    return false;
  }
  s.volume = info.dwVolumeSerialNumber;
  s.index = static_cast<ULONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
  // Only a plain file with no other name is replaced whole; NUL, CON, a
  // pipe or a hard-linked file is written in place, as "wb" would.
  if (known && info.nNumberOfLinks == 1) s.final_path = FinalPathOf(s.file);
  if (!s.final_path.empty()) {
    // Held open, the file could not be replaced, by this run or another.
    CloseFile(&s.file);
    s.temporary = CreateTemporaryBeside(s.final_path, &s.temporary_path);
    if (s.temporary == INVALID_HANDLE_VALUE) s.temporary_path.clear();
  }
  SetPendingFiles(s.temporary_path, s.created ? s.final_path : L"");
  lock.reset();
  std::unique_ptr<OutputFile> opened(new OutputFile(path, std::move(state)));
  // With no temporary beside it, the file is written in place, and
  // starts empty, as "wb" leaves it.
  if (s.temporary == INVALID_HANDLE_VALUE && s.file == INVALID_HANDLE_VALUE)
    s.file = CreateFileW(s.final_path.c_str(), GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (s.temporary == INVALID_HANDLE_VALUE &&
      (s.file == INVALID_HANDLE_VALUE || (known && !SetEndOfFile(s.file)))) {
    const DWORD in_place_error = GetLastError();
    *error_number = ErrorNumberFor(in_place_error);
    *reason = SystemErrorText(in_place_error);
    return false;  // a file this open made goes with opened
  }
  *file = std::move(opened);
  return true;
}

OutputFile::OutputFile(const std::wstring& path, std::unique_ptr<State> state)
    : path_(path), state_(std::move(state)) {}

OutputFile::~OutputFile() {
  if (state_) Discard();
}

bool OutputFile::Write(const void* data, size_t size) {
  if (!state_ || state_->failed) return false;
  State& s = *state_;
  HANDLE target = s.temporary != INVALID_HANDLE_VALUE ? s.temporary : s.file;
  if (!WriteAll(target, data, size)) {
    reason_ = SystemErrorText(GetLastError());
    s.failed = true;
    return false;
  }
  return true;
}

bool OutputFile::Commit() {
  if (!state_ || state_->failed) return false;
  State& s = *state_;
  bool ok = true;
  HANDLE* written =
      s.temporary != INVALID_HANDLE_VALUE ? &s.temporary : &s.file;
  if (GetFileType(*written) == FILE_TYPE_DISK && !FlushFileBuffers(*written)) {
    ok = false;
    reason_ = SystemErrorText(GetLastError());
  }
  if (!CloseFile(written) && ok) {
    ok = false;
    reason_ = SystemErrorText(GetLastError());
  }
  if (ok) {
    PendingFilesLock lock;
    if (!s.temporary_path.empty() &&
        !MoveIntoPlace(s.temporary_path, s.final_path)) {
      ok = false;
      reason_ = SystemErrorText(GetLastError());
    } else {
      SetPendingFiles(L"", L"");
    }
  }
  if (!ok) {
    Discard();
    return false;
  }
  state_.reset();
  return true;
}

void OutputFile::Discard() {
  State& s = *state_;
  PendingFilesLock lock;
  CloseFile(&s.temporary);
  CloseFile(&s.file);
  if (!s.temporary_path.empty()) DeleteFileW(s.temporary_path.c_str());
  // A file this run made goes too, unless something else took its name.
  if (s.created && !s.final_path.empty())
    DeleteIfSame(s.final_path, s.volume, s.index);
  SetPendingFiles(L"", L"");
  state_.reset();
}

bool ReplaceFileAtomically(const std::string& path, const void* data,
                           size_t size) {
  if (path.empty()) return false;
  const std::wstring wide = NativeFromNarrow(path);
  std::wstring temporary;
  HANDLE handle = CreateTemporaryBeside(wide, &temporary);
  if (handle == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(handle, data, size) && FlushFileBuffers(handle);
  ok = CloseHandle(handle) && ok;
  // A file being read cannot be replaced on Windows: processes sharing a
  // simulated machine read every ROM file as they start, so the move is
  // tried again briefly.
  bool moved = false;
  for (int attempt = 0; ok && !moved && attempt < 50; ++attempt) {
    if (attempt) Sleep(2);
    moved = MoveIntoPlace(temporary, wide);
  }
  ok = ok && moved;
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

}  // namespace platform
