// The ODBC backend over a real driver manager (unixODBC) and real drivers: the SQLite ODBC driver for what a
// database answers, FreeTDS against a listener that never answers for what a silent SQL Server costs.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/error.h"
#include "platform/rtl.h"
#include "support/silent_server.h"
#include "support/test_support.h"

namespace imp::db {
namespace {

using test::TempDir;

TEST(OdbcConnectionStrings, OleDbStringsTranslateForTheConfiguredDrivers) {
  ConnectOptions o;
  o.mssqlDriver = "FreeTDS";
  o.oracleDriver = "Oracle 21 ODBC driver";
  struct Case {
    const char* given;
    const char* odbc;
    std::optional<Dialect> dialect;
  };
  const std::vector<Case> cases = {
      {"Provider=SQLOLEDB.1;Password=s3;Persist Security Info=True;User ID=zel;Initial Catalog=REST;Data Source=SRV01",
       "Driver=FreeTDS;PWD=s3;UID=zel;Database=REST;Server=SRV01", Dialect::MSSQL},
      {"provider=sqlncli11; data source = SRV\\INST ; initial catalog=REST; integrated security=SSPI",
       "Driver=FreeTDS;Server=SRV\\INST;Database=REST;Trusted_Connection=yes", Dialect::MSSQL},
      {"Provider=MSOLEDBSQL19;Server=127.0.0.1,1433;Database=REST;UID=zel;PWD=\"a;b\"\"c\";Encrypt=true",
       "Driver=FreeTDS;Server=127.0.0.1,1433;Database=REST;UID=zel;PWD={a;b\"c};Encrypt=yes", Dialect::MSSQL},
      {"Provider=MSDAORA.1;Data Source=ORCL;User ID=zel;Password=s3",
       "Driver={Oracle 21 ODBC driver};DBQ=ORCL;UID=zel;PWD=s3", Dialect::Oracle},
      {"Provider=OraOLEDB.Oracle.1;Data Source=//127.0.0.1:1521/REST;User ID=zel;Password='x}y'",
       "Driver={Oracle 21 ODBC driver};DBQ=//127.0.0.1:1521/REST;UID=zel;PWD={x}}y}", Dialect::Oracle},
      {"odbc:DSN=zel;UID=caixa", "DSN=zel;UID=caixa", std::nullopt},
      {"mssql:Driver=FreeTDS;Server=127.0.0.1", "Driver=FreeTDS;Server=127.0.0.1", Dialect::MSSQL},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.given);
    const OdbcTarget t = OdbcTargetOf(c.given, o);
    EXPECT_EQ(t.connection, c.odbc);
    EXPECT_EQ(t.dialect, c.dialect);
  }
  EXPECT_EQ(DialectOf("Provider=SQLOLEDB.1;Data Source=SRV"), Dialect::MSSQL);
  EXPECT_EQ(DialectOf("Provider=MSDAORA.1;Data Source=ORCL"), Dialect::Oracle);
  for (const char* bad : {"Provider=Microsoft.Jet.OLEDB.4.0;Data Source=x.mdb", "Data Source=SRV",
                          "odbc:", "Provider=SQLOLEDB.1;Password=\"unterminated"}) {
    EXPECT_THROW(OdbcTargetOf(bad, o), Error) << bad;
  }
  // Passwords never reach a log line.
  EXPECT_EQ(MaskPassword("Driver=FreeTDS;UID=zel;PWD={a;b};Server=x"), "Driver=FreeTDS;UID=zel;PWD=***;Server=x");
  EXPECT_EQ(MaskPassword("Provider=SQLOLEDB.1;Password=\"s;3\";User ID=zel"),
            "Provider=SQLOLEDB.1;Password=***;User ID=zel");
}

TEST(OdbcConnectionStrings, NamedParametersBecomeMarkersOutsideLiteralsAndComments) {
  struct Case {
    const char* sql;
    const char* text;
    std::vector<std::string> names;
  };
  const std::vector<Case> cases = {
      {"select 1 from T where A = :P_A and B = :P_B or A = :P_A",
       "select 1 from T where A = ? and B = ? or A = ?",
       {"P_A", "P_B", "P_A"}},
      {"select ':P_X', \"a:b\", [c:d] from T -- :P_Y\n where E = :P_E /* :P_Z */",
       "select ':P_X', \"a:b\", [c:d] from T -- :P_Y\n where E = ? /* :P_Z */",
       {"P_E"}},
      {"select 'it''s :P_Q' where D = :P_D", "select 'it''s :P_Q' where D = ?", {"P_D"}},
      {"select x::int, '12:30' from T where y=:y1", "select x::int, '12:30' from T where y=?", {"y1"}},
  };
  for (const Case& c : cases) {
    const PositionalSql p = ToPositional(c.sql);
    EXPECT_EQ(p.text, c.text);
    EXPECT_EQ(p.names, c.names);
  }
}

// A SQLite database reached through the SQLite ODBC driver, with the catalogue's functions loaded into it.
class OdbcSqlite : public ::testing::Test {
 protected:
  void SetUp() override {
    file_ = dir_.path() / "loja.db";
    exec(
        "CREATE TABLE T (NM VARCHAR(10), QT INTEGER, VR NUMERIC(15,2), DT DATETIME, OBS TEXT);"
        "INSERT INTO T VALUES ('Pão de ló', 3, 12.5, '2026-12-09 12:30:00', 'Sem açúcar ' || char(9749));"
        "INSERT INTO T VALUES (NULL, NULL, NULL, NULL, NULL);");
  }
  void exec(const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err), SQLITE_OK) << (err ? err : "");
    sqlite3_free(err);
    sqlite3_close(db);
  }
  std::string odbc(bool extension = true) const {
    return "odbc:Driver=SQLite3;Database=" + file_.string() + (extension ? ";LoadExt=" IMP_SQLITE_EXTENSION : "");
  }
  ConnectOptions quick() const {
    ConnectOptions o;
    o.timeoutSeconds = 1;
    return o;
  }

  TempDir dir_;
  std::filesystem::path file_;
};

TEST_F(OdbcSqlite, TypedColumnsNullsAndWideTexts) {
  auto c = connect(odbc(), quick());
  EXPECT_EQ(c->dialect(), Dialect::SQLite);  // told by the database itself
  const ResultSet rs = c->query(
      "SELECT NM, QT, VR, DT, OBS, QT * 2 AS DOBRO, '007' AS CODIGO, VR / 2 AS METADE, TRUNCDEC(2.999, 2) AS TR "
      "FROM T WHERE NM = :P_NM OR (NM IS NULL AND :P_NULOS = 1) ORDER BY QT DESC",
      {{"P_NM", Variant(*cp1252::from_utf8("Pão de ló"))}, {"P_NULOS", Variant(1)}});
  ASSERT_EQ(rs.rows.size(), 2u);
  const std::vector<std::pair<FieldType, int>> types = {
      {FieldType::String, 10},  {FieldType::Integer, 0}, {FieldType::Float, 0},
      {FieldType::DateTime, 0}, {FieldType::String, 0},  {FieldType::Integer, 0},
      {FieldType::String, 0},   {FieldType::Float, 0},   {FieldType::Float, 0}};
  ASSERT_EQ(rs.fields.size(), types.size());
  for (std::size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(rs.fields[i].type, types[i].first) << rs.fields[i].name;
    EXPECT_EQ(rs.fields[i].size, types[i].second) << rs.fields[i].name;
  }
  const auto& row = rs.rows[0];
  EXPECT_EQ(row[0].text(), *cp1252::from_utf8("Pão de ló"));
  EXPECT_EQ(row[1].to_int(), 3);
  EXPECT_EQ(row[2].to_double(), 12.5);
  EXPECT_EQ(FormatIsoDateTime(row[3].to_double()), "2026-12-09T12:30:00");
  EXPECT_EQ(row[4].text(), *cp1252::from_utf8("Sem açúcar ?"));  // a character without a Windows-1252 form
  EXPECT_EQ(row[5].to_int(), 6);
  EXPECT_EQ(row[6].text(), "007");
  EXPECT_EQ(row[7].to_double(), 6.25);
  EXPECT_EQ(row[8].to_double(), 2.99);
  for (const Variant& v : rs.rows[1]) {
    if (&v - rs.rows[1].data() == 6) break;  // the expression columns after it are not null
    EXPECT_TRUE(v.is_unassigned());
  }
  // A date-time parameter compares with the texts SQLite keeps, as on the embedded backend.
  const ResultSet byDate = c->query("SELECT COUNT(*) AS N FROM T WHERE DT = :P_DT",
                                    {{"P_DT", Variant::date_time(EncodeDateTime(2026, 12, 9, 12, 30, 0, 0))}});
  EXPECT_EQ(byDate.rows.at(0).at(0).to_int(), 1);
}

TEST_F(OdbcSqlite, FailuresNameTheirCause) {
  // Without the extension the catalogue's functions are missing: a clear error, not a wrong figure.
  auto bare = connect(odbc(false), quick());
  try {
    bare->query("SELECT TRUNCDEC(1.5, 0) AS X", {});
    ADD_FAILURE() << "TRUNCDEC without the extension";
  } catch (const Error& e) {
    EXPECT_NE(std::string(e.what()).find("TRUNCDEC"), std::string::npos) << e.what();
  }
  auto c = connect(odbc(), quick());
  EXPECT_THROW(c->query("SELECT NOSUCH FROM T", {}), Error);
  EXPECT_THROW(c->query("SELECT NM FROM T WHERE NM = :P_FALTA", {}), Error);

  struct Case {
    const char* name;
    std::string connection;
    const char* says;
  };
  const std::vector<Case> cases = {
      {"driver not installed", "odbc:Driver=ImpNoSuchDriver;Database=x", "ImpNoSuchDriver"},
      {"no such DSN", "odbc:DSN=imp_no_such_dsn;PWD=segredo", "Data source name not found"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    try {
      connect(k.connection, quick());
      ADD_FAILURE() << "connected";
    } catch (const Unavailable& e) {
      ADD_FAILURE() << "a missing driver is not worth waiting for: " << e.what();
    } catch (const Error& e) {
      const std::string what = e.what();
      EXPECT_NE(what.find(k.says), std::string::npos) << what;
      EXPECT_EQ(what.find("segredo"), std::string::npos) << what;
    }
  }
}

// A writer that holds the database longer than the host folder allows a query: the query fails as
// Unavailable after about the timeout, and works again once the writer is gone.
TEST_F(OdbcSqlite, ABusyDatabaseCostsTheQueryTimeout) {
  auto c = connect(odbc(), quick());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    sqlite3* db = nullptr;
    sqlite3_open(file_.c_str(), &db);
    sqlite3_exec(db, "BEGIN EXCLUSIVE; INSERT INTO T (NM) VALUES ('x');", nullptr, nullptr, nullptr);
    (void)!write(ready[1], "1", 1);
    sleep(4);
    _exit(0);
  }
  char b;
  ASSERT_EQ(read(ready[0], &b, 1), 1);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_THROW(c->query("SELECT NM FROM T", {}), Unavailable);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3500));
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(c->query("SELECT NM FROM T", {}).rows.size(), 2u);
  close(ready[0]);
  close(ready[1]);
}

// A SQL Server that accepts the connection and never answers costs the login timeout, no more.
TEST(OdbcSilentServer, CostsTheLoginTimeout) {
  test::SilentServer server;
  ConnectOptions o;
  o.timeoutSeconds = 1;
  o.mssqlDriver = "FreeTDS";
  const auto start = std::chrono::steady_clock::now();
  try {
    connect("odbc:" + server.freetds(), o);
    ADD_FAILURE() << "connected to a silent server";
  } catch (const Unavailable& e) {
    EXPECT_EQ(std::string(e.what()).find("segredo"), std::string::npos) << e.what();
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
}

}  // namespace
}  // namespace imp::db
