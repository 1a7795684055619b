#include "platform/database.h"

#include <sqlite3.h>

#include <cctype>
#include <cmath>
#include <mutex>

#include "platform/cp1252.h"
#include "platform/decimal.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/packet.h"
#include "platform/rtl.h"
#include "platform/sqlite_functions.h"

namespace imp::db {

const char* DialectName(Dialect d) {
  switch (d) {
    case Dialect::MSSQL: return "mssql";
    case Dialect::Oracle: return "oracle";
    case Dialect::SQLite: return "sqlite";
  }
  return "?";
}

namespace {

std::string lower(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}
std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

std::pair<std::string, std::string> split_scheme(std::string_view cs) {
  auto colon = cs.find(':');
  if (colon == std::string_view::npos) return {"", std::string(cs)};
  return {lower(cs.substr(0, colon)), std::string(cs.substr(colon + 1))};
}

}  // namespace

Dialect DialectOf(std::string_view connection) {
  auto scheme = split_scheme(connection).first;
  if (scheme == "sqlite") return Dialect::SQLite;
  if (scheme == "oracle") return Dialect::Oracle;
  if (scheme == "mssql" || scheme == "sqlserver") return Dialect::MSSQL;
  if (scheme != "odbc") {
    const OdbcTarget t = OdbcTargetOf(connection, {});  // an OLE DB string: its provider
    if (t.dialect) return *t.dialect;
  }
  throw Error("Conexão sem dialeto conhecido (sqlite:, mssql:, oracle:, Provider=...): "_cp + MaskPassword(connection));
}

// ---- result sets ----

namespace {

Variant convert_to(const Variant& v, FieldType type, int size) {
  if (v.is_unassigned()) return Variant::null();
  switch (type) {
    case FieldType::String: {
      std::string s = v.to_text();
      if (size > 0 && static_cast<int>(s.size()) > size) s.resize(static_cast<std::size_t>(size));
      return s.empty() ? Variant::null() : Variant(s);
    }
    case FieldType::Float: return Variant(v.to_double());
    case FieldType::Integer: return Variant(v.to_int());
    case FieldType::Boolean: return Variant(v.to_bool());
    case FieldType::DateTime:
      if (v.is_text()) {
        if (auto d = ParseIsoDateTime(v.text())) return Variant::date_time(*d);
      }
      return Variant::date_time(v.to_date_time());
  }
  return v;
}

FieldValue to_field_value(const Variant& v, const FieldDef& f) {
  if (v.is_unassigned()) return std::monostate{};
  switch (f.type) {
    case FieldType::String: return v.to_text();
    case FieldType::Float:
    case FieldType::DateTime: return v.to_double();
    case FieldType::Integer: return v.to_int();
    case FieldType::Boolean: return v.to_bool();
  }
  return std::monostate{};
}

}  // namespace

Variant ResultSet::first(std::string_view field) const {
  if (rows.empty()) return {};
  for (std::size_t c = 0; c < fields.size(); ++c)
    if (CompareText(fields[c].name, field, true) == 0) return rows.front()[c];
  return {};
}

double ResultSet::first_number(std::string_view field) const {
  const Variant v = first(field);
  return v.is_unassigned() ? 0 : v.to_double();
}

void ResultSet::declare(std::string_view field, FieldType type, int size) {
  for (std::size_t c = 0; c < fields.size(); ++c) {
    if (upper(fields[c].name) != upper(field)) continue;
    fields[c].type = type;
    fields[c].size = size;
    for (auto& row : rows) row[c] = convert_to(row[c], type, size);
    return;
  }
  throw Error("Campo " + std::string(field) + " ausente no resultado da consulta");
}

std::string ResultSet::packet() const {
  std::vector<std::vector<FieldValue>> values;
  values.reserve(rows.size());
  for (const auto& row : rows) {
    std::vector<FieldValue> r;
    r.reserve(row.size());
    for (std::size_t c = 0; c < row.size(); ++c) r.push_back(to_field_value(row[c], fields[c]));
    values.push_back(std::move(r));
  }
  std::vector<const std::vector<FieldValue>*> ptrs;
  ptrs.reserve(values.size());
  for (const auto& r : values) ptrs.push_back(&r);
  return EncodePacket(fields, ptrs);
}

void ResultSet::load_into(ClientDataSet& ds) const {
  ds.LoadFromPacket(packet());
}

// ---- SQLite ----

namespace {

FieldType type_of_decl(const char* decl, int& size) {
  size = 0;
  if (!decl) return FieldType::String;
  std::string d = upper(decl);
  auto paren = d.find('(');
  if (paren != std::string::npos) size = std::atoi(d.c_str() + paren + 1);
  if (d.find("CHAR") != std::string::npos || d.find("TEXT") != std::string::npos) return FieldType::String;
  if (d.find("DATE") != std::string::npos || d.find("TIME") != std::string::npos) {
    size = 0;
    return FieldType::DateTime;
  }
  if (d.find("INT") != std::string::npos) {
    size = 0;
    return FieldType::Integer;
  }
  if (d.find("BOOL") != std::string::npos) return FieldType::Boolean;
  size = 0;
  return FieldType::Float;  // REAL, FLOAT, NUMERIC, DECIMAL, MONEY
}

class SqliteConnection : public Connection {
 public:
  explicit SqliteConnection(const std::string& target) {
    path_ = target.empty() || target[0] != '/' ? hostdir::resolve(target) : std::filesystem::path(target);
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec))
      throw Error("Banco de dados não encontrado: "_cp + cp1252::from_utf8_lossy(path_.string()));
    if (std::filesystem::is_directory(path_, ec))
      throw Error("Banco de dados inválido (é uma pasta): "_cp + cp1252::from_utf8_lossy(path_.string()));
    try {
      // Read-only and never created: a missing database is an error, not a new empty one.
      int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
      if (rc != SQLITE_OK) fail("não foi possível abrir o banco de dados"_cp);
      sqlite3_busy_timeout(db_, 5000);
      if (sqlite_functions::register_all(db_) != SQLITE_OK) fail("não foi possível registrar as funções"_cp);
      // Touch the schema now, so a file that is not a database fails here and not halfway through a job.
      if (sqlite3_exec(db_, "SELECT COUNT(*) FROM sqlite_master", nullptr, nullptr, nullptr) != SQLITE_OK)
        fail("banco de dados inválido"_cp);
    } catch (...) {
      sqlite3_close(db_);  // the destructor does not run for a half-built connection
      db_ = nullptr;
      throw;
    }
  }
  ~SqliteConnection() override { sqlite3_close(db_); }

  Dialect dialect() const override { return Dialect::SQLite; }
  std::string description() const override { return "sqlite:" + path_.string(); }

  ResultSet query(std::string_view sql, const Params& params) override {
    std::lock_guard lk(mutex_);
    sqlite3_stmt* st = nullptr;
    std::string text = cp1252::to_utf8(sql);
    if (sqlite3_prepare_v2(db_, text.c_str(), static_cast<int>(text.size()), &st, nullptr) != SQLITE_OK)
      fail("erro na consulta");
    struct Finalize {
      sqlite3_stmt* s;
      ~Finalize() { sqlite3_finalize(s); }
    } guard{st};
    int n = sqlite3_bind_parameter_count(st);
    for (int i = 1; i <= n; ++i) {
      const char* pname = sqlite3_bind_parameter_name(st, i);
      if (!pname) throw Error("Consulta com parâmetro sem nome"_cp);
      std::string want = upper(pname + 1);
      const Param* p = nullptr;
      for (const auto& q : params)
        if (upper(q.name) == want) p = &q;
      if (!p) throw Error("Parâmetro sem valor: "_cp + std::string(pname));
      bind(st, i, p->value);
    }
    ResultSet rs;
    int cols = sqlite3_column_count(st);
    std::vector<bool> typed(static_cast<std::size_t>(cols));
    for (int c = 0; c < cols; ++c) {
      int size = 0;
      const char* decl = sqlite3_column_decltype(st, c);
      FieldType t = type_of_decl(decl, size);
      rs.fields.push_back(FieldDef{sqlite3_column_name(st, c), t, size});
      typed[static_cast<std::size_t>(c)] = decl != nullptr;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
      std::vector<Variant> row;
      row.reserve(static_cast<std::size_t>(cols));
      for (int c = 0; c < cols; ++c) {
        auto& f = rs.fields[static_cast<std::size_t>(c)];
        Variant v = read(st, c);
        if (!typed[static_cast<std::size_t>(c)] && !v.is_unassigned()) {
          // An expression column takes the type of its first value.
          f.type = v.type() == Variant::Type::Int ? FieldType::Integer
                   : v.is_number()                ? FieldType::Float
                                                  : FieldType::String;
          typed[static_cast<std::size_t>(c)] = true;
        }
        row.push_back(std::move(v));
      }
      rs.rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) fail("erro na consulta");
    for (std::size_t c = 0; c < rs.fields.size(); ++c)
      for (auto& row : rs.rows) row[c] = convert_to(row[c], rs.fields[c].type, rs.fields[c].size);
    return rs;
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    std::string msg = cp1252::from_utf8_lossy(db_ ? sqlite3_errmsg(db_) : "out of memory");
    throw Error(what + ": "_cp + msg + " (" + cp1252::from_utf8_lossy(path_.string()) + ")");
  }

  static void bind(sqlite3_stmt* st, int i, const Variant& v) {
    switch (v.type()) {
      case Variant::Type::Empty:
      case Variant::Type::Null: sqlite3_bind_null(st, i); break;
      case Variant::Type::Bool: sqlite3_bind_int(st, i, v.to_bool() ? 1 : 0); break;
      case Variant::Type::Int: sqlite3_bind_int(st, i, v.to_int()); break;
      case Variant::Type::Double: sqlite3_bind_double(st, i, v.to_double()); break;
      case Variant::Type::DateTime: {
        std::string iso = FormatIsoDateTime(v.to_double());
        iso[10] = ' ';
        sqlite3_bind_text(st, i, iso.c_str(), static_cast<int>(iso.size()), SQLITE_TRANSIENT);
        break;
      }
      case Variant::Type::Text: {
        std::string u = cp1252::to_utf8(v.text());
        sqlite3_bind_text(st, i, u.c_str(), static_cast<int>(u.size()), SQLITE_TRANSIENT);
        break;
      }
      case Variant::Type::Bytes:
      case Variant::Type::Array: throw Error("Parâmetro de tipo não suportado"_cp);
    }
  }

  static Variant read(sqlite3_stmt* st, int c) {
    switch (sqlite3_column_type(st, c)) {
      case SQLITE_NULL: return Variant::null();
      case SQLITE_INTEGER: {
        auto v = sqlite3_column_int64(st, c);
        if (v >= INT32_MIN && v <= INT32_MAX) return Variant(static_cast<int32_t>(v));
        return Variant(static_cast<double>(v));
      }
      case SQLITE_FLOAT: return Variant(sqlite3_column_double(st, c));
      default: {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
        int len = sqlite3_column_bytes(st, c);
        return Variant(cp1252::from_utf8_lossy(std::string_view(p ? p : "", static_cast<std::size_t>(len))));
      }
    }
  }

  std::filesystem::path path_;
  sqlite3* db_ = nullptr;
  std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Connection> connect(std::string_view connection_string, const ConnectOptions& options) {
  auto [scheme, target] = split_scheme(connection_string);
  if (scheme == "sqlite") return std::make_unique<SqliteConnection>(target);
  return connect_odbc(OdbcTargetOf(connection_string, options), options);
}

}  // namespace imp::db
