// The ODBC backend of the database: SQL Server and Oracle through their ODBC drivers (or FreeTDS), and any
// database an "odbc:" string names, on unixODBC. Texts cross as UTF-16 and are Windows-1252 inside the module;
// every value is bound, never spliced; a login or query that takes longer than the host folder allows fails
// as Unavailable, and a connection lost between jobs is opened again.
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/error.h"
#include "platform/log.h"
#include "platform/rtl.h"

namespace imp::db {
namespace {

std::string lower(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

bool starts_with_ci(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && lower(s.substr(0, prefix.size())) == prefix;
}

// ---- connection strings ----

struct Pair {
  std::string key, value;
};

// "key=value;key=value": OLE DB values may be quoted with " or ' (the quote doubled inside), ODBC values
// braced with {} ("}}" inside).
std::vector<Pair> parse_pairs(std::string_view s) {
  std::vector<Pair> out;
  std::size_t i = 0;
  while (i < s.size()) {
    std::size_t eq = s.find('=', i);
    std::size_t semi = s.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      if (!trim(s.substr(i, semi == std::string_view::npos ? std::string_view::npos : semi - i)).empty())
        throw Error("Texto de conexão malformado (falta '=')"_cp);
      if (semi == std::string_view::npos) break;
      i = semi + 1;
      continue;
    }
    Pair p{trim(s.substr(i, eq - i)), {}};
    std::size_t j = eq + 1;
    while (j < s.size() && std::isspace(static_cast<unsigned char>(s[j]))) ++j;
    if (j < s.size() && (s[j] == '"' || s[j] == '\'' || s[j] == '{')) {
      const char close = s[j] == '{' ? '}' : s[j];
      ++j;
      for (;;) {
        if (j >= s.size()) throw Error("Texto de conexão malformado (valor sem fim)"_cp);
        if (s[j] == close) {
          if (j + 1 < s.size() && s[j + 1] == close) {
            p.value.push_back(close);
            j += 2;
            continue;
          }
          ++j;
          break;
        }
        p.value.push_back(s[j++]);
      }
      while (j < s.size() && s[j] != ';') {
        if (!std::isspace(static_cast<unsigned char>(s[j]))) throw Error("Texto de conexão malformado"_cp);
        ++j;
      }
    } else {
      std::size_t end = s.find(';', j);
      p.value = trim(s.substr(j, end == std::string_view::npos ? std::string_view::npos : end - j));
      j = end == std::string_view::npos ? s.size() : end;
    }
    if (!p.key.empty()) out.push_back(std::move(p));
    i = j + 1;
  }
  return out;
}

// An ODBC value, braced when it holds what would end or open one (and a driver name with blanks, as drivers
// are usually written).
std::string odbc_value(std::string_view v, bool driver = false) {
  if (v.find_first_of(driver ? " ;{}=" : ";{}=") == std::string_view::npos && trim(v) == v) return std::string(v);
  std::string r = "{";
  for (char c : v) {
    r.push_back(c);
    if (c == '}') r.push_back('}');
  }
  return r + "}";
}

const Pair* find_key(const std::vector<Pair>& pairs, std::string_view key) {
  for (const auto& p : pairs)
    if (lower(p.key) == key) return &p;
  return nullptr;
}

OdbcTarget translate_oledb(std::string_view s, const ConnectOptions& options) {
  const auto pairs = parse_pairs(s);
  const Pair* provider = find_key(pairs, "provider");
  if (!provider) throw Error("Texto de conexão sem Provider nem esquema (odbc:, sqlite:)"_cp);
  std::string prov = lower(provider->value);
  if (auto dot = prov.find('.'); dot != std::string::npos && prov.rfind("oraoledb", 0) != 0) prov.resize(dot);
  Dialect dialect;
  if (prov == "sqloledb" || prov.rfind("sqlncli", 0) == 0 || prov.rfind("msoledbsql", 0) == 0)
    dialect = Dialect::MSSQL;
  else if (prov == "msdaora" || prov.rfind("oraoledb.oracle", 0) == 0)
    dialect = Dialect::Oracle;
  else
    throw Error("Provedor OLE DB não suportado: "_cp + provider->value);
  const bool mssql = dialect == Dialect::MSSQL;
  std::string out = "Driver=" + odbc_value(mssql ? options.mssqlDriver : options.oracleDriver, true);
  for (const auto& p : pairs) {
    const std::string k = lower(p.key);
    std::string key;
    std::string value = p.value;
    if (k == "data source" || k == "server" || k == "address" || k == "addr")
      key = mssql ? "Server" : "DBQ";
    else if (k == "initial catalog" || k == "database")
      key = mssql ? "Database" : "";
    else if (k == "user id" || k == "uid" || k == "user")
      key = "UID";
    else if (k == "password" || k == "pwd")
      key = "PWD";
    else if (mssql && k == "integrated security" && (lower(value) == "sspi" || lower(value) == "true"))
      key = "Trusted_Connection", value = "yes";
    else if (mssql && (k == "application name" || k == "app"))
      key = "APP";
    else if (mssql && (k == "workstation id" || k == "wsid"))
      key = "WSID";
    else if (mssql && (k == "use encryption for data" || k == "encrypt"))
      key = "Encrypt", value = lower(value) == "true" || lower(value) == "yes" ? "yes" : "no";
    else if (mssql && (k == "trust server certificate" || k == "trustservercertificate"))
      key = "TrustServerCertificate", value = lower(value) == "true" || lower(value) == "yes" ? "yes" : "no";
    // Provider, Persist Security Info, Packet Size, Connect Timeout (the host folder's timeout rules) and the
    // like have no place in the ODBC string.
    if (!key.empty()) out += ";" + key + "=" + odbc_value(value);
  }
  return {out, dialect};
}

// ---- UTF-16 across the driver manager ----

std::u16string wide(std::string_view cp1252_text) {
  const std::string u = cp1252::to_utf8(cp1252_text);
  std::u16string w;
  w.reserve(u.size());
  for (std::size_t i = 0; i < u.size();) {
    const auto b = static_cast<unsigned char>(u[i]);
    char32_t cp;
    int n;
    if (b < 0x80)
      cp = b, n = 1;
    else if ((b >> 5) == 6)
      cp = b & 0x1F, n = 2;
    else if ((b >> 4) == 14)
      cp = b & 0x0F, n = 3;
    else
      cp = b & 0x07, n = 4;
    for (int k = 1; k < n && i + static_cast<std::size_t>(k) < u.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(u[i + static_cast<std::size_t>(k)]) & 0x3F);
    i += static_cast<std::size_t>(n);
    if (cp >= 0x10000) {
      cp -= 0x10000;
      w.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      w.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      w.push_back(static_cast<char16_t>(cp));
    }
  }
  return w;
}

std::string utf8_of(const char16_t* w, std::size_t n) {
  std::string u;
  u.reserve(n);
  for (std::size_t i = 0; i < n; ++i) {
    char32_t cp = w[i];
    if (cp >= 0xD800 && cp < 0xDC00 && i + 1 < n && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000)
      cp = 0x10000 + ((cp - 0xD800) << 10) + (w[++i] - 0xDC00);
    else if (cp >= 0xD800 && cp < 0xE000)
      cp = 0xFFFD;  // a lone surrogate
    if (cp < 0x80) {
      u.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
      u.push_back(static_cast<char>(0xC0 | (cp >> 6)));
      u.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
      u.push_back(static_cast<char>(0xE0 | (cp >> 12)));
      u.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      u.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
      u.push_back(static_cast<char>(0xF0 | (cp >> 18)));
      u.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
      u.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
      u.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
  }
  return u;
}

SQLWCHAR* sqlw(std::u16string& s) {
  static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC's SQLWCHAR is UTF-16");
  return reinterpret_cast<SQLWCHAR*>(s.data());
}

// ---- diagnostics ----

struct Diagnostic {
  std::string state;                // SQLSTATE of the first record
  std::vector<std::string> states;  // of every record
  std::vector<SQLINTEGER> natives;  // the database's own codes
  std::string message;              // every record, Windows-1252
  bool any(std::string_view prefix) const {
    for (const auto& s : states)
      if (s.rfind(prefix, 0) == 0) return true;
    return false;
  }
};

Diagnostic diagnostic(SQLSMALLINT type, SQLHANDLE handle) {
  Diagnostic d;
  for (SQLSMALLINT i = 1; i <= 5; ++i) {
    char16_t state[6] = {};
    char16_t text[1024];
    SQLINTEGER native = 0;
    SQLSMALLINT len = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, i, reinterpret_cast<SQLWCHAR*>(state), &native,
                                  reinterpret_cast<SQLWCHAR*>(text), 1024, &len);
    if (!SQL_SUCCEEDED(rc)) break;
    d.states.push_back(utf8_of(state, 5));
    d.natives.push_back(native);
    if (i == 1) d.state = d.states.back();
    if (!d.message.empty()) d.message += "; ";
    d.message += cp1252::from_utf8_lossy(utf8_of(text, static_cast<std::size_t>(std::min<SQLSMALLINT>(len, 1023))));
  }
  if (d.message.empty()) d.message = "erro ODBC sem diagnóstico"_cp;
  return d;
}

// Login failures, lost links and timeouts: the database is not there now.
bool unreachable(const std::string& state) {
  return state.rfind("08", 0) == 0 || state == "HYT00" || state == "HYT01" || state == "S1T00";
}

bool link_lost(const std::string& state) {
  return state == "08S01" || state == "08003" || state == "08007";
}

// ---- the connection ----

class Handle {
 public:
  Handle(SQLSMALLINT type, SQLHANDLE parent) : type_(type) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(type, parent, &h_))) {
      h_ = SQL_NULL_HANDLE;
      throw Error("ODBC: não foi possível alocar um handle"_cp);
    }
  }
  ~Handle() {
    if (h_ != SQL_NULL_HANDLE) SQLFreeHandle(type_, h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SQLHANDLE get() const { return h_; }

 private:
  SQLSMALLINT type_;
  SQLHANDLE h_ = SQL_NULL_HANDLE;
};

// One bound parameter, its buffer kept alive until the statement ran.
struct Bound {
  std::u16string text;
  int32_t i = 0;
  double d = 0;
  SQL_TIMESTAMP_STRUCT ts{};
  SQLLEN indicator = 0;
};

class OdbcConnection : public Connection {
 public:
  OdbcConnection(OdbcTarget target, const ConnectOptions& options)
      : target_(std::move(target)), timeout_(options.timeoutSeconds) {
    // The SQLite driver waits for a busy database as long as its own Timeout says (100 s unless told),
    // whatever the query timeout: it gets the host folder's.
    const auto pairs = parse_pairs(target_.connection);
    const Pair* driver = find_key(pairs, "driver");
    if (driver && lower(driver->value).find("sqlite") != std::string::npos && !find_key(pairs, "timeout"))
      target_.connection += ";Timeout=" + std::to_string(timeout_ * 1000);
    open();
  }
  ~OdbcConnection() override { close(); }

  Dialect dialect() const override { return dialect_; }
  std::string description() const override { return "odbc:" + MaskPassword(target_.connection); }

  ResultSet query(std::string_view sql, const Params& params) override {
    std::lock_guard lk(mutex_);
    if (dbc_ && dead()) close();
    if (!dbc_) open();
    try {
      return run(sql, params);
    } catch (const Unavailable&) {
      if (!relink_) throw;
      // A link lost while the connection waited between jobs: once more on a new one (a query only reads).
      relink_ = false;
      close();
      open();
      return run(sql, params);
    }
  }

 private:
  void open() {
    env_ = std::make_unique<Handle>(SQL_HANDLE_ENV, static_cast<SQLHANDLE>(nullptr));
    SQLSetEnvAttr(env_->get(), SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    auto dbc = std::make_unique<Handle>(SQL_HANDLE_DBC, env_->get());
    const auto seconds = reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_));
    SQLSetConnectAttrW(dbc->get(), SQL_ATTR_LOGIN_TIMEOUT, seconds, 0);
    SQLSetConnectAttrW(dbc->get(), SQL_ATTR_CONNECTION_TIMEOUT, seconds, 0);
    std::u16string cs = wide(target_.connection);
    SQLRETURN rc = SQLDriverConnectW(dbc->get(), nullptr, sqlw(cs), SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
      const Diagnostic d = diagnostic(SQL_HANDLE_DBC, dbc->get());
      const std::string what = "não foi possível conectar ao banco de dados ODBC: "_cp + d.message + " (" +
                               MaskPassword(target_.connection) + ")";
      // A server that is down or silent; a missing driver or DSN, or a refused login, is not worth waiting for.
      if (d.any("08") || d.any("HYT") || d.any("S1T")) throw Unavailable(what);
      throw Error(what);
    }
    SQLSetConnectAttrW(dbc->get(), SQL_ATTR_ACCESS_MODE, reinterpret_cast<SQLPOINTER>(SQL_MODE_READ_ONLY), 0);
    dbc_ = std::move(dbc);
    connected_ = true;
    relink_ = false;
    try {
      dialect_ = target_.dialect ? *target_.dialect : dbms_dialect();
    } catch (...) {
      close();
      throw;
    }
  }

  void close() {
    if (dbc_ && connected_) SQLDisconnect(dbc_->get());
    connected_ = false;
    dbc_.reset();
    env_.reset();
  }

  bool dead() {
    SQLUINTEGER dead = SQL_CD_FALSE;
    if (!SQL_SUCCEEDED(SQLGetConnectAttrW(dbc_->get(), SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr))) return false;
    return dead == SQL_CD_TRUE;
  }

  Dialect dbms_dialect() {
    char16_t name[128] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_->get(), SQL_DBMS_NAME, name, sizeof name, &len)))
      throw Error("ODBC: o banco de dados não informou o seu nome"_cp);
    const std::string dbms = utf8_of(name, static_cast<std::size_t>(len) / sizeof(char16_t));
    const std::string l = lower(dbms);
    if (l.find("sql server") != std::string::npos) return Dialect::MSSQL;
    if (l.find("oracle") != std::string::npos) return Dialect::Oracle;
    if (l.find("sqlite") != std::string::npos) return Dialect::SQLite;
    throw Error("Banco de dados ODBC sem consultas no catálogo: "_cp + cp1252::from_utf8_lossy(dbms) +
                " (SQL Server, Oracle ou SQLite)");
  }

  [[noreturn]] void fail(SQLHANDLE stmt, const std::string& what) {
    const Diagnostic d = diagnostic(SQL_HANDLE_STMT, stmt);
    const std::string msg = what + ": " + d.message + " (" + description() + ")";
    // SQLite's driver says "database is locked" (SQLITE_BUSY, SQLITE_LOCKED) once its timeout ran out.
    bool busy = false;
    for (SQLINTEGER n : d.natives) busy = busy || (dialect_ == Dialect::SQLite && (n == 5 || n == 6));
    if (unreachable(d.state) || busy) {
      relink_ = link_lost(d.state) && first_;
      close();  // the next query opens a new connection
      throw Unavailable(msg);
    }
    throw Error(msg);
  }

  ResultSet run(std::string_view sql, const Params& params) {
    first_ = relink_ = false;
    Handle stmt(SQL_HANDLE_STMT, dbc_->get());
    SQLHANDLE st = stmt.get();
    SQLSetStmtAttrW(st, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(timeout_)), 0);
    PositionalSql p = ToPositional(sql);
    std::u16string text = wide(p.text);
    first_ = true;  // a lost link shows on the first call that reaches the server
    if (!SQL_SUCCEEDED(SQLPrepareW(st, sqlw(text), SQL_NTS))) fail(st, "erro na consulta");
    std::vector<Bound> bound(p.names.size());
    for (std::size_t i = 0; i < p.names.size(); ++i) {
      const Param* value = nullptr;
      for (const auto& q : params)
        if (lower(q.name) == lower(p.names[i])) value = &q;
      if (!value) throw Error("Parâmetro sem valor: :"_cp + p.names[i]);
      bind(st, static_cast<SQLUSMALLINT>(i + 1), value->value, bound[i]);
    }
    SQLRETURN rc = SQLExecute(st);
    if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) fail(st, "erro na consulta");
    first_ = false;
    SQLSMALLINT cols = 0;
    SQLNumResultCols(st, &cols);
    ResultSet rs;
    std::vector<Column> columns(static_cast<std::size_t>(cols));
    for (SQLSMALLINT c = 1; c <= cols; ++c) columns[static_cast<std::size_t>(c - 1)] = describe(st, c, rs);
    bool replaced = false;
    while (true) {
      rc = SQLFetch(st);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) fail(st, "erro na leitura do resultado");
      std::vector<Variant> row;
      row.reserve(columns.size());
      for (SQLSMALLINT c = 1; c <= cols; ++c)
        row.push_back(read(st, c, columns[static_cast<std::size_t>(c - 1)], replaced));
      rs.rows.push_back(std::move(row));
    }
    if (replaced) log::NoteReplacedCharacters("Banco de dados ("_cp + description() + ")");
    // Expression columns of a SQLite database carry no type: they take the form of their first value, as the
    // embedded backend gives them.
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (!columns[c].untyped) continue;
      for (const auto& row : rs.rows) {
        if (row[c].is_unassigned()) continue;
        rs.fields[c].type = row[c].type() == Variant::Type::Int ? FieldType::Integer
                            : row[c].is_number()                ? FieldType::Float
                                                                : FieldType::String;
        break;
      }
    }
    return rs;
  }

  // How a column is read.
  enum class Read { Text, Integer, Double, Timestamp, Bit, Binary, Guess };
  struct Column {
    Read read = Read::Text;
    bool untyped = false;
  };

  Column describe(SQLHANDLE st, SQLSMALLINT c, ResultSet& rs) {
    char16_t name[256] = {};
    SQLSMALLINT nameLen = 0, type = 0, digits = 0, nullable = 0;
    SQLULEN size = 0;
    if (!SQL_SUCCEEDED(SQLDescribeColW(st, static_cast<SQLUSMALLINT>(c), reinterpret_cast<SQLWCHAR*>(name), 256,
                                       &nameLen, &type, &size, &digits, &nullable)))
      fail(st, "erro na descrição do resultado"_cp);
    FieldDef f{cp1252::from_utf8_lossy(utf8_of(name, static_cast<std::size_t>(std::min<SQLSMALLINT>(nameLen, 255)))),
               FieldType::String, 0};
    Column col;
    switch (type) {
      case SQL_CHAR:
      case SQL_VARCHAR:
      case SQL_WCHAR:
      case SQL_WVARCHAR: f.size = size > 0 && size <= 8000 ? static_cast<int>(size) : 0; break;
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
        f.type = FieldType::Integer;
        col.read = Read::Integer;
        break;
      case SQL_BIGINT:
        // The embedded backend types a BIGINT column of SQLite as integer; elsewhere its values may not fit.
        f.type = dialect_ == Dialect::SQLite ? FieldType::Integer : FieldType::Float;
        col.read = Read::Integer;
        break;
      case SQL_DECIMAL:
      case SQL_NUMERIC:
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE:
        f.type = FieldType::Float;
        col.read = Read::Double;
        break;
      case SQL_BIT:
        f.type = FieldType::Boolean;
        col.read = Read::Bit;
        break;
      case SQL_TYPE_DATE:
      case SQL_TYPE_TIME:
      case SQL_TYPE_TIMESTAMP:
      case SQL_DATETIME:
        f.type = FieldType::DateTime;
        col.read = Read::Timestamp;
        break;
      case SQL_BINARY:
      case SQL_VARBINARY:
      case SQL_LONGVARBINARY: col.read = Read::Binary; break;
      default:  // long texts, GUIDs and the drivers' own types (datetimeoffset ...) as text
        break;
    }
    if (dialect_ == Dialect::SQLite && col.read == Read::Text) {
      // An expression column of SQLite has no table: the driver calls it varchar, whatever it holds.
      char16_t table[256] = {};
      SQLSMALLINT tableLen = 0;
      SQLColAttributeW(st, static_cast<SQLUSMALLINT>(c), SQL_DESC_TABLE_NAME, table, sizeof table, &tableLen, nullptr);
      if (tableLen == 0) {
        col.read = Read::Guess;
        col.untyped = true;
        f.size = 0;
      }
    }
    rs.fields.push_back(std::move(f));
    return col;
  }

  static Variant read_text(SQLHANDLE st, SQLSMALLINT c, bool& replaced, bool& null, OdbcConnection* self) {
    std::u16string all;
    char16_t buf[2048];
    null = false;
    while (true) {
      SQLLEN len = 0;
      SQLRETURN rc = SQLGetData(st, static_cast<SQLUSMALLINT>(c), SQL_C_WCHAR, buf, sizeof buf, &len);
      if (rc == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(rc)) self->fail(st, "erro na leitura do resultado");
      if (len == SQL_NULL_DATA) {
        null = true;
        return Variant::null();
      }
      const std::size_t room = sizeof buf / sizeof buf[0] - 1;
      const std::size_t got =
          len == SQL_NO_TOTAL || static_cast<std::size_t>(len) / 2 > room ? room : static_cast<std::size_t>(len) / 2;
      all.append(buf, got);
      if (rc == SQL_SUCCESS) break;
    }
    bool r = false;
    std::string text = cp1252::from_utf8_data(utf8_of(all.data(), all.size()), &r);
    replaced = replaced || r;
    return Variant(std::move(text));
  }

  Variant read(SQLHANDLE st, SQLSMALLINT c, const Column& col, bool& replaced) {
    SQLLEN len = 0;
    const auto n = static_cast<SQLUSMALLINT>(c);
    auto check = [&](SQLRETURN rc) {
      if (!SQL_SUCCEEDED(rc)) fail(st, "erro na leitura do resultado");
      return len != SQL_NULL_DATA;
    };
    switch (col.read) {
      case Read::Integer: {
        SQLBIGINT v = 0;
        if (!check(SQLGetData(st, n, SQL_C_SBIGINT, &v, sizeof v, &len))) return Variant::null();
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
        return Variant(static_cast<double>(v));
      }
      case Read::Double: {
        double v = 0;
        if (!check(SQLGetData(st, n, SQL_C_DOUBLE, &v, sizeof v, &len))) return Variant::null();
        return Variant(v);
      }
      case Read::Bit: {
        unsigned char v = 0;
        if (!check(SQLGetData(st, n, SQL_C_BIT, &v, sizeof v, &len))) return Variant::null();
        return Variant(v != 0);
      }
      case Read::Timestamp: {
        SQL_TIMESTAMP_STRUCT t{};
        if (!check(SQLGetData(st, n, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &len))) return Variant::null();
        return Variant::date_time(
            EncodeDateTime(t.year, t.month, t.day, t.hour, t.minute, t.second, static_cast<int>(t.fraction / 1000000)));
      }
      case Read::Binary: {
        std::string all;
        char buf[4096];
        while (true) {
          SQLRETURN rc = SQLGetData(st, n, SQL_C_BINARY, buf, sizeof buf, &len);
          if (rc == SQL_NO_DATA) break;
          if (!check(rc)) return Variant::null();
          const std::size_t got = len == SQL_NO_TOTAL || static_cast<std::size_t>(len) > sizeof buf
                                      ? sizeof buf
                                      : static_cast<std::size_t>(len);
          all.append(buf, got);
          if (rc == SQL_SUCCESS) break;
        }
        return Variant(std::move(all));
      }
      case Read::Guess: {
        bool null = false;
        Variant v = read_text(st, c, replaced, null, this);
        return null ? v : guess(v.text());
      }
      case Read::Text: break;
    }
    bool null = false;
    return read_text(st, c, replaced, null, this);
  }

  // The value SQLite holds behind the text the driver shows: an integer or a real only in the exact form
  // SQLite writes them ("7", "-12", "1.5", "1.0e+20"), so a code such as "007" stays a text.
  static Variant guess(const std::string& t) {
    if (t.empty()) return Variant(t);
    std::size_t i = t[0] == '-' ? 1 : 0;
    if (i < t.size() && std::all_of(t.begin() + static_cast<std::ptrdiff_t>(i), t.end(), ::isdigit) &&
        (t[i] != '0' || t.size() == i + 1) && t.size() - i <= 10) {
      const long long v = std::stoll(t);
      if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
    }
    if (t.find_first_not_of("0123456789.-+e") == std::string::npos && t.find('.') != std::string::npos) {
      char* end = nullptr;
      const double d = std::strtod(t.c_str(), &end);
      char back[32];
      std::snprintf(back, sizeof back, "%.15g", d);
      std::string b = back;
      if (b.find_first_of(".e") == std::string::npos) b += ".0";
      if (end && *end == '\0' && b == t) return Variant(d);
    }
    return Variant(t);
  }

  void bind(SQLHANDLE st, SQLUSMALLINT i, const Variant& v, Bound& b) {
    SQLRETURN rc = SQL_SUCCESS;
    switch (v.type()) {
      case Variant::Type::Empty:
      case Variant::Type::Null:
        b.indicator = SQL_NULL_DATA;
        rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &b.indicator);
        break;
      case Variant::Type::Bool:
      case Variant::Type::Int:
        b.i = v.type() == Variant::Type::Bool ? (v.to_bool() ? 1 : 0) : v.to_int();
        rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &b.i, 0, nullptr);
        break;
      case Variant::Type::Double:
        b.d = v.to_double();
        rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &b.d, 0, nullptr);
        break;
      case Variant::Type::DateTime:
        if (dialect_ == Dialect::SQLite) {
          // SQLite keeps date-times as texts: the embedded backend's form, so both compare alike.
          std::string iso = FormatIsoDateTime(v.to_double());
          iso[10] = ' ';
          b.text = wide(iso);
          b.indicator = static_cast<SQLLEN>(b.text.size() * sizeof(char16_t));
          rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_VARCHAR, b.text.size(), 0, b.text.data(),
                                b.indicator, &b.indicator);
        } else {
          const DateTimeParts p = DecodeDateTime(v.to_double());
          b.ts = SQL_TIMESTAMP_STRUCT{static_cast<SQLSMALLINT>(p.year),
                                      static_cast<SQLUSMALLINT>(p.month),
                                      static_cast<SQLUSMALLINT>(p.day),
                                      static_cast<SQLUSMALLINT>(p.hour),
                                      static_cast<SQLUSMALLINT>(p.minute),
                                      static_cast<SQLUSMALLINT>(p.second),
                                      static_cast<SQLUINTEGER>(p.millisecond) * 1000000u};
          rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &b.ts,
                                sizeof b.ts, nullptr);
        }
        break;
      case Variant::Type::Text: {
        // Sent as UTF-16 but declared varchar: a varchar column compared with an nvarchar parameter would make
        // SQL Server convert the column and give up its index.
        b.text = wide(v.text());
        b.indicator = static_cast<SQLLEN>(b.text.size() * sizeof(char16_t));
        const SQLULEN size = std::max<SQLULEN>(b.text.size(), 1);
        rc = SQLBindParameter(st, i, SQL_PARAM_INPUT, SQL_C_WCHAR, size > 8000 ? SQL_LONGVARCHAR : SQL_VARCHAR, size, 0,
                              b.text.data(), b.indicator, &b.indicator);
        break;
      }
      case Variant::Type::Bytes:
      case Variant::Type::Array: throw Error("Parâmetro de tipo não suportado"_cp);
    }
    if (!SQL_SUCCEEDED(rc)) fail(st, "erro ao associar um parâmetro da consulta"_cp);
  }

  OdbcTarget target_;
  int timeout_;
  Dialect dialect_ = Dialect::MSSQL;
  std::unique_ptr<Handle> env_, dbc_;
  bool connected_ = false;
  bool first_ = false;   // the running call is the first of its statement to reach the server
  bool relink_ = false;  // the link was found lost on such a call: worth one more try on a new connection
  std::mutex mutex_;
};

}  // namespace

OdbcTarget OdbcTargetOf(std::string_view cs, const ConnectOptions& options) {
  const std::string_view s = cs;
  for (const auto& [scheme, dialect] : {std::pair<std::string_view, std::optional<Dialect>>{"odbc:", std::nullopt},
                                        {"mssql:", Dialect::MSSQL},
                                        {"sqlserver:", Dialect::MSSQL},
                                        {"oracle:", Dialect::Oracle}}) {
    if (starts_with_ci(s, scheme)) {
      std::string rest = trim(s.substr(scheme.size()));
      if (rest.empty()) throw Error("Texto de conexão ODBC vazio"_cp);
      return {rest, dialect};
    }
  }
  return translate_oledb(s, options);
}

std::string MaskPassword(std::string_view cs) {
  std::string out;
  std::size_t i = 0;
  while (i < cs.size()) {
    const std::size_t eq = cs.find('=', i);
    const std::size_t semi = cs.find(';', i);
    if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
      const std::size_t end = semi == std::string_view::npos ? cs.size() : semi + 1;
      out.append(cs.substr(i, end - i));
      i = end;
      continue;
    }
    const std::string key = lower(trim(cs.substr(i, eq - i)));
    out.append(cs.substr(i, eq + 1 - i));
    // The value runs to the next ';', or past its closing brace or quote.
    std::size_t j = eq + 1;
    while (j < cs.size() && std::isspace(static_cast<unsigned char>(cs[j]))) ++j;
    std::size_t end = j;
    if (j < cs.size() && (cs[j] == '{' || cs[j] == '"' || cs[j] == '\'')) {
      const char close = cs[j] == '{' ? '}' : cs[j];
      end = j + 1;
      while (end < cs.size() && !(cs[end] == close && (end + 1 >= cs.size() || cs[end + 1] != close)))
        end += cs[end] == close ? 2 : 1;
      end = std::min(end + 1, cs.size());
    }
    end = std::min(cs.find(';', end), cs.size());
    const bool secret = key == "pwd" || key == "password" || key.find("password") != std::string::npos;
    out.append(secret ? std::string_view("***") : cs.substr(eq + 1, end - eq - 1));
    i = end;
  }
  return out;
}

PositionalSql ToPositional(std::string_view sql) {
  PositionalSql out;
  out.text.reserve(sql.size());
  std::size_t i = 0;
  auto copy_until = [&](std::string_view end) {
    std::size_t e = sql.find(end, i);
    e = e == std::string_view::npos ? sql.size() : e + end.size();
    out.text.append(sql.substr(i, e - i));
    i = e;
  };
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'' || c == '"' || c == '[') {
      const char close = c == '[' ? ']' : c;
      std::size_t e = i + 1;
      while (e < sql.size()) {
        if (sql[e] == close) {
          if (close != ']' && e + 1 < sql.size() && sql[e + 1] == close) {
            e += 2;
            continue;
          }
          break;
        }
        ++e;
      }
      e = std::min(e + 1, sql.size());
      out.text.append(sql.substr(i, e - i));
      i = e;
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      copy_until("\n");
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      copy_until("*/");
    } else if (c == ':' && i + 1 < sql.size() &&
               (std::isalpha(static_cast<unsigned char>(sql[i + 1])) || sql[i + 1] == '_') &&
               (i == 0 || sql[i - 1] != ':')) {
      std::size_t e = i + 1;
      while (e < sql.size() && (std::isalnum(static_cast<unsigned char>(sql[e])) || sql[e] == '_')) ++e;
      out.names.emplace_back(sql.substr(i + 1, e - i - 1));
      out.text.push_back('?');
      i = e;
    } else {
      out.text.push_back(c);
      ++i;
    }
  }
  return out;
}

std::unique_ptr<Connection> connect_odbc(const OdbcTarget& target, const ConnectOptions& options) {
  return std::make_unique<OdbcConnection>(target, options);
}

}  // namespace imp::db
