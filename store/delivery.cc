#include "store/delivery.h"

#include <chrono>
#include <exception>

using namespace line;

namespace store {

namespace {

/// While settlements wait on a store that is away, it is tried again this
/// often, ms.
const int kRetryMs = 2000;

}  // namespace

DeliveryTally DeliverWaiting(Store& store, Journal& journal) {
  DeliveryTally tally;
  std::vector<JournalEntry> entries;
  if (!journal.Waiting(store.store_id(), &entries, &tally.reason)) return tally;
  for (size_t i = 0; i < entries.size(); ++i) {
    const JournalEntry& e = entries[i];
    std::string why;
    StoreStatus status = store.Settle(e.settlement, &why);
    // Data the database will never take (a value out of its range, a
    // broken constraint) is refused for good; anything else may pass
    // once the database is back.
    const std::string& state = store.last_error().sqlstate;
    if (status == StoreStatus::kUnavailable && (state.rfind("22", 0) == 0 || state.rfind("23", 0) == 0))
      status = StoreStatus::kRefused;
    if (status == StoreStatus::kUnavailable) {
      tally.waiting = entries.size() - i;
      tally.reason = why;
      return tally;
    }
    if (status == StoreStatus::kOk) {
      ++tally.sent;
      if (!journal.MarkSent(e.settlement.entry_id, &why)) tally.reason = why;
    } else {
      ++tally.refused;
      tally.reason = why;
      journal.MarkRefused(e.settlement.entry_id, why, &why);
    }
  }
  return tally;
}

DeliveryThread::DeliveryThread(std::string store_url, std::string store_id, std::string run_id,
                               std::string journal_path)
    : store_url_(std::move(store_url)), store_id_(std::move(store_id)), run_id_(std::move(run_id)), journal_path_(std::move(journal_path)) {
  thread_ = std::thread(&DeliveryThread::Loop, this);
}

DeliveryThread::~DeliveryThread() {
  if (thread_.joinable()) Finish();
}

void DeliveryThread::Journaled() {
  std::lock_guard<std::mutex> lock(mutex_);
  woken_ = true;
  wake_.notify_one();
}

void DeliveryThread::NotJournaled(const Settlement& settlement) {
  std::lock_guard<std::mutex> lock(mutex_);
  unjournaled_.push_back(settlement);
  woken_ = true;
  wake_.notify_one();
}

void DeliveryThread::Pass() {
  std::string why;
  if (!journal_) journal_ = Journal::Open(journal_path_, false, &tally_.reason);
  if (!store_) store_ = Store::Open(store_url_, &why);
  if (!store_) {
    tally_.reason = why;
    return;
  }
  std::vector<Settlement> held;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held.swap(unjournaled_);
  }
  for (size_t i = 0; i < held.size(); ++i) {
    if (store_->Settle(held[i], &why) == StoreStatus::kOk) continue;
    tally_.reason = why;
    std::lock_guard<std::mutex> lock(mutex_);
    unjournaled_.insert(unjournaled_.end(), held.begin() + static_cast<ptrdiff_t>(i), held.end());
    break;
  }
  if (!journal_) return;
  const DeliveryTally pass = DeliverWaiting(*store_, *journal_);
  tally_.sent += pass.sent;
  tally_.refused += pass.refused;
  if (!pass.reason.empty()) tally_.reason = pass.reason;
  // A store that went away may come back on a new connection.
  if (pass.waiting > 0) store_.reset();
}

void DeliveryThread::Loop() {
  for (;;) {
    bool last = false;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(kRetryMs), [this] { return woken_ || finishing_; });
      woken_ = false;
      last = finishing_;
    }
    // An exception must not end the program from this thread: the run
    // then finds the settlements waiting, and says so.
    try {
      Pass();
    } catch (const std::exception& e) {
      tally_.reason = e.what();
      store_.reset();
    }
    if (last) return;
  }
}

DeliveryTally DeliveryThread::Finish() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finishing_ = true;
    wake_.notify_one();
  }
  thread_.join();
  DeliveryTally tally = tally_;
  std::string why;
  if (journal_ && !journal_->CountWaiting(store_id_, run_id_, &tally.waiting, &why)) tally.reason = why;
  tally.lost = unjournaled_.size();
  return tally;
}

}  // namespace store
