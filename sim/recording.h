// Recordings of a line's library calls: what the recorder writes between a
// program and the maker's library, and what the simulator replays.  One
// call a line; buffers in hexadecimal, so a replay can compare them byte
// for byte and fill what the maker's library filled.  Every line carries a
// digest of the recording up to it, so damage is found when the recording
// is read, before any call is answered from it.
#ifndef VXSROM_SIM_RECORDING_H_
#define VXSROM_SIM_RECORDING_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"

namespace sim {

/// The first line of every recording this recorder writes.
extern const char kRecordingHeader[];

/// The largest recording read: far above any run's, low enough that the
/// reader's memory stays bounded whatever file it is given.
constexpr size_t kMaxRecordingBytes = 64u << 20;

/// The longest line read: a file line of the largest input file kept.
constexpr size_t kMaxRecordingLine = 4u << 20;

/// One call as a recording holds it.
struct RecordedCall {
  uint64_t micros = 0;            ///< Since the start of the call before.
  std::string operation;          ///< Its name in the interface.
  std::vector<std::string> args;  ///< Its arguments, one token each.
  LibraryStatus status = 0;       ///< What it returned.
  std::vector<std::string> outs;  ///< What it filled in, one token each.

  /// The recording's line, without its digest and line feed.
  std::string Line() const;
  /// The call as a message shows it: Operation(arg, arg).
  std::string Shown() const;
};

/// An input file that the library was asked to read.
struct RecordedFile {
  std::string path;            ///< As the program named it (UTF-8).
  std::vector<uint8_t> bytes;  ///< Its contents then.
};

/// A whole recording, read and checked.  The calls stay as the text of
/// their lines and are taken apart one at a time, so that what it holds
/// in memory is close to the file's own size.
class Recording {
 public:
  /// How many calls it holds.
  size_t calls() const { return ends_.size(); }
  /// Call index (from 0), taken apart.
  RecordedCall Call(size_t index) const;
  /// The input files, in recording order.
  const std::vector<RecordedFile>& files() const { return files_; }

 private:
  friend class RecordingReader;
  std::string text_;            ///< The calls' lines, one after another.
  std::vector<uint32_t> ends_;  ///< Where each call's line ends in text_.
  std::vector<RecordedFile> files_;
};

/// Reads recording text; false with "line N: reason".  Damage, a call of
/// the wrong shape and anything the recorder never writes are refused.
bool ParseRecording(const std::string& text, Recording* recording,
                    std::string* error);

/// Reads the recording file at path (a regular file, at most
/// kMaxRecordingBytes) with the checks of ParseRecording; false with the
/// reason.  Replay and replay-check both read recordings through this.
bool ReadRecording(const std::string& path, Recording* recording,
                   std::string* error);

/// Writes a recording's lines: the header first, then each line with the
/// digest that the reader checks.
class RecordingWriter {
 public:
  /// The header line, without its line feed; starts the digest.
  std::string Header();
  /// line with its digest appended, without the line feed.
  std::string Sealed(const std::string& line);

 private:
  uint32_t crc_ = 0;
};

/// Takes apart a call line (without its digest) and holds it to the shape
/// of its operation; false with the reason.
bool ParseCallLine(const std::string& line, RecordedCall* call, std::string* why);

/// Takes apart a file line (without its digest); false with the reason.
bool ParseFileLine(const std::string& line, RecordedFile* file, std::string* why);

/// The "file" line of an input file.
std::string FileLine(const RecordedFile& file);

/// At most a few dozen characters of text, for a message about it.
std::string Excerpt(const std::string& text);

// Tokens.  Every token is free of blanks; "-" stands for a null pointer.

/// Bytes in hexadecimal ("." when there are none).
std::string HexToken(const void* data, size_t size);
/// Reads a HexToken; false when it is none.
bool FromHexToken(const std::string& token, std::vector<uint8_t>* bytes);
/// size bytes at data, or "-" when data is null.
std::string BufferToken(const void* data, size_t size);
/// A caller's path as UTF-8 in hexadecimal, or "-".
std::string PathToken(const wchar_t* path);
/// A pointer the callee does not read: "p" or "-".
std::string PointerToken(const void* pointer);

/// Bytes of the image that MakeSromImage and UpdateSromImage fill for a
/// geometry: min(MemSize, 32 KiB), or 32 KiB without one.
uint32_t ImageBytesFor(const RomGeometry* geometry);

// The arguments of each operation, as recorder and replay both write them.
std::vector<std::string> EnumerateArgs(uint32_t zero1, uint32_t zero2,
                                       const DeviceRecord* records,
                                       uint32_t capacity);
std::vector<std::string> OpenArgs(PciAddress address, uint32_t two,
                                  const RomGeometry* geometry);
std::vector<std::string> AddressArgs(PciAddress address);
std::vector<std::string> StartReadArgs(PciAddress address, uint32_t offset,
                                       uint32_t size, uint32_t zero,
                                       const void* reserved, uint32_t one);
std::vector<std::string> PollReadArgs(PciAddress address, uint32_t size,
                                      const uint8_t* buffer);
std::vector<std::string> StartWriteArgs(PciAddress address, uint32_t size,
                                        const uint8_t* image, uint32_t one);
std::vector<std::string> StartEraseArgs(PciAddress address, uint32_t one);
std::vector<std::string> BuildArgs(const wchar_t* firmware,
                                   const wchar_t* config,
                                   const wchar_t* eui64,
                                   const RomGeometry* geometry);
std::vector<std::string> ImageInfoArgs(const uint8_t* image, uint32_t size);
std::vector<std::string> PatchArgs(const uint8_t* image, uint32_t size,
                                   uint32_t zero1, uint32_t zero2,
                                   const void* reserved1,
                                   const RomGeometry* geometry,
                                   const void* reserved2, uint32_t four);

}  // namespace sim

#endif  // VXSROM_SIM_RECORDING_H_
