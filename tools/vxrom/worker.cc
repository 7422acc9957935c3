#include "vxrom/worker.h"

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/console_reporter.h"
#include "device/library_loader.h"
#include "device/session.h"
#include "device/target.h"
#include "platform/digest.h"
#include "platform/process.h"
#include "rom/actions.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "vxrom/store.h"
#include "vxrom/text.h"

namespace {

typedef nlohmann::ordered_json Json;

/// One event to the parent, whole lines only, at once.
void Tell(Json event) {
  WriteResult(event.dump() + "\n");
}

const char* PhaseName(RomOperation operation) {
  switch (operation) {
    case RomOperation::kErase:
      return "erase";
    case RomOperation::kWrite:
      return "write";
    default:
      return "verify";
  }
}

/// The facts the parent keeps go to it as JSON; the reasons, in vxrom's
/// words, to standard error.
class WorkerReporter : public Reporter {
 public:
  explicit WorkerReporter(const Console& console)
      : words_(console, L"--address", L"--no-revision-check") {}

  void Report(const Event& e) override {
    switch (e.kind) {
      case EventKind::kTargetChosen:
        Tell({{"event", "target"}, {"chip_revision", e.chip_revision}});
        break;
      case EventKind::kOperationStarted:
      case EventKind::kOperationProgress:
        if (e.operation == RomOperation::kDumpRead) break;
        Tell({{"event", "phase"}, {"phase", PhaseName(e.operation)}, {"percent", e.percent}});
        break;
      default:
        break;
    }
    words_.Report(e);
  }

 private:
  ConsoleReporter words_;
};

/// The .eui file the library builds the image from: the board's own
/// number, in a file of this process.
bool WriteEuiFile(const std::string& eui, std::wstring* path) {
  std::error_code error;
  std::filesystem::path file = std::filesystem::temp_directory_path(error);
  if (error) return false;
  file /= "vxrom-" + std::to_string(platform::CurrentProcessId()) + ".eui";
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << eui << "\n";
  out.close();
  if (!out) return false;
  *path = file.wstring();
  return true;
}

int WorkerSteps(RomJob& job, RomBuffer& image) {
  DeviceSession& session = job.session;
  SelectedControllerGuard guard(session);
  int result = OpenTarget(session, NO_REVISION);
  if (result != 0) return result;
  // History names the listed ROM type (1 to 4) the detected part equals.
  const int rom_type = session.rom_types.ListedType(session.geometry());
  if (rom_type != 0) Tell({{"event", "rom_type"}, {"rom_type", rom_type}});
  const uint32_t size = ImageSize(session.geometry());
  if ((result = AllocateRomBuffer(session, size, &image)) != 0) return result;
  if ((result = UpdateImage(job, &session.geometry(), image.get())) != 0) return result;
  uint8_t revision = NO_REVISION;
  if ((result = ImageRevision(job, image.get(), size, &revision)) != 0) return result;
  if (revision != NO_REVISION && (result = CheckSelectedRevision(session, revision)) != 0)
    return result;
  Tell({{"event", "image"}, {"sha256", platform::Sha256Hex(image.get(), size)}});
  // From here on the board may carry the number, whatever happens next.
  Tell({{"event", "touching"}});
  if ((result = EraseAndWrite(job, image.get(), size)) != 0) return result;
  if ((result = VerifySrom(job, image.get(), size)) != 0) return result;
  DeviceInfo info = {};
  const PciAddress address = session.devices.open_address;
  if (session.library->GetDeviceInfo(address, &info) == 0) {
    Json event = {{"event", "info"},
                  {"firmware_version", FormatFirmwareVersion(info)},
                  {"subsystem_vendor_id", info.subsystem_vendor_id},
                  {"subsystem_id", info.subsystem_id}};
    Tell(event);
  }
  return 0;
}

}  // namespace

int WorkerCommand(const VxromOptions& options) {
  const Console console(nullptr, L"vxrom");
  WorkerReporter reporter(console);
  DeviceSession session(&reporter);
  session.rom_type_selector = kRomTypeAuto;
  session.has_target_address = true;
  session.target_address = options.address;
  RomJob job(session);
  job.firmware_path = options.firmware_path;
  job.config_path = options.config_path;
  int result = 0;
  if (options.has_eui && !WriteEuiFile(options.eui, &job.eui64_path)) {
    VxromReasons().Reason(L"cannot write the board's EUI-64 file in the temporary folder");
    result = -12;
  }
  if (result == 0) {
    StartedLibrary library;
    result = library.Start(session);
    if (result == 0) {
      RomBuffer image;
      result = WorkerSteps(job, image);
      NoticeStopRequest(session, &job.stop);
      result = library.Stop(session, result);
    }
  }
  if (!job.eui64_path.empty()) {
    std::error_code ignored;
    std::filesystem::remove(std::filesystem::path(job.eui64_path), ignored);
  }
  Tell({{"event", "done"}, {"result", result}});
  return result;
}
