// vxsrom's words for what the controller and ROM code report: the exact
// console text that factory scripts read, and a reason on standard error
// for every failure.  vxrom speaks through it too, with its own console
// and option names.
#ifndef VXSROM_WORDS_CONSOLE_REPORTER_H_
#define VXSROM_WORDS_CONSOLE_REPORTER_H_

#include "device/report.h"
#include "words/voice.h"

/// Turns events into console text.
class ConsoleReporter : public device::Reporter {
 public:
  /// @param address_option, revision_option, srom_option how reasons name
  ///        the options that choose the target, skip the revision rules
  ///        and choose the ROM type.
  ConsoleReporter(const Console& console, const wchar_t* address_option,
                  const wchar_t* revision_option,
                  const wchar_t* srom_option = L"/srom")
      : console_(console),
        address_option_(address_option),
        revision_option_(revision_option),
        srom_option_(srom_option) {}

  void EnumerationFailed(LibraryStatus status) override;
  void CountUnsettled(uint32_t count, uint32_t enumerations) override;
  void NoMemoryForList(uint32_t records, uint32_t bytes) override;
  void NoMemoryForBuffer(uint32_t bytes) override;
  void NoController() override;
  void AddressNotFound(PciAddress named, const std::vector<PciAddress>& present) override;
  void SeveralControllers(const std::vector<PciAddress>& present) override;
  void UnsupportedChip(const device::ControllerSeen& target) override;
  void RevisionMismatch(const device::ControllerSeen& target, uint8_t image_revision) override;
  void TargetChosen(const device::ControllerSeen& target) override;
  void OpenFailed(PciAddress address, LibraryStatus status) override;
  void RomUnsupported(PciAddress address, LibraryStatus status) override;
  void RomOfNoBytes(PciAddress address) override;
  void RomGeometryFailed(PciAddress address, LibraryStatus status) override;
  void RomTypeIdentified(PciAddress address, int rom_type, const RomGeometry& geometry) override;
  void RomTypeDiffers(const device::RomTypeDifference& d) override;

  void ListedController(const device::ControllerSeen& controller) override;
  void ListedChipUnsupported(const device::ControllerSeen& controller) override;
  void ListedRom(PciAddress address, const DeviceInfo& info) override;
  void ListedRomWithout(PciAddress address, LibraryStatus status) override;
  void ListedRomFailed(PciAddress address, LibraryStatus status) override;
  void ListedUnsupportedNote() override;

  void OperationStarted(const device::RunningOperation& op) override;
  void OperationProgress(const device::RunningOperation& op, uint32_t done, uint32_t percent) override;
  void OperationNotStarted(const device::RunningOperation& op, LibraryStatus status) override;
  void OperationFailed(const device::RunningOperation& op, uint32_t done, LibraryStatus status) override;
  void EraseComplete(PciAddress address) override;
  void WriteComplete(PciAddress address) override;
  void ReadComplete(PciAddress address) override;
  void VerifyComplete(PciAddress address) override;
  void VerifyMismatch(const device::VerifyDifference& d) override;

  void ImageBuildFailed(const device::ImageBuildFailure& failure) override;
  void ImageInfoFailed(LibraryStatus status) override;
  void FileOpenFailed(const std::wstring& path, bool output, int error_number, const std::wstring& why) override;
  void FileWriteStarted(const std::wstring& path) override;
  void FileWriteFailed(const std::wstring& path, const std::wstring& why) override;
  void FileWritten(const std::wstring& path) override;
  void DumpComplete(const std::wstring& path) override;
  void ImageGenComplete(const std::wstring& path) override;

  void RomSizeMismatch(PciAddress address, uint32_t rom_bytes, uint32_t image_bytes) override;
  void ControllerPassedOver(const device::ControllerSeen& controller, uint8_t image_revision) override;
  void ControllerFailed(const device::ControllerSeen& controller, device::ExitCode result) override;
  void ControllerVerified(const device::ControllerSeen& controller) override;
  void ControllerUnverified(const device::ControllerSeen& controller, device::ExitCode result) override;
  void WriteAllSummary(const device::WriteTally& tally, const std::wstring& eui64_path) override;
  void NoMatchingController(uint8_t image_revision) override;

  void LibraryNotLoaded(const std::wstring& why, bool incomplete) override;
  void LibraryNotStarted(LibraryStatus status) override;
  void LibraryNotStopped(LibraryStatus status) override;

  void StopHeld(device::StopScope scope, PciAddress address, uint32_t left) override;

 private:
  /// The reason for an input file the library could not read.
  void UnreadInputs(const device::ImageBuildFailure& failure);
  /// The reason for an input file the library refused.
  void RefusedInput(const device::ImageBuildFailure& failure);
  /// The chip model line of revisions 3 and 4; nothing for others.
  void ChipModel(uint8_t chip_revision);
  /// A ROM type as the user chose it.
  std::wstring ChosenType(int selector) const;

  const Console& console_;
  const wchar_t* address_option_;
  const wchar_t* revision_option_;
  const wchar_t* srom_option_;
};

#endif  // VXSROM_WORDS_CONSOLE_REPORTER_H_
