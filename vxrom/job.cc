#include "vxrom/job.h"

#include <nlohmann/json.hpp>

#include "device/library_loader.h"
#include "device/session.h"
#include "platform/digest.h"
#include "platform/files.h"
#include "platform/text.h"
#include "rom/image_source.h"
#include "rom/job.h"
#include "store/jobs.h"
#include "vxrom/output.h"
#include "vxrom/store_access.h"
#include "words/console_reporter.h"

using namespace device;
using namespace rom;
using namespace store;
using namespace line;

namespace {

typedef nlohmann::ordered_json Json;

/// Larger files are no firmware or configuration.
const size_t kLargestFile = 16u << 20;

/// A file's bytes, said when unreadable.  The name kept is its last part.
bool ReadJobFile(const std::wstring& path, std::string* name, std::string* bytes) {
  std::wstring why;
  std::vector<uint8_t> data;
  if (!platform::ReadInputFile(path, kLargestFile + 1, &data, &why) || data.size() > kLargestFile) {
    VxromReason("cannot read \"" + platform::Utf8FromWide(path) + "\": " +
                (why.empty() ? std::string("larger than 16 MiB") : platform::Utf8FromWide(why)) + ": nothing released");
    return false;
  }
  bytes->assign(data.begin(), data.end());
  const std::string utf8 = platform::Utf8FromWide(path);
  *name = utf8.substr(utf8.find_last_of("/\\") == std::string::npos ? 0 : utf8.find_last_of("/\\") + 1);
  return true;
}

/// The chip revision the files are for, as the controller library reads
/// them: files it refuses are no job.  @return 0, or the exit code after
/// the library's reason.
ExitCode FirmwareRevision(const JobOptions& options, uint8_t* revision) {
  const Console console(nullptr, L"vxrom");
  ConsoleReporter reporter(console, L"--address", L"--no-revision-check");
  DeviceSession session(&reporter);
  RomJob job(session);
  job.firmware_path = options.firmware_path;
  job.config_path = options.config_path;
  StartedLibrary library;
  ExitCode result = library.Start(session);
  if (result != kExitOk) return result;
  PreparedImage image;
  result = PrepareImage(job, nullptr, RevisionCheck::kByCaller, &image);
  *revision = image.revision;
  return library.Stop(session, result);
}

Json JobJson(const Job& j) {
  auto maybe = [](const auto& v) { return v ? Json(*v) : Json(nullptr); };
  return {{"job", JobLabel(j)},
          {"name", j.name},
          {"version", j.version},
          {"eui", j.eui},
          {"chip_revision", maybe(j.chip_revision)},
          {"firmware", {{"name", j.firmware_name}, {"size", j.firmware_size}, {"sha256", j.firmware_sha256}}},
          {"config", j.config_name ? Json{{"name", *j.config_name}, {"size", *j.config_size}, {"sha256", *j.config_sha256}}
                                   : Json(nullptr)},
          {"note", maybe(j.note)},
          {"released_by", j.released_by},
          {"released_at", j.released_at},
          {"retired", j.retired}};
}

ExitCode Release(const JobOptions& options, Store& store) {
  Job job;
  job.name = options.name;
  if (job.name.empty() || job.name.find('@') != std::string::npos) {
    VxromReason("job release " + job.name + ": a job's name is not empty and has no @");
    return kExitCommandLine;
  }
  job.eui = !options.no_eui;
  if (!options.note.empty()) job.note = options.note;
  if (!ReadJobFile(options.firmware_path, &job.firmware_name, &job.firmware)) return kExitFirmware;
  job.firmware_size = static_cast<int64_t>(job.firmware.size());
  job.firmware_sha256 = platform::Sha256Hex(job.firmware.data(), job.firmware.size());
  if (!options.config_path.empty()) {
    std::string name;
    if (!ReadJobFile(options.config_path, &name, &job.config)) return kExitConfig;
    job.config_name = name;
    job.config_size = static_cast<int64_t>(job.config.size());
    job.config_sha256 = platform::Sha256Hex(job.config.data(), job.config.size());
  }
  uint8_t revision = 0;
  const ExitCode checked = FirmwareRevision(options, &revision);
  if (checked != 0) return checked;
  job.chip_revision = revision;
  std::string reason;
  const StoreStatus status = ReleaseJob(store, &job, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  WriteResult("released " + JobLabel(job) + ": " + job.firmware_name + " (sha256 " + job.firmware_sha256 + ")" +
              (job.config_name ? ", " + *job.config_name + " (sha256 " + *job.config_sha256 + ")" : "") +
              (job.chip_revision ? ", for chip revision " + std::to_string(*job.chip_revision) : "") +
              (job.eui ? "" : ", no EUI-64") + "\n");
  return kExitOk;
}

ExitCode List(const CommonOptions& common, Store& store) {
  std::vector<Job> jobs;
  std::string reason;
  const StoreStatus status = ListJobs(store, &jobs, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  Json all = Json::array();
  std::string text;
  for (const Job& j : jobs) {
    all.push_back(JobJson(j));
    text += JobLabel(j) + "  " + j.released_at + "  " + j.released_by + "  " + j.firmware_name +
            (j.config_name ? " " + *j.config_name : "") + (j.retired ? "  retired" : "") + "\n";
  }
  WriteResult(common.json ? all.dump(2) + "\n" : text);
  return kExitOk;
}

ExitCode ShowOrRetire(bool retire, const CommonOptions& common, const JobOptions& options, Store& store) {
  std::string name, reason;
  int64_t version = 0;
  if (!ParseJobLabel(options.name, &name, &version) || (retire && version == 0)) {
    VxromReason(options.name + ": not a job, NAME" + (retire ? "@VERSION" : "[@VERSION]"));
    return kExitCommandLine;
  }
  Job job;
  StoreStatus status = retire ? RetireJob(store, name, version, &reason)
                              : FindJob(store, name, version, &job, &reason);
  if (status != StoreStatus::kOk) return StoreFailure(status, reason);
  if (retire) {
    WriteResult("retired " + name + "@" + std::to_string(version) + "\n");
    return kExitOk;
  }
  const Json j = JobJson(job);
  std::string text;
  for (auto it = j.begin(); it != j.end(); ++it)
    text += it.key() + std::string(it.key().size() < 14 ? 14 - it.key().size() : 1, ' ') +
            (it->is_string() ? it->get<std::string>() : it->dump()) + "\n";
  WriteResult(common.json ? j.dump(2) + "\n" : text);
  return kExitOk;
}

}  // namespace

ExitCode JobCommand(Command command, const CommonOptions& common, const JobOptions& options) {
  std::unique_ptr<Store> store = OpenOptionsStore(common);
  if (!store) return kExitDatabase;
  switch (command) {
    case Command::kJobRelease:
      return Release(options, *store);
    case Command::kJobList:
      return List(common, *store);
    default:
      return ShowOrRetire(command == Command::kJobRetire, common, options, *store);
  }
}
