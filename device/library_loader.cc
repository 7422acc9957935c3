#include "device/library_loader.h"

#include "platform/platform.h"

LoadedLibrary::~LoadedLibrary() { Unload(); }

bool LoadedLibrary::Load(std::wstring* reason) {
  handle_ = platform::LoadControllerLibrary(reason);
  if (!handle_) return false;
  void* address;
#define VXCTL_BIND(name, ordinal)                                                         \
  address = platform::LibraryOperation(handle_, ordinal, #name);                          \
  if (!address) {                                                                         \
    *reason = L"the controller library lacks " L## #name L" (ordinal " L## #ordinal L")"; \
    Unload();                                                                             \
    return false;                                                                         \
  }                                                                                       \
  operations_.name = reinterpret_cast<name##Fn>(address);
  VXCTL_OPERATIONS(VXCTL_BIND)
#undef VXCTL_BIND
  return true;
}

void LoadedLibrary::Unload() {
  if (handle_) platform::UnloadControllerLibrary(handle_);
  handle_ = nullptr;
  operations_ = ControllerLibrary();
}
