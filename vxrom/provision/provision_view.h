// What an operator sees of a provision run: on a terminal one line per
// board redrawn in place and a verdict per board readable from across
// the bench; in a pipe one line per event; with --json one JSON object a
// line.
#ifndef VXROM_PROVISION_VIEW_H_
#define VXROM_PROVISION_VIEW_H_

#include <stdint.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "device/controller_library.h"

/// Where a board stands.
enum class BoardStage { kWaiting,
                        kRunning,
                        kPassed,
                        kFailed,
                        kUntouched,
                        kSkipped };

/// One chosen board, as the run knows it.
struct BoardState {
  PciAddress address = kNoAddress;
  uint8_t chip_revision = 0;
  std::optional<std::string> serial;
  std::optional<uint64_t> eui;
  BoardStage stage = BoardStage::kWaiting;
  std::string phase = "waiting";  ///< waiting, started, erase, write, verify.
  uint32_t percent = 0;
  int result = 0;
  std::string reason;                     ///< Why it failed, or was skipped; empty otherwise.
  std::optional<uint64_t> rom_eui;        ///< The number its ROM holds now.
  std::optional<std::string> rom_serial;  ///< That number's serial, when programmed.
  bool rework = false;                    ///< --rework names it.
  std::vector<uint64_t> supersedes;       ///< Numbers its rework takes off it.
  bool keeps = false;                     ///< Its rework keeps the number it carries (eui).
};

/// The closing counts.
struct ProvisionTally {
  uint32_t programmed = 0;
  uint32_t failed = 0;
  uint32_t untouched = 0;
  uint32_t skipped = 0;
};

/// How the run is shown.
enum class ViewMode { kTerminal,
                      kLines,
                      kJson };

/// Hears how the boards of a run go.
class BoardObserver {
 public:
  virtual ~BoardObserver() = default;
  /// Board i started, changed phase or progressed.
  virtual void Changed(size_t i) = 0;
  /// Board i is done (passed, failed or left untouched).
  virtual void Finished(size_t i) = 0;
  /// Time passed: a moment to redraw.
  virtual void Tick() = 0;
};

/// Renders the boards of one run on standard output.
class ProvisionView : public BoardObserver {
 public:
  ProvisionView(ViewMode mode, bool colour, const std::vector<BoardState>& boards)
      : mode_(mode), colour_(colour), boards_(boards) {}

  /// The chosen boards, before any is touched.
  void Begin();
  void Changed(size_t i) override;
  void Finished(size_t i) override;
  /// Redraws the terminal's lines when due.
  void Tick() override;
  /// The verdicts and the counts.
  void Summary(const ProvisionTally& tally);

 private:
  std::string Line(const BoardState& board) const;
  void Redraw();

  ViewMode mode_;
  bool colour_;
  const std::vector<BoardState>& boards_;
  std::vector<uint32_t> shown_decile_;
  bool dirty_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point last_draw_;
};

#endif  // VXROM_PROVISION_VIEW_H_
