// Delivery of the station's journal to the store: every settlement that
// waits, oldest first, each taken once (the store knows its entry_id).
// A run delivers on a thread of its own, so that a slow or absent store
// never holds up its boards; every command that opens the store delivers
// what earlier runs left waiting first.
#ifndef VXROM_DELIVERY_H_
#define VXROM_DELIVERY_H_

#include <stdint.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "store/journal.h"
#include "store/store.h"

namespace store {

/// How a delivery went.
struct DeliveryTally {
  uint64_t sent = 0;     ///< Settlements the store took.
  uint64_t refused = 0;  ///< The store refused them for good: kept, and told.
  uint64_t waiting = 0;  ///< Still waiting: the store is away.
  uint64_t lost = 0;     ///< Neither kept in the journal nor taken by the store.
  std::string reason;    ///< Why the store is away, or refused the last.
};

/// Where a run's settlements go from the journal: on to the store.
class SettlementSink {
 public:
  virtual ~SettlementSink() = default;
  /// New settlements are in the journal.
  virtual void Journaled() = 0;
  /// The journal could not take this one: it goes on from memory.
  virtual void NotJournaled(const line::Settlement& settlement) = 0;
};

/// Sends the waiting settlements of store's id to it, oldest first, until
/// the store cannot be reached.
DeliveryTally DeliverWaiting(Store& store, Journal& journal);

/// DeliverWaiting on a thread of its own, with connections of its own,
/// woken whenever settlements are kept.
class DeliveryThread : public SettlementSink {
 public:
  /// @param store_id the store's id, as the run's own connection read it.
  /// @param run_id the run whose settlements Finish counts.
  DeliveryThread(std::string store_url, std::string store_id, std::string run_id,
                 std::string journal_path);
  ~DeliveryThread() override;
  DeliveryThread(const DeliveryThread&) = delete;
  DeliveryThread& operator=(const DeliveryThread&) = delete;

  void Journaled() override;
  void NotJournaled(const line::Settlement& settlement) override;
  /// A last pass, then the thread ends.  @return what is left.
  DeliveryTally Finish();
  /// After Finish: the settlements neither the journal nor the store took.
  const std::vector<line::Settlement>& lost() const { return unjournaled_; }

 private:
  void Loop();
  /// One pass over the journal and the settlements held in memory.
  void Pass();

  std::string store_url_, store_id_, run_id_, journal_path_;
  std::unique_ptr<Store> store_;
  std::unique_ptr<Journal> journal_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool woken_ = false, finishing_ = false;
  std::vector<line::Settlement> unjournaled_;  ///< Guarded by mutex_.
  DeliveryTally tally_;
  std::thread thread_;
};

}  // namespace store

#endif  // VXROM_DELIVERY_H_
