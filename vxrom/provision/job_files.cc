#include "vxrom/provision/job_files.h"

#include <memory>
#include <vector>

#include "platform/digest.h"
#include "platform/files.h"
#include "platform/output_file.h"
#include "platform/private_folder.h"
#include "platform/text.h"
#include "store/jobs.h"
#include "vxrom/output.h"
#include "vxrom/store_access.h"

using namespace store;
using namespace device;
using namespace line;

namespace {

/// Refuses a named file that is not the job's.  @return true when path
/// is empty or its bytes have digest sha256.
bool SameFile(const std::wstring& path, const std::string& what, const Job& job,
              const std::optional<std::string>& sha256) {
  if (path.empty()) return true;
  std::vector<uint8_t> data;
  std::wstring why;
  const std::string name = platform::Utf8FromWide(path);
  if (!platform::ReadInputFile(path, 64u << 20, &data, &why)) {
    VxromReason("cannot read \"" + name + "\": " + platform::Utf8FromWide(why) + ": no board touched");
    return false;
  }
  const std::string own = platform::Sha256Hex(data.data(), data.size());
  if (sha256 && own == *sha256) return true;
  VxromReason("\"" + name + "\" is not the " + what + " of job " + JobLabel(job) + ": its sha256 is " + own +
              ", the job's " + sha256.value_or("(none: the job has no " + what + ")") +
              ": no board touched (provision --job " + JobLabel(job) + " needs no files)");
  return false;
}

/// Writes bytes to folder/name.  @return its path, or empty (said).
std::wstring WriteJobFile(const std::string& folder, const std::string& name, const std::string& bytes) {
  const std::wstring path = platform::WideFromUtf8(folder + platform::kPathSeparator + name);
  std::unique_ptr<platform::OutputFile> file;
  int error_number = 0;
  std::wstring why;
  if (platform::OutputFile::Open(path, &file, &error_number, &why) && file->Write(bytes.data(), bytes.size()) &&
      file->Commit())
    return path;
  VxromReason("cannot write the job's file \"" + platform::Utf8FromWide(path) +
              "\": " + platform::Utf8FromWide(file ? file->reason() : why) + ": no board touched");
  return L"";
}

}  // namespace

RunFolder::~RunFolder() {
  if (!path_.empty()) platform::RemovePrivateFolder(path_);
}

bool RunFolder::Make() {
  if (!path_.empty()) return true;
  std::wstring why;
  if (platform::MakePrivateFolder("vxrom", &path_, &why)) return true;
  path_.clear();
  VxromReason(platform::Utf8FromWide(why));
  return false;
}

ExitCode TakeJob(Store& store, RunFolder& folder, ProvisionOptions* options, std::string* label) {
  label->clear();
  if (options->job.empty()) return kExitOk;
  std::string name, reason;
  int64_t version = 0;
  if (!ParseJobLabel(options->job, &name, &version)) {
    VxromReason("--job " + options->job + ": not a job, NAME or NAME@VERSION");
    return kExitCommandLine;
  }
  Job job;
  const StoreStatus status = FindJob(store, name, version, &job, &reason);
  if (status != StoreStatus::kOk) {
    VxromReason(reason + ": no board touched");
    return status == StoreStatus::kRefused ? kExitFirmware : kExitDatabase;
  }
  if (job.retired) {
    VxromReason("job " + JobLabel(job) + " is retired: no board touched (vxrom job list tells which are in use)");
    return kExitFirmware;
  }
  if (!SameFile(options->firmware_path, "firmware", job, job.firmware_sha256)) return kExitFirmware;
  if (!SameFile(options->config_path, "configuration", job, job.config_sha256)) return kExitConfig;
  if (!folder.Make()) return kExitFile;
  options->firmware_path = WriteJobFile(folder.path(), "firmware.mem", job.firmware);
  options->config_path = job.config_sha256 ? WriteJobFile(folder.path(), "config.ini", job.config) : L"";
  if (options->firmware_path.empty() || (job.config_sha256 && options->config_path.empty())) return kExitFile;
  options->no_eui = options->no_eui || !job.eui;
  *label = JobLabel(job);
  return kExitOk;
}
