#include "host/reference_host.h"

#include <fcntl.h>
#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/database.h"
#include "platform/error.h"
#include "platform/hostdir.h"
#include "platform/safefile.h"

namespace imp::host::reference {
namespace {

using Json = nlohmann::ordered_json;

// imphost.json, re-read when the host folder or the file changes.
struct ConfigCache {
  std::mutex mutex;
  std::filesystem::path path;
  std::filesystem::file_time_type mtime{};
  std::uintmax_t size = 0;
  bool present = false;
  Json json = Json::object();
};
ConfigCache g_config;

Json config() {
  auto path = hostdir::resolve("imphost.json");
  std::error_code ec;
  bool present = std::filesystem::is_regular_file(path, ec);
  auto mtime = present ? std::filesystem::last_write_time(path, ec) : std::filesystem::file_time_type{};
  auto size = present ? std::filesystem::file_size(path, ec) : 0;
  std::lock_guard lk(g_config.mutex);
  if (path == g_config.path && present == g_config.present && mtime == g_config.mtime && size == g_config.size)
    return g_config.json;
  Json json = Json::object();
  if (present) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    try {
      json = Json::parse(ss.str());
    } catch (const std::exception& e) {
      throw Error("imphost.json inválido: "_cp + cp1252::from_utf8_lossy(e.what()));
    }
    if (!json.is_object()) throw Error("imphost.json inválido: o conteúdo não é um objeto"_cp);
  }
  g_config.path = path;
  g_config.present = present;
  g_config.mtime = mtime;
  g_config.size = size;
  g_config.json = json;
  return json;
}

std::string text_of(const Json& j, const char* what) {
  if (!j.is_string()) throw Error(std::string("imphost.json: ") + what + " deve ser um texto");
  auto s = cp1252::from_utf8(j.get<std::string>());
  if (!s) throw Error(std::string("imphost.json: ") + what + " tem caracteres fora do Windows-1252");
  return *s;
}

// A model code as a number ("013" is 13); -1 when it is not one.
long code_number(std::string_view code) {
  std::string t;
  for (char c : code)
    if (c != ' ') t.push_back(c);
  if (t.empty() || t.size() > 9) return -1;
  for (char c : t)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::stol(t);
}

PrinterProperties properties_from(const Json& j, PrinterProperties base) {
  if (!j.is_object()) throw Error("imphost.json: printerProperties deve conter objetos");
  if (j.contains("columns")) {
    if (!j["columns"].is_number_integer()) throw Error("imphost.json: columns deve ser um inteiro");
    // Out of range keeps a value the caller refuses (beyond 32 bits: 0).
    const int64_t c =
        j["columns"].is_number_unsigned() && j["columns"].get<uint64_t>() > INT64_MAX ? 0 : j["columns"].get<int64_t>();
    base.columns = c < INT32_MIN || c > INT32_MAX ? 0 : static_cast<int32_t>(c);
  }
  if (j.contains("lineFeed")) base.lineFeed = text_of(j["lineFeed"], "lineFeed");
  if (j.contains("closing")) base.closing = text_of(j["closing"], "closing");
  return base;
}

const std::string kCutBematech = "\x1bm";  // ESC m: partial cut
const std::string kCutEscPos =
    "\x1d"
    "V"
    "\x01";  // GS V 1: partial cut

}  // namespace

PrinterProperties BuiltinProperties(std::string_view model) {
  PrinterProperties p;  // 48 columns, LF, no closing command
  switch (code_number(model)) {
    case 4:
    case 6:
    case 13:
    case 21:
    case 28:
    case 34:
    case 42:
    case 45:  // Bematech-compatible
      p.closing = kCutBematech;
      break;
    case 10:
    case 22:  // Daruma
      p.closing = kCutBematech;
      break;
    case 14:
    case 16:
    case 19:
    case 33:
    case 35:  // Epson-compatible
      p.closing = kCutEscPos;
      break;
    case 17:
    case 36:  // SI300
      p.closing = kCutEscPos;
      break;
    case 18:
    case 23:
    case 30:
    case 32:
    case 43:
    case 54:  // raw text through the spooler
      p.closing = kCutEscPos;
      break;
    case 53:  // 58 mm paper
      p.columns = 32;
      p.closing = kCutEscPos;
      break;
    case 7:  // the MP-100 drives its own serial line
      p.columns = 40;
      break;
    case 20:
    case 24:
    case 29:
    case 41:
    case 44:  // library, host routine or bitmap cuts by itself
      break;
    default: break;
  }
  return p;
}

PrinterProperties PropriedadesImpNF(std::string_view model) {
  Json cfg = config();
  long code = code_number(model);
  if (cfg.contains("printerProperties")) {
    const Json& pp = cfg["printerProperties"];
    if (!pp.is_object()) throw Error("imphost.json: printerProperties deve ser um objeto");
    for (auto it = pp.begin(); it != pp.end(); ++it) {
      if (it.key() == "default") continue;
      long k = code_number(it.key());
      if ((code >= 0 && k == code) || (code < 0 && it.key() == model))
        return properties_from(it.value(), BuiltinProperties(model));
    }
  }
  static const long kBuiltin[] = {4,  6,  7,  10, 13, 14, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                                  28, 29, 30, 32, 33, 34, 35, 36, 41, 42, 43, 44, 45, 53, 54};
  for (long b : kBuiltin)
    if (b == code) return BuiltinProperties(model);
  if (cfg.contains("printerProperties") && cfg["printerProperties"].contains("default"))
    return properties_from(cfg["printerProperties"]["default"], PrinterProperties{});
  return PrinterProperties{};
}

std::string ParametersPacket() {
  Json cfg = config();
  Json fields = Json::array();
  Json row = Json::object();
  if (cfg.contains("parameters")) {
    const Json& params = cfg["parameters"];
    if (!params.is_object()) throw Error("imphost.json: parameters deve ser um objeto");
    for (auto it = params.begin(); it != params.end(); ++it) {
      const Json& v = it.value();
      Json f = {{"name", it.key()}};
      if (v.is_boolean()) {
        f["type"] = "boolean";
        row[it.key()] = v;
      } else if (v.is_number()) {
        f["type"] = "float";
        row[it.key()] = v;
      } else if (v.is_object() && v.contains("int")) {
        f["type"] = "integer";
        row[it.key()] = v["int"];
      } else if (v.is_object() && v.contains("date")) {
        f["type"] = "datetime";
        row[it.key()] = v["date"];
      } else if (v.is_string() || v.is_null()) {
        f["type"] = "string";
        if (v.is_string()) row[it.key()] = v;
      } else {
        throw Error("imphost.json: o parâmetro "_cp + it.key() + " tem um valor que não se converte"_cp);
      }
      fields.push_back(f);
    }
  }
  Json packet = {{"fields", fields}, {"rows", Json::array()}};
  if (!fields.empty()) packet["rows"].push_back(row);
  return packet.dump();
}

FormatSettings Format() {
  Json cfg = config();
  FormatSettings fs;
  if (!cfg.contains("format")) return fs;
  const Json& f = cfg["format"];
  if (!f.is_object()) throw Error("imphost.json: format deve ser um objeto");
  auto one_char = [&](const char* key, char& out) {
    if (!f.contains(key)) return;
    auto s = text_of(f[key], key);
    if (s.size() != 1) throw Error(std::string("imphost.json: ") + key + " deve ter um caractere");
    out = s[0];
  };
  one_char("decimalSeparator", fs.decimalSeparator);
  one_char("thousandSeparator", fs.thousandSeparator);
  if (f.contains("shortDate")) fs.shortDate = text_of(f["shortDate"], "shortDate");
  if (f.contains("shortTime")) fs.shortTime = text_of(f["shortTime"], "shortTime");
  if (f.contains("currencyString")) fs.currencyString = text_of(f["currencyString"], "currencyString");
  auto integer = [&](const char* key, int& out) {
    if (!f.contains(key)) return;
    if (!f[key].is_number_integer()) throw Error(std::string("imphost.json: ") + key + " deve ser um inteiro");
    out = static_cast<int>(std::clamp<int64_t>(f[key].get<int64_t>(), -1, 99));
  };
  integer("currencyFormat", fs.currencyFormat);
  integer("negCurrFormat", fs.negCurrFormat);
  integer("currencyDecimals", fs.currencyDecimals);
  check_currency(fs, "imphost.json: format");
  return fs;
}

std::vector<std::string> Connection212Executables() {
  std::vector<std::string> names;
  Json cfg = config();
  if (!cfg.contains("connection212Executables")) return names;
  const auto& list = cfg["connection212Executables"];
  if (!list.is_array()) throw Error("imphost.json: connection212Executables deve ser uma lista de textos");
  for (const auto& name : list) {
    std::string n = text_of(name, "connection212Executables");
    for (auto& c : n) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    names.push_back(std::move(n));
  }
  return names;
}

int HttpTimeoutSeconds() {
  Json cfg = config();
  if (!cfg.contains("httpTimeoutSeconds")) return 0;
  const auto& t = cfg["httpTimeoutSeconds"];
  if (!t.is_number() || t.get<double>() < 1 || t.get<double>() > 3600)
    throw Error("imphost.json: httpTimeoutSeconds deve ser um número de 1 a 3600"_cp);
  return static_cast<int>(t.get<double>());
}

std::string ConsumerCentralUrl() {
  Json cfg = config();
  return cfg.contains("consumerCentralUrl") ? text_of(cfg["consumerCentralUrl"], "consumerCentralUrl") : std::string();
}

port::PortMap PortConfig() {
  port::PortMap map;
  Json cfg = config();
  if (cfg.contains("portTimeoutSeconds")) {
    const auto& t = cfg["portTimeoutSeconds"];
    if (!t.is_number() || t.get<double>() < 1 || t.get<double>() > 3600)
      throw Error("imphost.json: portTimeoutSeconds deve ser um número de 1 a 3600"_cp);
    map.timeoutSeconds = static_cast<int>(t.get<double>());
  }
  if (cfg.contains("ports") && !cfg["ports"].is_object()) throw Error("imphost.json: ports deve ser um objeto");
  if (cfg.contains("ports") && cfg["ports"].is_object()) {
    for (auto it = cfg["ports"].begin(); it != cfg["ports"].end(); ++it) {
      std::string name = cp1252::from_utf8_lossy(it.key());
      for (auto& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      while (!name.empty() && (name.back() == ':' || name.back() == ' ')) name.pop_back();
      // A bad entry fails only its own port: the others keep printing.
      try {
        if (!it.value().is_string()) throw Error("imphost.json: a porta " + name + " deve ser um texto");
        const std::string value = it.value().get<std::string>();
        if (value.empty() || value.find('\0') != std::string::npos)
          throw Error("imphost.json: a porta " + name + " tem um caminho vazio ou inválido"_cp);
        std::filesystem::path target = value;
        // "socket://HOST[:PORT]" is a network printer (raw TCP); a path is a device or a capture file.
        map.names[name] =
            value.rfind("socket://", 0) == 0 || target.is_absolute() ? target : hostdir::resolve(target.string());
      } catch (const Error& e) {
        map.invalid[name] = e.what();
      }
    }
  }
  return map;
}

db::ConnectOptions DatabaseOptions() {
  db::ConnectOptions o;
  Json cfg = config();
  if (cfg.contains("odbcTimeoutSeconds")) {
    const auto& t = cfg["odbcTimeoutSeconds"];
    if (!t.is_number() || t.get<double>() < 1 || t.get<double>() > 3600)
      throw Error("imphost.json: odbcTimeoutSeconds deve ser um número de 1 a 3600"_cp);
    o.timeoutSeconds = static_cast<int>(t.get<double>());
  }
  if (cfg.contains("odbcDrivers")) {
    const auto& d = cfg["odbcDrivers"];
    if (!d.is_object()) throw Error("imphost.json: odbcDrivers deve ser um objeto");
    if (d.contains("mssql")) o.mssqlDriver = text_of(d["mssql"], "odbcDrivers.mssql");
    if (d.contains("oracle")) o.oracleDriver = text_of(d["oracle"], "odbcDrivers.oracle");
  }
  return o;
}

spooler::Settings SpoolerSettings() {
  spooler::Settings s;
  Json cfg = config();
  if (!cfg.contains("spooler")) return s;
  const auto& sp = cfg["spooler"];
  if (!sp.is_object()) throw Error("imphost.json: spooler deve ser um objeto");
  if (sp.contains("server")) s.server = cp1252::to_utf8(text_of(sp["server"], "spooler.server"));
  if (sp.contains("timeoutSeconds")) {
    const auto& t = sp["timeoutSeconds"];
    if (!t.is_number() || t.get<double>() < 1 || t.get<double>() > 3600)
      throw Error("imphost.json: spooler.timeoutSeconds deve ser um número de 1 a 3600"_cp);
    s.timeoutSeconds = static_cast<int>(t.get<double>());
  }
  return s;
}

std::string GetStringConexZel(std::string_view) {
  Json cfg = config();
  if (cfg.contains("connection")) return text_of(cfg["connection"], "connection");
  return "sqlite:Dados/imp.db";
}

bool Mensagem(std::string_view, std::string_view defaultButton) {
  Json cfg = config();
  if (cfg.contains("dialog")) {
    auto answer = text_of(cfg["dialog"], "dialog");
    for (auto& c : answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (answer == "yes") return true;
    if (answer == "no") return false;
    throw Error("imphost.json: dialog deve ser \"yes\" ou \"no\"");
  }
  // No answer configured: the default button answers ("S"/"1"/"Y" ... is the yes button).
  std::string b(defaultButton);
  for (auto& c : b) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return b == "S" || b == "SIM" || b == "Y" || b == "YES" || b == "1" || b == "6";
}

VariantArray BuscaVenda(const VariantArray& args) {
  if (args.size() < 3) throw Error("BuscaVenda: são necessários filial, comanda e número da venda"_cp);
  // The items of one bill with what the delivery order prints of each; the table and waiter come from the
  // open table, the names from the product list.
  static const char* const kSql =
      "SELECT VR.NRMESA, CV.NRCOMANDA, CV.DSCOMANDA, VR.CDVENDEDOR, PR.CDARVPROD, PR.NMPRODUTO, "
      "NULL AS CDPRODPROMOCAO, NULL AS NRSEQ, IT.VRPRECCOMVEN, NULL AS NMCONSVEND, IT.VRDESCCOMVEN, IT.CDPRODUTO, "
      "IT.TXPRODCOMVEN, IT.QTPRODCOMVEN "
      "FROM ITCOMANDAVEN IT "
      "INNER JOIN COMANDAVEN CV ON CV.CDFILIAL = IT.CDFILIAL AND CV.NRVENDAREST = IT.NRVENDAREST "
      "AND CV.NRCOMANDA = IT.NRCOMANDA "
      "LEFT JOIN VENDAREST VR ON VR.CDFILIAL = IT.CDFILIAL AND VR.NRVENDAREST = IT.NRVENDAREST "
      "LEFT JOIN PRODUTO PR ON PR.CDPRODUTO = IT.CDPRODUTO "
      "WHERE IT.CDFILIAL = :P_CDFILIAL AND IT.NRCOMANDA = :P_NRCOMANDA AND IT.NRVENDAREST = :P_NRVENDAREST "
      "ORDER BY IT.NRPRODCOMVEN";
  auto connection = db::connect(host::GetStringConexZel(""), DatabaseOptions());
  db::ResultSet rs = connection->query(kSql, {{"P_CDFILIAL", Variant(args[0].to_text())},
                                              {"P_NRCOMANDA", Variant(args[1].to_text())},
                                              {"P_NRVENDAREST", Variant(args[2].to_text())}});
  struct Column {
    const char* name;
    FieldType type;
    int size;
  };
  static const Column kColumns[] = {{"NRMESA", FieldType::String, 4},          {"NRCOMANDA", FieldType::String, 10},
                                    {"DSCOMANDA", FieldType::String, 50},      {"CDVENDEDOR", FieldType::String, 4},
                                    {"CDARVPROD", FieldType::String, 20},      {"NMPRODUTO", FieldType::String, 50},
                                    {"CDPRODPROMOCAO", FieldType::String, 10}, {"NRSEQ", FieldType::String, 3},
                                    {"VRPRECCOMVEN", FieldType::Float, 0},     {"NMCONSVEND", FieldType::String, 50},
                                    {"VRDESCCOMVEN", FieldType::Float, 0},     {"CDPRODUTO", FieldType::String, 15},
                                    {"TXPRODCOMVEN", FieldType::String, 2000}, {"QTPRODCOMVEN", FieldType::Float, 0}};
  for (const Column& c : kColumns) rs.declare(c.name, c.type, c.size);
  VariantArray result(10);
  result[0] = Variant::bytes(rs.packet());
  return result;
}

std::string NextNumber(std::string_view series, std::string_view key1, std::string_view key2, int64_t wrap_after) {
  auto path = hostdir::resolve("imphost-sequences.db");
  sqlite3* db = nullptr;
  auto fail = [&](const std::string& what) -> std::string {
    std::string msg = "Sequência " + std::string(series) + ": " + what;
    if (db) msg += ": " + std::string(sqlite3_errmsg(db));
    sqlite3_close(db);
    throw Error(cp1252::from_utf8_lossy(msg));
  };
  // The file is made (or found) below the host folder without following a link planted at its name or at
  // its journal's, so a sequence can never be written elsewhere.
  try {
    safefile::open_file(path, O_RDWR | O_CREAT, false);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
      std::error_code ec;
      auto side = path;
      side += suffix;
      if (std::filesystem::is_symlink(side, ec)) throw Error("link simbólico recusado: " + side.string());
    }
  } catch (const std::exception& e) {
    return fail(std::string("não foi possível abrir ") + e.what());
  }
  if (sqlite3_open_v2(path.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX | SQLITE_OPEN_NOFOLLOW,
                      nullptr) != SQLITE_OK)
    return fail("não foi possível abrir " + path.string());
  sqlite3_busy_timeout(db, 15000);
  // WAL keeps every number through a crash of the host without a disk flush per number.
  sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (sqlite3_exec(db,
                   "CREATE TABLE IF NOT EXISTS SEQUENCIA (SERIE TEXT NOT NULL, CHAVE1 TEXT NOT NULL, "
                   "CHAVE2 TEXT NOT NULL, ULTIMO INTEGER NOT NULL, PRIMARY KEY (SERIE, CHAVE1, CHAVE2))",
                   nullptr, nullptr, nullptr) != SQLITE_OK)
    return fail("tabela");
  // One statement both reserves and reads the number, so two callers never get the same one.
  const char* sql =
      "INSERT INTO SEQUENCIA (SERIE, CHAVE1, CHAVE2, ULTIMO) VALUES (?1, ?2, ?3, 1) "
      "ON CONFLICT (SERIE, CHAVE1, CHAVE2) DO UPDATE SET "
      "ULTIMO = CASE WHEN ?4 > 0 AND ULTIMO >= ?4 THEN 1 ELSE ULTIMO + 1 END RETURNING ULTIMO";
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) return fail("consulta");
  sqlite3_bind_text(st, 1, series.data(), static_cast<int>(series.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 2, key1.data(), static_cast<int>(key1.size()), SQLITE_TRANSIENT);
  sqlite3_bind_text(st, 3, key2.data(), static_cast<int>(key2.size()), SQLITE_TRANSIENT);
  sqlite3_bind_int64(st, 4, wrap_after);
  int rc = sqlite3_step(st);
  if (rc != SQLITE_ROW) {
    sqlite3_finalize(st);
    return fail("gravação");
  }
  int64_t value = sqlite3_column_int64(st, 0);
  while (rc == SQLITE_ROW) rc = sqlite3_step(st);
  sqlite3_finalize(st);
  if (rc != SQLITE_DONE) return fail("gravação");
  sqlite3_close(db);
  return std::to_string(value);
}

}  // namespace imp::host::reference
