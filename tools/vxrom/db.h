// A SQL database as the pool and the history need it: statements with
// "?" parameters, rows as text, write transactions.  SQLite on one PC;
// any server a line reaches through ODBC.
#ifndef VXROM_DB_H_
#define VXROM_DB_H_

#include <stdint.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

/// One parameter of a statement.
struct SqlValue {
  enum class Type { kNull,
                    kInt,
                    kReal,
                    kText };
  SqlValue() = default;
  SqlValue(int64_t v) : type(Type::kInt), integer(v) {}               // NOLINT: implicit by design
  SqlValue(double v) : type(Type::kReal), real(v) {}                  // NOLINT
  SqlValue(std::string v) : type(Type::kText), text(std::move(v)) {}  // NOLINT
  SqlValue(const char* v) : type(Type::kText), text(v) {}             // NOLINT
  /// Text, or NULL when absent.
  static SqlValue Maybe(const std::optional<std::string>& v) {
    return v ? SqlValue(*v) : SqlValue();
  }

  Type type = Type::kNull;
  int64_t integer = 0;
  double real = 0;
  std::string text;
};

/// One result row: each column as text, or nothing for NULL.
typedef std::vector<std::optional<std::string>> SqlRow;

/// The SQL a database speaks where the two differ.
enum class SqlDialect { kSqlite,
                        kPostgres };

/// A connection.  Errors are values: false with the database's words.
class Database {
 public:
  virtual ~Database() = default;
  /// Runs one statement; the rows go to *rows when given.
  virtual bool Execute(const std::string& sql,
                       const std::vector<SqlValue>& params,
                       std::vector<SqlRow>* rows, std::string* error) = 0;
  /// Starts a transaction that writes: it waits (up to the busy timeout)
  /// until no other writer holds the database.
  virtual bool Begin(std::string* error) = 0;
  /// Commits the transaction.
  virtual bool Commit(std::string* error) = 0;
  /// Abandons the transaction, if any.
  virtual void Rollback() = 0;
  /// What SQL the database speaks.
  virtual SqlDialect dialect() const = 0;
};

/// Opens "sqlite:PATH" (the file and its folder made when missing).
std::unique_ptr<Database> OpenSqlite(const std::string& path,
                                     std::string* error);

/// Opens "odbc:CONNECTION-STRING" (a DSN or a driver's keywords).
std::unique_ptr<Database> OpenOdbc(const std::string& connection,
                                   std::string* error);

/// The URL with any password hidden: PWD=... and PASSWORD=... values
/// become "***", so that no message ever shows one.
std::string MaskCredentials(const std::string& text);

#endif  // VXROM_DB_H_
