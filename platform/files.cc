// The forms of the file functions that both platforms share: wide and
// narrow paths brought to the system's own, optional results.
#include "platform/files.h"

#include <errno.h>
#include <stdio.h>

#include <string>
#include <vector>

#include "platform/internal.h"

namespace {

/// Where a caller wants neither the reason nor the refusal, they go here.
struct Results {
  Results(std::wstring* wanted_reason, bool* wanted_refusal)
      : reason(wanted_reason ? wanted_reason : &unused_reason),
        not_regular(wanted_refusal ? wanted_refusal : &unused_refusal) {
    *not_regular = false;
  }
  Results(const Results&) = delete;
  Results& operator=(const Results&) = delete;
  std::wstring unused_reason;
  bool unused_refusal = false;
  std::wstring* reason;
  bool* not_regular;
};

}  // namespace

namespace platform {

FILE* OpenRegularFile(const std::wstring& path, std::wstring* reason,
                      bool* not_regular) {
  Results results(reason, not_regular);
  NativePath native;
  if (!ExactNativeFromWide(path, &native)) {
    *results.reason = ErrorNumberText(EILSEQ);
    return nullptr;
  }
  return OpenNativeRegularFile(native, results.reason, results.not_regular);
}

FILE* OpenRegularFile(const std::string& path, std::wstring* reason,
                      bool* not_regular) {
  Results results(reason, not_regular);
  return OpenNativeRegularFile(NativeFromNarrow(path), results.reason,
                               results.not_regular);
}

bool ReadInputFile(const std::wstring& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason,
                   bool* not_regular) {
  Results results(reason, not_regular);
  NativePath native;
  if (!ExactNativeFromWide(path, &native)) {
    data->clear();
    *results.reason = ErrorNumberText(EILSEQ);
    return false;
  }
  return ReadNativeInputFile(native, limit, data, results.reason,
                             results.not_regular);
}

bool ReadInputFile(const std::string& path, size_t limit,
                   std::vector<uint8_t>* data, std::wstring* reason,
                   bool* not_regular) {
  Results results(reason, not_regular);
  return ReadNativeInputFile(NativeFromNarrow(path), limit, data,
                             results.reason, results.not_regular);
}

ProcessLock::~ProcessLock() { Release(); }

}  // namespace platform
