// The database the module reads: a connection picked by the scheme of its connection string, running
// parameterised queries. Values are always bound by name (":P_CDFILIAL"), never pasted into the SQL text.
// The embedded default is SQLite ("sqlite:Dados/imp.db", below the host folder), opened read-only: the module
// never writes to the host's database and never creates one.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dataset.h"
#include "platform/variant.h"

namespace imp::db {

// The SQL dialect of a connection; it picks the text of each query.
enum class Dialect { MSSQL, Oracle, SQLite };
const char* DialectName(Dialect d);
// The dialect named by the scheme of a connection string ("sqlite:", "mssql:", "oracle:"); Error otherwise.
Dialect DialectOf(std::string_view connection);

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

// Opens the connection the string names. Throws imp::Error with a clear message when it cannot.
std::unique_ptr<Connection> connect(std::string_view connection_string);

}  // namespace imp::db
