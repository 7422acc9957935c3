#include "device/library_loader.h"

#include "device/exit_codes.h"
#include "device/session.h"
#include "platform/dynamic_library.h"

namespace device {

namespace {

/// The controller library's file, beside the program or in the system's
/// place for libraries.
#ifdef _WIN32
const wchar_t kLibraryFile[] = L"vxctl.dll";
#else
const wchar_t kLibraryFile[] = L"libvxctl.so";
#endif

}  // namespace

LoadedLibrary::~LoadedLibrary() { Unload(); }

bool LoadedLibrary::Load(std::wstring* reason) {
  incomplete_ = false;
  handle_ = platform::LoadLibraryBesideProgram(kLibraryFile, reason);
  if (!handle_) return false;
  void* address;
#define VXCTL_BIND(name, ordinal)                                                         \
  address = platform::LibraryExport(handle_, ordinal, #name);                             \
  if (!address) {                                                                         \
    *reason = L"the controller library lacks " L## #name L" (ordinal " L## #ordinal L")"; \
    incomplete_ = true;                                                                   \
    Unload();                                                                             \
    return false;                                                                         \
  }                                                                                       \
  operations_.name = reinterpret_cast<name##Fn>(address);
  VXCTL_OPERATIONS(VXCTL_BIND)
#undef VXCTL_BIND
  return true;
}

void LoadedLibrary::Unload() {
  if (handle_) platform::UnloadLibrary(handle_);
  handle_ = nullptr;
  operations_ = ControllerLibrary();
}

ExitCode StartedLibrary::Start(DeviceSession& session) {
  std::wstring reason;
  if (!loaded_.Load(&reason)) {
    session.report().LibraryNotLoaded(reason, loaded_.incomplete());
    return kExitFailed;
  }
  LibraryStatus status = loaded_.operations().InitializeLibrary();
  if (status != 0) {
    session.report().LibraryNotStarted(status);
    loaded_.Unload();
    return kExitFailed;
  }
  session.library = &loaded_.operations();
  return kExitOk;
}

ExitCode StartedLibrary::Stop(DeviceSession& session, ExitCode exit_code) {
  if (!session.library) return exit_code;
  LibraryStatus status = session.library->TerminateLibrary();
  session.library = nullptr;
  loaded_.Unload();
  if (status == 0) return exit_code;
  session.report().LibraryNotStopped(status);
  return exit_code == kExitOk ? kExitFailed : exit_code;
}

}  // namespace device
