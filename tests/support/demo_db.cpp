#include "support/demo_db.h"

#include <sqlite3.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

namespace imp::test {
namespace {

std::string read_text(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + p.string());
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void exec(sqlite3* db, const std::string& sql, const std::string& what) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK) return;
  std::string text = message ? message : sqlite3_errmsg(db);
  sqlite3_free(message);
  throw std::runtime_error(what + ": " + text);
}

}  // namespace

void create_database(const std::filesystem::path& file, const std::filesystem::path& db_dir,
                     std::string_view extra_sql) {
  std::filesystem::remove(file);  // a file, or an empty folder; never a tree
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path());
  const std::string schema = read_text(db_dir / "schema.sql");
  const std::string demo = read_text(db_dir / "demo.sql");

  sqlite3* db = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  struct Close {
    sqlite3* db;
    ~Close() { sqlite3_close(db); }
  } close{db};
  if (rc != SQLITE_OK) throw std::runtime_error("cannot create " + file.string() + ": " + sqlite3_errmsg(db));
  exec(db, "BEGIN", file.string());
  exec(db, schema, (db_dir / "schema.sql").string());
  exec(db, demo, (db_dir / "demo.sql").string());
  if (!extra_sql.empty()) exec(db, std::string(extra_sql), "extra SQL for " + file.string());
  exec(db, "COMMIT", file.string());
}

}  // namespace imp::test
