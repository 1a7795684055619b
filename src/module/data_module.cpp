#include "module/data_module.h"

#include <malloc.h>

#include <cctype>
#include <cmath>
#include <mutex>

#include "host/database_config.h"
#include "host/numbers.h"
#include "host/parameters.h"
#include "host/senha.h"
#include "host/services.h"
#include "module/captions.h"
#include "module/catalogue.h"
#include "module/globals.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/error.h"
#include "platform/flagstore.h"
#include "platform/hostdir.h"
#include "platform/job.h"

namespace imp {
namespace {

std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& c : r) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return r;
}

// Every client dataset of the module. The ones with an after-open handler come first.
const std::vector<std::string> kAfterOpen = {
    "cdsPedidoZebra",    "cdsRelProd",       "cdsPedido",           "cdsConferencia",
    "cdsCupom",          "cdsImpImposto",    "cdsProdDeb",          "cdsTipoReceAber",
    "cdsMovFecha",       "cdsProdVend",      "cdsIdCaixa",          "cdsMovCaixa",
    "cdsItemComanda",    "cdsMovTot",        "cdsTipoReceAux",      "cdsRecebimento",
    "cdsVenda",          "cdsParcialConta",  "cdsImprimePedido",    "cdsParametros",
    "cdsDadosFilial",    "cdsTipoRece",      "cdsQuivane",          "cdsItCanc",
    "cdsPedidosAux",     "cdsVendaBruta",    "cdsProduto",          "cdsConsumidor",
    "cdsConsumidorNFCe", "cdsComandaVen",    "cdsVendas",           "cdsImprimePedidoDlv",
    "cdsProdLoja",       "cdsParamImpCupNF", "cdsParametrosZelAux", "cdsVendaBrutaCan"};
const std::vector<std::string> kOthers = {
    "cdsOperadorSup",    "cdsControleAcess",     "cdsVendaAbertura",    "cdsTransCanc",
    "cdsImpostoRedz",    "cdsCancVendaColombia", "cdsProdVendColombia", "cdsTipoReceCred",
    "cdsValoresNFCeSAT", "cdsItensNFCeSAT",      "cdsSaldoConsFamilia", "cdsSaldoConsCred",
    "cdsSaldoConsDeb",   "cdsObsCanc",           "cdsAmbiente",         "cdsPuxa",
    "cdsAgrupaProd",     "cdsMovCaixaCred",      "cdsSangria",          "cdsParaVend",
    "cdsVazio",          "cdsVrSaldConsumi",     "cdsPedZebra"};

struct StoredField {
  const char* name;
  FieldType type;
  int size;
};
constexpr FieldType S = FieldType::String, F = FieldType::Float, B = FieldType::Boolean, D = FieldType::DateTime;
// A persistent string field declared without a size holds 20 characters, as client datasets default to.
constexpr int kDefaultSize = 20;

// The delivery order row: the field names of the order rows, so the Brazilian order routine prints it.
const StoredField kImprimePedidoDlv[] = {
    {"NRCOMANDA", S, 10},      {"NRMESA", S, 4},        {"CDVENDEDOR", S, 4},
    {"NMVENDEDOR", S, 50},     {"QTPRODCOMVEN", F, 0},  {"CDARVPROD", S, kDefaultSize},
    {"NMPRODUTO", S, 50},      {"IDCOMANDA", S, 1},     {"NRLUGARMESA", S, 4},
    {"DSOBSERVACAO", S, 2000}, {"CDPORIMPPROD", S, 15}, {"SENHACUPOM", S, 6},
    {"NRSEQPRODCOM", S, 3},    {"DSCOMANDA", S, 50},    {"CDPRODPROMOCAO", S, 10},
    {"IDPROMOCAO", S, 1},      {"NRSEQ", S, 3},         {"IDIMPRODUVEZ", S, 1},
    {"VRPRECCOMVEN", F, 0},    {"NMCONSVEND", S, 50},   {"VRDESCCOMVEN", F, 0},
    {"IDMODEIMPRES", S, 2},    {"MODELOPUXA", S, 2},    {"PORTAPUXA", S, 15},
    {"NOMEPRODPAI", S, 50},    {"CDPRODUTO", S, 10}};

// The order parameter row the delivery job hands to the Brazilian order routine.
const StoredField kParamImpCupNF[] = {{"CDIDCONSUMID", S, 25},
                                      {"NMCONSUMIDOR", S, 50},
                                      {"NRSEQVENDA", S, 50},
                                      {"NRNAOFISCAL", S, kDefaultSize},
                                      {"BOIMPREDZEPSON", B, 0},
                                      {"VENDAREALIZADA", S, 2},
                                      {"TOTALPAGO", F, 0},
                                      {"DOVALACR", F, 0},
                                      {"DSCOMANDA", S, kDefaultSize},
                                      {"VRCOUVERT", F, 0},
                                      {"VRCONSUMACA", F, 0},
                                      {"VRTXSERVICO", F, 0},
                                      {"CDPRODCOUVER", S, 10},
                                      {"CDPRODCONSUM", S, 10},
                                      {"stIdTipoImpNF1", S, 5},
                                      {"stIdTipoImpNF2", S, 5},
                                      {"stCdPortImpNF1", S, 15},
                                      {"stCdPortImpNF2", S, 15},
                                      {"stIdVendImpNF1", S, 5},
                                      {"stIdVendImpNF2", S, 5},
                                      {"STIDPAISINTEGRA", S, 2},
                                      {"stRedZLeituraX", S, 1},
                                      {"stImpFechaCaixa", S, 1},
                                      {"stImpRelProduto", S, 1},
                                      {"stImpRedZLeituX", S, 1},
                                      {"stNrSerieECF", S, 50},
                                      {"DTABERTURACAIXA", D, 0},
                                      {"stRelProdutoDia", S, 1},
                                      {"NRMESA", S, 4},
                                      {"BUSCANRPESSOAS", S, 1},
                                      {"NRPESMESAALT", S, 5},
                                      {"NMVENDEDOR", S, 50},
                                      {"AGRUPADO", S, 1},
                                      {"COBRATAXA_FECHAMENTO", S, 1},
                                      {"COBRACOUVER_FECHAMENTO", S, 1},
                                      {"COBRACONSUMACAO_FECHAMENTO", S, 1},
                                      {"NRPESSOAS", S, 5},
                                      {"CDCLIENTE", S, 21},
                                      {"TIPOCONTA", S, 50},
                                      {"VRBASECONSUM", F, 0},
                                      {"STIMPPOSOBS", S, 1},
                                      {"TIPOVENDA", S, 1},
                                      {"IDIMPCOMPCUPVEN", S, 1},
                                      {"SENHACUPOM", S, 6}};

template <std::size_t N>
void define(ClientDataSet& ds, const StoredField (&fields)[N]) {
  ds.Close();
  ds.ClearFieldDefs();
  for (const auto& f : fields) ds.AddFieldDef(f.name, f.type, f.size);
  ds.CreateDataSet();
}

// A field of a host packet the row may lack: missing reads as null, so an item is never lost for want of
// an optional column.
Variant value_of(ClientDataSet& ds, std::string_view field) {
  Field* f = ds.FindField(field);
  return f ? f->AsVariant() : Variant::null();
}

std::mutex g_instance_mutex;
TrdmImpressoras* g_instance = nullptr;

}  // namespace

TrdmImpressoras::TrdmImpressoras() : hostDir_(hostdir::root()) {
  for (const auto* list : {&kAfterOpen, &kOthers})
    for (const auto& name : *list) datasets_.emplace(upper(name), std::make_unique<ClientDataSet>());
  create_stored("cdsImprimePedidoDlv");
  create_stored("cdsParamImpCupNF");
  DataModuleCreate();
}

TrdmImpressoras::~TrdmImpressoras() = default;

const std::vector<std::string>& TrdmImpressoras::AfterOpenDataSets() {
  return kAfterOpen;
}

void TrdmImpressoras::create_stored(std::string_view name) {
  if (upper(name) == "CDSIMPRIMEPEDIDODLV") define(cds(name), kImprimePedidoDlv);
  if (upper(name) == "CDSPARAMIMPCUPNF") define(cds(name), kParamImpCupNF);
  cds(name).Close();  // stored definitions; the routines that fill them open them
}

void TrdmImpressoras::DataModuleCreate() {
  host::Trad("rdmImpressoras");
}

void TrdmImpressoras::adcImpPedidoBeforeConnect() {
  connectionString_ = host::GetStringConexZel("");
}

void TrdmImpressoras::adcImpPedidoAfterConnect() {
  host::SetADODBSession(connectionString_);
}

namespace {
// A database that did not answer costs a job one timeout: the job's later queries fail at once with the same
// message, and the next job tries again.
[[noreturn]] void remember_down(const db::Unavailable& e) {
  if (job::Context* ctx = job::current()) ctx->databaseDown = e.what();
  throw e;
}
}  // namespace

db::Connection& TrdmImpressoras::adcImpPedido() {
  if (const job::Context* ctx = job::current(); ctx && !ctx->databaseDown.empty())
    throw db::Unavailable(ctx->databaseDown);
  if (!connection_) {
    adcImpPedidoBeforeConnect();
    try {
      // A failure leaves it closed: the next query tries again.
      connection_ = host::Connect(connectionString_);
    } catch (const db::Unavailable& e) {
      remember_down(e);
    }
    try {
      adcImpPedidoAfterConnect();
    } catch (...) {
      connection_.reset();
      throw;
    }
  }
  return *connection_;
}

db::ResultSet TrdmImpressoras::Open(std::string_view name, const db::Params& params) {
  db::Connection& connection = adcImpPedido();
  try {
    return catalogue::run(connection, catalogue::get(name), params);
  } catch (const db::Unavailable& e) {
    remember_down(e);  // the connection opens itself again for the next job
  }
}

ClientDataSet& TrdmImpressoras::Provide(std::string_view suffix, const db::Params& params) {
  auto rs = Open("adq" + std::string(suffix), params);
  ClientDataSet& ds = cds("cds" + std::string(suffix));
  rs.load_into(ds);
  ds.First();
  return ds;
}

ClientDataSet& TrdmImpressoras::cds(std::string_view name) {
  auto it = datasets_.find(upper(name));
  if (it == datasets_.end()) throw Error("rdmImpressoras: dataset desconhecido " + std::string(name));
  return *it->second;
}

bool TrdmImpressoras::HasDataSet(std::string_view name) const {
  return datasets_.count(upper(name)) > 0;
}

const TMessages& TrdmImpressoras::msgPadrao() const {
  return imp::msgPadrao();
}
const TMessages& TrdmImpressoras::msgPadraoBrasil() const {
  return imp::msgPadraoBrasil();
}
const TMessages& TrdmImpressoras::msgPadraoAmericano() const {
  return imp::msgPadraoAmericano();
}
const TMessages& TrdmImpressoras::msgPadraoPeru() const {
  return imp::msgPadraoPeru();
}
const TMessages& TrdmImpressoras::msgPadraoMexico() const {
  return imp::msgPadraoMexico();
}
const TMessages& TrdmImpressoras::msgPadraoColombia() const {
  return imp::msgPadraoColombia();
}

std::string TrdmImpressoras::MensagemPadrao(std::string_view country, std::string_view key) const {
  return CaptionTable(country).Msg(key);
}

bool TrdmImpressoras::CtrlImpress(int op, std::string_view name, bool value) {
  std::string valueName = "CtrlImp_" + std::string(name);
  try {
    if (op == 1) {
      flagstore::write_bool(kCtrlImpKey, valueName, value);
      return true;
    }
    if (auto v = flagstore::read_bool(kCtrlImpKey, valueName)) return *v;
    flagstore::write_bool(kCtrlImpKey, valueName, false);
    return false;
  } catch (const Error&) {
    return false;  // the store cannot be opened
  }
}

Variant TrdmImpressoras::getPrxVendaConsumidor(std::string_view a_utf8, std::string_view b_utf8) {
  return imp::getPrxVendaConsumidor(a_utf8, b_utf8);
}

Variant TrdmImpressoras::getSenhaCupom(std::string_view outlet_utf8, double date) {
  return imp::getSenhaCupom(outlet_utf8, date);
}

std::string TrdmImpressoras::formataCPFCNPJ(std::string_view digits) {
  return imp::formataCPFCNPJ(digits);
}

void TrdmImpressoras::LoadProdLoja() {
  ClientDataSet& prodLoja = cds("cdsProdLoja");
  auto path = hostdir::resolve("\\Dados\\Cadastros\\ProdLoja.cds");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    prodLoja.Close();
    return;
  }
  prodLoja.LoadFromFile(path);
  prodLoja.First();
}

void TrdmImpressoras::PreencheImprimePedido() {
  ClientDataSet& dlv = cds("cdsImprimePedidoDlv");
  define(dlv, kImprimePedidoDlv);
  auto params = host::Parameters::Load();
  std::string cdFilial = params.AsString("CDFILIAL");
  std::string cdLoja = params.AsString("CDLOJA");
  std::string senha = getSenhaCupom(cp1252::to_utf8(cdFilial), clock::Date()).to_text();
  std::string nrSeqImprLoja2 = globals::stNrSeqImprLoja2.get();
  std::string tipoImpNF1 = globals::stIdTipoImpNF1.get();

  ClientDataSet& vendas = cds("cdsVendas");
  ClientDataSet& prodLoja = cds("cdsProdLoja");
  if (!vendas.Active()) return;
  for (vendas.First(); !vendas.Eof(); vendas.Next()) {
    dlv.Append();
    dlv.FieldByName("IDCOMANDA").SetAsString("2");
    for (const char* name : {"NRMESA", "NRCOMANDA", "DSCOMANDA", "CDVENDEDOR", "CDARVPROD", "NMPRODUTO",
                             "CDPRODPROMOCAO", "NRSEQ", "VRPRECCOMVEN", "NMCONSVEND", "VRDESCCOMVEN", "CDPRODUTO"})
      dlv.FieldByName(name).SetAsVariant(value_of(vendas, name));
    dlv.FieldByName("NOMEPRODPAI").SetAsVariant(value_of(vendas, "NMPRODUTO"));
    dlv.FieldByName("DSOBSERVACAO").SetAsVariant(value_of(vendas, "TXPRODCOMVEN"));
    dlv.FieldByName("QTPRODCOMVEN").SetAsFloat(std::fabs(value_of(vendas, "QTPRODCOMVEN").to_double()));
    dlv.FieldByName("NRLUGARMESA").SetAsString("01");
    dlv.FieldByName("SENHACUPOM").SetAsString(senha);

    std::string modelo;
    bool found = prodLoja.Active() && prodLoja.FindField("CDLOJA") && prodLoja.FindField("CDPRODUTO") &&
                 prodLoja.Locate("CDLOJA;CDPRODUTO", {Variant(cdLoja), value_of(vendas, "CDPRODUTO")},
                                 LocateOptions{.caseInsensitive = true});
    if (found) {
      dlv.FieldByName("CDPORIMPPROD").SetAsVariant(value_of(prodLoja, "CDPORIMPPROD"));
      modelo = value_of(prodLoja, "MODELOPROD").to_text();
      dlv.FieldByName("IDMODEIMPRES").SetAsString(modelo);
      if (nrSeqImprLoja2.empty()) {
        dlv.FieldByName("PORTAPUXA").SetAsVariant(value_of(prodLoja, "PORTAPUXA"));
        dlv.FieldByName("MODELOPUXA").SetAsVariant(value_of(prodLoja, "MODELOPUXA"));
      } else {
        dlv.FieldByName("PORTAPUXA").SetAsString(globals::stCdPortImpNF2.get());
        dlv.FieldByName("MODELOPUXA").SetAsString(globals::stIdTipoImpNF2.get());
      }
    }
    if (!found || modelo.empty()) dlv.FieldByName("IDMODEIMPRES").SetAsString(tipoImpNF1);
    dlv.Post();
  }
  dlv.First();
}

void TrdmImpressoras::PreencheParamImpCupNF(std::string_view, std::string_view nrNaoFiscal,
                                            std::string_view vendaRealizada, std::string_view nrSeqVenda,
                                            double totalPago, std::string_view) {
  ClientDataSet& p = cds("cdsParamImpCupNF");
  define(p, kParamImpCupNF);
  p.Append();
  for (const auto& f : kParamImpCupNF) {
    std::string_view n = f.name;
    if (n == "STIDPAISINTEGRA" || n == "DTABERTURACAIXA" || n == "IDIMPCOMPCUPVEN") continue;  // unassigned
    if (f.type == FieldType::Float) p.FieldByName(n).SetAsFloat(0);
  }
  p.FieldByName("NRNAOFISCAL").SetAsString(nrNaoFiscal);
  p.FieldByName("VENDAREALIZADA").SetAsString(vendaRealizada);
  p.FieldByName("NRSEQVENDA").SetAsString(nrSeqVenda);
  p.FieldByName("TOTALPAGO").SetAsFloat(totalPago);
  p.FieldByName("STIMPPOSOBS").SetAsString(globals::stIdOrdemImpObs.get());
  p.FieldByName("TIPOVENDA").SetAsString("D");
  p.FieldByName("BOIMPREDZEPSON").SetAsBoolean(false);
  p.FieldByName("stIdTipoImpNF1").SetAsString(globals::stIdTipoImpNF1.get());
  p.FieldByName("stIdTipoImpNF2").SetAsString(globals::stIdTipoImpNF2.get());
  p.FieldByName("stCdPortImpNF1").SetAsString(globals::stCdPortImpNF1.get());
  p.FieldByName("stCdPortImpNF2").SetAsString(globals::stCdPortImpNF2.get());
  p.FieldByName("stIdVendImpNF1").SetAsString(globals::stIdVendImpNF1.get());
  p.FieldByName("stIdVendImpNF2").SetAsString(globals::stIdVendImpNF2.get());
  p.Post();
  p.First();
}

void TrdmImpressoras::TrimAppMemorySize() {
  malloc_trim(0);
}

// The module of another host folder (a job dispatched before the host moved its folder, or after) counts as
// absent: the next EnsureDataModule replaces it. Every caller holds `cs`, so no one else is using it then.
TrdmImpressoras* rdmImpressoras() {
  std::lock_guard lk(g_instance_mutex);
  return g_instance && g_instance->HostDir() == hostdir::root() ? g_instance : nullptr;
}

TrdmImpressoras& EnsureDataModule() {
  TrdmImpressoras* doomed = nullptr;
  std::lock_guard lk(g_instance_mutex);
  if (g_instance && g_instance->HostDir() != hostdir::root()) {
    doomed = g_instance;
    g_instance = nullptr;
  }
  delete doomed;
  if (!g_instance) {
    g_instance = new TrdmImpressoras();
    globals::rdmImpressoras.store(g_instance);
  }
  return *g_instance;
}

void FreeDataModule() {
  TrdmImpressoras* doomed;
  {
    std::lock_guard lk(g_instance_mutex);
    doomed = g_instance;
    g_instance = nullptr;
    globals::rdmImpressoras.store(nullptr);
  }
  delete doomed;
}

}  // namespace imp
