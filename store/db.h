// A SQL database as the pool and the history need it: statements with
// "?" parameters, rows as text, write transactions.  SQLite on one PC;
// any server a line reaches through ODBC.
#ifndef VXROM_DB_H_
#define VXROM_DB_H_

#include <stdint.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "line/field_value.h"

namespace store {

/// One parameter of a statement.
typedef line::FieldValue SqlValue;

/// One result row: each column as text, or nothing for NULL.
typedef std::vector<std::optional<std::string>> SqlRow;

/// The locks that make the line's writers take turns where row locks do
/// not order them (a server's transaction-scoped advisory locks).
enum class TurnLock : int64_t {
  kWriters = 5130,  ///< Writers that change the pool or the chain.
  kSerials = 5131,  ///< Reservations that check serials.
};

/// SQLSTATE of a database held by another writer past the wait, as a
/// server's lock_timeout reports it (lock not available).
extern const char kSqlStateBusy[];

/// How a database call failed: the database's words and its SQLSTATE.
struct DbError {
  std::string message;
  std::string sqlstate = "HY000";  ///< Five characters, as ODBC and PostgreSQL give it.

  /// The connection is gone (class 08, or the server shutting down):
  /// only a new one can go on, and what was not committed is lost.
  bool ConnectionLost() const;
  /// Running the whole transaction again may succeed: a lost connection,
  /// a serialization failure or a deadlock.  A lock held past the wait is
  /// not: the wait was had already.
  bool Retryable() const;
  /// The message with its SQLSTATE, for a reason.
  std::string Text() const;
};

/// A connection.  Errors are values: false with the database's error.
class Database {
 public:
  virtual ~Database() = default;
  /// Runs one statement; the rows go to *rows when given.
  virtual bool Execute(const std::string& sql,
                       const std::vector<SqlValue>& params,
                       std::vector<SqlRow>* rows, DbError* error) = 0;
  /// Starts a transaction.  One that writes waits (up to the busy timeout,
  /// counted once for the whole transaction) until no other writer holds
  /// the database; one that reads never waits for a writer.
  virtual bool Begin(bool write, DbError* error) = 0;
  /// Commits the transaction.
  virtual bool Commit(DbError* error) = 0;
  /// Abandons the transaction, if any.
  virtual void Rollback() = 0;
  /// Replaces a lost connection with a new one made as the first was.
  virtual bool Reconnect(DbError* error) = 0;
  // The SQL the database speaks where databases differ, each driver its
  // own: the store's statements never ask which database it is.
  /// After a SELECT of rows the transaction will change: what locks them
  /// until the commit, passing rows others hold when skip_held ("" where
  /// a writer holds the whole database anyway).
  virtual std::string RowLock(bool skip_held) const = 0;
  /// The statement that takes lock until the commit; "" where writers
  /// take turns anyway.
  virtual std::string TakeTurn(TurnLock lock) const = 0;
  /// A key column that numbers its rows.
  virtual std::string CounterKey() const = 0;
  /// The type of a real column.
  virtual std::string RealType() const = 0;
  /// A statement whose one value is 1 when table exists, else 0.
  virtual std::string TableExists(const std::string& table) const = 0;
  /// The display form ("XX-XX-...") of an EUI-64 key column.
  virtual std::string Eui64Text(const std::string& column) const = 0;
  /// True when ALTER TABLE adds columns with constraints in place; false
  /// where a table is made anew to gain them.
  virtual bool AltersInPlace() const = 0;
};

/// How long an SQLite transaction (or a statement outside one) waits for
/// another writer in all, however many times it finds the database busy.
constexpr std::chrono::milliseconds kSqliteBusyWait{5000};

/// Opens the SQLite file at path (the file and its folder made when
/// missing), waiting busy_wait in all for other writers.  A library older
/// than 3.35 is refused.
std::unique_ptr<Database> OpenSqlite(const std::string& path, std::string* error,
                                     std::chrono::milliseconds busy_wait = kSqliteBusyWait);

/// Opens a server through ODBC: connection is a DSN or a driver's
/// keywords, kept to connect again when the connection is lost.
std::unique_ptr<Database> OpenOdbc(const std::string& connection,
                                   std::string* error);

/// The URL with any password hidden: PWD=... and PASSWORD=... values,
/// and a URL's "user:password@", become "***", so that no message ever
/// shows one.
std::string MaskCredentials(const std::string& text);

/// The ODBC connection string of a PostgreSQL URL ("postgresql://USER:
/// PASSWORD@HOST:PORT/DATABASE?sslmode=MODE"), for the PostgreSQL Unicode
/// driver.  @return false with *why (masked) for a URL it cannot map.
bool PostgresUrlToOdbc(const std::string& url, std::string* connection, std::string* why);

}  // namespace store

#endif  // VXROM_DB_H_
