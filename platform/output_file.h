// Output files that behave as writing the path with "wb" would, except
// that an image replaces a plain file only once it is complete.
#ifndef VXSROM_PLATFORM_OUTPUT_FILE_H_
#define VXSROM_PLATFORM_OUTPUT_FILE_H_

#include <stddef.h>

#include <memory>
#include <string>

namespace platform {

/// A file being written at a path.  The path is opened as "wb" opens it
/// (the system decides who may write there and how links are followed),
/// but nothing is truncated: where a plain file with one name, or nothing,
/// stood, the data goes to a temporary file beside what that open reached
/// and is moved over it by Commit.  Anything else (a device, a FIFO, a
/// hard-linked file) is written in place.  Not committed, the file is
/// discarded by the destructor: the temporary removed, and the file too
/// when the open created it.
class OutputFile {
 public:
  /// Opens path.  @return true with *file; false with the error number
  /// that "wb" gives and the system's words for the failure in *reason.
  static bool Open(const std::wstring& path, std::unique_ptr<OutputFile>* file,
                   int* error_number, std::wstring* reason);

  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  /// Writes all of data; false, with reason() set, when it did not.
  bool Write(const void* data, size_t size);

  /// Puts the complete file in place of the path; false, with reason()
  /// set, when that failed, and then what stood at the path is untouched.
  bool Commit();

  /// The path as Open was given it.
  const std::wstring& path() const { return path_; }

  /// Why the last Write or Commit failed, in the system's words.
  const std::wstring& reason() const { return reason_; }

 private:
  struct State;
  OutputFile(const std::wstring& path, std::unique_ptr<State> state);
  /// Removes what a commit would have put in place.
  void Discard();

  std::wstring path_;
  std::wstring reason_;
  std::unique_ptr<State> state_;
};

/// Replaces the file at path (native form: bytes on POSIX, UTF-8 on
/// Windows) with data, the way output files are put in place: readers see
/// the old or the new file, never a torn one, and the new one keeps the
/// old one's mode.  @return false on failure, the old file untouched.
bool ReplaceFileAtomically(const std::string& path, const void* data,
                           size_t size);

}  // namespace platform

#endif  // VXSROM_PLATFORM_OUTPUT_FILE_H_
