// The functions of the catalogue's sqlite texts as a loadable SQLite extension, for SQLite databases reached
// through an ODBC driver ("odbc:Driver=SQLite3;Database=...;LoadExt=/path/to/imp_sqlite.so"): the driver
// loads it into every connection it opens, and the same texts run as on the embedded backend.
#include <sqlite3ext.h>
SQLITE_EXTENSION_INIT1

#include "platform/sqlite_functions.h"

extern "C" {

// The loader's default entry point, and the one named after the file (imp_sqlite.so → sqlite3_impsqlite_init).
__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error,
                                                                  const sqlite3_api_routines* api) {
  SQLITE_EXTENSION_INIT2(api);
  (void)error;
  return imp::sqlite_functions::register_all(db);
}

__attribute__((visibility("default"))) int sqlite3_impsqlite_init(sqlite3* db, char** error,
                                                                  const sqlite3_api_routines* api) {
  return sqlite3_extension_init(db, error, api);
}
}
