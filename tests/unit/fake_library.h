// An in-memory controller library for in-process tests of the actions:
// controllers with ROM bytes, operations that finish on their second poll,
// faults set per controller, and the facts the tests look at kept.
#ifndef VXSROM_TESTS_UNIT_FAKE_LIBRARY_H_
#define VXSROM_TESTS_UNIT_FAKE_LIBRARY_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/report.h"

/// One controller and its ROM.
struct FakeController {
  PciAddress address = 0x0400;
  uint8_t chip_revision = 4;
  RomGeometry geometry = {0x8000, 0x100, 0x60E0};  ///< ROM type 2.
  std::vector<uint8_t> rom = std::vector<uint8_t>(0x8000, 0xFF);
  LibraryStatus open_status = 0;  ///< What OpenDevice answers.
  LibraryStatus info_status = 0;  ///< What GetDeviceInfo answers.
  bool bad_write = false;         ///< A write leaves one byte wrong.
};

/// The machine the fake library serves.
struct FakeMachine {
  std::vector<FakeController> controllers;
  std::vector<PciAddress> opened;  ///< Every OpenDevice, in order.
  int open_now = 0;                ///< Controllers open at this moment.
  int most_open = 0;               ///< The most open at once.
};

/// The machine, fresh for each test.
FakeMachine& Machine();

/// The operations over Machine().
const ControllerLibrary& FakeLibrary();

/// The image UpdateSromImage makes: the firmware path's revision ("rev3",
/// "rev4") in byte 7's high nibble, the rest a pattern of the path.
std::vector<uint8_t> FakeImage(const std::wstring& firmware_path,
                               uint32_t size);

/// Keeps the names of the facts the tests look at, in order: the choice
/// of the target, the listing's closing note, a held stop and the closing
/// counts of a write to all.
class RecordingReporter : public device::Reporter {
 public:
  void NoController() override { told.push_back("NoController"); }
  void AddressNotFound(PciAddress, const std::vector<PciAddress>&) override { told.push_back("AddressNotFound"); }
  void SeveralControllers(const std::vector<PciAddress>&) override { told.push_back("SeveralControllers"); }
  void UnsupportedChip(const device::ControllerSeen&) override { told.push_back("UnsupportedChip"); }
  void RevisionMismatch(const device::ControllerSeen&, uint8_t) override { told.push_back("RevisionMismatch"); }
  void TargetChosen(const device::ControllerSeen&) override { told.push_back("TargetChosen"); }
  void ListedUnsupportedNote() override { told.push_back("ListedUnsupportedNote"); }
  void StopHeld(device::StopScope, PciAddress, uint32_t) override { told.push_back("StopHeld"); }
  void WriteAllSummary(const device::WriteTally& t, const std::wstring&) override {
    told.push_back("WriteAllSummary");
    tally = t;
  }
  /// How many times name was told.
  size_t Count(const std::string& name) const;

  std::vector<std::string> told;
  device::WriteTally tally;  ///< The last WriteAllSummary's.
};

#endif  // VXSROM_TESTS_UNIT_FAKE_LIBRARY_H_
