#include "vxrom/journal_view.h"

#include "device/exit_codes.h"
#include "line/record_json.h"
#include "platform/text.h"
#include "store/journal.h"
#include "store/store.h"
#include "vxrom/output.h"

using namespace device;
using namespace line;
using namespace store;

namespace {

Json EntryJson(const JournalEntry& e) {
  const Settlement& s = e.settlement;
  Json j = {{"created", e.created}, {"state", e.state}, {"store", e.store.url}, {"run_id", s.run_id}};
  j["eui64"] = s.number ? Json(FormatEui64Value(*s.number)) : Json(nullptr);
  j["outcome"] = OutcomeName(s.outcome);
  j["note"] = e.note.empty() ? Json(nullptr) : Json(e.note);
  j["record"] = s.record ? RecordJson(*s.record) : Json(nullptr);
  return j;
}

std::string EntryLine(const JournalEntry& e) {
  const Settlement& s = e.settlement;
  std::string line = e.created + "  " + e.state + "  " + OutcomeName(s.outcome) + "  " +
                     (s.number ? FormatEui64Value(*s.number) : std::string("-"));
  if (s.record)
    line += "  " + s.record->address + "  " + s.record->serial.value_or("-") + "  result " +
            std::to_string(s.record->result);
  line += "  " + e.store.url;
  if (!e.note.empty()) line += "  refused: " + e.note;
  return line + "\n";
}

}  // namespace

ExitCode JournalCommand(const CommonOptions& common) {
  const std::string path = Journal::DefaultPath();
  std::string reason;
  std::unique_ptr<Journal> journal = Journal::Open(path, true, &reason);
  std::vector<JournalEntry> entries;
  if (!reason.empty() || (journal && !journal->Waiting("", &entries, &reason))) {
    VxromReason(reason);
    return kExitDatabase;
  }
  if (common.json) {
    Json all = Json::array();
    for (const JournalEntry& e : entries) all.push_back(EntryJson(e));
    WriteResult(JsonText(all, 2) + "\n");
    return kExitOk;
  }
  std::string out;
  for (const JournalEntry& e : entries) out += EntryLine(e);
  WriteResult(out);
  VxromReasons().Reason(L"%zu records of %ls not yet on their store", entries.size(),
                        platform::WideFromUtf8(path).c_str());
  return kExitOk;
}
