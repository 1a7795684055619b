// The database the module reads: a connection picked by its connection string, running parameterised
// queries. Values are always bound by name (":P_CDFILIAL"), never pasted into the SQL text.
// The embedded default is SQLite ("sqlite:Dados/imp.db", below the host folder), opened read-only: the module
// never writes to the host's database and never creates one. A restaurant's own database (SQL Server, Oracle)
// is reached through ODBC: "odbc:" + an ODBC connection string, or the OLE DB strings the hosts hand out
// ("Provider=SQLOLEDB.1;Data Source=SRV;Initial Catalog=DB;User ID=...;Password=..."), translated for the
// ODBC driver the host folder names.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/variant.h"

namespace imp::db {

// The SQL dialect of a connection; it picks the text of each query.
enum class Dialect { MSSQL, Oracle, SQLite };
const char* DialectName(Dialect d);
// The dialect a connection string names before any connection: its scheme ("sqlite:", "mssql:", "oracle:")
// or its OLE DB provider. Error otherwise ("odbc:" strings learn theirs from the database once connected).
Dialect DialectOf(std::string_view connection);

// How the module reaches an ODBC database: the drivers that stand for the OLE DB providers, and how long a
// login or a query may take.
struct ConnectOptions {
  std::string mssqlDriver = "ODBC Driver 18 for SQL Server";
  std::string oracleDriver = "Oracle 21 ODBC driver";
  int timeoutSeconds = 15;
};

// The database cannot be reached now: it is down, silent past the timeout, or the link was lost. A job that
// meets it does not wait again for its later queries; the next job tries again.
class Unavailable : public Error {
 public:
  using Error::Error;
};

// The ODBC connection string of a connection string: "odbc:..." as it stands, "mssql:..." and "oracle:..." with
// that dialect, an OLE DB string translated (Provider picks the driver and the dialect, Data Source the
// server, Initial Catalog the database, User ID and Password the login). `dialect` empty: the database
// names it once connected. Error for a provider the module cannot serve.
struct OdbcTarget {
  std::string connection;
  std::optional<Dialect> dialect;
};
OdbcTarget OdbcTargetOf(std::string_view connection, const ConnectOptions& options);

// A connection string fit for a log line: every password replaced by "***".
std::string MaskPassword(std::string_view connection);

// The ":NAME" parameters of a query text as ODBC's "?" markers (string literals, quoted names and comments
// left alone), with the names in the order they appear; a name used twice is bound twice.
struct PositionalSql {
  std::string text;
  std::vector<std::string> names;
};
PositionalSql ToPositional(std::string_view sql);

struct Param {
  std::string name;  // without the colon: "P_CDFILIAL"
  Variant value;
};
using Params = std::vector<Param>;

// The rows of a query with typed columns, ready to become a data packet.
struct ResultSet {
  std::vector<FieldDef> fields;
  std::vector<std::vector<Variant>> rows;
  // Gives a column the declared type and size (values converted, texts cut to the size).
  void declare(std::string_view field, FieldType type, int size);
  std::string packet() const;
  void load_into(ClientDataSet& ds) const;
  // The first row's value of `field` (names match regardless of case); unassigned when there is no row or
  // no such column.
  Variant first(std::string_view field) const;
  // The same as a number: 0 for no row, no column or a null.
  double first_number(std::string_view field) const;
};

class Connection {
 public:
  virtual ~Connection() = default;
  virtual Dialect dialect() const = 0;
  virtual std::string description() const = 0;
  // Runs one statement; every ":NAME" of the text takes the parameter of that name (case-insensitive).
  // A parameter the text names and `params` lacks is an error. Errors carry the database's message.
  virtual ResultSet query(std::string_view sql, const Params& params) = 0;
};

// Opens the connection the string names. Throws imp::Error with a clear message when it cannot (Unavailable
// when an ODBC database does not answer).
std::unique_ptr<Connection> connect(std::string_view connection_string, const ConnectOptions& options = {});

// The ODBC backend (platform/odbc.cpp).
std::unique_ptr<Connection> connect_odbc(const OdbcTarget& target, const ConnectOptions& options);

}  // namespace imp::db
