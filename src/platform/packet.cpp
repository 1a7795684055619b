#include "platform/packet.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <system_error>
#include <unordered_map>

#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "platform/safefile.h"

namespace imp {
namespace {

using nlohmann::json;

[[noreturn]] void refuse(const std::string& why) {
  throw Error("Pacote de dados inválido: "_cp + why);
}

std::string upper(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return out;
}

// A JSON text (UTF-8) as Windows-1252; nullopt when a character falls outside it.
std::optional<std::string> to_cp1252(const std::string& utf8) {
  return cp1252::from_utf8(utf8);
}

std::optional<FieldType> type_named(const std::string& name) {
  static const std::pair<const char*, FieldType> kTypes[] = {{"string", FieldType::String},
                                                             {"float", FieldType::Float},
                                                             {"integer", FieldType::Integer},
                                                             {"boolean", FieldType::Boolean},
                                                             {"datetime", FieldType::DateTime}};
  for (const auto& [n, t] : kTypes)
    if (name == n) return t;
  return std::nullopt;
}

std::vector<FieldDef> decode_fields(const json& fields) {
  std::vector<FieldDef> defs;
  std::unordered_map<std::string, int> seen;
  int n = 0;
  for (const json& f : fields) {
    ++n;
    std::string where = "definição de campo "_cp + std::to_string(n);
    if (!f.is_object()) refuse(where + " não é um objeto"_cp);
    auto name = f.find("name");
    if (name == f.end() || !name->is_string() || name->get_ref<const std::string&>().empty())
      refuse(where + " sem nome");
    auto cpName = to_cp1252(name->get_ref<const std::string&>());
    if (!cpName || cpName->find('\0') != std::string::npos) refuse("nome de campo fora do Windows-1252 na "_cp + where);
    FieldDef def;
    def.name = *cpName;
    if (!seen.emplace(upper(def.name), n).second) refuse("campo '" + def.name + "' repetido");
    auto type = f.find("type");
    if (type == f.end() || !type->is_string()) refuse("campo '" + def.name + "' sem tipo");
    auto t = type_named(type->get<std::string>());
    if (!t)
      refuse("tipo '" + cp1252::from_utf8_lossy(type->get<std::string>()) + "' desconhecido no campo '" + def.name +
             "'");
    def.type = *t;
    auto size = f.find("size");
    if (size != f.end() && !size->is_null()) {
      if (!size->is_number_integer() || size->get<int64_t>() < 1 ||
          size->get<int64_t>() > std::numeric_limits<int>::max())
        refuse("tamanho inválido no campo '"_cp + def.name + "'");
      if (def.type == FieldType::String) def.size = static_cast<int>(size->get<int64_t>());
    }
    defs.push_back(std::move(def));
  }
  return defs;
}

FieldValue decode_value(const FieldDef& def, const json& v, std::size_t row) {
  auto where = [&] { return "campo '" + def.name + "' da linha " + std::to_string(row); };
  switch (def.type) {
    case FieldType::String: {
      if (!v.is_string()) refuse(where() + ": esperado um texto"_cp);
      // One unusual character never loses a document: a character with no Windows-1252 form prints as "?",
      // a NUL as a blank (logged once per job), and control characters as blanks, so that data can never
      // drive the printer or the cash drawer.
      bool replaced = false;
      std::string text = cp1252::from_utf8_data(v.get_ref<const std::string&>(), &replaced);
      if (replaced) log::NoteReplacedCharacters("Pacote de dados, "_cp + where());
      cp1252::make_printable(text);
      if (def.size > 0 && text.size() > static_cast<std::size_t>(def.size)) text.resize(def.size);
      if (text.empty()) return std::monostate{};
      return text;
    }
    case FieldType::Float:
      if (!v.is_number()) refuse(where() + ": esperado um número"_cp);
      return v.get<double>();
    case FieldType::Integer: {
      if (!v.is_number_integer()) refuse(where() + ": esperado um número inteiro"_cp);
      bool fits = v.is_number_unsigned() ? v.get<uint64_t>() <= static_cast<uint64_t>(INT32_MAX)
                                         : v.get<int64_t>() >= INT32_MIN && v.get<int64_t>() <= INT32_MAX;
      if (!fits) refuse(where() + ": inteiro fora de 32 bits"_cp);
      return static_cast<int32_t>(v.get<int64_t>());
    }
    case FieldType::Boolean:
      if (!v.is_boolean()) refuse(where() + ": esperado true ou false"_cp);
      return v.get<bool>();
    case FieldType::DateTime: {
      if (!v.is_string()) refuse(where() + ": esperada data e hora AAAA-MM-DDThh:mm:ss"_cp);
      auto dt = ParseIsoDateTime(v.get_ref<const std::string&>());
      if (!dt) refuse(where() + ": data e hora inválida '"_cp + cp1252::from_utf8_lossy(v.get<std::string>()) + "'");
      return *dt;
    }
  }
  return std::monostate{};
}

void append_number(std::string& out, double d) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, d);  // shortest text that reads back the same double
  out.append(buf, ec == std::errc() ? end : buf);
}

void append_text(std::string& out, std::string_view cp) {
  out += json(cp1252::to_utf8(cp)).dump();
}

}  // namespace

PacketContents DecodePacket(std::string_view text) {
  json j;
  try {
    j = json::parse(text.begin(), text.end());
  } catch (const json::parse_error& e) {
    refuse("não é JSON válido (byte "_cp + std::to_string(e.byte) + ")");
  } catch (const json::exception&) {
    refuse("não é JSON válido (número fora do intervalo de um double)"_cp);
  }
  if (!j.is_object()) refuse("esperado um objeto com \"fields\" e \"rows\"");
  auto fields = j.find("fields");
  if (fields == j.end() || !fields->is_array()) refuse("falta a lista \"fields\"");
  auto rows = j.find("rows");
  if (rows == j.end() || !rows->is_array()) refuse("falta a lista \"rows\"");

  PacketContents out;
  out.fields = decode_fields(*fields);
  std::unordered_map<std::string, std::size_t> byName;
  for (std::size_t i = 0; i < out.fields.size(); ++i) byName.emplace(upper(out.fields[i].name), i);

  out.rows.reserve(rows->size());
  std::vector<unsigned char> given(out.fields.size());
  std::size_t n = 0;
  for (const json& r : *rows) {
    ++n;
    if (!r.is_object()) refuse("a linha " + std::to_string(n) + " não é um objeto"_cp);
    std::vector<FieldValue> values(out.fields.size());
    std::fill(given.begin(), given.end(), 0);
    for (auto it = r.begin(); it != r.end(); ++it) {
      auto key = to_cp1252(it.key());
      if (!key) continue;  // cannot name a field
      auto f = byName.find(upper(*key));
      if (f == byName.end()) continue;  // a column this dataset does not know
      if (given[f->second]) refuse("campo '" + out.fields[f->second].name + "' repetido na linha " + std::to_string(n));
      given[f->second] = 1;
      if (!it.value().is_null()) values[f->second] = decode_value(out.fields[f->second], it.value(), n);
    }
    out.rows.push_back(std::move(values));
  }
  return out;
}

std::string PacketJson(const Variant& v, std::string_view what) {
  switch (v.type()) {
    case Variant::Type::Bytes: return v.bytes_value();
    case Variant::Type::Text: return cp1252::to_utf8(v.text());
    default: throw Error(std::string(what) + " não é um pacote de dados"_cp);
  }
}

std::string EncodePacket(const std::vector<FieldDef>& fields, const std::vector<const std::vector<FieldValue>*>& rows) {
  std::string out = "{\"fields\": [";
  for (std::size_t i = 0; i < fields.size(); ++i) {
    if (i) out += ", ";
    out += "{\"name\": ";
    append_text(out, fields[i].name);
    out += ", \"type\": \"";
    out += FieldTypeName(fields[i].type);
    out += '"';
    if (fields[i].type == FieldType::String && fields[i].size > 0)
      out += ", \"size\": " + std::to_string(fields[i].size);
    out += '}';
  }
  out += "],\n \"rows\": [";
  for (std::size_t r = 0; r < rows.size(); ++r) {
    out += r ? ",\n  {" : "\n  {";
    bool first = true;
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const FieldValue& v = (*rows[r])[i];
      if (std::holds_alternative<std::monostate>(v)) continue;
      if (!first) out += ", ";
      first = false;
      append_text(out, fields[i].name);
      out += ": ";
      if (auto s = std::get_if<std::string>(&v)) {
        append_text(out, *s);
      } else if (auto d = std::get_if<double>(&v)) {
        if (!std::isfinite(*d)) {
          out += "null";  // cannot be stored through a field; kept valid JSON all the same
        } else if (fields[i].type == FieldType::DateTime) {
          out += '"' + FormatIsoDateTime(*d) + '"';
        } else {
          append_number(out, *d);
        }
      } else if (auto n = std::get_if<int32_t>(&v)) {
        out += std::to_string(*n);
      } else if (auto b = std::get_if<bool>(&v)) {
        out += *b ? "true" : "false";
      }
    }
    out += '}';
  }
  out += rows.empty() ? "]}\n" : "\n ]}\n";
  return out;
}

std::string ReadPacketFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw Error("Não foi possível abrir o arquivo \""_cp + cp1252::from_utf8_lossy(path.string()) + "\"");
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw Error("Erro ao ler o arquivo \""_cp + cp1252::from_utf8_lossy(path.string()) + "\"");
  return data;
}

void WritePacketFile(const std::filesystem::path& path, std::string_view packet) {
  try {
    safefile::write_atomic(path, packet, false);
  } catch (const std::exception& e) {
    throw Error("Não foi possível gravar o arquivo \""_cp + cp1252::from_utf8_lossy(path.string()) + "\": " + e.what());
  }
}

}  // namespace imp
