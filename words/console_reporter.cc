#include "words/console_reporter.h"

#include <string>

#include "device/exit_codes.h"
#include "device/rom_types.h"

using namespace device;

namespace {

/// ASCII text, wide.
std::wstring Wide(const std::string& text) {
  return std::wstring(text.begin(), text.end());
}

/// The address as the option that names a controller takes it (BB-DD-F),
/// so a reason's address can be typed back.
std::wstring Where(PciAddress address) {
  return Wide(FormatPciAddress(address, true));
}

/// Every address, comma-separated.
std::wstring AddressList(const std::vector<PciAddress>& addresses) {
  std::wstring list;
  for (size_t i = 0; i < addresses.size(); ++i)
    list += (i ? L", " : L"") + Where(addresses[i]);
  return list;
}

unsigned U(uint32_t value) { return static_cast<unsigned>(value); }
int I(int32_t value) { return static_cast<int>(value); }

/// What one operation prints.
struct OperationTexts {
  const wchar_t* start_line;
  const wchar_t* progress_line;
  const wchar_t* start_failure;
  const wchar_t* poll_failure;
  const wchar_t* name;  ///< What the reason lines call it.
};

/// The texts of op.  The erase start line alone has no trailing blank.
OperationTexts TextsOf(RomOperation op) {
  switch (op) {
    case RomOperation::kErase:
      return {L"Erase Serial ROM....  0%%", L"\rErase Serial ROM....  %3d%% ",
              L"Serial ROM erase error (%d)\n",
              L"\nSerial ROM erase error (%d)\n", L"the erase"};
    case RomOperation::kWrite:
      return {L"Write Serial ROM....  0%% ", L"\rWrite Serial ROM....  %3d%% ",
              L"Serial ROM write error (%d)\n",
              L"\nSerial ROM write error (%d)\n", L"the write"};
    case RomOperation::kVerifyRead:
      return {L"Verify Serial ROM....  0%% ",
              L"\rVerify Serial ROM....  %3d%% ",
              L"Serial ROM read error (%d)\n", L"\nSerial ROM read error (%d)\n",
              L"the read-back for verification"};
    case RomOperation::kDumpRead:
    default:
      return {L"Read Serial ROM....  0%% ", L"\rRead Serial ROM....  %3d%% ",
              L"Serial ROM read error (%d)\n", L"\nSerial ROM read error (%d)\n",
              L"the read"};
  }
}

/// RomTypeDescription: index 0 for a part matching no listed type.
const wchar_t* const kRomTypeDescription[5] = {
    L"    Unknown SROM         Type : -, PageSize = 0x%X, Chip Erase = 0x%02X\n",
    L"    AT25F512/A/B(ATMEL)  Type : 1, PageSize = 0x80, Chip Erase = 0x62\n",
    L"    MX25L512/2005/4005A/4005C/2006E/4006E(MACRONIX)/Pm25LD512C/010C/020C(Chingis)   Type : 2, PageSize = 0x100, Chip Erase = 0x60\n",
    L"    W25X10BV/20BV/40BV(WINBOND)/EN25F05/10/20/40/(EON)/A25L512/010/020/040(AMIC) Type : 3, PageSize = 0x100, Chip Erase = 0xC7\n",
    L"    MX25L5121E/1021E(MACRONIX) Type : 4, PageSize = 0x20, Chip Erase = 0x60\n",
};

const wchar_t* InputName(InputFile input) {
  switch (input) {
    case InputFile::kFirmware:
      return L"firmware";
    case InputFile::kConfig:
      return L"configuration";
    case InputFile::kEui64:
    default:
      return L"EUI-64";
  }
}

}  // namespace

std::wstring ConsoleReporter::ChosenType(int selector) const {
  if (selector == kRomType255) return std::wstring(srom_option_) + L" 255";
  if (selector == kRomTypeCustom) return srom_option_ + std::wstring(L"info");
  return std::wstring(srom_option_) + L" " + std::to_wstring(selector);
}

void ConsoleReporter::ChipModel(uint8_t chip_revision) {
  if (chip_revision == kChipVx5130) {
    console_.Print(L"This Device is VX5130(Revision %d).\n", kChipVx5130);
  } else if (chip_revision == kChipVx5130A) {
    console_.Print(L"This Device is VX5130A(Revision %d).\n", kChipVx5130A);
  }
}

// Enumeration and the choice of the target.

void ConsoleReporter::EnumerationFailed(LibraryStatus status) {
  console_.Print(L"Device Enumration Error! (%d)\n", I(status));
  console_.Reason(L"cannot enumerate the controllers (library status %d)",
                  I(status));
}

void ConsoleReporter::CountUnsettled(uint32_t count, uint32_t enumerations) {
  console_.Reason(
      L"the controller count kept changing over %u enumerations "
      L"(last %u)",
      U(enumerations), U(count));
  console_.Print(L"Device Enumration Error! (%d)\n", I(kExitFailed));
}

void ConsoleReporter::NoMemoryForList(uint32_t records, uint32_t bytes) {
  console_.Print(L"Memory allocate error = %d\n", I(static_cast<int32_t>(bytes)));
  console_.Reason(L"out of memory for %u controller records", U(records));
}

void ConsoleReporter::NoMemoryForBuffer(uint32_t bytes) {
  console_.Print(L"Memory allocate error = %d\n", I(static_cast<int32_t>(bytes)));
  console_.Reason(L"out of memory for a buffer of %u bytes", U(bytes));
}

void ConsoleReporter::NoController() {
  console_.Print(L"Device not found!\n");
  console_.Reason(L"no VX5130 or VX5130A controller found");
}

void ConsoleReporter::AddressNotFound(PciAddress named,
                                      const std::vector<PciAddress>& present) {
  console_.Print(L"Specified device by \"/address\" option isn't VX5130 or VX5130A!\n");
  console_.Reason(L"%ls %ls: no such controller; present: %ls", address_option_,
                  Where(named).c_str(), AddressList(present).c_str());
}

void ConsoleReporter::SeveralControllers(const std::vector<PciAddress>& present) {
  console_.Print(L"%d device was found! Please select device by \"/address\" option.\n",
                 static_cast<int>(present.size()));
  console_.Reason(L"%u controllers found (%ls): choose one with %ls, e.g. %ls %ls",
                  U(static_cast<uint32_t>(present.size())),
                  AddressList(present).c_str(), address_option_,
                  address_option_, Where(present[0]).c_str());
}

void ConsoleReporter::UnsupportedChip(const ControllerSeen& target) {
  const Console& c = console_;
  const PciAddress a = target.address;
  c.Print(L"[Target Device]  Bus:0x%02X Device:0x%02X Function:0x%02X\n",
          PciBus(a), PciDevice(a), PciFunction(a));
  c.Print(L"This chip revision is %d.\n", target.chip_revision);
  c.Print(L"This tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n",
          kChipVx5130, kChipVx5130A);
  c.Print(L"Vesmark Electronics release appropriate tool for this chip revision.\n");
  c.Reason(
      L"%ls: chip revision %d is not supported: this tool is for "
      L"revisions 3 and 4 (%ls skips the check)",
      Where(a).c_str(), target.chip_revision, revision_option_);
}

void ConsoleReporter::RevisionMismatch(const ControllerSeen& target,
                                       uint8_t image_revision) {
  const Console& c = console_;
  c.Print(L"This firmware revision is %x.\n", image_revision);
  c.Print(L"This chip revision is %x.\n", target.chip_revision);
  c.Print(L"Revision is mismatch.\n");
  c.Reason(
      L"%ls: the firmware is for chip revision %u, the controller's "
      L"chip is revision %u (%ls skips the check)",
      Where(target.address).c_str(), U(image_revision),
      U(target.chip_revision), revision_option_);
}

void ConsoleReporter::TargetChosen(const ControllerSeen& target) {
  const PciAddress a = target.address;
  console_.Print(L"[Target Device]Bus:0x%02X Device:0x%02X Function:0x%02X\n",
                 PciBus(a), PciDevice(a), PciFunction(a));
  ChipModel(target.chip_revision);
}

void ConsoleReporter::OpenFailed(PciAddress address, LibraryStatus status) {
  console_.Print(L"Can't open device! (%d)\n", I(status));
  if (status == kStatusBusy) {
    console_.Reason(
        L"%ls: the controller is in use by another program or "
        L"another run (library status %d): let that run finish, or "
        L"close the program that holds it, then run again",
        Where(address).c_str(), I(status));
  } else {
    console_.Reason(L"%ls: cannot open the controller (library status %d)",
                    Where(address).c_str(), I(status));
  }
}

void ConsoleReporter::RomTypeDiffers(const RomTypeDifference& d) {
  std::wstring detected =
      d.detected_type ? L"type " + std::to_wstring(d.detected_type)
                      : std::wstring(L"a part of no listed type");
  console_.Reason(
      L"%ls: %ls is for page size 0x%X, chip erase 0x%02X, but the "
      L"library reports %ls (page size 0x%X, chip erase 0x%02X); the "
      L"ROM may not verify: %ls 0 detects the part",
      Where(d.address).c_str(), ChosenType(static_cast<int>(d.selector)).c_str(),
      U(d.chosen.page_size), U(d.chosen.dev_code >> 8u),
      detected.c_str(), U(d.detected.page_size),
      U(d.detected.dev_code >> 8u), srom_option_);
}

void ConsoleReporter::RomUnsupported(PciAddress address, LibraryStatus) {
  console_.Print(L"Unsupported Serial ROM!\n");
  console_.Reason(L"%ls: the serial ROM part is not supported",
                  Where(address).c_str());
}

void ConsoleReporter::RomOfNoBytes(PciAddress address) {
  console_.Print(L"Unsupported Serial ROM!\n");
  console_.Reason(L"%ls: the library reports a ROM of 0 bytes",
                  Where(address).c_str());
}

void ConsoleReporter::RomGeometryFailed(PciAddress address, LibraryStatus status) {
  console_.Print(L"Can't get Serial ROM Information (%d)\n", I(status));
  console_.Reason(
      L"%ls: cannot read the serial ROM's geometry (library status "
      L"%d)",
      Where(address).c_str(), I(status));
}

void ConsoleReporter::RomTypeIdentified(PciAddress address, int rom_type,
                                        const RomGeometry& geometry) {
  if (rom_type >= 1 && rom_type <= 4) {
    console_.Print(kRomTypeDescription[rom_type]);
  } else {
    console_.Print(kRomTypeDescription[0], geometry.page_size,
                   geometry.dev_code >> 8);
    console_.Reason(L"%ls: the ROM matches none of the types 1 to 4",
                    Where(address).c_str());
  }
}

// The listing.

void ConsoleReporter::ListedController(const ControllerSeen& controller) {
  const PciAddress a = controller.address;
  console_.Print(L"Bus:0x%02X Device:0x%02X Function:0x%02X\n", PciBus(a),
                 PciDevice(a), PciFunction(a));
  ChipModel(controller.chip_revision);
}

void ConsoleReporter::ListedChipUnsupported(const ControllerSeen& controller) {
  console_.Print(L"     This chip revision is %d.\n", controller.chip_revision);
}

void ConsoleReporter::ListedRom(PciAddress, const DeviceInfo& info) {
  const Console& c = console_;
  const std::string version = FormatFirmwareVersion(info);
  c.Print(L"     FW Version : %ls\n",
          version.empty() ? L"None" : Wide(version).c_str());
  if (info.subsystem_vendor_id == 0) {
    c.Print(L"     PCI Subsystem Vendor ID : None\n");
  } else {
    c.Print(L"     PCI Subsystem Vendor ID : 0x%04X\n",
            info.subsystem_vendor_id);
  }
  if (info.subsystem_id == 0) {
    c.Print(L"     PCI Subsystem ID : None\n");
  } else {
    c.Print(L"     PCI Subsystem ID : 0x%04X\n", info.subsystem_id);
  }
  if (IsEui64Set(info))
    c.Print(L"     EUI-64 : %ls\n", Wide(FormatEui64(info.eui64)).c_str());
}

void ConsoleReporter::ListedRomWithout(PciAddress address, LibraryStatus status) {
  console_.Print(L"     FW Version : None\n");
  console_.Print(L"     PCI Subsystem Vendor ID : None\n");
  console_.Print(L"     PCI Subsystem ID : None\n");
  // The three "None" look alike; the status tells them apart.
  console_.Reason(L"%ls: %ls (library status %d)", Where(address).c_str(),
                  status == kStatusBlank     ? L"the ROM is blank"
                  : status == kStatusNoImage ? L"the ROM holds no image"
                                             : L"the ROM's image is damaged",
                  I(status));
}

void ConsoleReporter::ListedRomFailed(PciAddress address, LibraryStatus status) {
  console_.Print(L"Can't get device information! (%d)\n", I(status));
  console_.Reason(L"%ls: cannot read what the ROM holds (library status %d)",
                  Where(address).c_str(), I(status));
}

void ConsoleReporter::ListedUnsupportedNote() {
  console_.Print(L"\nThis tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n",
                 kChipVx5130, kChipVx5130A);
  console_.Print(L"Vesmark Electronics release appropriate tool for the chip revision.\n");
}

// Long operations.

void ConsoleReporter::OperationStarted(const RunningOperation& op) {
  console_.Print(TextsOf(op.operation).start_line);
  console_.Flush();
}

void ConsoleReporter::OperationProgress(const RunningOperation& op, uint32_t,
                                        uint32_t percent) {
  console_.Print(TextsOf(op.operation).progress_line, static_cast<int>(percent));
  console_.Flush();
}

void ConsoleReporter::OperationNotStarted(const RunningOperation& op,
                                          LibraryStatus status) {
  const OperationTexts texts = TextsOf(op.operation);
  console_.Print(texts.start_failure, I(status));
  console_.Reason(L"%ls: %ls did not start (library status %d)",
                  Where(op.address).c_str(), texts.name, I(status));
}

void ConsoleReporter::OperationFailed(const RunningOperation& op, uint32_t done,
                                      LibraryStatus status) {
  const OperationTexts texts = TextsOf(op.operation);
  console_.Print(texts.poll_failure, I(status));
  console_.Reason(L"%ls: %ls failed after %u of %u bytes (library status %d)",
                  Where(op.address).c_str(), texts.name, U(done), U(op.size),
                  I(status));
}

void ConsoleReporter::EraseComplete(PciAddress) {
  console_.Print(L"\rErase Serial ROM....  100%%\n");
  console_.Print(L"Erase complete\n");
}

void ConsoleReporter::WriteComplete(PciAddress) {
  console_.Print(L"\nWrite complete\n");
}

void ConsoleReporter::ReadComplete(PciAddress) { console_.Print(L"\n"); }

void ConsoleReporter::VerifyComplete(PciAddress) {
  console_.Print(L"\nVerify complete\n");
}

void ConsoleReporter::VerifyMismatch(const VerifyDifference& d) {
  console_.Print(L"\nERROR::Verify mismatch!\n");
  console_.Reason(
      L"%ls: verify mismatch: %u of %u bytes differ, the first at "
      L"offset 0x%05X (ROM 0x%02X, image 0x%02X)",
      Where(d.address).c_str(), U(d.differing), U(d.size), U(d.offset),
      U(d.rom_byte), U(d.image_byte));
}

// Images and files.

void ConsoleReporter::UnreadInputs(const ImageBuildFailure& e) {
  for (const InputProblem& p : e.problems)
    console_.Reason(L"cannot read the %ls file \"%ls\": %ls",
                    InputName(p.input), p.path.c_str(), p.why.c_str());
  if (e.problems.empty())
    console_.Reason(
        L"the library could not read an input file (library status "
        L"%d)",
        I(e.status));
}

void ConsoleReporter::RefusedInput(const ImageBuildFailure& e) {
  const InputProblem& p = e.problems.front();
  const wchar_t* seen =
      p.defect == InputDefect::kEmpty ? L": the file is empty"
      : p.defect == InputDefect::kNotEui64
          ? L": it must hold eight hexadecimal pairs joined by \"-\", "
            L"e.g. 02-56-58-FF-FE-00-00-01"
      : p.defect == InputDefect::kNoSetting
          ? L": it holds no \"Key = Value\" line"
          : L"";
  console_.Reason(
      L"the %ls file \"%ls\" was refused by the library (library "
      L"status %d)%ls",
      InputName(p.input), p.path.c_str(), I(e.status), seen);
}

void ConsoleReporter::ImageBuildFailed(const ImageBuildFailure& e) {
  console_.Print(e.made ? L"Make SROM Image error (%d)\n"
                        : L"Update SROM Image error (%d)\n",
                 I(e.status));
  if (e.exit_code == kExitFile) {
    UnreadInputs(e);
  } else if (!e.problems.empty()) {
    RefusedInput(e);
  } else if (e.exit_code == kExitImage) {
    console_.Reason(
        L"the image does not fit the ROM type in use (library status "
        L"%d)",
        I(e.status));
  } else {
    console_.Reason(L"the library could not build the image (library status %d)",
                    I(e.status));
  }
}

void ConsoleReporter::ImageInfoFailed(LibraryStatus status) {
  console_.Print(L"Get SROM Image Info error (%d)\n", I(status));
  console_.Reason(
      L"the library cannot tell which chip revision the image is "
      L"for (library status %d)",
      I(status));
}

void ConsoleReporter::FileOpenFailed(const std::wstring& path, bool output,
                                     int error_number, const std::wstring& why) {
  console_.Print(output ? L"Output file open error: %ls(wb) (%d)\n"
                        : L"Image file open error: %ls(wb) (%d)\n",
                 path.c_str(), error_number);
  console_.Reason(L"cannot write \"%ls\": %ls", path.c_str(), why.c_str());
}

void ConsoleReporter::FileWriteStarted(const std::wstring&) {
  console_.Print(L"Write output file....  0%%");
  console_.Flush();
}

void ConsoleReporter::FileWriteFailed(const std::wstring& path,
                                      const std::wstring& why) {
  console_.Print(L"Image file write error\n");
  console_.Reason(L"writing \"%ls\" failed: %ls", path.c_str(), why.c_str());
}

void ConsoleReporter::FileWritten(const std::wstring&) {
  console_.Print(L"\rWrite output file....  100%% ");
  console_.Print(L"\nWrite complete\n");
}

void ConsoleReporter::DumpComplete(const std::wstring&) {
  console_.Print(L"Dump complete\n");
}

void ConsoleReporter::ImageGenComplete(const std::wstring&) {
  console_.Print(L"Image generate complete\n");
}

// Writing to all controllers.

void ConsoleReporter::RomSizeMismatch(PciAddress address, uint32_t rom_bytes,
                                      uint32_t image_bytes) {
  console_.Print(L"SROM size error!\n");
  console_.Reason(
      L"%ls: the ROM holds %u bytes; /writeall with /srom 0 writes "
      L"only ROMs of %u bytes",
      Where(address).c_str(), U(rom_bytes), U(image_bytes));
}

void ConsoleReporter::ControllerPassedOver(const ControllerSeen& controller,
                                           uint8_t image_revision) {
  console_.Reason(
      L"%ls (chip revision %u): passed over: the firmware is for "
      L"chip revision %u",
      Where(controller.address).c_str(), U(controller.chip_revision),
      U(image_revision));
}

void ConsoleReporter::ControllerFailed(const ControllerSeen& controller,
                                       ExitCode result) {
  console_.Reason(
      L"%ls (chip revision %u): failed (exit code %d); the "
      L"controllers after it are not taken up",
      Where(controller.address).c_str(), U(controller.chip_revision),
      I(result));
}

void ConsoleReporter::ControllerVerified(const ControllerSeen& controller) {
  console_.Reason(L"%ls (chip revision %u): written and verified",
                  Where(controller.address).c_str(),
                  U(controller.chip_revision));
}

void ConsoleReporter::ControllerUnverified(const ControllerSeen& controller,
                                           ExitCode result) {
  console_.Reason(
      L"%ls (chip revision %u): written, but verification failed "
      L"(exit code %d)",
      Where(controller.address).c_str(), U(controller.chip_revision),
      I(result));
}

void ConsoleReporter::WriteAllSummary(const WriteTally& t,
                                      const std::wstring& eui64_path) {
  std::wstring untouched;
  if (t.untouched)
    untouched = L", " + std::to_wstring(t.untouched) + L" left untouched";
  console_.Reason(
      L"/writeall: %u written and verified, %u failed, %u passed "
      L"over%ls",
      U(t.verified), U(t.failed), U(t.passed_over), untouched.c_str());
  const uint32_t written = t.verified + t.failed;
  if (!eui64_path.empty() && written > 1) {
    console_.Reason(
        L"warning: the same EUI-64 from \"%ls\" went to all %u "
        L"controllers written; each board needs its own (write them "
        L"one /address at a time)",
        eui64_path.c_str(), U(written));
  }
}

void ConsoleReporter::NoMatchingController(uint8_t image_revision) {
  console_.Print(L"Device not found!\n");
  console_.Reason(L"no controller of chip revision %u, which the firmware is for",
                  U(image_revision));
}

// The library itself.

void ConsoleReporter::LibraryNotLoaded(const std::wstring& why,
                                       bool incomplete) {
  console_.Reason(L"%ls", why.c_str());
  if (!incomplete) {
#ifdef _WIN32
    console_.Reason(
        L"vxctl.dll is the controller library of the "
        L"controllers' maker: put the maker's vxctl.dll beside "
        L"the program (or in System32); the simulator package "
        L"has a stand-in in a folder of its own, to try the "
        L"program without hardware");
#else
    console_.Reason(
        L"libvxctl.so is the controller library of the "
        L"controllers' maker: install it beside the program or "
        L"on the library path; to try the program without "
        L"hardware, the vxsrom-simulator package brings a "
        L"stand-in (run vxsrom-sim)");
#endif
  }
  console_.Print(L"vxctl Library Initilize Error! (%d)\n", I(kExitFailed));
}

void ConsoleReporter::LibraryNotStarted(LibraryStatus status) {
  console_.Reason(
      L"the controller library did not start (library "
      L"status %d)",
      I(status));
  console_.Print(L"vxctl Library Initilize Error! (%d)\n", I(status));
}

void ConsoleReporter::LibraryNotStopped(LibraryStatus status) {
  console_.Print(L"vxctl Library Terminate Error! (%d)\n", I(status));
  console_.Reason(
      L"the controller library did not stop cleanly (library "
      L"status %d)",
      I(status));
}

// A request to stop, held back.

void ConsoleReporter::StopHeld(StopScope scope, PciAddress address,
                               uint32_t left) {
  switch (scope) {
    case StopScope::kOperation:
      console_.Reason(
          L"stop requested: the ROM operation in progress is "
          L"finished first, then the program stops");
      break;
    case StopScope::kErase:
      console_.Reason(
          L"stop requested: the erase is finished first, then the "
          L"program stops");
      break;
    case StopScope::kRom:
      console_.Reason(
          L"stop requested: the ROM is finished first (erase, "
          L"write and verify), then the program stops");
      break;
    case StopScope::kController:
      console_.Reason(
          L"stop requested: %ls is finished first (erase, write "
          L"and verify); %u %ls left untouched",
          Where(address).c_str(), U(left),
          left == 1 ? L"controller is" : L"controllers are");
      break;
  }
}
