// The sixteen operations as a vxctl library exports them, for the stand-in
// and for the recorder: the same declarations, so both keep the contract.
#ifndef VXSROM_SIM_EXPORTS_H_
#define VXSROM_SIM_EXPORTS_H_

#include <type_traits>

#include "device/controller_library.h"

#ifdef _WIN32
#define VXCTL_EXPORT extern "C" __declspec(dllexport)
#else
#define VXCTL_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Each export is declared with the interface's own function type, so a
// definition whose signature differs from it fails to compile.
#define VXCTL_DECLARE(name, ordinal) \
  VXCTL_EXPORT std::remove_pointer<name##Fn>::type name;
VXCTL_OPERATIONS(VXCTL_DECLARE)
#undef VXCTL_DECLARE

#endif  // VXSROM_SIM_EXPORTS_H_
