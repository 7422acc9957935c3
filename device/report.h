// What the controller and ROM code found out, handed to whoever runs it.
// The code never prints: it reports events with their facts to a Reporter
// that its caller passes in, and each front end decides the words (the
// console text of vxsrom, vxrom's text and JSON, a line's progress).
#ifndef VXSROM_DEVICE_REPORT_H_
#define VXSROM_DEVICE_REPORT_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"

/// The long operations on the open controller's ROM.
enum class RomOperation {
  kErase,       ///< Chip erase; data unused.
  kWrite,       ///< Writes data (the image) from the ROM's start.
  kVerifyRead,  ///< Reads the ROM back to compare it with the image.
  kDumpRead,    ///< Reads the ROM to save it.
};

/// The input files an image is built from.
enum class InputFile { kFirmware,
                       kConfig,
                       kEui64 };

/// What the program itself can tell is wrong with a refused input file.
enum class InputDefect {
  kUnknown,    ///< Nothing it can see: the library's own rules.
  kEmpty,      ///< The file holds no byte.
  kNotEui64,   ///< Not eight hexadecimal pairs joined by "-".
  kNoSetting,  ///< A configuration without a "Key = Value" line.
};

/// An input file that the library could not read, or refused.
struct InputProblem {
  InputFile input;                             ///< Which file.
  std::wstring path;                           ///< As given.
  std::wstring why;                            ///< The system's reason; empty when refused.
  InputDefect defect = InputDefect::kUnknown;  ///< When refused.
};

/// What a request to stop held back during a ROM change will wait for.
enum class StopScope {
  kOperation,   ///< The one erase or write in progress.
  kErase,       ///< The erase.
  kRom,         ///< This ROM's erase, write and verification.
  kController,  ///< This controller, then none of the others.
};

/// What happened.  Each kind names the fields it fills.
enum class EventKind {
  // Enumeration and the choice of the target.
  kEnumerationFailed,   ///< status
  kCountUnsettled,      ///< count (the last), total (enumerations)
  kNoMemoryForList,     ///< count (records), total (bytes)
  kNoMemoryForBuffer,   ///< total (bytes)
  kNoController,        ///< -
  kAddressNotFound,     ///< address (the one named), addresses
  kSeveralControllers,  ///< addresses
  kUnsupportedChip,     ///< address, chip_revision
  kRevisionMismatch,    ///< address, image_revision, chip_revision
  kTargetChosen,        ///< address, chip_revision
  kOpenFailed,          ///< address, status
  kRomUnsupported,      ///< address, status
  kRomOfNoBytes,        ///< address
  kRomGeometryFailed,   ///< address, status
  kRomTypeIdentified,   ///< address, rom_type (0: none), geometry
  kRomTypeDiffers,      ///< address, rom_type (the selector), geometry
                        ///< (chosen), detected, count (its listed type)
  // The listing.
  kListedController,       ///< address, chip_revision
  kListedChipUnsupported,  ///< address, chip_revision
  kListedRom,              ///< address, info
  kListedRomWithout,       ///< address, status (blank, no image, damaged)
  kListedRomFailed,        ///< address, status
  kListedUnsupportedNote,  ///< - (after a listing that met such chips)
  // Long operations.
  kOperationStarted,     ///< address, operation
  kOperationProgress,    ///< address, operation, count (bytes), total, percent
  kOperationNotStarted,  ///< address, operation, status
  kOperationFailed,      ///< address, operation, status, count, total
  kEraseComplete,        ///< address
  kWriteComplete,        ///< address
  kReadComplete,         ///< address (a dump's read)
  kVerifyComplete,       ///< address
  kVerifyMismatch,       ///< address, count (bytes differing), total,
                         ///< offset, rom_byte, image_byte
  // Images and files.
  kImageBuildFailed,  ///< status, exit_code, made (MakeSromImage),
                      ///< problems
  kImageInfoFailed,   ///< status
  kFileOpenFailed,    ///< path, error_number, why, output (/fout)
  kFileWriteStarted,  ///< path (/fout)
  kFileWriteFailed,   ///< path, why
  kFileWritten,       ///< path (/fout)
  kDumpComplete,      ///< path
  kImageGenComplete,  ///< path
  // Writing to all controllers.
  kRomSizeMismatch,       ///< address, count (bytes), total (expected)
  kControllerPassedOver,  ///< address, chip_revision, image_revision
  kControllerFailed,      ///< address, chip_revision, exit_code
  kControllerVerified,    ///< address, chip_revision
  kControllerUnverified,  ///< address, chip_revision, exit_code
  kWriteAllSummary,       ///< tally, path (the EUI-64 file)
  kNoMatchingController,  ///< image_revision
  // The library itself.
  kLibraryNotLoaded,   ///< why (the system's reason), count (1: found,
                       ///< but lacking an operation)
  kLibraryNotStarted,  ///< status
  kLibraryNotStopped,  ///< status
  // A request to stop, held back.
  kStopHeld,  ///< stop_scope, address, count (left untouched)
};

/// What became of the controllers of a write to all.
struct WriteTally {
  uint32_t verified = 0;     ///< Written and verified.
  uint32_t failed = 0;       ///< Taken up, and failed.
  uint32_t passed_over = 0;  ///< Of another chip revision.
  uint32_t untouched = 0;    ///< Left by a failure or a stop request.
};

/// One event and its facts.
struct Event {
  explicit Event(EventKind k) : kind(k) {}

  EventKind kind;
  PciAddress address = kNoAddress;
  LibraryStatus status = 0;
  int32_t exit_code = 0;
  uint8_t chip_revision = 0;
  uint8_t image_revision = 0;
  RomOperation operation = RomOperation::kErase;
  uint32_t count = 0;
  uint32_t total = 0;
  uint32_t percent = 0;
  uint32_t offset = 0;
  uint8_t rom_byte = 0;
  uint8_t image_byte = 0;
  int rom_type = 0;
  RomGeometry geometry = {};
  RomGeometry detected = {};
  DeviceInfo info = {};
  std::vector<PciAddress> addresses;
  std::wstring path;
  std::wstring why;
  int error_number = 0;
  bool output = false;
  bool made = false;
  std::vector<InputProblem> problems;
  WriteTally tally;
  StopScope stop_scope = StopScope::kOperation;
};

/// Receives the events of the code it is handed to.
class Reporter {
 public:
  virtual ~Reporter() = default;
  /// One event, in the order the code found it out.
  virtual void Report(const Event& event) = 0;
};

/// A reporter that keeps nothing: for callers that want only results.
class SilentReporter : public Reporter {
 public:
  void Report(const Event&) override {}
};

#endif  // VXSROM_DEVICE_REPORT_H_
