// What passes between provision and a board's worker, defined once for
// both sides: the task on the worker's command line, and the worker's
// messages, one JSON object a line on its standard output.  Its reasons
// come through the same pipe as lines that are no message ("vxrom: ...").
#ifndef VXROM_WORKER_PROTOCOL_H_
#define VXROM_WORKER_PROTOCOL_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "device/controller_library.h"
#include "line/record.h"

namespace line {

/// The hidden command a worker runs.
extern const wchar_t kWorkerCommand[];

/// What a worker is handed: all it needs to program its board and to
/// settle it in the station's journal on its own, should its parent be
/// gone by then.
struct WorkerTask {
  std::wstring firmware_path;
  std::wstring config_path;  ///< Empty: none.
  PciAddress address = kNoAddress;
  std::optional<uint64_t> eui;  ///< The board's number; none with --no-eui.
  std::string eui_folder;       ///< The run's private folder for its file.
  std::string run_id;
  std::string station;
  std::optional<std::string> serial;
  std::vector<uint64_t> supersedes;  ///< Numbers a rework takes off the board.
  bool keeps = false;                ///< eui is the board's own, programmed already.
  std::string job;                   ///< The released job, "NAME@VERSION"; empty: none.
  uint8_t chip_revision = 0;
  std::string journal;    ///< The station's journal.
  std::string store_id;   ///< The store the settlement is for.
  std::string store_url;  ///< Its URL, passwords masked.
};

/// The worker's arguments: program, the hidden command, then the task.
std::vector<std::wstring> EncodeTask(const std::wstring& program, const WorkerTask& task);
/// Reads the words after the hidden command.  @return false with *why.
bool DecodeTask(const std::vector<std::wstring>& words, WorkerTask* task, std::string* why);

/// The settlements that retire the numbers a rework takes off its board,
/// once its erase may have begun; attempt is the rework's own record.
std::vector<Settlement> Superseded(const WorkerTask& task, const HistoryRecord& attempt);

/// The board is open: what its ROM is, for the time the work may take.
struct TargetMessage {
  int rom_type = 0;  ///< The listed type (1 to 4) the part equals; 0 none.
  uint32_t mem_size = 0;
  uint32_t page_size = 0;
  bool erases = false;  ///< The part is erased before it is written.
};
/// The image for the board is built.
struct ImageMessage {
  std::string sha256;
};
/// From here on the board may carry the number: the erase may begin.
struct TouchingMessage {};
/// Progress of the erase, write or verification.
struct PhaseMessage {
  std::string phase;  ///< "erase", "write" or "verify".
  uint32_t percent = 0;
};
/// The board is done: its result and its settlements (its own number's;
/// another one's the ROM was found to hold).
struct DoneMessage {
  int32_t result = 0;
  bool journaled = false;  ///< The settlements are in the journal already.
  std::vector<Settlement> settlements;
};

/// One message from a worker.
typedef std::variant<TargetMessage, ImageMessage, TouchingMessage, PhaseMessage, DoneMessage>
    WorkerMessage;

/// The message as one line, its line feed included.
std::string EncodeMessage(const WorkerMessage& message);

/// Reads one line of a worker's output.  @return false with *why when it
/// is no well-formed message (a line that does not start with '{' is no
/// message at all: *why is then empty).
bool DecodeMessage(const std::string& line, WorkerMessage* message, std::string* why);

}  // namespace line

#endif  // VXROM_WORKER_PROTOCOL_H_
