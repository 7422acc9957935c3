#include "vxrom/store_access.h"

#include "device/exit_codes.h"
#include "platform/files.h"
#include "platform/program.h"
#include "platform/text.h"
#include "store/delivery.h"
#include "store/jobs.h"
#include "vxrom/output.h"

using namespace device;
using namespace store;
using namespace line;

std::string StoreUrl(const CommonOptions& common) {
  std::string url = common.db_url;
  if (url.empty()) platform::GetEnvironment("VXROM_DB", &url);
  if (!url.empty()) return url;
  // The state folder's database; the current folder's without one.
  const std::string state = platform::UserStateDirectory();
  const char s = platform::kPathSeparator;
  return "sqlite:" + (state.empty() ? std::string("vxrom.db") : state + s + "vxrom" + s + "vxrom.db");
}

std::unique_ptr<Store> OpenStore(const std::string& url) {
  std::string reason;
  if (!DatabaseUrlKeeps(url, &reason)) {
    VxromReason("VXROM_DB=" + reason);
    return nullptr;
  }
  std::unique_ptr<Store> store = Store::Open(url, &reason);
  if (!store) VxromReason(reason);
  return store;
}

void DeliverAtStart(Store& store, Journal& journal) {
  const DeliveryTally tally = DeliverWaiting(store, journal);
  if (tally.refused > 0)
    VxromReason(std::to_string(tally.refused) + " board records of the station's journal " +
                journal.path() + " were refused by the store (" + tally.reason +
                "): vxrom journal lists them");
  if (tally.waiting > 0)
    VxromReason(std::to_string(tally.waiting) + " board records wait in the station's journal " +
                journal.path() + ", not yet on the store: " + tally.reason);
}

std::unique_ptr<Store> OpenOptionsStore(const CommonOptions& common) {
  std::unique_ptr<Store> store = OpenStore(StoreUrl(common));
  if (!store) return store;
  std::string reason;
  std::unique_ptr<Journal> journal = Journal::Open(Journal::DefaultPath(), true, &reason);
  if (journal)
    DeliverAtStart(*store, *journal);
  else if (!reason.empty())
    VxromReason(reason);
  return store;
}

uint64_t JournalWaiting(const Store& store) {
  std::string reason;
  std::unique_ptr<Journal> journal = Journal::Open(Journal::DefaultPath(), true, &reason);
  uint64_t waiting = 0;
  if (journal && !journal->CountWaiting(store.store_id(), "", &waiting, &reason)) VxromReason(reason);
  return waiting;
}

ExitCode StoreFailure(StoreStatus status, const std::string& reason) {
  switch (status) {
    case StoreStatus::kOk:
      return kExitOk;
    case StoreStatus::kRefused:
      VxromReason(reason);
      return kExitRangeRefused;
    case StoreStatus::kTooSmall:
      VxromReason(reason);
      return kExitPoolTooSmall;
    case StoreStatus::kSerialTaken:
      VxromReason(reason);
      return kExitSerialProgrammed;
    case StoreStatus::kUnavailable:
      break;
  }
  VxromReason("the database: " + reason);
  return kExitDatabase;
}

StoreStatus Watermark(std::optional<uint64_t> given, Store& store, uint64_t free,
                      std::optional<uint64_t>* low, std::string* reason) {
  *low = given;
  if (!*low) {
    const StoreStatus status = LowWater(store, low, reason);
    if (status != StoreStatus::kOk) return status;
  }
  if (*low && free < **low)
    VxromReasons().Reason(L"the pool has %llu free EUI-64s, below its low water of %llu: add more soon (vxrom pool add)",
                          static_cast<unsigned long long>(free), static_cast<unsigned long long>(**low));
  return StoreStatus::kOk;
}
