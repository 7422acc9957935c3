// The simulated machine as its text description gives it: controllers,
// their ROM parts and files, the time scale, the trace file and faults.
#ifndef VXSROM_SIM_MACHINE_H_
#define VXSROM_SIM_MACHINE_H_

#include <stdint.h>

#include <string>
#include <vector>

#include "device/controller_library.h"
#include "sim/parts.h"

namespace sim {

/// `fault OPERATION STATUS [call N]`: the operation returns STATUS.
struct FaultRule {
  std::string operation;  ///< One of the sixteen operation names.
  LibraryStatus status = 0;
  uint32_t call = 0;   ///< 1-based call to fail; 0 = every call.
  bool once = false;   ///< `once`: fails one call, in whichever run.
  bool fired = false;  ///< `fired`: a `once` rule that has failed its call.
  int line = 0;        ///< Its line in the description (1-based).
};

/// Kinds of long operation.
enum class LongKind { kErase,
                      kWrite,
                      kRead };

/// `poll-fault KIND STATUS at BYTES[%]`: the poll fails once that much
/// of the operation is done.
struct PollFault {
  LongKind kind = LongKind::kWrite;
  LibraryStatus status = 0;
  uint32_t at = 0;  ///< Bytes, or percent when percent is set.
  bool percent = false;
};

/// `pause KIND until FILE`: polls of that operation report it running,
/// without progress, until FILE exists.
struct PollPause {
  LongKind kind = LongKind::kWrite;
  std::string until_path;  ///< Resolved against the description's folder.
};

/// `stuck OFFSET VALUE`: a ROM cell that always holds VALUE.
struct StuckByte {
  uint32_t offset = 0;
  uint8_t value = 0;
};

/// One `controller` line and the lines that belong to it.
struct ControllerSpec {
  PciAddress address = 0;
  uint8_t revision = 0;
  const Part* part = nullptr;
  std::string rom_path;  ///< Resolved against the description's folder.
  std::vector<FaultRule> faults;
  std::vector<PollFault> poll_faults;
  std::vector<PollPause> pauses;
  std::vector<StuckByte> stuck;
};

/// The whole description.
struct Machine {
  double speed = 1.0;                      ///< 0 = instant, 1 = real time.
  std::string trace_path;                  ///< Empty: no trace.
  std::string replay_path;                 ///< Empty: no replay.
  std::vector<FaultRule> faults;           ///< Library-wide.
  std::vector<uint32_t> enumerate_counts;  ///< Count reported by call n.
  std::vector<ControllerSpec> controllers;
};

/// Parses description text; relative file names resolve against dir.
/// @return false with a one-line reason in *error.
bool ParseMachine(const std::string& text, const std::string& dir,
                  Machine* machine, std::string* error);

/// The forms an address may take, for messages.
extern const char kAddressForms[];

/// The description text with line (1-based) turned from a `once` rule into
/// a `fired` one.
std::string MarkFired(const std::string& text, int line);

/// True for the name of one of the sixteen operations.
bool IsOperationName(const std::string& name);

}  // namespace sim

#endif  // VXSROM_SIM_MACHINE_H_
