#include "vxrom/library.h"

#include <string>

#include "platform/platform.h"

int StartedLibrary::Start(DeviceSession& session) {
  std::wstring reason;
  if (!loaded_.Load(&reason)) {
    platform::PrintReason(L"%ls", reason.c_str());
    return -1;
  }
  LibraryStatus status = loaded_.operations().InitializeLibrary();
  if (status != 0) {
    platform::PrintReason(
        L"the controller library did not start (library status %d)",
        static_cast<int>(status));
    loaded_.Unload();
    return -1;
  }
  session.library = &loaded_.operations();
  return 0;
}

int StartedLibrary::Stop(DeviceSession& session, int exit_code) {
  if (!session.library) return exit_code;
  LibraryStatus status = session.library->TerminateLibrary();
  session.library = nullptr;
  loaded_.Unload();
  if (status == 0) return exit_code;
  platform::PrintReason(
      L"the controller library did not stop cleanly (library status %d)",
      static_cast<int>(status));
  return exit_code == 0 ? -1 : exit_code;
}
