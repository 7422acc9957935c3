// Recordings of a line's library calls: what the recorder writes between a
// program and the maker's library, and what the simulator replays.  One
// call a line; buffers in hexadecimal, so a replay can compare them byte
// for byte and fill what the maker's library filled.
#ifndef VXSROM_SIM_RECORDING_H_
#define VXSROM_SIM_RECORDING_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"

namespace sim {

/// The first line of every recording.
extern const char kRecordingHeader[];

/// One call as a recording holds it.
struct RecordedCall {
  uint64_t micros = 0;            ///< Since the start of the call before.
  std::string operation;          ///< Its name in the interface.
  std::vector<std::string> args;  ///< Its arguments, one token each.
  LibraryStatus status = 0;       ///< What it returned.
  std::vector<std::string> outs;  ///< What it filled in, one token each.

  /// The recording's line, without the line feed.
  std::string Line() const;
  /// The call as a message shows it: Operation(arg, arg).
  std::string Shown() const;
};

/// An input file that the library was asked to read.
struct RecordedFile {
  std::string path;            ///< As the program named it (UTF-8).
  std::vector<uint8_t> bytes;  ///< Its contents then.
};

/// A whole recording.
struct Recording {
  std::vector<RecordedCall> calls;
  std::vector<RecordedFile> files;
};

/// Reads a recording; false with "line N: reason".
bool ParseRecording(const std::string& text, Recording* recording,
                    std::string* error);

/// The "file" line of an input file.
std::string FileLine(const RecordedFile& file);

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
