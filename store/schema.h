// The store's tables and their versions: an ordered list of migrations,
// each taking the schema from one version to the next, so that a new
// store and an old one reach the same tables by the same statements.
#ifndef VXROM_SCHEMA_H_
#define VXROM_SCHEMA_H_

#include <stdint.h>

#include <string>

#include "store/store.h"

namespace store {

/// The version this program writes; a later one is refused, an earlier
/// one migrated.
extern const int64_t kSchemaVersion;

/// Reads the version of the store's schema (0 when it has no tables yet)
/// and, from version 2 on, its store_id.  A plain read: no write lock.
bool ReadSchemaVersion(Transaction& tx, int64_t* version, std::string* store_id);

/// Takes the schema from version from to kSchemaVersion, one migration
/// after the other, in tx.
bool MigrateSchema(Transaction& tx, int64_t from);

}  // namespace store

#endif  // VXROM_SCHEMA_H_
