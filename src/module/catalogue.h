// The query catalogue: one file per query in db/queries, compiled into the library, each with its SQL Server
// text (the reference text), its Oracle translation and its SQLite text, the parameters it takes and,
// optionally, the declared types of its result fields. The connection's dialect picks the text.
//
// File layout (db/queries/<name>.sql):
//   -- params: P_CDFILIAL P_CDCAIXA
//   -- fields: CDSITUCRT string 1; VRSALDO float; DTABERTUR datetime
//   -- mssql
//   SELECT ...
//   -- oracle
//   SELECT ...
//   -- sqlite
//   SELECT ...
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/database.h"
#include "platform/dataset.h"

namespace imp::catalogue {

struct EmbeddedQuery {
  const char* name;
  const char* text;
};
const std::vector<EmbeddedQuery>& embedded();  // generated

struct FieldDecl {
  std::string name;
  FieldType type;
  int size;
};

struct Query {
  std::string name;
  std::vector<std::string> params;
  std::vector<FieldDecl> fields;
  std::string mssql, oracle, sqlite;
  const std::string& text(db::Dialect d) const;
};

// Parses one catalogue file; a malformed file is an imp::Error naming it.
Query parse(std::string_view name, std::string_view file);
const std::vector<Query>& all();
const Query& get(std::string_view name);  // imp::Error for a name the catalogue lacks

// Runs a query: every declared parameter must be given; the result takes the declared field types.
db::ResultSet run(db::Connection& connection, const Query& query, const db::Params& params);

}  // namespace imp::catalogue
