#include "line/worker_protocol.h"

#include "device/exit_codes.h"
#include "line/eui64.h"
#include "line/record_json.h"
#include "platform/text.h"

using namespace device;

namespace line {

const wchar_t kWorkerCommand[] = L"provision-board";

namespace {

/// The fields of one JSON object, read without exceptions: each read
/// says what is missing or of the wrong type.
class Fields {
 public:
  Fields(const Json& json, std::string* why) : json_(json), why_(why) {}

  bool Text(const char* key, std::string* out) {
    const Json* v = Find(key);
    if (!v || !v->is_string()) return Wrong(key);
    *out = v->get<std::string>();
    return true;
  }
  bool Number(const char* key, int64_t low, int64_t high, int64_t* out) {
    const Json* v = Find(key);
    if (!v || !v->is_number_integer()) return Wrong(key);
    *out = v->get<int64_t>();
    return (*out >= low && *out <= high) || Wrong(key);
  }
  bool Flag(const char* key, bool* out) {
    const Json* v = Find(key);
    if (!v || !v->is_boolean()) return Wrong(key);
    *out = v->get<bool>();
    return true;
  }
  const Json* Find(const char* key) const {
    const auto at = json_.find(key);
    return at == json_.end() ? nullptr : &*at;
  }

 private:
  bool Wrong(const char* key) {
    *why_ = std::string("its \"") + key + "\" is missing or not of its type";
    return false;
  }

  const Json& json_;
  std::string* why_;
};

Json SettlementJson(const Settlement& s) {
  Json j = {{"entry_id", s.entry_id}, {"run_id", s.run_id}};
  j["number"] = s.number ? Json(FormatEui64Value(*s.number)) : Json(nullptr);
  j["outcome"] = OutcomeName(s.outcome);
  j["any_holder"] = s.any_holder;
  j["record"] = s.record ? RecordJson(*s.record) : Json(nullptr);
  return j;
}

bool SettlementFromJson(const Json& j, Settlement* s, std::string* why) {
  if (!j.is_object()) {
    *why = "a settlement is no object";
    return false;
  }
  Fields f(j, why);
  std::string outcome, number;
  if (!f.Text("entry_id", &s->entry_id) || !f.Text("run_id", &s->run_id) ||
      !f.Text("outcome", &outcome) || !f.Flag("any_holder", &s->any_holder))
    return false;
  if (!ParseOutcome(outcome, &s->outcome)) {
    *why = "no outcome \"" + outcome + "\"";
    return false;
  }
  const Json* n = f.Find("number");
  uint64_t value = 0;
  if (n && n->is_string() && ParseEui64(n->get<std::string>(), &value)) {
    s->number = value;
  } else if (!n || !n->is_null()) {
    *why = "a settlement's number is no EUI-64";
    return false;
  }
  const Json* record = f.Find("record");
  if (record && record->is_null()) return true;
  HistoryRecord r;
  if (!record || !RecordFromJson(*record, &r, why)) return false;
  s->record = r;
  return true;
}

/// The JSON of each kind of message.
struct ToJson {
  Json operator()(const TargetMessage& m) const {
    return {{"event", "target"}, {"rom_type", m.rom_type}, {"mem_size", m.mem_size}, {"page_size", m.page_size}, {"erases", m.erases}};
  }
  Json operator()(const ImageMessage& m) const { return {{"event", "image"}, {"sha256", m.sha256}}; }
  Json operator()(const TouchingMessage&) const { return {{"event", "touching"}}; }
  Json operator()(const PhaseMessage& m) const {
    return {{"event", "phase"}, {"phase", m.phase}, {"percent", m.percent}};
  }
  Json operator()(const DoneMessage& m) const {
    Json settlements = Json::array();
    for (const Settlement& s : m.settlements) settlements.push_back(SettlementJson(s));
    return {{"event", "done"}, {"result", m.result}, {"journaled", m.journaled}, {"settlements", settlements}};
  }
};

bool DecodeDone(const Json& j, Fields& f, WorkerMessage* message, std::string* why) {
  DoneMessage m;
  int64_t result = 0;
  if (!f.Number("result", INT32_MIN, INT32_MAX, &result) || !f.Flag("journaled", &m.journaled))
    return false;
  m.result = static_cast<int32_t>(result);
  const auto list = j.find("settlements");
  if (list == j.end() || !list->is_array()) {
    *why = "its \"settlements\" is missing or not of its type";
    return false;
  }
  for (const Json& item : *list) {
    Settlement s;
    if (!SettlementFromJson(item, &s, why)) return false;
    m.settlements.push_back(std::move(s));
  }
  *message = m;
  return true;
}

bool DecodeObject(const Json& j, WorkerMessage* message, std::string* why) {
  Fields f(j, why);
  std::string event;
  if (!f.Text("event", &event)) return false;
  int64_t a = 0, b = 0, c = 0;
  if (event == "target") {
    TargetMessage m;
    if (!f.Number("rom_type", 0, 255, &a) || !f.Number("mem_size", 0, UINT32_MAX, &b) ||
        !f.Number("page_size", 0, UINT32_MAX, &c) || !f.Flag("erases", &m.erases))
      return false;
    m.rom_type = static_cast<int>(a);
    m.mem_size = static_cast<uint32_t>(b);
    m.page_size = static_cast<uint32_t>(c);
    *message = m;
    return true;
  }
  if (event == "image") {
    ImageMessage m;
    if (!f.Text("sha256", &m.sha256)) return false;
    *message = m;
    return true;
  }
  if (event == "touching") {
    *message = TouchingMessage();
    return true;
  }
  if (event == "phase") {
    PhaseMessage m;
    if (!f.Text("phase", &m.phase) || !f.Number("percent", 0, 100, &a)) return false;
    m.percent = static_cast<uint32_t>(a);
    *message = m;
    return true;
  }
  if (event == "done") return DecodeDone(j, f, message, why);
  *why = "no message \"" + event + "\"";
  return false;
}

/// The task's options, in the order they are written.
enum class TaskOption { kFirmware,
                        kConfig,
                        kAddress,
                        kEui,
                        kEuiFolder,
                        kRun,
                        kStation,
                        kSerial,
                        kChipRevision,
                        kJournal,
                        kStoreId,
                        kStore,
                        kSupersedes,
                        kKeeps,
                        kJob };
const wchar_t* const kTaskOptions[] = {L"--firmware", L"--config", L"--address", L"--eui",
                                       L"--eui-folder", L"--run", L"--station", L"--serial",
                                       L"--chip-revision", L"--journal", L"--store-id",
                                       L"--store", L"--supersedes", L"--keeps", L"--job"};

bool SetTaskOption(TaskOption option, const std::wstring& value, WorkerTask* t) {
  const std::string text = platform::Utf8FromWide(value);
  uint64_t number = 0;
  switch (option) {
    case TaskOption::kFirmware:
      t->firmware_path = value;
      return true;
    case TaskOption::kConfig:
      t->config_path = value;
      return true;
    case TaskOption::kAddress:
      return ParsePciAddress(text, &t->address);
    case TaskOption::kEui:
      if (!ParseEui64(text, &number)) return false;
      t->eui = number;
      return true;
    case TaskOption::kEuiFolder:
      t->eui_folder = text;
      return true;
    case TaskOption::kRun:
      t->run_id = text;
      return true;
    case TaskOption::kStation:
      t->station = text;
      return true;
    case TaskOption::kSerial:
      t->serial = text;
      return true;
    case TaskOption::kChipRevision:
      if (value.empty() || value.size() > 3 || value.find_first_not_of(L"0123456789") != std::wstring::npos)
        return false;
      t->chip_revision = static_cast<uint8_t>(std::stoi(text));
      return true;
    case TaskOption::kJournal:
      t->journal = text;
      return true;
    case TaskOption::kStoreId:
      t->store_id = text;
      return true;
    case TaskOption::kStore:
      t->store_url = text;
      return true;
    case TaskOption::kSupersedes:
      if (!ParseEui64(text, &number)) return false;
      t->supersedes.push_back(number);
      return true;
    case TaskOption::kKeeps:
      t->keeps = value == L"yes";
      return t->keeps;
    case TaskOption::kJob:
      t->job = text;
      return true;
  }
  return false;
}

}  // namespace

std::vector<std::wstring> EncodeTask(const std::wstring& program, const WorkerTask& t) {
  std::vector<std::wstring> args = {program, kWorkerCommand};
  auto add = [&](TaskOption option, const std::wstring& value) {
    args.push_back(kTaskOptions[static_cast<size_t>(option)]);
    args.push_back(value);
  };
  auto add8 = [&](TaskOption option, const std::string& value) {
    add(option, platform::WideFromUtf8(value));
  };
  add(TaskOption::kFirmware, t.firmware_path);
  if (!t.config_path.empty()) add(TaskOption::kConfig, t.config_path);
  add8(TaskOption::kAddress, FormatPciAddress(t.address));
  if (t.eui) add8(TaskOption::kEui, FormatEui64Value(*t.eui));
  add8(TaskOption::kEuiFolder, t.eui_folder);
  add8(TaskOption::kRun, t.run_id);
  add8(TaskOption::kStation, t.station);
  if (t.serial) add8(TaskOption::kSerial, *t.serial);
  add8(TaskOption::kChipRevision, std::to_string(t.chip_revision));
  add8(TaskOption::kJournal, t.journal);
  add8(TaskOption::kStoreId, t.store_id);
  add8(TaskOption::kStore, t.store_url);
  for (uint64_t n : t.supersedes) add8(TaskOption::kSupersedes, FormatEui64Value(n));
  if (t.keeps) add(TaskOption::kKeeps, L"yes");
  if (!t.job.empty()) add8(TaskOption::kJob, t.job);
  return args;
}

bool DecodeTask(const std::vector<std::wstring>& words, WorkerTask* task, std::string* why) {
  for (size_t i = 0; i < words.size(); i += 2) {
    size_t option = 0;
    while (option < sizeof kTaskOptions / sizeof *kTaskOptions && words[i] != kTaskOptions[option])
      ++option;
    if (option == sizeof kTaskOptions / sizeof *kTaskOptions || i + 1 == words.size() ||
        !SetTaskOption(static_cast<TaskOption>(option), words[i + 1], task)) {
      *why = "a board's worker cannot use \"" + platform::Utf8FromWide(words[i]) +
             "\": it is started by vxrom provision only";
      return false;
    }
  }
  if (task->firmware_path.empty() || task->address == kNoAddress || task->run_id.empty()) {
    *why = "a board's worker lacks its firmware, address or run: it is started by vxrom provision only";
    return false;
  }
  return true;
}

std::vector<Settlement> Superseded(const WorkerTask& task, const HistoryRecord& attempt) {
  std::vector<Settlement> out;
  for (uint64_t number : task.supersedes) {
    if (task.eui && number == *task.eui) continue;
    Settlement s;
    s.entry_id = NewEntryId();
    s.run_id = task.run_id;
    s.number = number;
    s.any_holder = true;
    HistoryRecord r = attempt;
    r.eui64 = FormatEui64Value(number);
    r.result = kExitFailed;
    r.reason = "retired: the board at " + attempt.address + " (serial " +
               attempt.serial.value_or("none") + ") was erased for its rework" +
               (task.eui ? ", to carry " + FormatEui64Value(*task.eui) : std::string());
    s.record = r;
    out.push_back(std::move(s));
  }
  return out;
}

std::string EncodeMessage(const WorkerMessage& message) {
  return JsonText(std::visit(ToJson(), message)) + "\n";
}

bool DecodeMessage(const std::string& line, WorkerMessage* message, std::string* why) {
  why->clear();
  if (line.empty() || line[0] != '{') return false;
  const Json json = Json::parse(line, nullptr, false);
  if (json.is_discarded() || !json.is_object()) {
    *why = "a line that is no JSON object";
    return false;
  }
  return DecodeObject(json, message, why);
}

}  // namespace line
