#include "store/schema.h"

#include <stdio.h>

#include <random>

#include "store/ledger.h"

using namespace line;

namespace store {

namespace {

/// A new store's identity: 128 random bits in hexadecimal.
std::string NewStoreId() {
  std::random_device random;
  char id[33];
  snprintf(id, sizeof id, "%08x%08x%08x%08x", random(), random(), random(), random());
  return id;
}

bool Run(Transaction& tx, const std::vector<std::string>& statements) {
  for (const std::string& sql : statements)
    if (!tx.Execute(sql)) return false;
  return true;
}

/// None to 1: the tables of vxrom's first release, as it made them.
bool CreateVersion1(Transaction& tx) {
  return Run(tx, {
                     "CREATE TABLE IF NOT EXISTS vxrom_schema (version BIGINT NOT NULL)",
                     "CREATE TABLE IF NOT EXISTS vxrom_range (first_key BIGINT PRIMARY KEY, "
                     "last_key BIGINT NOT NULL, next_key BIGINT NOT NULL)",
                     "CREATE TABLE IF NOT EXISTS vxrom_eui (eui_key BIGINT PRIMARY KEY, "
                     "state TEXT NOT NULL, run_id TEXT, station TEXT, host TEXT, pid BIGINT, "
                     "address TEXT, serial TEXT, reserved_at TEXT)",
                     "CREATE INDEX IF NOT EXISTS vxrom_eui_state ON vxrom_eui (state, station)",
                     std::string("CREATE TABLE IF NOT EXISTS vxrom_history (id ") +
                         tx.sql().CounterKey() +
                         ", started TEXT NOT NULL, finished TEXT NOT NULL, station TEXT NOT "
                         "NULL, host TEXT NOT NULL, serial TEXT, address TEXT NOT NULL, "
                         "chip_revision BIGINT, rom_type BIGINT, firmware_version TEXT, "
                         "subsystem_vendor_id BIGINT, subsystem_id BIGINT, eui64 TEXT, "
                         "image_sha256 TEXT, result BIGINT NOT NULL, reason TEXT, "
                         "duration_s " +
                         tx.sql().RealType() +
                         " NOT NULL, version TEXT NOT NULL, run_id TEXT)",
                     "CREATE INDEX IF NOT EXISTS vxrom_history_serial ON vxrom_history "
                     "(serial)",
                     "DELETE FROM vxrom_schema",
                     "INSERT INTO vxrom_schema (version) VALUES (1)",
                 });
}

const char kStates[] = "CHECK (state IN ('free', 'reserved', 'programmed', 'spoiled'))";

/// 1 to 2: the schema keyed, with the store's identity; each number in
/// its display form beside its key, the reserving process's start time,
/// the states checked; history entries with an identity of their own.
/// SQLite adds no CHECK to a table: vxrom_schema and vxrom_eui are made
/// anew there.  A server keeps its tables, and with them their grants.
bool MigrateTo2(Transaction& tx) {
  const std::string eui64 = tx.sql().Eui64Text("eui_key");
  if (tx.sql().AltersInPlace())
    return tx.Execute("ALTER TABLE vxrom_schema ADD COLUMN id INTEGER, ADD COLUMN store_id TEXT") &&
           tx.Execute("DELETE FROM vxrom_schema") &&
           tx.Execute("INSERT INTO vxrom_schema (id, version, store_id) VALUES (1, 2, ?)", {NewStoreId()}) &&
           Run(tx, {
                       "ALTER TABLE vxrom_schema ALTER COLUMN id SET NOT NULL, ALTER COLUMN "
                       "store_id SET NOT NULL, ADD PRIMARY KEY (id), ADD CHECK (id = 1)",
                       std::string("ALTER TABLE vxrom_eui ADD COLUMN eui64 TEXT, ADD COLUMN pid_start BIGINT, ADD ") + kStates,
                       "UPDATE vxrom_eui SET eui64 = " + eui64,
                       "ALTER TABLE vxrom_history ADD COLUMN entry_id TEXT UNIQUE",
                   });
  return Run(tx, {
                     "CREATE TABLE vxrom_schema_2 (id INTEGER PRIMARY KEY CHECK (id = 1), "
                     "version BIGINT NOT NULL, store_id TEXT NOT NULL)",
                 }) &&
         tx.Execute("INSERT INTO vxrom_schema_2 (id, version, store_id) VALUES (1, 2, ?)", {NewStoreId()}) && Run(tx, {
                                                                                                                          "DROP TABLE vxrom_schema",
                                                                                                                          "ALTER TABLE vxrom_schema_2 RENAME TO vxrom_schema",
                                                                                                                          std::string("CREATE TABLE vxrom_eui_2 (eui_key BIGINT PRIMARY KEY, state TEXT NOT NULL ") + kStates + ", run_id TEXT, station TEXT, host TEXT, pid BIGINT, address TEXT, "
                                                                                                                                                                                                                                "serial TEXT, reserved_at TEXT, eui64 TEXT, pid_start BIGINT)",
                                                                                                                          "INSERT INTO vxrom_eui_2 (eui_key, state, run_id, station, host, pid, address, "
                                                                                                                          "serial, reserved_at, eui64) SELECT eui_key, state, run_id, station, host, pid, "
                                                                                                                          "address, serial, reserved_at, " +
                                                                                                                              eui64 + " FROM vxrom_eui",
                                                                                                                          "DROP TABLE vxrom_eui",
                                                                                                                          "ALTER TABLE vxrom_eui_2 RENAME TO vxrom_eui",
                                                                                                                          "CREATE INDEX vxrom_eui_state ON vxrom_eui (state, station)",
                                                                                                                          // SQLite adds no UNIQUE column: the index is the constraint.
                                                                                                                          "ALTER TABLE vxrom_history ADD COLUMN entry_id TEXT",
                                                                                                                          "CREATE UNIQUE INDEX vxrom_history_entry ON vxrom_history (entry_id)",
                                                                                                                      });
}

/// 2 to 3: what a board's rework and a scan look up, indexed: serials
/// as they compare (without case), and numbers in their display form.
bool MigrateTo3(Transaction& tx) {
  return Run(tx, {
                     "CREATE INDEX vxrom_history_serial_key ON vxrom_history (lower(serial))",
                     "CREATE INDEX vxrom_history_eui ON vxrom_history (eui64)",
                     "CREATE INDEX vxrom_eui_text ON vxrom_eui (eui64)",
                     "UPDATE vxrom_schema SET version = 3 WHERE id = 1",
                 });
}

/// 3 to 4: the chain over history, pool changes and released jobs (the
/// records kept so far chained in their order); the pool's log, its
/// settings (the watermark) and the numbers retired from it; the job a
/// board was programmed from.
bool MigrateTo4(Transaction& tx) {
  return Run(tx, {
                     "ALTER TABLE vxrom_history ADD COLUMN job TEXT",
                     "ALTER TABLE vxrom_history ADD COLUMN seq BIGINT",
                     "ALTER TABLE vxrom_history ADD COLUMN digest TEXT",
                     "CREATE UNIQUE INDEX vxrom_history_seq ON vxrom_history (seq)",
                     "CREATE TABLE vxrom_chain (id INTEGER PRIMARY KEY CHECK (id = 1), "
                     "seq BIGINT NOT NULL, digest TEXT NOT NULL)",
                     "INSERT INTO vxrom_chain (id, seq, digest) VALUES (1, 0, '')",
                     "CREATE TABLE vxrom_log (seq BIGINT PRIMARY KEY, at TEXT NOT NULL, "
                     "who TEXT NOT NULL, action TEXT NOT NULL, subject TEXT NOT NULL, "
                     "detail TEXT, digest TEXT NOT NULL)",
                     "CREATE TABLE vxrom_job (name TEXT NOT NULL, version BIGINT NOT NULL, "
                     "eui BIGINT NOT NULL, chip_revision BIGINT, firmware_name TEXT NOT NULL, "
                     "firmware_size BIGINT NOT NULL, firmware_sha256 TEXT NOT NULL, "
                     "config_name TEXT, config_size BIGINT, config_sha256 TEXT, note TEXT, "
                     "released_by TEXT NOT NULL, released_at TEXT NOT NULL, firmware TEXT NOT "
                     "NULL, config TEXT, seq BIGINT NOT NULL UNIQUE, digest TEXT NOT NULL, "
                     "PRIMARY KEY (name, version))",
                     "CREATE TABLE vxrom_setting (name TEXT PRIMARY KEY, value TEXT)",
                     "CREATE TABLE vxrom_retired (first_key BIGINT PRIMARY KEY, "
                     "last_key BIGINT NOT NULL)",
                 }) &&
         ChainEarlierHistory(tx) && tx.Execute("UPDATE vxrom_schema SET version = 4 WHERE id = 1");
}

/// The migrations in order: kMigrations[v] takes version v to v + 1.
bool (*const kMigrations[])(Transaction&) = {CreateVersion1, MigrateTo2, MigrateTo3, MigrateTo4};

}  // namespace

const int64_t kSchemaVersion = sizeof kMigrations / sizeof *kMigrations;

bool ReadSchemaVersion(Transaction& tx, int64_t* version, std::string* store_id) {
  *version = 0;
  store_id->clear();
  std::vector<SqlRow> rows;
  if (!tx.Execute(tx.sql().TableExists("vxrom_schema"), {}, &rows))
    return false;
  if (rows.empty() || rows[0][0].value_or("0") == "0") return true;
  if (!tx.Execute("SELECT max(version) FROM vxrom_schema", {}, &rows)) return false;
  if (rows.empty() || !rows[0][0]) return true;
  *version = std::stoll(*rows[0][0]);
  if (*version < 2 || *version > kSchemaVersion) return true;
  if (!tx.Execute("SELECT store_id FROM vxrom_schema WHERE id = 1", {}, &rows)) return false;
  if (!rows.empty()) *store_id = rows[0][0].value_or("");
  return true;
}

bool MigrateSchema(Transaction& tx, int64_t from) {
  for (int64_t v = from; v < kSchemaVersion; ++v)
    if (!kMigrations[v](tx)) return false;
  return true;
}

}  // namespace store
