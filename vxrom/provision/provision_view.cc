#include "vxrom/provision/provision_view.h"

#include <nlohmann/json.hpp>

#include "store/store.h"
#include "vxrom/output.h"

using namespace store;
using namespace line;

namespace {

typedef nlohmann::ordered_json Json;

/// The terminal's lines are redrawn at most this often.
const auto kRedrawInterval = std::chrono::milliseconds(100);

std::string Padded(std::string text, size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

std::string EuiText(const BoardState& b) {
  return b.eui ? FormatEui64Value(*b.eui) : std::string("-");
}

Json Nullable(const std::optional<std::string>& v) { return v ? Json(*v) : Json(nullptr); }

Json BoardJson(const BoardState& b) {
  Json j = {{"address", FormatPciAddress(b.address)}, {"serial", Nullable(b.serial)}};
  j["eui64"] = b.eui ? Json(FormatEui64Value(*b.eui)) : Json(nullptr);
  return j;
}

const char* Verdict(const BoardState& b) {
  switch (b.stage) {
    case BoardStage::kPassed:
      return "PASS";
    case BoardStage::kFailed:
      return "FAIL";
    case BoardStage::kSkipped:
      return "SKIPPED";
    default:
      return "UNTOUCHED";
  }
}

}  // namespace

std::string ProvisionView::Line(const BoardState& b) const {
  std::string line = FormatPciAddress(b.address) + "  " +
                     Padded(b.serial.value_or("-"), 12) + "  " + EuiText(b) +
                     "  " + Padded(b.phase, 8);
  if (b.stage == BoardStage::kRunning && (b.phase == "erase" || b.phase == "write" || b.phase == "verify"))
    line += " " + std::to_string(b.percent) + "%";
  return line;
}

void ProvisionView::Begin() {
  shown_decile_.assign(boards_.size(), 0);
  for (size_t i = 0; i < boards_.size(); ++i) {
    if (mode_ == ViewMode::kJson) {
      Json j = {{"event", "board"}};
      j.update(BoardJson(boards_[i]));
      j["chip_revision"] = boards_[i].chip_revision;
      WriteResult(j.dump() + "\n");
    } else if (mode_ == ViewMode::kLines) {
      WriteResult(Line(boards_[i]) + "\n");
    }
  }
  if (mode_ == ViewMode::kTerminal) Redraw();
  for (size_t i = 0; i < boards_.size(); ++i)
    if (boards_[i].stage == BoardStage::kSkipped) Finished(i);
}

void ProvisionView::Changed(size_t i) {
  const BoardState& b = boards_[i];
  switch (mode_) {
    case ViewMode::kTerminal:
      dirty_ = true;
      break;
    case ViewMode::kLines:
      // A phase once, not every percent: a log stays readable.
      if (b.percent == 0) WriteResult(Line(b) + "\n");
      break;
    case ViewMode::kJson: {
      const uint32_t decile = b.percent / 10;
      if (b.percent != 0 && decile == shown_decile_[i]) break;
      shown_decile_[i] = decile;
      Json j = {{"event", "phase"}, {"address", FormatPciAddress(b.address)}, {"phase", b.phase}, {"percent", b.percent}};
      WriteResult(j.dump() + "\n");
      break;
    }
  }
}

void ProvisionView::Finished(size_t i) {
  const BoardState& b = boards_[i];
  if (mode_ == ViewMode::kTerminal) {
    dirty_ = true;
    return;
  }
  const char* verdict = Verdict(b);
  if (mode_ == ViewMode::kLines) {
    WriteResult(FormatPciAddress(b.address) + "  " + Padded(b.serial.value_or("-"), 12) +
                "  " + EuiText(b) + "  " + verdict +
                (b.reason.empty() ? "" : ": " + b.reason) + "\n");
    return;
  }
  Json j = {{"event", "result"}};
  j.update(BoardJson(b));
  j["result"] = b.result;
  j["reason"] = b.reason.empty() ? Json(nullptr) : Json(b.reason);
  j["verdict"] = verdict;
  WriteResult(j.dump() + "\n");
}

void ProvisionView::Tick() {
  if (mode_ != ViewMode::kTerminal || !dirty_) return;
  if (std::chrono::steady_clock::now() - last_draw_ < kRedrawInterval) return;
  Redraw();
}

void ProvisionView::Redraw() {
  std::string text;
  // Back to the first board's line, each line cleared as it is rewritten.
  if (drawn_) text += "\x1b[" + std::to_string(boards_.size()) + "A";
  for (const BoardState& b : boards_) text += "\r\x1b[2K" + Line(b) + "\n";
  WriteResult(text);
  drawn_ = true;
  dirty_ = false;
  last_draw_ = std::chrono::steady_clock::now();
}

void ProvisionView::Summary(const ProvisionTally& tally) {
  const std::string counts = std::to_string(tally.programmed) + " programmed, " +
                             std::to_string(tally.failed) + " failed, " +
                             std::to_string(tally.untouched) + " untouched" +
                             (tally.skipped ? ", " + std::to_string(tally.skipped) + " skipped" : "");
  if (mode_ == ViewMode::kJson) {
    Json boards = Json::array();
    for (const BoardState& b : boards_) {
      Json j = BoardJson(b);
      const bool done = b.stage == BoardStage::kPassed || b.stage == BoardStage::kFailed;
      j["result"] = done ? Json(b.result) : Json(nullptr);
      j["verdict"] = Verdict(b);
      j["reason"] = b.reason.empty() ? Json(nullptr) : Json(b.reason);
      boards.push_back(j);
    }
    Json summary = {{"event", "summary"}, {"programmed", tally.programmed}, {"failed", tally.failed}, {"untouched", tally.untouched}, {"skipped", tally.skipped}, {"boards", boards}};
    WriteResult(summary.dump() + "\n");
    return;
  }
  if (mode_ == ViewMode::kLines) {
    WriteResult(counts + "\n");
    return;
  }
  Redraw();
  std::string text = "\n";
  for (const BoardState& b : boards_) {
    const bool pass = b.stage == BoardStage::kPassed;
    const bool fail = b.stage == BoardStage::kFailed;
    std::string verdict = pass                              ? "PASS"
                          : fail                            ? "FAIL"
                          : b.stage == BoardStage::kSkipped ? "SKIP"
                                                            : "----";
    if (colour_) verdict = (pass ? "\x1b[1;32m" : fail ? "\x1b[1;31m"
                                                       : "\x1b[1;33m") +
                           verdict + "\x1b[0m";
    text += "  " + verdict + "  " + FormatPciAddress(b.address) + "  " +
            Padded(b.serial.value_or("-"), 12) + "  " + EuiText(b);
    if (fail || b.stage == BoardStage::kSkipped) text += "  " + b.reason;
    if (b.stage == BoardStage::kUntouched) text += "  untouched";
    text += "\n";
  }
  WriteResult(text + "\n" + counts + "\n");
}
