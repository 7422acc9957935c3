// The chain over the store's records: every history record, pool change
// and released job takes the next place after the chain's head and a
// digest linked to the entry before it, in the transaction that writes
// it.  A walk of the chain names the first entry changed, removed or
// inserted behind vxrom's back.
#ifndef VXROM_STORE_LEDGER_H_
#define VXROM_STORE_LEDGER_H_

#include <stdint.h>

#include <optional>
#include <string>
#include <vector>

#include "line/field_value.h"
#include "store/store.h"

namespace store {

/// The kinds of chained entries, as their canonical text names them.
extern const char kHistoryEntry[];
extern const char kPoolEntry[];
extern const char kJobEntry[];

/// Takes the chain's next place for an entry of kind with fields, inside
/// tx (on a server the head stays locked until the commit, so stations
/// append in turn).  @return false after a failed statement.
bool ChainAppend(Transaction& tx, const std::string& kind, const std::vector<line::FieldValue>& fields,
                 int64_t* seq, std::string* digest);

/// A history record's chained fields: the record, its run and entry.
std::vector<line::FieldValue> HistoryEntryFields(const line::HistoryRecord& record, const std::string& run_id,
                                                 const std::string& entry_id);

/// What a walk of the chain found.
struct ChainCheck {
  int64_t entries = 0;              ///< Entries walked, in order, while intact.
  std::string head;                 ///< The last entry's digest.
  std::optional<int64_t> break_at;  ///< The place where the chain breaks.
  std::string broken;               ///< What is wrong there, in words.
};

/// Walks the whole chain, a page at a time.
StoreStatus VerifyChain(Store& store, ChainCheck* check, std::string* reason);

/// Chains the history records a store kept before it had a chain, in
/// their order (a migration step).  @return false after a failed
/// statement.
bool ChainEarlierHistory(Transaction& tx);

}  // namespace store

#endif  // VXROM_STORE_LEDGER_H_
