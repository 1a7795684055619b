#include "bench_support.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "support/demo_db.h"

namespace imp::bench {

namespace fs = std::filesystem;
using nlohmann::json;

long resident_kib() {
  std::ifstream in("/proc/self/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return 0;
}

// ---- orders ----

namespace {

const char* const kOrderFields[][2] = {
    {"NRCOMANDA", "string"},    {"NRMESA", "string"},       {"CDVENDEDOR", "string"},   {"NMVENDEDOR", "string"},
    {"QTPRODCOMVEN", "float"},  {"CDARVPROD", "string"},    {"CDPRODUTO", "string"},    {"NMPRODUTO", "string"},
    {"NRLUGARMESA", "string"},  {"DSOBSERVACAO", "string"}, {"CDPORIMPPROD", "string"}, {"IDMODEIMPRES", "string"},
    {"SENHACUPOM", "string"},   {"NRSEQPRODCOM", "string"}, {"DSCOMANDA", "string"},    {"CDPRODPROMOCAO", "string"},
    {"IDPROMOCAO", "string"},   {"NRSEQ", "string"},        {"IDIMPRODUVEZ", "string"}, {"NMCONSVEND", "string"},
    {"NOMEPRODPAI", "string"},  {"DSOBSPRODPAI", "string"}, {"QTPRODCOMBO", "float"},   {"CDOPERADOR", "string"},
    {"NMOPERADOR", "string"},   {"NRSEQITEM", "integer"},   {"VRPRECCOMVEN", "float"},  {"VRDESCCOMVEN", "float"},
    {"MODELOPUXA", "string"},   {"PORTAPUXA", "string"},    {"NRSEQPRODPAI", "string"}, {"CDPORIMPPROD2", "string"},
    {"IDMODEIMPRES2", "string"}};

std::string three_digits(int n) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "%03d", n % 1000);
  return buf;
}

}  // namespace

std::string order_packet(int items, const std::string& senha) {
  json fields = json::array();
  for (const auto& f : kOrderFields) fields.push_back({{"name", f[0]}, {"type", f[1]}});
  json rows = json::array();
  for (int i = 0; i < items; ++i) {
    const int block = i / 5 + 1;
    json r = {{"NRCOMANDA", "0012"},        {"NRMESA", "12"},       {"CDVENDEDOR", "0003"},
              {"NMVENDEDOR", "Zé Roberto"}, {"QTPRODCOMVEN", 1},    {"DSOBSERVACAO", ""},
              {"SENHACUPOM", senha},        {"NRSEQPRODCOM", ""},   {"DSCOMANDA", "MESA 12"},
              {"CDPRODPROMOCAO", ""},       {"IDPROMOCAO", "N"},    {"NRSEQ", ""},
              {"IDIMPRODUVEZ", "N"},        {"NMCONSVEND", ""},     {"NOMEPRODPAI", ""},
              {"DSOBSPRODPAI", ""},         {"CDOPERADOR", "0007"}, {"NMOPERADOR", "Ana Souza"},
              {"NRSEQITEM", i + 1},         {"VRPRECCOMVEN", 10.0}, {"VRDESCCOMVEN", 0},
              {"MODELOPUXA", ""},           {"PORTAPUXA", ""},      {"NRSEQPRODPAI", ""},
              {"CDPORIMPPROD2", ""},        {"IDMODEIMPRES2", ""}};
    auto kitchen = [&r] {
      r["CDPORIMPPROD"] = kKitchenPort;
      r["IDMODEIMPRES"] = "13";
      r["NRLUGARMESA"] = "01";
    };
    auto bar = [&r] {
      r["CDPORIMPPROD"] = kBarPort;
      r["IDMODEIMPRES"] = "4";
      r["NRLUGARMESA"] = "02";
    };
    switch (i % 5) {
      case 0:  // a plain dish with an observation
        kitchen();
        r["IDPROMOCAO"] = "";
        r.update({{"CDARVPROD", "02.01.001"}, {"CDPRODUTO", "2001"}, {"NMPRODUTO", "Picanha na chapa"}});
        r["DSOBSERVACAO"] = "AO PONTO;SEM SAL;";
        break;
      case 1:  // a plain drink, two of them
        bar();
        r["IDPROMOCAO"] = "";
        r.update({{"CDARVPROD", "04.01.004"}, {"CDPRODUTO", "4004"}, {"NMPRODUTO", "Suco de laranja"}});
        r["QTPRODCOMVEN"] = 2;
        break;
      case 2:  // the two parts of a combo, with the parent's observation
      case 3:
        kitchen();
        if (i % 5 == 2)
          r.update({{"CDARVPROD", "02.02.001"}, {"CDPRODUTO", "2101"}, {"NMPRODUTO", "Arroz branco"}});
        else
          r.update({{"CDARVPROD", "02.02.004"}, {"CDPRODUTO", "2104"}, {"NMPRODUTO", "Feijão tropeiro"}});
        r.update({{"NRSEQPRODCOM", three_digits(block)},
                  {"CDPRODPROMOCAO", "9100"},
                  {"NOMEPRODPAI", "Combo Executivo"},
                  {"DSOBSPRODPAI", "CAPRICHA;"},
                  {"QTPRODCOMBO", 1}});
        break;
      default:  // an item of a promotion, with an observation
        bar();
        r.update({{"CDARVPROD", "04.02.002"}, {"CDPRODUTO", "4102"}, {"NMPRODUTO", "Chope 300 ml"}});
        r.update({{"CDPRODPROMOCAO", "9200"},
                  {"IDPROMOCAO", "S"},
                  {"NRSEQ", three_digits(block)},
                  {"NOMEPRODPAI", "Happy Hour"},
                  {"DSOBSERVACAO", "POUCO GELO;"}});
        break;
    }
    rows.push_back(std::move(r));
  }
  return json{{"fields", fields}, {"rows", rows}}.dump();
}

std::string order_parameters() {
  return json{{"fields",
               {{{"name", "TIPOVENDA"}, {"type", "string"}},
                {{"name", "IDRETBALLOJA"}, {"type", "string"}},
                {{"name", "NRSEQVENDA"}, {"type", "string"}},
                {{"name", "STIMPPOSOBS"}, {"type", "string"}}}},
              {"rows", {{{"TIPOVENDA", "M"}, {"IDRETBALLOJA", ""}, {"NRSEQVENDA", ""}, {"STIMPPOSOBS", "D"}}}}}
      .dump();
}

// ---- the host folder ----

HostFolder::HostFolder() {
  const json station = {
      {"CDEMPRESA", "0001"},     {"CDFILIAL", "0001"},    {"CDLOJA", "01"},
      {"CDCAIXA", "001"},        {"CDOPERADOR", "0007"},  {"NMOPERADOR", "Ana Souza"},
      {"IDPAISINTEGRA", ""},     {"IDTIPOIMPNF1", "13"},  {"CDPORTIMPNF1", kKitchenPort},
      {"IDTPVENDIMPNF1", "T"},   {"IDTIPOIMPNF2", "4"},   {"CDPORTIMPNF2", kBarPort},
      {"IDTPVENDIMPNF2", "T"},   {"NRSEQIMPRLOJA1", "1"}, {"NRSEQIMPRLOJA2", "2"},
      {"IDIMPPEDPROD", "S"},     {"IDIMPPUXANTPED", "N"}, {"IDENVCUPOMEMAIL", "N"},
      {"IDDEBCONSCENTRAL", "N"}, {"IDPOSOBSPED", "N"},    {"DTABERCAIX", {{"date", "2026-12-09T08:00:00"}}}};
  const auto printer = [](const char* closing) {
    return json{{"columns", 48}, {"lineFeed", "\n"}, {"closing", closing}};
  };
  const json host = {
      {"parameters", station},
      {"connection", "sqlite:Dados/imp.db"},
      {"format",
       {{"decimalSeparator", ","}, {"thousandSeparator", "."}, {"shortDate", "dd/mm/yyyy"}, {"shortTime", "hh:nn:ss"}}},
      {"printerProperties", {{"4", printer("\x1bm")}, {"13", printer("\x1bm")}}},
      {"ports",
       {{kKitchenPort, std::string("printers/") + kKitchenPort + ".prn"},
        {kBarPort, std::string("printers/") + kBarPort + ".prn"}}}};
  test::write_file(path() / "imphost.json", host.dump(2));
  const json mapping = {{"fields",
                         {{{"name", "CDPORTAIMPR"}, {"type", "string"}, {"size", 10}},
                          {{"name", "DSENDPORTA"}, {"type", "string"}, {"size", 60}}}},
                        {"rows", {{{"CDPORTAIMPR", kKitchenPort}}, {{"CDPORTAIMPR", kBarPort}}}}};
  test::write_file(path() / "Dados" / "Cadastros" / "cdsMapeamento.cds", mapping.dump());
  test::create_database(path() / "Dados" / "imp.db", fs::path(IMP_SOURCE_DIR) / "db",
                        "UPDATE CAIXA SET IDUTILFONTEXP = 'N';"
                        "INSERT INTO PRODUTO (CDARVPROD, CDPRODUTO, IDCOBTXSERV, IDPESAPROD, NMPRODUTO, SGUNIDADE)"
                        " VALUES ('09.02.001', '9100', 'S', 'N', 'Combo Executivo', 'UN'),"
                        " ('09.02.002', '9200', 'S', 'N', 'Happy Hour', 'UN');");
  clear_ports();
}

fs::path HostFolder::port_file(const std::string& port) const {
  return path() / "printers" / (port + ".prn");
}

void HostFolder::clear_ports() const {
  for (const char* port : {kKitchenPort, kBarPort}) test::write_file(port_file(port), "");
}

std::string HostFolder::read_port(const std::string& port) const {
  return test::read_file(port_file(port));
}

void set_environment() {
  setenv("IMP_NOW", "2026-12-09T12:30:00", 1);
  setenv("IMP_PAUSE_SCALE", "0", 1);
}

// ---- the library ----

Library& Library::get() {
  static Library lib;
  return lib;
}

Library::Library() {
  handle_ = dlopen(IMP_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!handle_) throw std::runtime_error(dlerror());
  set_host_dir = reinterpret_cast<void (*)(const char*)>(fn("imp_set_host_dir"));
  initialize = reinterpret_cast<void (*)()>(fn("Initialize"));
  finalize = reinterpret_cast<void (*)()>(fn("Finalize"));
  wait_idle = reinterpret_cast<int32_t (*)(int32_t)>(fn("imp_wait_idle"));
  dispatch = reinterpret_cast<void (*)(const imp_variant*, int32_t, imp_variant*)>(fn("DisparaImpressaoNaoFiscal"));
}

void* Library::fn(const char* name) const {
  void* p = dlsym(handle_, name);
  if (!p) throw std::runtime_error(std::string("not exported: ") + name);
  return p;
}

PedidoJob::PedidoJob(std::string order, std::string parameters)
    : order_(std::move(order)), parameters_(std::move(parameters)) {
  auto text = [](int32_t type, const std::string& s) {
    imp_variant v{};
    v.type = type;
    v.v.text.ptr = const_cast<char*>(s.data());
    v.v.text.len = static_cast<int32_t>(s.size());
    return v;
  };
  auto plain = [](int32_t type, int32_t b = 0) {
    imp_variant v{};
    v.type = type;
    v.v.b = b;
    return v;
  };
  static const std::string kKind = "PEDIDO", kEmpty;
  items_ = {plain(IMP_VT_BOOL, 1), text(IMP_VT_TEXT, kKind),        text(IMP_VT_BYTES, order_), plain(IMP_VT_NULL),
            plain(IMP_VT_NULL),    text(IMP_VT_BYTES, parameters_), text(IMP_VT_TEXT, kEmpty),  plain(IMP_VT_BOOL, 0)};
}

// ---- checking the port files ----

TicketShape ticket_shape(const std::string& reference, const std::string& senha) {
  TicketShape shape{reference, senha, {}};
  for (std::size_t at = reference.find(senha); at != std::string::npos; at = reference.find(senha, at + 1))
    shape.senhaAt.push_back(at);
  return shape;
}

std::map<std::string, int> tickets_by_senha(const std::string& file, const TicketShape& shape, std::string& fault) {
  std::map<std::string, int> seen;
  const std::size_t len = shape.reference.size();
  if (len == 0 || shape.senhaAt.empty()) {
    fault = "the reference ticket is empty or lacks its call number";
    return seen;
  }
  for (std::size_t at = 0; at < file.size(); at += len) {
    if (file.size() - at < len) {
      fault = "a cut ticket at byte " + std::to_string(at);
      return seen;
    }
    // The call number as this ticket prints it, then the whole ticket must be the reference with it.
    const std::string senha = file.substr(at + shape.senhaAt.front(), shape.senha.size());
    std::string expected = shape.reference;
    for (std::size_t p : shape.senhaAt) expected.replace(p, senha.size(), senha);
    if (file.compare(at, len, expected) != 0) {
      fault = "a ticket mixed with another or damaged at byte " + std::to_string(at);
      return seen;
    }
    ++seen[senha];
  }
  return seen;
}

}  // namespace imp::bench
