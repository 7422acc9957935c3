#include "words/console_reporter.h"

#include <string>

#include "device/exit_codes.h"
#include "device/rom_types.h"

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

void ConsoleReporter::ReportTarget(const Event& e) {
  const Console& c = console_;
  const PciAddress a = e.address;
  switch (e.kind) {
    case EventKind::kEnumerationFailed:
      c.Print(L"Device Enumration Error! (%d)\n", I(e.status));
      c.Reason(L"cannot enumerate the controllers (library status %d)",
               I(e.status));
      break;
    case EventKind::kCountUnsettled:
      c.Reason(
          L"the controller count kept changing over %u enumerations "
          L"(last %u)",
          U(e.total), U(e.count));
      c.Print(L"Device Enumration Error! (%d)\n", -1);
      break;
    case EventKind::kNoMemoryForList:
      c.Print(L"Memory allocate error = %d\n", I(static_cast<int32_t>(e.total)));
      c.Reason(L"out of memory for %u controller records", U(e.count));
      break;
    case EventKind::kNoMemoryForBuffer:
      c.Print(L"Memory allocate error = %d\n", I(static_cast<int32_t>(e.total)));
      c.Reason(L"out of memory for a buffer of %u bytes", U(e.total));
      break;
    case EventKind::kNoController:
      c.Print(L"Device not found!\n");
      c.Reason(L"no VX5130 or VX5130A controller found");
      break;
    case EventKind::kAddressNotFound:
      c.Print(L"Specified device by \"/address\" option isn't VX5130 or VX5130A!\n");
      c.Reason(L"%ls %ls: no such controller; present: %ls", address_option_,
               Where(a).c_str(), AddressList(e.addresses).c_str());
      break;
    case EventKind::kSeveralControllers:
      c.Print(L"%d device was found! Please select device by \"/address\" option.\n",
              static_cast<int>(e.addresses.size()));
      c.Reason(L"%u controllers found (%ls): choose one with %ls, e.g. %ls %ls",
               U(static_cast<uint32_t>(e.addresses.size())),
               AddressList(e.addresses).c_str(), address_option_,
               address_option_, Where(e.addresses[0]).c_str());
      break;
    case EventKind::kUnsupportedChip:
      c.Print(L"[Target Device]  Bus:0x%02X Device:0x%02X Function:0x%02X\n",
              PciBus(a), PciDevice(a), PciFunction(a));
      c.Print(L"This chip revision is %d.\n", e.chip_revision);
      c.Print(L"This tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n",
              kChipVx5130, kChipVx5130A);
      c.Print(L"Vesmark Electronics release appropriate tool for this chip revision.\n");
      c.Reason(
          L"%ls: chip revision %d is not supported: this tool is for "
          L"revisions 3 and 4 (%ls skips the check)",
          Where(a).c_str(), e.chip_revision, revision_option_);
      break;
    case EventKind::kRevisionMismatch:
      c.Print(L"This firmware revision is %x.\n", e.image_revision);
      c.Print(L"This chip revision is %x.\n", e.chip_revision);
      c.Print(L"Revision is mismatch.\n");
      c.Reason(
          L"%ls: the firmware is for chip revision %u, the controller's "
          L"chip is revision %u (%ls skips the check)",
          Where(a).c_str(), U(e.image_revision), U(e.chip_revision),
          revision_option_);
      break;
    case EventKind::kTargetChosen:
      c.Print(L"[Target Device]Bus:0x%02X Device:0x%02X Function:0x%02X\n",
              PciBus(a), PciDevice(a), PciFunction(a));
      ChipModel(e.chip_revision);
      break;
    case EventKind::kOpenFailed:
      c.Print(L"Can't open device! (%d)\n", I(e.status));
      if (e.status == kStatusBusy) {
        c.Reason(
            L"%ls: the controller is in use by another program or "
            L"another run (library status %d): let that run finish, or "
            L"close the program that holds it, then run again",
            Where(a).c_str(), I(e.status));
      } else {
        c.Reason(L"%ls: cannot open the controller (library status %d)",
                 Where(a).c_str(), I(e.status));
      }
      break;
    case EventKind::kRomTypeDiffers: {
      std::wstring detected =
          e.count ? L"type " + std::to_wstring(e.count)
                  : std::wstring(L"a part of no listed type");
      c.Reason(
          L"%ls: %ls is for page size 0x%X, chip erase 0x%02X, but the "
          L"library reports %ls (page size 0x%X, chip erase 0x%02X); the "
          L"ROM may not verify: %ls 0 detects the part",
          Where(a).c_str(), ChosenType(e.rom_type).c_str(),
          U(e.geometry.page_size), U(e.geometry.dev_code >> 8u),
          detected.c_str(), U(e.detected.page_size),
          U(e.detected.dev_code >> 8u), srom_option_);
      break;
    }
    case EventKind::kRomUnsupported:
      c.Print(L"Unsupported Serial ROM!\n");
      c.Reason(L"%ls: the serial ROM part is not supported", Where(a).c_str());
      break;
    case EventKind::kRomOfNoBytes:
      c.Print(L"Unsupported Serial ROM!\n");
      c.Reason(L"%ls: the library reports a ROM of 0 bytes", Where(a).c_str());
      break;
    case EventKind::kRomGeometryFailed:
      c.Print(L"Can't get Serial ROM Information (%d)\n", I(e.status));
      c.Reason(
          L"%ls: cannot read the serial ROM's geometry (library status "
          L"%d)",
          Where(a).c_str(), I(e.status));
      break;
    case EventKind::kRomTypeIdentified:
      if (e.rom_type >= 1 && e.rom_type <= 4) {
        c.Print(kRomTypeDescription[e.rom_type]);
      } else {
        c.Print(kRomTypeDescription[0], e.geometry.page_size,
                e.geometry.dev_code >> 8);
        c.Reason(L"%ls: the ROM matches none of the types 1 to 4",
                 Where(a).c_str());
      }
      break;
    default:
      break;
  }
}

void ConsoleReporter::ReportListing(const Event& e) {
  const Console& c = console_;
  const PciAddress a = e.address;
  switch (e.kind) {
    case EventKind::kListedController:
      c.Print(L"Bus:0x%02X Device:0x%02X Function:0x%02X\n", PciBus(a),
              PciDevice(a), PciFunction(a));
      ChipModel(e.chip_revision);
      break;
    case EventKind::kListedChipUnsupported:
      c.Print(L"     This chip revision is %d.\n", e.chip_revision);
      break;
    case EventKind::kListedRom: {
      const std::string version = FormatFirmwareVersion(e.info);
      c.Print(L"     FW Version : %ls\n",
              version.empty() ? L"None" : Wide(version).c_str());
      if (e.info.subsystem_vendor_id == 0) {
        c.Print(L"     PCI Subsystem Vendor ID : None\n");
      } else {
        c.Print(L"     PCI Subsystem Vendor ID : 0x%04X\n",
                e.info.subsystem_vendor_id);
      }
      if (e.info.subsystem_id == 0) {
        c.Print(L"     PCI Subsystem ID : None\n");
      } else {
        c.Print(L"     PCI Subsystem ID : 0x%04X\n", e.info.subsystem_id);
      }
      if (IsEui64Set(e.info))
        c.Print(L"     EUI-64 : %ls\n", Wide(FormatEui64(e.info.eui64)).c_str());
      break;
    }
    case EventKind::kListedRomWithout:
      c.Print(L"     FW Version : None\n");
      c.Print(L"     PCI Subsystem Vendor ID : None\n");
      c.Print(L"     PCI Subsystem ID : None\n");
      // The three "None" look alike; the status tells them apart.
      c.Reason(L"%ls: %ls (library status %d)", Where(a).c_str(),
               e.status == kStatusBlank     ? L"the ROM is blank"
               : e.status == kStatusNoImage ? L"the ROM holds no image"
                                            : L"the ROM's image is damaged",
               I(e.status));
      break;
    case EventKind::kListedRomFailed:
      c.Print(L"Can't get device information! (%d)\n", I(e.status));
      c.Reason(L"%ls: cannot read what the ROM holds (library status %d)",
               Where(a).c_str(), I(e.status));
      break;
    case EventKind::kListedUnsupportedNote:
      c.Print(L"\nThis tool is for VX5130(Revision %d) and VX5130A(Revision %d).\n",
              kChipVx5130, kChipVx5130A);
      c.Print(L"Vesmark Electronics release appropriate tool for the chip revision.\n");
      break;
    default:
      break;
  }
}

void ConsoleReporter::ReportOperation(const Event& e) {
  const Console& c = console_;
  const OperationTexts texts = TextsOf(e.operation);
  switch (e.kind) {
    case EventKind::kOperationStarted:
      c.Print(texts.start_line);
      c.Flush();
      break;
    case EventKind::kOperationProgress:
      c.Print(texts.progress_line, static_cast<int>(e.percent));
      c.Flush();
      break;
    case EventKind::kOperationNotStarted:
      c.Print(texts.start_failure, I(e.status));
      c.Reason(L"%ls: %ls did not start (library status %d)",
               Where(e.address).c_str(), texts.name, I(e.status));
      break;
    case EventKind::kOperationFailed:
      c.Print(texts.poll_failure, I(e.status));
      c.Reason(L"%ls: %ls failed after %u of %u bytes (library status %d)",
               Where(e.address).c_str(), texts.name, U(e.count), U(e.total),
               I(e.status));
      break;
    case EventKind::kEraseComplete:
      c.Print(L"\rErase Serial ROM....  100%%\n");
      c.Print(L"Erase complete\n");
      break;
    case EventKind::kWriteComplete:
      c.Print(L"\nWrite complete\n");
      break;
    case EventKind::kReadComplete:
      c.Print(L"\n");
      break;
    case EventKind::kVerifyComplete:
      c.Print(L"\nVerify complete\n");
      break;
    case EventKind::kVerifyMismatch:
      c.Print(L"\nERROR::Verify mismatch!\n");
      c.Reason(
          L"%ls: verify mismatch: %u of %u bytes differ, the first at "
          L"offset 0x%05X (ROM 0x%02X, image 0x%02X)",
          Where(e.address).c_str(), U(e.count), U(e.total), U(e.offset),
          U(e.rom_byte), U(e.image_byte));
      break;
    default:
      break;
  }
}

void ConsoleReporter::ReportImageBuild(const Event& e) {
  const Console& c = console_;
  c.Print(e.made ? L"Make SROM Image error (%d)\n"
                 : L"Update SROM Image error (%d)\n",
          I(e.status));
  if (e.exit_code == kExitFile) {
    for (const InputProblem& p : e.problems)
      c.Reason(L"cannot read the %ls file \"%ls\": %ls", InputName(p.input),
               p.path.c_str(), p.why.c_str());
    if (e.problems.empty())
      c.Reason(
          L"the library could not read an input file (library status "
          L"%d)",
          I(e.status));
  } else if (!e.problems.empty()) {
    const InputProblem& p = e.problems.front();
    const wchar_t* seen =
        p.defect == InputDefect::kEmpty ? L": the file is empty"
        : p.defect == InputDefect::kNotEui64
            ? L": it must hold eight hexadecimal pairs joined by \"-\", "
              L"e.g. 02-56-58-FF-FE-00-00-01"
        : p.defect == InputDefect::kNoSetting
            ? L": it holds no \"Key = Value\" line"
            : L"";
    c.Reason(
        L"the %ls file \"%ls\" was refused by the library (library "
        L"status %d)%ls",
        InputName(p.input), p.path.c_str(), I(e.status), seen);
  } else if (e.exit_code == kExitImage) {
    c.Reason(
        L"the image does not fit the ROM type in use (library status "
        L"%d)",
        I(e.status));
  } else {
    c.Reason(L"the library could not build the image (library status %d)",
             I(e.status));
  }
}

void ConsoleReporter::ReportFile(const Event& e) {
  const Console& c = console_;
  switch (e.kind) {
    case EventKind::kImageBuildFailed:
      ReportImageBuild(e);
      break;
    case EventKind::kImageInfoFailed:
      c.Print(L"Get SROM Image Info error (%d)\n", I(e.status));
      c.Reason(
          L"the library cannot tell which chip revision the image is "
          L"for (library status %d)",
          I(e.status));
      break;
    case EventKind::kFileOpenFailed:
      c.Print(e.output ? L"Output file open error: %ls(wb) (%d)\n"
                       : L"Image file open error: %ls(wb) (%d)\n",
              e.path.c_str(), e.error_number);
      c.Reason(L"cannot write \"%ls\": %ls", e.path.c_str(), e.why.c_str());
      break;
    case EventKind::kFileWriteStarted:
      c.Print(L"Write output file....  0%%");
      c.Flush();
      break;
    case EventKind::kFileWriteFailed:
      c.Print(L"Image file write error\n");
      c.Reason(L"writing \"%ls\" failed: %ls", e.path.c_str(), e.why.c_str());
      break;
    case EventKind::kFileWritten:
      c.Print(L"\rWrite output file....  100%% ");
      c.Print(L"\nWrite complete\n");
      break;
    case EventKind::kDumpComplete:
      c.Print(L"Dump complete\n");
      break;
    case EventKind::kImageGenComplete:
      c.Print(L"Image generate complete\n");
      break;
    default:
      break;
  }
}

void ConsoleReporter::ReportWriteAll(const Event& e) {
  const Console& c = console_;
  const std::wstring where = Where(e.address);
  const unsigned chip = U(e.chip_revision);
  switch (e.kind) {
    case EventKind::kRomSizeMismatch:
      c.Print(L"SROM size error!\n");
      c.Reason(
          L"%ls: the ROM holds %u bytes; /writeall with /srom 0 writes "
          L"only ROMs of %u bytes",
          where.c_str(), U(e.count), U(e.total));
      break;
    case EventKind::kControllerPassedOver:
      c.Reason(
          L"%ls (chip revision %u): passed over: the firmware is for "
          L"chip revision %u",
          where.c_str(), chip, U(e.image_revision));
      break;
    case EventKind::kControllerFailed:
      c.Reason(
          L"%ls (chip revision %u): failed (exit code %d); the "
          L"controllers after it are not taken up",
          where.c_str(), chip, I(e.exit_code));
      break;
    case EventKind::kControllerVerified:
      c.Reason(L"%ls (chip revision %u): written and verified", where.c_str(),
               chip);
      break;
    case EventKind::kControllerUnverified:
      c.Reason(
          L"%ls (chip revision %u): written, but verification failed "
          L"(exit code %d)",
          where.c_str(), chip, I(e.exit_code));
      break;
    case EventKind::kWriteAllSummary: {
      const WriteTally& t = e.tally;
      std::wstring untouched;
      if (t.untouched)
        untouched = L", " + std::to_wstring(t.untouched) + L" left untouched";
      c.Reason(
          L"/writeall: %u written and verified, %u failed, %u passed "
          L"over%ls",
          U(t.verified), U(t.failed), U(t.passed_over), untouched.c_str());
      const uint32_t written = t.verified + t.failed;
      if (!e.path.empty() && written > 1) {
        c.Reason(
            L"warning: the same EUI-64 from \"%ls\" went to all %u "
            L"controllers written; each board needs its own (write them "
            L"one /address at a time)",
            e.path.c_str(), U(written));
      }
      break;
    }
    case EventKind::kNoMatchingController:
      c.Print(L"Device not found!\n");
      c.Reason(L"no controller of chip revision %u, which the firmware is for",
               U(e.image_revision));
      break;
    default:
      break;
  }
}

void ConsoleReporter::ReportStop(const Event& e) {
  switch (e.stop_scope) {
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
          Where(e.address).c_str(), U(e.count),
          e.count == 1 ? L"controller is" : L"controllers are");
      break;
  }
}

void ConsoleReporter::Report(const Event& e) {
  switch (e.kind) {
    case EventKind::kEnumerationFailed:
    case EventKind::kCountUnsettled:
    case EventKind::kNoMemoryForList:
    case EventKind::kNoMemoryForBuffer:
    case EventKind::kNoController:
    case EventKind::kAddressNotFound:
    case EventKind::kSeveralControllers:
    case EventKind::kUnsupportedChip:
    case EventKind::kRevisionMismatch:
    case EventKind::kTargetChosen:
    case EventKind::kOpenFailed:
    case EventKind::kRomUnsupported:
    case EventKind::kRomOfNoBytes:
    case EventKind::kRomGeometryFailed:
    case EventKind::kRomTypeIdentified:
    case EventKind::kRomTypeDiffers:
      ReportTarget(e);
      break;
    case EventKind::kListedController:
    case EventKind::kListedChipUnsupported:
    case EventKind::kListedRom:
    case EventKind::kListedRomWithout:
    case EventKind::kListedRomFailed:
    case EventKind::kListedUnsupportedNote:
      ReportListing(e);
      break;
    case EventKind::kOperationStarted:
    case EventKind::kOperationProgress:
    case EventKind::kOperationNotStarted:
    case EventKind::kOperationFailed:
    case EventKind::kEraseComplete:
    case EventKind::kWriteComplete:
    case EventKind::kReadComplete:
    case EventKind::kVerifyComplete:
    case EventKind::kVerifyMismatch:
      ReportOperation(e);
      break;
    case EventKind::kImageBuildFailed:
    case EventKind::kImageInfoFailed:
    case EventKind::kFileOpenFailed:
    case EventKind::kFileWriteStarted:
    case EventKind::kFileWriteFailed:
    case EventKind::kFileWritten:
    case EventKind::kDumpComplete:
    case EventKind::kImageGenComplete:
      ReportFile(e);
      break;
    case EventKind::kRomSizeMismatch:
    case EventKind::kControllerPassedOver:
    case EventKind::kControllerFailed:
    case EventKind::kControllerVerified:
    case EventKind::kControllerUnverified:
    case EventKind::kWriteAllSummary:
    case EventKind::kNoMatchingController:
      ReportWriteAll(e);
      break;
    case EventKind::kStopHeld:
      ReportStop(e);
      break;
    case EventKind::kLibraryNotLoaded:
      console_.Reason(L"%ls", e.why.c_str());
      if (e.count) {
        console_.Print(L"vxctl Library Initilize Error! (%d)\n", -1);
        break;
      }
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
      console_.Print(L"vxctl Library Initilize Error! (%d)\n", -1);
      break;
    case EventKind::kLibraryNotStarted:
      console_.Reason(
          L"the controller library did not start (library "
          L"status %d)",
          I(e.status));
      console_.Print(L"vxctl Library Initilize Error! (%d)\n", I(e.status));
      break;
    case EventKind::kLibraryNotStopped:
      console_.Print(L"vxctl Library Terminate Error! (%d)\n", I(e.status));
      console_.Reason(
          L"the controller library did not stop cleanly (library "
          L"status %d)",
          I(e.status));
      break;
  }
}
