// The sixteen exported operations.
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "sim/machine.h"

#ifdef _WIN32
#define VXCTL_EXPORT extern "C" __declspec(dllexport)
#else
#define VXCTL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

namespace {
sim::Machine g_machine;

LibraryStatus Injected(const char* op) {
  auto it = g_machine.faults.find(op);
  return it == g_machine.faults.end() ? 0 : it->second.status;
}
}  // namespace

VXCTL_EXPORT LibraryStatus InitializeLibrary(void) {
  g_machine = sim::Machine();
  if (const char* path = getenv("VXCTL_SIM_MACHINE")) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!sim::ParseMachine(text.str(), &g_machine, &error)) return -1;
  }
  return Injected("InitializeLibrary");
}
VXCTL_EXPORT LibraryStatus TerminateLibrary(void) { return Injected("TerminateLibrary"); }
VXCTL_EXPORT LibraryStatus EnumerateDevices(uint32_t, uint32_t, DeviceRecord*, uint32_t, uint32_t* count) {
  *count = 0;
  return Injected("EnumerateDevices");
}
VXCTL_EXPORT LibraryStatus OpenDevice(PciAddress, uint32_t, const RomGeometry*) { return -11; }
VXCTL_EXPORT LibraryStatus CloseDevice(PciAddress) { return 0; }
VXCTL_EXPORT LibraryStatus GetSromInfo(PciAddress, RomGeometry*) { return -11; }
VXCTL_EXPORT LibraryStatus GetDeviceInfo(PciAddress, DeviceInfo*) { return -11; }
VXCTL_EXPORT LibraryStatus StartSromRead(PciAddress, uint32_t, uint32_t, uint32_t, void*, uint32_t) { return -11; }
VXCTL_EXPORT LibraryStatus PollSromRead(PciAddress, uint32_t, uint8_t*, uint32_t*) { return -11; }
VXCTL_EXPORT LibraryStatus StartSromWrite(PciAddress, uint32_t, const uint8_t*, uint32_t) { return -11; }
VXCTL_EXPORT LibraryStatus StartSromErase(PciAddress, uint32_t) { return -11; }
VXCTL_EXPORT LibraryStatus PollSromProgress(PciAddress, uint32_t*) { return -11; }
VXCTL_EXPORT LibraryStatus MakeSromImage(const wchar_t*, const wchar_t*, const wchar_t*, const RomGeometry*, uint8_t*) { return -41; }
VXCTL_EXPORT LibraryStatus GetSromImageInfo(const uint8_t*, uint32_t, ImageInfo*) { return -51; }
VXCTL_EXPORT LibraryStatus PatchSromImage(uint8_t*, uint32_t, uint32_t, uint32_t, void*, const RomGeometry*, void*, uint32_t) { return 0; }
VXCTL_EXPORT LibraryStatus UpdateSromImage(const wchar_t*, const wchar_t*, const wchar_t*, const RomGeometry*, uint8_t*) { return -41; }
