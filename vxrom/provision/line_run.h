// One provision run after its numbers are reserved: a worker process per
// board, up to --jobs at once, each held to a time limit; every board
// settled in the station's journal (by its worker, or here when the
// worker could not), and the delivery to the store woken.
#ifndef VXROM_LINE_RUN_H_
#define VXROM_LINE_RUN_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "line/worker_protocol.h"
#include "store/delivery.h"
#include "store/journal.h"
#include "vxrom/provision/line_host.h"
#include "vxrom/provision/provision_view.h"

/// What a run is set up with.
struct LineSetup {
  std::wstring program;                 ///< The program that runs workers.
  std::vector<line::WorkerTask> tasks;  ///< One per board, in board order.
  unsigned jobs = 0;                    ///< Boards at once; 0: all.
  uint32_t board_seconds = 0;           ///< --board-timeout; 0: from the part.
  store::StoreName store;               ///< The store the settlements are for.
};

/// Runs the boards' workers and settles every board.
class ProvisionRun {
 public:
  ProvisionRun(LineHost& host, store::Journal& journal, store::SettlementSink& sink, BoardObserver& observer, const LineSetup& setup,
               std::vector<BoardState>& boards);

  /// Until every board is done.  @return the counts.
  ProvisionTally Run();

 private:
  /// A board's worker and what it has said so far.
  struct Worker {
    size_t id = 0;
    bool running = false;
    std::string pending;  ///< Output not yet a whole line.
    uint64_t start_ms = 0;
    std::string started;
    bool touching = false;
    bool overdue = false;  ///< Ended for passing its time limit.
    std::optional<line::TargetMessage> target;
    std::optional<std::string> image_sha256;
    std::optional<line::DoneMessage> done;
    std::string reason;  ///< The first reason it wrote, or what it sent wrong.
  };

  bool StartWorker(size_t i);
  void TakeLine(size_t i, const std::string& line);
  void ReadWorker(size_t i);
  void EndOverdue();
  void SettleBoard(size_t i, bool signalled, int exit_code);
  void SettleDeadWorker(size_t i, bool signalled, int exit_code);
  void SettleUntouched(size_t i);
  /// The record of a board whose worker told none.
  line::HistoryRecord ParentRecord(size_t i, int32_t result, const std::string& reason) const;
  void Keep(const std::vector<line::Settlement>& settlements);

  LineHost& host_;
  store::Journal& journal_;
  store::SettlementSink& sink_;
  BoardObserver& observer_;
  const LineSetup& setup_;
  std::vector<BoardState>& boards_;
  std::vector<Worker> workers_;
  ProvisionTally tally_;
};

#endif  // VXROM_LINE_RUN_H_
