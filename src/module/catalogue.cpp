#include "module/catalogue.h"

#include <cctype>
#include <sstream>

#include "platform/cp1252.h"
#include "platform/error.h"

namespace imp::catalogue {
namespace {

std::string trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return std::string(s.substr(b, e - b));
}

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

FieldType type_named(const std::string& t, std::string_view query) {
  if (t == "string") return FieldType::String;
  if (t == "float") return FieldType::Float;
  if (t == "integer") return FieldType::Integer;
  if (t == "boolean") return FieldType::Boolean;
  if (t == "datetime") return FieldType::DateTime;
  throw Error("Catálogo de consultas: tipo desconhecido '"_cp + t + "' em " + std::string(query));
}

}  // namespace

const std::string& Query::text(db::Dialect d) const {
  const std::string* t = nullptr;
  switch (d) {
    case db::Dialect::MSSQL: t = &mssql; break;
    case db::Dialect::Oracle: t = &oracle; break;
    case db::Dialect::SQLite: t = &sqlite; break;
  }
  if (t->empty()) throw Error("Consulta " + name + " sem texto para " + db::DialectName(d));
  return *t;
}

Query parse(std::string_view name, std::string_view file) {
  Query q;
  q.name = std::string(name);
  std::string* section = nullptr;
  std::istringstream in{std::string(file)};
  std::string line;
  auto fail = [&](const std::string& why) -> void { throw Error("Catálogo de consultas: "_cp + q.name + ": " + why); };
  while (std::getline(in, line)) {
    std::string t = trim(line);
    if (t.rfind("--", 0) == 0) {
      std::string marker = trim(std::string_view(t).substr(2));
      if (marker == "mssql") {
        section = &q.mssql;
        continue;
      }
      if (marker == "oracle") {
        section = &q.oracle;
        continue;
      }
      if (marker == "sqlite") {
        section = &q.sqlite;
        continue;
      }
      if (marker.rfind("params:", 0) == 0) {
        std::istringstream ps(marker.substr(7));
        std::string p;
        while (ps >> p) q.params.push_back(p);
        continue;
      }
      if (marker.rfind("fields:", 0) == 0) {
        std::string rest = marker.substr(7);
        std::size_t start = 0;
        while (start <= rest.size()) {
          std::size_t semi = rest.find(';', start);
          std::string decl =
              trim(std::string_view(rest).substr(start, semi == std::string::npos ? std::string::npos : semi - start));
          if (!decl.empty()) {
            std::istringstream ds(decl);
            FieldDecl f{};
            std::string type;
            ds >> f.name >> type;
            f.type = type_named(type, q.name);
            f.size = 0;
            ds >> f.size;
            q.fields.push_back(f);
          }
          if (semi == std::string::npos) break;
          start = semi + 1;
        }
        continue;
      }
    }
    if (!section) {
      if (!t.empty()) fail("texto fora de uma seção (-- mssql, -- oracle, -- sqlite)"_cp);
      continue;
    }
    if (!section->empty()) section->push_back('\n');
    section->append(line);
  }
  for (std::string* s : {&q.mssql, &q.oracle, &q.sqlite}) *s = trim(*s);
  if (q.mssql.empty() || q.oracle.empty() || q.sqlite.empty()) fail("faltam textos (mssql, oracle e sqlite)");
  // The SQL texts are UTF-8 in the files and Windows-1252 inside the module.
  for (std::string* s : {&q.mssql, &q.oracle, &q.sqlite}) *s = cp1252::from_utf8_lossy(*s);
  return q;
}

const std::vector<Query>& all() {
  static const std::vector<Query> queries = [] {
    std::vector<Query> v;
    for (const auto& e : embedded()) v.push_back(parse(e.name, e.text));
    return v;
  }();
  return queries;
}

const Query& get(std::string_view name) {
  for (const auto& q : all())
    if (q.name == name) return q;
  throw Error("Consulta desconhecida: " + std::string(name));
}

db::ResultSet run(db::Connection& connection, const Query& query, const db::Params& params) {
  for (const auto& want : query.params) {
    bool given = false;
    for (const auto& p : params) given = given || upper(p.name) == upper(want);
    if (!given) throw Error("Consulta " + query.name + ": parâmetro "_cp + want + " sem valor");
  }
  db::ResultSet rs = connection.query(query.text(connection.dialect()), params);
  for (const auto& f : query.fields) rs.declare(f.name, f.type, f.size);
  return rs;
}

}  // namespace imp::catalogue
