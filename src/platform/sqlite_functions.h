// The functions the sqlite texts of the query catalogue call beside SQLite's own, registered on every SQLite
// connection the module opens itself and, through the loadable extension imp_sqlite (db/sqlite_ext/), on
// connections a SQLite ODBC driver opens (its LoadExt option), so both paths run the same texts.
//
// Included after <sqlite3.h> by the embedded backend and after <sqlite3ext.h> by the extension, whose macros
// then route each sqlite3_* call through the loader's table.
#pragma once

#include "platform/decimal.h"

namespace imp::sqlite_functions {

// SQL Server's ROUND(x, n, 1) truncates; TRUNCDEC(x, n) does the same on the decimal value of x.
inline void truncdec(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  int places = argc > 1 ? sqlite3_value_int(argv[1]) : 0;
  sqlite3_result_double(ctx, decimal::truncate(sqlite3_value_double(argv[0]), places));
}

// Registers every function on `db`; SQLITE_OK or the first failure.
inline int register_all(sqlite3* db) {
  return sqlite3_create_function(db, "TRUNCDEC", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, truncdec, nullptr,
                                 nullptr);
}

}  // namespace imp::sqlite_functions
