#include "vxrom/provision/board_choice.h"

#include <algorithm>

#include "device/exit_codes.h"
#include "device/library_loader.h"
#include "device/listing.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/text.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "vxrom/output.h"
#include "vxrom/store_access.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;
using namespace line;
using namespace store;

namespace {

/// The chip's model, for a reason.
std::string Model(uint8_t revision) {
  return revision == kChipVx5130 ? "a VX5130" : revision == kChipVx5130A ? "a VX5130A"
                                                                         : "a controller";
}

/// The chosen boards among the controllers found, each with what its ROM
/// holds.  @return 0 or -6.
ExitCode TakeBoards(const ProvisionOptions& options, DeviceSession& session, uint8_t revision,
                    std::vector<BoardState>* boards) {
  const std::vector<PciAddress>& named = options.addresses;
  for (uint32_t i = 0; i < session.devices.count; ++i) {
    const DeviceRecord record = session.devices.list[i];
    const PciAddress address = record.address;
    const bool wanted = named.empty() || std::count(named.begin(), named.end(), address) > 0;
    if (!IsSupportedChip(record.chip_revision) || !RevisionMatches(revision, record.chip_revision)) {
      VxromReason(FormatPciAddress(address) + " is " + Model(record.chip_revision) + " (chip revision " +
                  std::to_string(record.chip_revision) + "), not of the firmware's revision " +
                  std::to_string(revision) + ": left alone");
      if (!named.empty() && wanted) return kExitNoController;
      continue;
    }
    if (!wanted) continue;
    BoardState board;
    board.address = address;
    board.chip_revision = record.chip_revision;
    ControllerReport report;
    report.address = address;
    SurveyController(session, &report);
    if (report.contents == RomContents::kImage && IsEui64Set(report.info)) {
      uint64_t number = 0;
      for (uint8_t byte : report.info.eui64) number = number << 8 | byte;
      board.rom_eui = number;
    }
    boards->push_back(board);
  }
  for (PciAddress a : named) {
    if (std::none_of(boards->begin(), boards->end(), [a](const BoardState& b) { return b.address == a; })) {
      VxromReason("--address " + FormatPciAddress(a) + ": no controller there: nothing written");
      return kExitNoController;
    }
  }
  if (boards->empty()) {
    VxromReason("no controller of chip revision " + std::to_string(revision) +
                ", which the firmware is for: nothing written");
    return kExitNoController;
  }
  if (options.expect != 0 && boards->size() != options.expect) {
    VxromReason(std::to_string(boards->size()) + " board" + (boards->size() == 1 ? " is" : "s are") +
                " chosen, --expect " + std::to_string(options.expect) +
                ": is a board missing, or one too many seated? No board touched");
    return kExitNoController;
  }
  return kExitOk;
}

/// True when --rework names the board (or all).
bool Reworked(const ProvisionOptions& options, PciAddress address) {
  for (const std::string& word : options.rework) {
    PciAddress named = kNoAddress;
    if (word == "all" || (ParsePciAddress(word, &named) && named == address)) return true;
  }
  return false;
}

}  // namespace

ExitCode ChooseBoards(const ProvisionOptions& options, std::vector<BoardState>* boards) {
  const Console console(nullptr, L"vxrom");
  ConsoleReporter reporter(console, L"--address", L"--no-revision-check");
  DeviceSession session(&reporter);
  session.rom_type_selector = kRomTypeAuto;
  RomJob job(session);
  job.firmware_path = options.firmware_path;
  job.config_path = options.config_path;
  StartedLibrary library;
  ExitCode result = library.Start(session);
  if (result != 0) return result;
  PreparedImage image;
  if ((result = LoadSomeDevices(session)) == 0)
    result = PrepareImage(job, nullptr, RevisionCheck::kByCaller, &image);
  if (result == 0) result = TakeBoards(options, session, image.revision, boards);
  return library.Stop(session, result);
}

ExitCode SkipProgrammed(const ProvisionOptions& options, Store& store, std::vector<BoardState>* boards) {
  for (const std::string& word : options.rework) {
    PciAddress named = kNoAddress;
    if (word != "all" && (!ParsePciAddress(word, &named) ||
                          std::none_of(boards->begin(), boards->end(),
                                       [named](const BoardState& b) { return b.address == named; }))) {
      VxromReason("--rework " + word + ": no chosen board there (an address, BB:DD.F, or all)");
      return kExitCommandLine;
    }
  }
  std::string reason;
  for (BoardState& b : *boards) {
    b.rework = Reworked(options, b.address);
    if (!b.rom_eui) continue;
    std::optional<HistoryRecord> record;
    const StoreStatus status = store.ProgrammedNumber(*b.rom_eui, &record, &reason);
    if (status != StoreStatus::kOk) return StoreFailure(status, reason);
    if (!record) continue;
    if (b.rework) {
      // The board keeps the number history gives it; a serial named for
      // it must be that number's (scan.cc refuses another).
      b.keeps = true;
      b.eui = b.rom_eui;
      b.rom_serial = record->serial;
      continue;
    }
    b.stage = BoardStage::kSkipped;
    b.phase = "skipped";
    b.serial = record->serial;
    b.eui = b.rom_eui;
    b.reason = "skipped: programmed as " + record->serial.value_or("(no serial)") + ", EUI " +
               FormatEui64Value(*b.rom_eui) + " (--rework " + FormatPciAddress(b.address) +
               " programs it anew)";
  }
  return kExitOk;
}
