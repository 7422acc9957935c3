// What the controller and ROM code found out, handed to whoever runs it.
// The code never prints: it reports each fact as it finds it, by a call
// of its own on the Reporter that its caller passes in, and each front end
// decides the words (the console text of vxsrom, vxrom's text and JSON, a
// line's progress).
#ifndef VXSROM_DEVICE_REPORT_H_
#define VXSROM_DEVICE_REPORT_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"
#include "device/exit_codes.h"

namespace device {

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

/// What became of the controllers of a write to all.
struct WriteTally {
  uint32_t verified = 0;     ///< Written and verified.
  uint32_t failed = 0;       ///< Taken up, and failed.
  uint32_t passed_over = 0;  ///< Of another chip revision.
  uint32_t untouched = 0;    ///< Left by a failure or a stop request.
};

/// A controller as the enumeration found it.
struct ControllerSeen {
  PciAddress address;     ///< Where it is.
  uint8_t chip_revision;  ///< Its chip's revision.
};

/// A long operation on the open controller's ROM.
struct RunningOperation {
  PciAddress address;      ///< The controller.
  RomOperation operation;  ///< What it does.
  uint32_t size;           ///< Bytes it covers: the 100% mark.
};

/// Where a ROM read back and its image part.
struct VerifyDifference {
  PciAddress address;  ///< The controller.
  uint32_t differing;  ///< Bytes that differ.
  uint32_t size;       ///< Bytes compared.
  uint32_t offset;     ///< The first differing byte's; size when none.
  uint8_t rom_byte;    ///< The ROM's byte there.
  uint8_t image_byte;  ///< The image's byte there.
};

/// Why the library built no image.
struct ImageBuildFailure {
  LibraryStatus status;                ///< The library's status.
  ExitCode exit_code;                  ///< The status, mapped.
  bool made;                           ///< MakeSromImage, not UpdateSromImage.
  std::vector<InputProblem> problems;  ///< The files it is down to.
};

/// A ROM type chosen by the user that is not the part the library sees.
struct RomTypeDifference {
  PciAddress address;    ///< The controller.
  uint32_t selector;     ///< The row chosen.
  RomGeometry chosen;    ///< That row's geometry.
  RomGeometry detected;  ///< The geometry the library reports.
  int detected_type;     ///< The listed type detected equals; 0 none.
};

/// Receives what the code it is handed to finds out, one call per fact,
/// in the order the code finds it out; each call carries only the facts of
/// its kind.  A reporter overrides the calls it shows and leaves the others
/// doing nothing.
class Reporter {
 public:
  virtual ~Reporter() = default;

  // Enumeration and the choice of the target.
  /// EnumerateDevices failed.
  virtual void EnumerationFailed(LibraryStatus /*status*/) {}
  /// The count still changed after enumerations rounds; last it was count.
  virtual void CountUnsettled(uint32_t /*count*/, uint32_t /*enumerations*/) {}
  /// No memory for records controller records of bytes in all.
  virtual void NoMemoryForList(uint32_t /*records*/, uint32_t /*bytes*/) {}
  /// No memory for an image or read-back buffer of bytes.
  virtual void NoMemoryForBuffer(uint32_t /*bytes*/) {}
  /// The enumeration found no controller.
  virtual void NoController() {}
  /// No controller at the address named; present are the others.
  virtual void AddressNotFound(PciAddress /*named*/, const std::vector<PciAddress>& /*present*/) {}
  /// More than one controller and none named.
  virtual void SeveralControllers(const std::vector<PciAddress>& /*present*/) {}
  /// The target's chip revision is not one the tool is for.
  virtual void UnsupportedChip(const ControllerSeen& /*target*/) {}
  /// The image is for another chip revision than the target's.
  virtual void RevisionMismatch(const ControllerSeen& /*target*/, uint8_t /*image_revision*/) {}
  /// The target is chosen and about to be opened.
  virtual void TargetChosen(const ControllerSeen& /*target*/) {}
  /// OpenDevice failed.
  virtual void OpenFailed(PciAddress /*address*/, LibraryStatus /*status*/) {}
  /// The library does not support the ROM part.
  virtual void RomUnsupported(PciAddress /*address*/, LibraryStatus /*status*/) {}
  /// The library reports a ROM of no bytes.
  virtual void RomOfNoBytes(PciAddress /*address*/) {}
  /// GetSromInfo failed.
  virtual void RomGeometryFailed(PciAddress /*address*/, LibraryStatus /*status*/) {}
  /// The ROM's geometry, and the listed type it equals (0: none).
  virtual void RomTypeIdentified(PciAddress /*address*/, int /*rom_type*/, const RomGeometry& /*geometry*/) {}
  /// The ROM type chosen is not the part fitted.
  virtual void RomTypeDiffers(const RomTypeDifference& /*difference*/) {}

  // The listing.
  /// A controller, as the listing takes it up.
  virtual void ListedController(const ControllerSeen& /*controller*/) {}
  /// Its chip revision is not one the tool is for; its ROM is not read.
  virtual void ListedChipUnsupported(const ControllerSeen& /*controller*/) {}
  /// What its ROM holds.
  virtual void ListedRom(PciAddress /*address*/, const DeviceInfo& /*info*/) {}
  /// Its ROM holds no image: status tells blank, none or damaged.
  virtual void ListedRomWithout(PciAddress /*address*/, LibraryStatus /*status*/) {}
  /// Its ROM could not be read.
  virtual void ListedRomFailed(PciAddress /*address*/, LibraryStatus /*status*/) {}
  /// After a listing that met chips the tool is not for.
  virtual void ListedUnsupportedNote() {}

  // Long operations.
  /// The operation started.
  virtual void OperationStarted(const RunningOperation& /*op*/) {}
  /// A poll that did not fail: done bytes, percent of the size.
  virtual void OperationProgress(const RunningOperation& /*op*/, uint32_t /*done*/, uint32_t /*percent*/) {}
  /// The library refused to start the operation.
  virtual void OperationNotStarted(const RunningOperation& /*op*/, LibraryStatus /*status*/) {}
  /// A poll failed after done bytes.
  virtual void OperationFailed(const RunningOperation& /*op*/, uint32_t /*done*/, LibraryStatus /*status*/) {}
  /// The erase is done.
  virtual void EraseComplete(PciAddress /*address*/) {}
  /// The write is done.
  virtual void WriteComplete(PciAddress /*address*/) {}
  /// A dump's read is done.
  virtual void ReadComplete(PciAddress /*address*/) {}
  /// The ROM equals the image.
  virtual void VerifyComplete(PciAddress /*address*/) {}
  /// The ROM differs from the image.
  virtual void VerifyMismatch(const VerifyDifference& /*difference*/) {}

  // Images and files.
  /// The library built no image.
  virtual void ImageBuildFailed(const ImageBuildFailure& /*failure*/) {}
  /// The library cannot tell the image's chip revision.
  virtual void ImageInfoFailed(LibraryStatus /*status*/) {}
  /// An output file could not be created; output: /fout's, not an image.
  virtual void FileOpenFailed(const std::wstring& /*path*/, bool /*output*/, int /*error_number*/, const std::wstring& /*why*/) {}
  /// /fout's file is being written.
  virtual void FileWriteStarted(const std::wstring& /*path*/) {}
  /// Writing a file failed; it is abandoned.
  virtual void FileWriteFailed(const std::wstring& /*path*/, const std::wstring& /*why*/) {}
  /// /fout's file is in place.
  virtual void FileWritten(const std::wstring& /*path*/) {}
  /// The dump's file is in place.
  virtual void DumpComplete(const std::wstring& /*path*/) {}
  /// The generated image's file is in place.
  virtual void ImageGenComplete(const std::wstring& /*path*/) {}

  // Writing to all controllers.
  /// With auto-detection, a ROM of another size than the image's.
  virtual void RomSizeMismatch(PciAddress /*address*/, uint32_t /*rom_bytes*/, uint32_t /*image_bytes*/) {}
  /// A controller of another chip revision than the image's.
  virtual void ControllerPassedOver(const ControllerSeen& /*controller*/, uint8_t /*image_revision*/) {}
  /// A controller failed before its verification; the walk ends.
  virtual void ControllerFailed(const ControllerSeen& /*controller*/, ExitCode /*result*/) {}
  /// A controller written and verified.
  virtual void ControllerVerified(const ControllerSeen& /*controller*/) {}
  /// A controller written whose verification failed.
  virtual void ControllerUnverified(const ControllerSeen& /*controller*/, ExitCode /*result*/) {}
  /// The closing counts; eui64_path is the EUI-64 file (empty: none).
  virtual void WriteAllSummary(const WriteTally& /*tally*/, const std::wstring& /*eui64_path*/) {}
  /// No controller of the image's chip revision.
  virtual void NoMatchingController(uint8_t /*image_revision*/) {}

  // The library itself.
  /// Not loaded, with the system's reason; incomplete: found, but lacking
  /// an operation.
  virtual void LibraryNotLoaded(const std::wstring& /*why*/, bool /*incomplete*/) {}
  /// InitializeLibrary failed.
  virtual void LibraryNotStarted(LibraryStatus /*status*/) {}
  /// TerminateLibrary failed.
  virtual void LibraryNotStopped(LibraryStatus /*status*/) {}

  // A request to stop, held back.
  /// What is finished first; with kController, which one and how many
  /// controllers are left untouched.
  virtual void StopHeld(StopScope /*scope*/, PciAddress /*address*/, uint32_t /*left*/) {}
};

/// A reporter that keeps nothing: for callers that want only results.
class SilentReporter : public Reporter {};

}  // namespace device

#endif  // VXSROM_DEVICE_REPORT_H_
