// ODBC: a line's shared server (PostgreSQL), through the driver manager
// of the system: unixODBC on Linux, odbc32 on Windows.  Only the wide
// ("W") entry points are called: some driver managers implement the
// narrow ones as stubs.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include "platform/text.h"
#include "store/db.h"

using namespace line;

namespace store {

namespace {

using platform::Utf16FromUtf8;
using platform::Utf8FromUtf16;

/// Seconds that a login, and a wait for another run's lock, may take.
const SQLULEN kLoginTimeoutSeconds = 5;

SQLWCHAR* Wide(std::u16string& text) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "UTF-16 SQLWCHAR");
  return reinterpret_cast<SQLWCHAR*>(&text[0]);
}

bool Ok(SQLRETURN r) { return r == SQL_SUCCESS || r == SQL_SUCCESS_WITH_INFO; }

/// The driver's diagnostics of handle: the messages of its records on
/// one line, and the SQLSTATE of the first.
DbError Diagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  DbError error;
  std::string out;
  for (SQLSMALLINT record = 1; record <= 4; ++record) {
    SQLWCHAR state[6] = {};
    SQLWCHAR message[1024] = {};
    SQLINTEGER native = 0;
    SQLSMALLINT length = 0;
    if (!Ok(SQLGetDiagRecW(type, handle, record, state, &native, message, 1023, &length)))
      break;
    if (record == 1) error.sqlstate = Utf8FromUtf16(reinterpret_cast<const char16_t*>(state), 5);
    if (length > 1023) length = 1023;
    std::string text = Utf8FromUtf16(reinterpret_cast<const char16_t*>(message), static_cast<size_t>(length));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    // One line of reason: the server's own line breaks become spaces.
    for (char& c : text)
      if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    if (!out.empty()) out += "; ";
    out += text;
  }
  error.message = MaskCredentials(out.empty() ? std::string("no diagnostics from the driver") : out);
  return error;
}

/// Settings of every session: a wait for another station's lock may take
/// lock_timeout, a statement statement_timeout, and a transaction left
/// idle by a stopped station holds its locks no longer than
/// idle_in_transaction_session_timeout.
const char kSessionSettings[] =
    "SELECT set_config('lock_timeout', '5s', false), "
    "set_config('statement_timeout', '30s', false), "
    "set_config('idle_in_transaction_session_timeout', '60s', false)";

/// Keywords added behind the operator's connection string (ODBC takes the
/// first of a keyword given twice, so theirs win): TCP keepalives that
/// find a silent server within about two minutes, and a failure rolling
/// back the whole transaction (the store runs it again whole) instead of
/// a savepoint around every statement, which costs a round trip each.
const char kConnectionDefaults[] = "KeepaliveTime=30;KeepaliveInterval=10;Protocol=7.4-1;";

class OdbcDatabase : public Database {
 public:
  OdbcDatabase(SQLHENV env, const std::string& connection) : env_(env), connection_(connection) {}
  ~OdbcDatabase() override {
    Disconnect();
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  /// Connects as the connection string says, with the session settings.
  bool Connect(DbError* error) {
    if (!Ok(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
      dbc_ = SQL_NULL_HDBC;
      *error = Diagnostics(SQL_HANDLE_ENV, env_);
      return false;
    }
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT, reinterpret_cast<SQLPOINTER>(kLoginTimeoutSeconds), 0);
    std::string keywords = connection_;
    if (!keywords.empty() && keywords.back() != ';') keywords += ';';
    std::u16string text = Utf16FromUtf8(keywords + kConnectionDefaults);
    SQLWCHAR out[1024];
    SQLSMALLINT out_length = 0;
    if (!Ok(SQLDriverConnectW(dbc_, nullptr, Wide(text), static_cast<SQLSMALLINT>(text.size()), out, 1024, &out_length, SQL_DRIVER_NOPROMPT))) {
      *error = Diagnostics(SQL_HANDLE_DBC, dbc_);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
      dbc_ = SQL_NULL_HDBC;
      return false;
    }
    connected_ = true;
    SQLSetConnectAttrW(dbc_, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0);
    return Execute(kSessionSettings, {}, nullptr, error) && Commit(error);
  }

  bool Execute(const std::string& sql, const std::vector<SqlValue>& params,
               std::vector<SqlRow>* rows, DbError* error) override {
    if (!connected_) {
      *error = {"the connection to the server is lost", "08003"};
      return false;
    }
    SQLHSTMT statement = SQL_NULL_HSTMT;
    if (!Ok(SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &statement))) {
      *error = Lost(Diagnostics(SQL_HANDLE_DBC, dbc_));
      return false;
    }
    bool ok = Run(statement, sql, params, rows, error);
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    in_transaction_ = true;
    return ok;
  }

  bool Begin(bool, DbError*) override {
    // Autocommit is off: the first statement opens the transaction.
    return true;
  }
  bool Commit(DbError* error) override {
    in_transaction_ = false;
    if (connected_ && Ok(SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_COMMIT))) return true;
    *error = connected_ ? Lost(Diagnostics(SQL_HANDLE_DBC, dbc_))
                        : DbError{"the connection to the server is lost", "08003"};
    Rollback();
    return false;
  }
  void Rollback() override {
    if (in_transaction_ && connected_) SQLEndTran(SQL_HANDLE_DBC, dbc_, SQL_ROLLBACK);
    in_transaction_ = false;
  }
  bool Reconnect(DbError* error) override {
    Disconnect();
    return Connect(error);
  }
  // A server: rows locked, turns taken with advisory locks.
  std::string RowLock(bool skip_held) const override {
    return skip_held ? " FOR UPDATE SKIP LOCKED" : " FOR UPDATE";
  }
  std::string TakeTurn(TurnLock lock) const override {
    return "SELECT pg_advisory_xact_lock(" + std::to_string(static_cast<int64_t>(lock)) + ")";
  }
  std::string CounterKey() const override { return "BIGSERIAL PRIMARY KEY"; }
  std::string RealType() const override { return "DOUBLE PRECISION"; }
  std::string TableExists(const std::string& table) const override {
    return "SELECT CASE WHEN to_regclass('" + table + "') IS NULL THEN 0 ELSE 1 END";
  }
  std::string Eui64Text(const std::string& column) const override {
    // The key is the number with its top bit flipped.
    return "regexp_replace(upper(lpad(to_hex(" + column +
           " # (-9223372036854775807 - 1)), 16, '0')), '(..)(?=.)', '\\1-', 'g')";
  }
  bool AltersInPlace() const override { return true; }

 private:
  void Disconnect() {
    if (dbc_ == SQL_NULL_HDBC) return;
    Rollback();
    if (connected_) SQLDisconnect(dbc_);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    dbc_ = SQL_NULL_HDBC;
    connected_ = false;
    in_transaction_ = false;
  }

  /// error, as a lost connection when the driver knows its connection
  /// dead whatever state it reported: the server went away mid-statement.
  DbError Lost(DbError error) {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!error.ConnectionLost() &&
        Ok(SQLGetConnectAttrW(dbc_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr)) && dead == SQL_CD_TRUE)
      error.sqlstate = "08S01";
    return error;
  }

  bool Run(SQLHSTMT statement, const std::string& sql,
           const std::vector<SqlValue>& params, std::vector<SqlRow>* rows,
           DbError* error) {
    // The bound buffers must outlive the execution.
    std::vector<std::u16string> texts(params.size());
    std::vector<SQLLEN> lengths(params.size());
    std::vector<int64_t> integers(params.size());
    std::vector<double> reals(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
      const SqlValue& p = params[i];
      const SQLUSMALLINT at = static_cast<SQLUSMALLINT>(i + 1);
      SQLRETURN r = SQL_SUCCESS;
      switch (p.type) {
        case SqlValue::Type::kNull:
          lengths[i] = SQL_NULL_DATA;
          r = SQLBindParameter(statement, at, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 1, 0, nullptr, 0, &lengths[i]);
          break;
        case SqlValue::Type::kInt:
          integers[i] = p.integer;
          lengths[i] = 0;
          r = SQLBindParameter(statement, at, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_BIGINT, 0, 0, &integers[i], 0, &lengths[i]);
          break;
        case SqlValue::Type::kReal:
          reals[i] = p.real;
          lengths[i] = 0;
          r = SQLBindParameter(statement, at, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &reals[i], 0, &lengths[i]);
          break;
        case SqlValue::Type::kText:
          texts[i] = Utf16FromUtf8(p.text);
          lengths[i] = static_cast<SQLLEN>(texts[i].size() * sizeof(char16_t));
          texts[i].push_back(u'\0');
          r = SQLBindParameter(statement, at, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
                               texts[i].size() > 1 ? texts[i].size() - 1 : 1, 0, Wide(texts[i]),
                               lengths[i], &lengths[i]);
          break;
      }
      if (!Ok(r)) return Fail(statement, error);
    }
    std::u16string text = Utf16FromUtf8(sql);
    SQLRETURN r = SQLExecDirectW(statement, Wide(text), static_cast<SQLINTEGER>(text.size()));
    if (r == SQL_NO_DATA) return true;
    if (!Ok(r)) return Fail(statement, error);
    if (!rows) return true;
    SQLSMALLINT columns = 0;
    SQLNumResultCols(statement, &columns);
    while (columns > 0 && Ok(r = SQLFetch(statement))) {
      SqlRow row;
      for (SQLUSMALLINT c = 1; c <= static_cast<SQLUSMALLINT>(columns); ++c) {
        std::optional<std::string> value;
        if (!Column(statement, c, &value)) return Fail(statement, error);
        row.push_back(std::move(value));
      }
      rows->push_back(std::move(row));
    }
    return r == SQL_NO_DATA || Ok(r) || columns == 0 || Fail(statement, error);
  }

  /// One column of the current row, in pieces until complete.
  static bool Column(SQLHSTMT statement, SQLUSMALLINT column,
                     std::optional<std::string>* value) {
    std::u16string all;
    for (;;) {
      char16_t buffer[512];
      SQLLEN length = 0;
      SQLRETURN r = SQLGetData(statement, column, SQL_C_WCHAR, buffer, sizeof buffer, &length);
      if (r == SQL_NO_DATA) break;
      if (!Ok(r)) return false;
      if (length == SQL_NULL_DATA) return true;
      size_t got = (length == SQL_NO_TOTAL || static_cast<size_t>(length) >= sizeof buffer)
                       ? sizeof buffer / sizeof(char16_t) - 1
                       : static_cast<size_t>(length) / sizeof(char16_t);
      all.append(buffer, got);
      if (r == SQL_SUCCESS) break;
    }
    *value = Utf8FromUtf16(all.data(), all.size());
    return true;
  }

  bool Fail(SQLHSTMT statement, DbError* error) {
    *error = Lost(Diagnostics(SQL_HANDLE_STMT, statement));
    return false;
  }

  SQLHENV env_;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  const std::string connection_;
  bool connected_ = false;
  bool in_transaction_ = false;
};

}  // namespace

std::unique_ptr<Database> OpenOdbc(const std::string& connection,
                                   std::string* error) {
  SQLHENV env = SQL_NULL_HENV;
  if (!Ok(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    *error = "no ODBC driver manager";
    return nullptr;
  }
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  std::unique_ptr<OdbcDatabase> opened(new OdbcDatabase(env, connection));
  DbError failed;
  if (!opened->Connect(&failed)) {
    *error = failed.Text();
    return nullptr;
  }
  return opened;
}

}  // namespace store
