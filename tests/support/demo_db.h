// Fresh SQLite databases for tests: the schema and demo restaurant of db/, optionally followed by a test's own
// statements (extra rows, changed values).
#pragma once

#include <filesystem>
#include <string_view>

namespace imp::test {

// Writes a new database at `file` (replacing whatever is there, creating parent folders) from
// `db_dir`/schema.sql, then `db_dir`/demo.sql, then `extra_sql`. Throws std::runtime_error naming the file and
// the SQLite message when a statement fails.
void create_database(const std::filesystem::path& file, const std::filesystem::path& db_dir,
                     std::string_view extra_sql = {});

#ifdef IMP_SOURCE_DIR
// The demo database of the source tree.
inline void create_demo_db(const std::filesystem::path& file, std::string_view extra_sql = {}) {
  create_database(file, std::filesystem::path(IMP_SOURCE_DIR) / "db", extra_sql);
}
#endif

}  // namespace imp::test
