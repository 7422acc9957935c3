// A controller library that lacks one operation (PollSromRead, ordinal
// 11): the program must refuse to start with it.
#include "device/controller_library.h"

#ifdef _WIN32
#define EXPORT extern "C" __declspec(dllexport)
#else
#define EXPORT extern "C" __attribute__((visibility("default")))
#endif

#define DEFINE_OPERATION(name, ordinal) \
  EXPORT int name() { return 0; }
DEFINE_OPERATION(InitializeLibrary, 1)
DEFINE_OPERATION(TerminateLibrary, 2)
DEFINE_OPERATION(EnumerateDevices, 3)
DEFINE_OPERATION(OpenDevice, 4)
DEFINE_OPERATION(CloseDevice, 5)
DEFINE_OPERATION(GetSromInfo, 7)
DEFINE_OPERATION(GetDeviceInfo, 9)
DEFINE_OPERATION(StartSromRead, 10)
DEFINE_OPERATION(StartSromWrite, 12)
DEFINE_OPERATION(StartSromErase, 13)
DEFINE_OPERATION(PollSromProgress, 14)
DEFINE_OPERATION(MakeSromImage, 15)
DEFINE_OPERATION(GetSromImageInfo, 17)
DEFINE_OPERATION(PatchSromImage, 18)
DEFINE_OPERATION(UpdateSromImage, 19)
