// A released job's files for one run of provision: checked against the
// files the operator named, if any, and put in the run's private folder
// for the workers to read.
#ifndef VXROM_PROVISION_JOB_FILES_H_
#define VXROM_PROVISION_JOB_FILES_H_

#include <string>

#include "device/exit_codes.h"
#include "store/store.h"
#include "vxrom/options.h"

/// The run's private folder, removed when the run ends.
class RunFolder {
 public:
  RunFolder() = default;
  ~RunFolder();
  RunFolder(const RunFolder&) = delete;
  RunFolder& operator=(const RunFolder&) = delete;
  /// Makes it, once.  @return false, said, when it cannot be made.
  bool Make();
  /// Its path; empty before Make or when it failed.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// With --job: finds the job in store, refuses it when the files the
/// options name differ from its own (the digests in the reason), and
/// writes its files into folder; *options then names them, and the job's
/// label ("NAME@VERSION") is in *label.  Without --job: nothing.
device::ExitCode TakeJob(store::Store& store, RunFolder& folder, ProvisionOptions* options, std::string* label);

#endif  // VXROM_PROVISION_JOB_FILES_H_
