#include "tickets/order_brasil.h"

#include <cmath>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "host/consiste.h"
#include "host/numbers.h"
#include "host/parameters.h"
#include "host/services.h"
#include "labels/zebra_labels.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/print_path.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/decimal.h"
#include "platform/error.h"
#include "platform/filter.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/packet.h"
#include "platform/rtl.h"

namespace imp {
namespace {

// Printer control sequences of the production tickets.
const std::string kExpandedFont = "\x1B\x21\x10";  // double height, before a whole ticket
const std::string kReset = "\x1B\x40";             // printer initialisation, after such a ticket
const std::string kBoldOn = "\x1B\x45";
const std::string kBoldOff = "\x1B\x46";
const std::string kDoubleWidth = "\x0E";
const std::string kPagerWideOn = "\x1D\x21\x10";
const std::string kPagerWideOff = std::string("\x1D\x21\x00", 3);

// Where the combo observations of a combo go; replaced by them, or removed.
const std::string kComboMarker = ":ObsComb:";
const std::string kComboObs = "Obs Comb:";
// Numbers the rows of cdsPedido, so the printer loop can tell whether the row it started from is gone.
const char* kRowId = "NRLINHAIMP";
const char* kFunction = " - Imp00000 - Funcao:ImpPedido_Brasil";

constexpr FieldType S = FieldType::String, F = FieldType::Float, I = FieldType::Integer;

struct OrderField {
  const char* name;
  FieldType type;
  int size;
};
// The order row; the widths are those of the puxa copy.
const OrderField kOrderFields[] = {
    {"NRCOMANDA", S, 10},      {"NRMESA", S, 4},          {"CDVENDEDOR", S, 4},      {"NMVENDEDOR", S, 50},
    {"QTPRODCOMVEN", F, 0},    {"CDARVPROD", S, 20},      {"NMPRODUTO", S, 50},      {"IDCOMANDA", S, 1},
    {"NRLUGARMESA", S, 4},     {"DSOBSERVACAO", S, 2000}, {"CDPORIMPPROD", S, 15},   {"IDMODEIMPRES", S, 2},
    {"DSENDPORTA", S, 50},     {"SENHACUPOM", S, 6},      {"NRSEQPRODCOM", S, 3},    {"DSCOMANDA", S, 50},
    {"CDPRODPROMOCAO", S, 10}, {"IDPROMOCAO", S, 1},      {"NRSEQ", S, 3},           {"IDIMPRODUVEZ", S, 1},
    {"VRPRECCOMVEN", F, 0},    {"VRDESCCOMVEN", F, 0},    {"NMCONSVEND", S, 50},     {"CDPRODUTO", S, 15},
    {"MODELOPUXA", S, 2},      {"PORTAPUXA", S, 15},      {"DSENDPORTAPUXA", S, 50}, {"NOMEPRODPAI", S, 50},
    {"DSOBSPRODPAI", S, 2000}, {"NRSEQPRODPAI", S, 3},    {"IDOBSERVACAO", S, 1},    {"CDOPERADOR", S, 12},
    {"NMOPERADOR", S, 50},     {"QTPRODCOMBO", F, 0},     {"NRSEQITEM", I, 0},       {"IDORIGEMVENDA", S, 20}};

// ---- small text helpers ----

bool contains(std::string_view s, std::string_view what) {
  return s.find(what) != std::string_view::npos;
}

bool starts_with(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string replace_all(std::string s, std::string_view from, std::string_view to) {
  if (from.empty()) return s;
  std::size_t at = 0;
  while ((at = s.find(from, at)) != std::string::npos) {
    s.replace(at, from.size(), to);
    at += to.size();
  }
  return s;
}

bool same_name(std::string_view a, std::string_view b) {
  return CompareText(a, b, true) == 0;
}

// Upper case of a Windows-1252 text, accented letters included.
std::string upper(std::string_view s) {
  std::string r(s);
  for (auto& ch : r) {
    const auto c = static_cast<unsigned char>(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
      ch = static_cast<char>(c - 0x20);
    else if (c == 0x9A || c == 0x9C || c == 0x9E)
      ch = static_cast<char>(c - 0x10);
    else if (c == 0xFF)
      ch = static_cast<char>(0x9F);
  }
  return r;
}

// The decimal number of a model code ("013" is 13), or -1 when it is not one.
int code_number(std::string_view code) {
  if (code.empty() || code.size() > 9) return -1;
  int n = 0;
  for (char c : code) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n;
}

bool is_one_of(int n, std::initializer_list<int> list) {
  for (int x : list)
    if (x == n) return true;
  return false;
}

// A text cut to `count` characters.
std::string cut(std::string_view s, int count) {
  return std::string(s.substr(0, count < 0 ? 0 : static_cast<std::size_t>(count)));
}

std::string packet_of(const Variant& v) {
  if (v.type() != Variant::Type::Bytes && v.type() != Variant::Type::Text)
    throw Error("ImpPedido_Brasil: pacote de dados ausente");
  return PacketJson(v, "ImpPedido_Brasil");
}

// Texts read from the database (room names, combo names, delivery estimates, flags) print as data: a control
// character stored in a name never reaches the printer as a command.
std::string field_text(ClientDataSet& ds, std::string_view name) {
  Field* f = ds.FindField(name);
  return f ? cp1252::printable(f->AsString()) : std::string();
}

// The text of `field` in the first row of a query result ("" when there is no row).
std::string first_text(const db::ResultSet& rs, std::string_view field) {
  if (rs.rows.empty()) return {};
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (same_name(rs.fields[c].name, field)) return cp1252::printable(rs.rows.front()[c].to_text());
  return {};
}

// The parts of an observation list: each part ended by ";", then what follows the last ";".
struct ObsPart {
  std::string text;
  bool ended;
};
std::vector<ObsPart> split_observations(std::string_view s) {
  std::vector<ObsPart> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t semi = s.find(';', start);
    if (semi == std::string_view::npos) {
      if (start < s.size()) parts.push_back({std::string(s.substr(start)), false});
      return parts;
    }
    parts.push_back({std::string(s.substr(start, semi - start)), true});
    start = semi + 1;
  }
}

// A quantity printed once per unit that cannot be counted so: not a number, infinite or above 999 units. Such
// an item prints once, with its quantity, instead of holding the printer (and every later order) for good.
constexpr double kMaxUnitTickets = 999;
bool BogusUnits(double quantity) {
  return !std::isfinite(quantity) || quantity > kMaxUnitTickets;
}

// How many tickets an item printed once per unit gets: one per whole unit (2.5 gives two), at least one.
int TicketsPerUnit(double q, const std::string& product) {
  if (BogusUnits(q)) {
    log::LogErroImpNaoFiscal("ImpPedido_Brasil: quantidade "_cp + FloatToStr(q) + " de " + product +
                             " impressa num único ticket (uma por unidade só até 999)"_cp);
    return 1;
  }
  return q > 1 ? static_cast<int>(std::floor(q)) : 1;
}

// The quantity as the tickets print it: brought to three decimals, then as a fraction when below one.
std::string fraction(double quantity) {
  return ConvertFracionario(decimal::round_half_away(quantity, 3));
}

const char* origin_name(std::string_view code) {
  static const std::map<std::string, const char*, std::less<>> names = {
      {"DLV_IFO", "iFood"},       {"DLV_UBR", "Uber Eats"}, {"DLV_PJA", "Pedidos Ja"},
      {"DLV_RAP", "Rappi"},       {"DLV_SIT", "Site"},      {"DLV_99F", "99 Food"},
      {"DLV_CAL", "Call Center"}, {"DLV_JAM", "James"},     {"DLV_INT", "Integracao"},
      {"DLV_WZP", "WhatsApp"},    {"DLV_APP", "App"},       {"DLV_DDI", "Direto"},
      {"DLV_ZEL", "Quivane"},     {"DLV_NMO", "Neemo"},     {"DLV_TAA", "Auto Atendimento"},
      {"DLV_ANT", "Anota Ai"},    {"DLV_KET", "Keeta"}};
  auto it = names.find(code);
  return it == names.end() ? "" : it->second;
}

const char* place_of_consumption(std::string_view code) {
  if (code == "N") return "Para entregar";
  if (code == "S") return "Retirar no balcao";
  if (code == "C") return "Comer no local";
  return "";
}

void log_line(std::string_view text) {
  log::LogErroImpNaoFiscal(text);
}

void log_failure(const std::exception& e) {
  log_line(std::string(e.what()) + kFunction);
}

// ---- the order rows ----

// One order row as the ticket reads it.
struct Row {
  int32_t id = 0;
  std::string NRCOMANDA, NRMESA, CDVENDEDOR, NMVENDEDOR, CDARVPROD, NMPRODUTO, NRLUGARMESA, DSOBSERVACAO, CDPORIMPPROD,
      IDMODEIMPRES, DSENDPORTA, SENHACUPOM, NRSEQPRODCOM, DSCOMANDA, CDPRODPROMOCAO, IDPROMOCAO, NRSEQ, IDIMPRODUVEZ,
      NMCONSVEND, CDPRODUTO, NOMEPRODPAI, DSOBSPRODPAI, NRSEQPRODPAI, CDOPERADOR, NMOPERADOR, IDORIGEMVENDA;
  double QTPRODCOMVEN = 0, QTPRODCOMBO = 0;
};

Row read_row(ClientDataSet& ds) {
  Row r;
  auto s = [&ds](const char* name) { return ds.FieldByName(name).AsString(); };
  r.id = ds.FieldByName(kRowId).AsInteger();
  r.NRCOMANDA = s("NRCOMANDA");
  r.NRMESA = s("NRMESA");
  r.CDVENDEDOR = s("CDVENDEDOR");
  r.NMVENDEDOR = s("NMVENDEDOR");
  r.CDARVPROD = s("CDARVPROD");
  r.NMPRODUTO = s("NMPRODUTO");
  r.NRLUGARMESA = s("NRLUGARMESA");
  r.DSOBSERVACAO = s("DSOBSERVACAO");
  r.CDPORIMPPROD = s("CDPORIMPPROD");
  r.IDMODEIMPRES = s("IDMODEIMPRES");
  r.DSENDPORTA = s("DSENDPORTA");
  r.SENHACUPOM = s("SENHACUPOM");
  r.NRSEQPRODCOM = s("NRSEQPRODCOM");
  r.DSCOMANDA = s("DSCOMANDA");
  r.CDPRODPROMOCAO = s("CDPRODPROMOCAO");
  r.IDPROMOCAO = s("IDPROMOCAO");
  r.NRSEQ = s("NRSEQ");
  r.IDIMPRODUVEZ = s("IDIMPRODUVEZ");
  r.NMCONSVEND = s("NMCONSVEND");
  r.CDPRODUTO = s("CDPRODUTO");
  r.NOMEPRODPAI = s("NOMEPRODPAI");
  r.DSOBSPRODPAI = s("DSOBSPRODPAI");
  r.NRSEQPRODPAI = s("NRSEQPRODPAI");
  r.CDOPERADOR = s("CDOPERADOR");
  r.NMOPERADOR = s("NMOPERADOR");
  r.IDORIGEMVENDA = s("IDORIGEMVENDA");
  r.QTPRODCOMVEN = ds.FieldByName("QTPRODCOMVEN").AsFloat();
  r.QTPRODCOMBO = ds.FieldByName("QTPRODCOMBO").AsFloat();
  return r;
}

// The puxa copy of an order: every row re-addressed to its expediting printer, numbered so that the
// descending index prints the copy in packet order.
std::string puxa_copy(TrdmImpressoras& rdm, const std::string& order) {
  ClientDataSet& aux = rdm.cds("cdsPedidosAux");
  aux.SetFiltered(false);
  aux.SetIndexName("");
  aux.LoadFromPacket(order);
  ClientDataSet& puxa = rdm.cds("cdsPuxa");
  puxa.SetFiltered(false);
  puxa.SetIndexName("");
  puxa.Close();
  puxa.ClearFieldDefs();
  for (const auto& f : kOrderFields) puxa.AddFieldDef(f.name, f.type, f.size);
  puxa.CreateDataSet();
  int32_t seq = 1000;
  for (aux.First(); !aux.Eof(); aux.Next()) {
    puxa.Append();
    for (const auto& f : kOrderFields) {
      Field* from = aux.FindField(f.name);
      if (from && !from->IsNull()) puxa.FieldByName(f.name).SetAsVariant(from->AsVariant());
    }
    puxa.FieldByName("CDPORIMPPROD").SetAsString(field_text(aux, "PORTAPUXA"));
    puxa.FieldByName("IDMODEIMPRES").SetAsString(field_text(aux, "MODELOPUXA"));
    puxa.FieldByName("DSENDPORTA").SetAsString(field_text(aux, "DSENDPORTAPUXA"));
    puxa.FieldByName("NRSEQITEM").SetAsInteger(seq--);
    puxa.Post();
  }
  return puxa.SavePacket();
}

// ---- the order run ----

struct Printer {
  std::string model, port, address, lineFeed, closing;
  int columns = 48;
  bool bold = true;  // the header and the items print emphasised
};

class PedidoBrasil {
 public:
  PedidoBrasil(bool puxa, OrderRun run, const TicketSink& sink) : puxa_(puxa), run_(run), sink_(sink) {}
  void Run(const Variant& dados1, const Variant& dados4);

 private:
  // steps of the order
  void Compose(const Variant& dados1, const Variant& dados4);
  void ReadStation();
  void ReadStoreSettings(TrdmImpressoras& rdm);
  void LoadOrder(TrdmImpressoras& rdm, const std::string& packet);
  void LoadParameters(TrdmImpressoras& rdm, const std::string& packet);
  void ObservationProducts(TrdmImpressoras& rdm);
  void DropRowsWithoutPrinter();
  void RestoreView();
  void PagerTicket();
  void PrinterLoop(TrdmImpressoras& rdm);
  void Labels(TrdmImpressoras& rdm);
  void RowLoop(TrdmImpressoras& rdm);
  void GroupRow(TrdmImpressoras& rdm, const Row& r);
  void SingleRow(TrdmImpressoras& rdm, const Row& r);
  void CutPerSeat();
  void CancelledObservations();
  void LastTicket();
  void PuxaAfter(const Variant& dados1, const Variant& dados4);

  // pieces of the tickets
  void TakeProperties(const Row& r, int place);
  std::string PortHeader(const Row& r);
  void BeginTicket(const Row& r);
  std::string Dashes() const { return Replicate('-', printer_.columns) + printer_.lineFeed; }
  void Separator();
  void SeatLine(const std::string& seat);
  void Observations(const Row& r);
  void ComboObservations(std::string_view observations);
  void ParentObservations(const Row& r);
  void ComboCaption(const Row& r);
  void LoadCombos();
  std::string ItemLine(TrdmImpressoras& rdm, const Row& r);
  bool HasContent() const { return !text_.empty() && text_ != ticketStart_; }
  std::string Closed(bool finalForm) const;
  void Send(const std::string& text);
  void DeleteRow(int32_t id);
  void DeleteCurrent(ClientDataSet& ped);
  std::unordered_set<int32_t> deleted_;  // rows of the order already printed and deleted

  ClientDataSet& Pedido() { return EnsureDataModule().cds("cdsPedido"); }
  const std::string& LF() const { return printer_.lineFeed; }

  const bool puxa_;
  const OrderRun run_;
  const TicketSink& sink_;

  // station record
  std::string CDFILIAL_, CDCAIXA_, CDLOJA_, IDTIPOIMPNF1_, NRSEQIMPRLOJA4_, IDTIPOIMPNF4_, CDPORTIMPNF4_;
  // store settings
  std::string IDETIQZEBRA_, IDIMPQTCOMBO_ = "N", IDLUGARMESA_, IDUTLCORTEPED_, DSENDEZEBRA_;
  // order parameters
  std::string TIPOVENDA_, IDRETBALLOJA_, NRSEQVENDA_, STIMPPOSOBS_;
  bool hasOrigem_ = false;  // the order packet has the column IDORIGEMVENDA
  std::string exclusion_;   // the observation products, as a filter leaving them out
  std::string posicao_;     // caption of the seat lines
  std::string nmSala_;

  // the ticket being composed
  Printer printer_;
  bool started_ = false;  // a printer of the order was started
  std::string text_;
  std::string curPort_, curSeat_, prevGroup_, callNumber_;
  std::string savedHeader_;  // the header of the current printer
  std::string ticketStart_;  // the text as the current ticket began: nothing printed yet
  bool promoPrinted_ = false;

  // the host's combo tables, read once per order
  bool combosRead_ = false, combosAvailable_ = false;
  bool orderRefused_ = false;  // the order could not be read
  ClientDataSet prodComb_, menuComb_;
};

void PedidoBrasil::Run(const Variant& dados1, const Variant& dados4) {
  const bool recursive = puxa_ && globals::stIdImpPuxAntPed == "N";
  log_line(std::string("INICIO ") + (recursive ? "Chamada Recursiva" : "") + " ImpPedido_Brasil");
  // A new order: the labels of the previous one must not hold back this one's.
  if (!puxa_) globals::boFimPedidoZebra.store(false);

  try {
    Compose(dados1, dados4);
  } catch (const std::exception& e) {
    log_failure(e);
  }
  // What was composed still prints when the printer loop failed.
  try {
    CancelledObservations();
  } catch (const std::exception& e) {
    log_failure(e);
  }
  try {
    LastTicket();
  } catch (const std::exception& e) {
    log_failure(e);
  }
  try {
    PuxaAfter(dados1, dados4);
  } catch (const std::exception& e) {
    log_failure(e);
  }
  FreeDataModule();
  log_line(std::string("FINAL ") + (recursive ? "Chamada Recursiva" : "") + " ImpPedido_Brasil");
}

void PedidoBrasil::Compose(const Variant& dados1, const Variant& dados4) {
  ReadStation();
  TrdmImpressoras& rdm = EnsureDataModule();
  posicao_ = rdm.msgPadraoBrasil().Msg("POSICAO");
  // An order packet that is refused is refused once: the puxa report after the order would read the same
  // packet and only log the same refusal again.
  std::string order;
  try {
    order = packet_of(dados1);
    if (puxa_ && globals::stIdImpPuxAntPed == "S") {
      log_line("INICIO Impressão Puxa - ImpPedido_Brasil"_cp);
      order = puxa_copy(rdm, order);
      globals::boFimPedidoZebra.store(true);
    }
  } catch (const Error&) {
    orderRefused_ = true;
    throw;
  }
  ReadStoreSettings(rdm);
  try {
    LoadOrder(rdm, order);
  } catch (const Error&) {
    orderRefused_ = true;
    throw;
  }
  LoadParameters(rdm, packet_of(dados4));
  ObservationProducts(rdm);

  // Sale labels of the whole sale: once per order.
  if (run_ == OrderRun::Main && !globals::boFimPedidoZebra.load() && !DSENDEZEBRA_.empty()) {
    ImpZebraZd220(CDFILIAL_, CDCAIXA_, NRSEQVENDA_, exclusion_, DSENDEZEBRA_);
    RestoreView();
  }
  DropRowsWithoutPrinter();
  RestoreView();  // observation products are not printed as items
  PagerTicket();
  PrinterLoop(rdm);
  text_ = replace_all(text_, kComboMarker, "");
}

void PedidoBrasil::ReadStation() {
  host::Parameters station = host::Parameters::Load();
  if (station.IsEmpty()) return;
  CDFILIAL_ = station.AsString("CDFILIAL");
  CDCAIXA_ = station.AsString("CDCAIXA");
  CDLOJA_ = station.AsString("CDLOJA");
  IDTIPOIMPNF1_ = station.AsString("IDTIPOIMPNF1");
  NRSEQIMPRLOJA4_ = station.AsString("NRSEQIMPRLOJA4");
  IDTIPOIMPNF4_ = station.AsString("IDTIPOIMPNF4");
  CDPORTIMPNF4_ = station.AsString("CDPORTIMPNF4");
}

void PedidoBrasil::ReadStoreSettings(TrdmImpressoras& rdm) {
  IDETIQZEBRA_ = first_text(rdm.Open("adqImpZebra", {{"CDFILIAL", CDFILIAL_}}), "IDETIQZEBRA");
  try {
    auto rs = rdm.Open("adqImpQtCombo", {{"P_CDFILIAL", CDFILIAL_}});
    IDIMPQTCOMBO_ = rs.rows.empty() ? "N" : first_text(rs, "IDIMPQTCOMBO");
  } catch (const std::exception&) {
    IDIMPQTCOMBO_ = "N";
  }
  std::string fontExp = "N";
  try {
    auto rs = rdm.Open("adqUtilFontExp", {{"P_CDFILIAL", CDFILIAL_}, {"P_CDCAIXA", CDCAIXA_}});
    if (!rs.rows.empty()) fontExp = first_text(rs, "IDUTILFONTEXP");
  } catch (const std::exception&) {
    fontExp = "N";
  }
  globals::stIDUTILFONTEXP.set(fontExp);
  auto pos = rdm.Open("adqControlaPos", {{"P_CDFILIAL", CDFILIAL_}, {"P_CDLOJA", CDLOJA_}});
  IDLUGARMESA_ = first_text(pos, "IDLUGARMESA");
  IDUTLCORTEPED_ = first_text(pos, "IDUTLCORTEPED");
  DSENDEZEBRA_ = first_text(pos, "DSENDEZEBRA");
}

// cdsPedido takes every column of the order row, whether the packet has it or not (a missing optional column
// reads as empty, in filters too), the packet's other columns, and a row number of its own.
void PedidoBrasil::LoadOrder(TrdmImpressoras& rdm, const std::string& packet) {
  ClientDataSet source;
  source.LoadFromPacket(packet);
  hasOrigem_ = source.FindField("IDORIGEMVENDA") != nullptr;

  ClientDataSet& ped = rdm.cds("cdsPedido");
  ped.SetFiltered(false);
  ped.SetFilter("");
  ped.SetIndexName("");
  ped.Close();
  ped.ClearFieldDefs();
  for (const auto& f : kOrderFields) ped.AddFieldDef(f.name, f.type, 0);
  std::vector<int> copied;  // the packet's fields, by index
  for (int i = 0; i < source.FieldCount(); ++i) {
    const Field& f = source.Fields(i);
    if (same_name(f.FieldName(), kRowId)) continue;
    copied.push_back(i);
    bool known = false;
    for (const auto& k : kOrderFields) known = known || same_name(k.name, f.FieldName());
    if (!known) ped.AddFieldDef(f.FieldName(), f.DataType(), f.Size());
  }
  ped.AddFieldDef(kRowId, FieldType::Integer);
  ped.CreateDataSet();

  int32_t id = 0;
  deleted_.clear();  // a freshly loaded order: no row of it is printed yet
  for (source.First(); !source.Eof(); source.Next()) {
    ped.Append();
    for (int i : copied) {
      Field& from = source.Fields(i);
      if (!from.IsNull()) ped.FieldByName(from.FieldName()).SetAsVariant(from.AsVariant());
    }
    ped.FieldByName(kRowId).SetAsInteger(++id);
    ped.Post();
  }

  // Printers, seats, groups and items from the highest key to the lowest; seats are not sorted when the
  // store controls them.
  IndexOptions options;
  options.descending = true;
  options.caseInsensitive = true;
  ped.AddIndex(
      "Indice",
      IDLUGARMESA_ == "S" ? "CDPORIMPPROD;NRSEQPRODCOM;NRSEQITEM" : "CDPORIMPPROD;NRLUGARMESA;NRSEQPRODCOM;NRSEQITEM",
      options);
  ped.SetIndexName("Indice");
  ped.First();
}

void PedidoBrasil::LoadParameters(TrdmImpressoras& rdm, const std::string& packet) {
  ClientDataSet& params = rdm.cds("cdsParametros");
  params.SetFiltered(false);
  params.LoadFromPacket(packet);
  params.First();
  IDRETBALLOJA_ = field_text(params, "IDRETBALLOJA");
  TIPOVENDA_ = field_text(params, "TIPOVENDA");
  NRSEQVENDA_ = field_text(params, "NRSEQVENDA");
  STIMPPOSOBS_ = field_text(params, "STIMPPOSOBS");
}

void PedidoBrasil::ObservationProducts(TrdmImpressoras& rdm) {
  rdm.cds("cdsObsCanc").Close();
  ClientDataSet& ped = rdm.cds("cdsPedido");
  ped.First();
  db::ResultSet products;
  if (TIPOVENDA_ != "B") {
    const std::string comanda = ped.Eof() ? std::string() : field_text(ped, "NRCOMANDA");
    products = rdm.Open("adqObsProdVen", {{"P_NRCOMANDA", comanda}, {"P_CDFILIAL", CDFILIAL_}});
  } else {
    const db::Params sale = {{"P_NRSEQVENDA", NRSEQVENDA_}, {"P_CDCAIXA", CDCAIXA_}, {"P_CDFILIAL", CDFILIAL_}};
    products = rdm.Open("adqObsProd", sale);
    rdm.Provide("ObsCanc", sale);
  }
  exclusion_.clear();
  for (const auto& row : products.rows) {
    if (!exclusion_.empty()) exclusion_ += " AND ";
    exclusion_ += "CDPRODUTO <> " + QuotedStr(row.at(0).to_text());
  }
}

void PedidoBrasil::DropRowsWithoutPrinter() {
  ClientDataSet& ped = Pedido();
  ped.SetFiltered(false);
  ped.First();
  while (!ped.Eof()) {
    if (ped.FieldByName("CDPORIMPPROD").AsString().empty() || ped.FieldByName("IDMODEIMPRES").AsString().empty())
      DeleteCurrent(ped);
    else
      ped.Next();
  }
}

// The order of the printer loop: the descending index, without the rows that are observation products when
// the order has any.
void PedidoBrasil::RestoreView() {
  ClientDataSet& ped = Pedido();
  if (ped.IndexName() != "Indice") ped.SetIndexName("Indice");
  if (!exclusion_.empty()) {
    ped.SetFilter("IDOBSERVACAO <> 'S'");
    ped.SetFiltered(true);
  } else {
    ped.SetFiltered(false);
    ped.SetFilter("");
  }
  ped.First();
}

// The call number on the store's fourth printer: once per order, in the main production run.
void PedidoBrasil::PagerTicket() {
  if (puxa_ || run_ != OrderRun::Main) return;
  ClientDataSet& ped = Pedido();
  ped.First();
  if (ped.Eof()) return;
  const std::string senha = field_text(ped, "SENHACUPOM");
  const std::string firstModel = field_text(ped, "IDMODEIMPRES");
  if (NRSEQIMPRLOJA4_.empty() || senha.empty()) return;

  const host::PrinterProperties props = host::PropriedadesImpNF(IDTIPOIMPNF4_);
  const bool bold = IDTIPOIMPNF4_ != "1";
  const std::string& lf = props.lineFeed;
  std::string t = (bold ? kBoldOn + kDoubleWidth : std::string()) + "SENHA/PAGER " + senha + lf + lf +
                  (bold ? kDoubleWidth : std::string()) + DateTimeToStr(clock::Now());
  if (globals::stIDUTILFONTEXP == "S" && is_one_of(code_number(firstModel), {16, 18, 30, 53, 54}))
    t = kPagerWideOn + t + kPagerWideOff;
  if (!globals::boUtilizaDLL.load()) t += lf + lf;
  sink_(TicketSend{IDTIPOIMPNF4_, CDPORTIMPNF4_, t, props.lineFeed, props.closing, "N", ""});
}

void PedidoBrasil::PrinterLoop(TrdmImpressoras& rdm) {
  Labels(rdm);
  ClientDataSet& ped = rdm.cds("cdsPedido");
  if (ped.IsEmpty()) return;
  ped.First();
  const Row first = read_row(ped);
  ClientDataSet& ambiente =
      rdm.Provide("Ambiente", {{"P_CDFILIAL", CDFILIAL_}, {"P_CDLOJA", CDLOJA_}, {"P_NRMESA", first.NRMESA}});
  nmSala_ = ambiente.Eof() ? std::string() : field_text(ambiente, "NMSALA");
  TakeProperties(first, 1);
  curPort_ = first.CDPORIMPPROD;
  curSeat_.clear();
  started_ = true;
  RowLoop(rdm);
}

// Rows of the label printers (models 12 and 15) go to the label layouts, once per order, and never print as
// text tickets.
void PedidoBrasil::Labels(TrdmImpressoras& rdm) {
  ClientDataSet& ped = rdm.cds("cdsPedido");
  LocateOptions anyCase;
  anyCase.caseInsensitive = true;
  while (!ped.IsEmpty()) {
    if (!ped.Locate("IDMODEIMPRES", {Variant("12")}, anyCase) && !ped.Locate("IDMODEIMPRES", {Variant("15")}, anyCase))
      return;
    const int32_t id = ped.FieldByName(kRowId).AsInteger();
    if (globals::boFimPedidoZebra.load()) {
      DeleteCurrent(ped);
      continue;
    }
    const std::string port = field_text(ped, "CDPORIMPPROD");
    ClientDataSet& params = rdm.cds("cdsParametros");
    if (IDETIQZEBRA_ == "P") ImpEtiqZebra45x25(params, "", port);
    if (IDETIQZEBRA_ == "G") ImpEtiqZebra95x70(params, "", port);
    RestoreView();
    if (IDETIQZEBRA_ == "G") {
      globals::boFimPedidoZebra.store(true);
      ped.First();
      while (!ped.Eof()) {
        if (field_text(ped, "IDMODEIMPRES") == "15")
          DeleteCurrent(ped);
        else
          ped.Next();
      }
    } else {
      DeleteRow(id);
    }
  }
}

// Deletes the current row of the order and remembers it, so a later DeleteRow of the same row costs nothing.
void PedidoBrasil::DeleteCurrent(ClientDataSet& ped) {
  deleted_.insert(ped.FieldByName(kRowId).AsInteger());
  ped.Delete();
}

void PedidoBrasil::DeleteRow(int32_t id) {
  // A row already deleted is not searched for again: a long order prints in time linear in its rows.
  if (deleted_.count(id)) return;
  ClientDataSet& ped = Pedido();
  if (!ped.Eof() && !ped.IsEmpty() && ped.FieldByName(kRowId).AsInteger() == id) {
    DeleteCurrent(ped);
    return;
  }
  if (ped.Locate(kRowId, {Variant(id)})) DeleteCurrent(ped);
}

void PedidoBrasil::RowLoop(TrdmImpressoras& rdm) {
  ClientDataSet& ped = rdm.cds("cdsPedido");
  while (!ped.IsEmpty()) {
    ped.First();
    const Row r = read_row(ped);

    // Change of printer: the ticket so far goes to the printer it was composed for.
    if (r.CDPORIMPPROD != curPort_) {
      if (HasContent()) Send(Closed(false));
      promoPrinted_ = false;
      curPort_ = r.CDPORIMPPROD;
      curSeat_ = r.NRLUGARMESA;
      text_.clear();
      TakeProperties(r, 2);
      if (TIPOVENDA_ == "M" && !r.NRLUGARMESA.empty()) text_ = LF() + posicao_ + r.NRLUGARMESA + LF();
      const std::string header = PortHeader(r);
      text_ = header + text_;
      savedHeader_ = header;
      ticketStart_ = text_;
    }

    const bool group = !r.NOMEPRODPAI.empty() || (r.IDPROMOCAO == "N" && r.NRSEQ.empty());
    if (group)
      GroupRow(rdm, r);
    else
      SingleRow(rdm, r);
    // Whatever the group filter caught, the row the loop started from is done: the loop always ends.
    DeleteRow(r.id);
    ped.First();
    if (!ped.Eof() && ped.FieldByName(kRowId).AsInteger() == r.id) DeleteCurrent(ped);
    CutPerSeat();
  }
}

void PedidoBrasil::GroupRow(TrdmImpressoras& rdm, const Row& r) {
  ClientDataSet& ped = rdm.cds("cdsPedido");
  if (text_.empty()) BeginTicket(r);
  const bool comboMode = r.IDPROMOCAO == "N";
  const std::string& key = comboMode ? r.NRSEQPRODCOM : r.NRSEQ;
  if (TIPOVENDA_ == "M" && !r.NRLUGARMESA.empty() && r.NRLUGARMESA != curSeat_) SeatLine(r.NRLUGARMESA);

  // The group: its rows on this printer; in a promotion also the items launched under it.
  std::string filter;
  if (comboMode) {
    filter = "CDPRODPROMOCAO = " + QuotedStr(r.CDPRODPROMOCAO) + " AND NRSEQPRODCOM = " + QuotedStr(key) +
             " AND CDPORIMPPROD = " + QuotedStr(r.CDPORIMPPROD) + "AND NRSEQ = " + QuotedStr(r.NRSEQ);
  } else {
    filter = "(CDPRODPROMOCAO = " + QuotedStr(r.CDPRODPROMOCAO) + " AND NRSEQ = " + QuotedStr(key) +
             " AND CDPORIMPPROD = " + QuotedStr(r.CDPORIMPPROD) + "AND NRSEQ = " + QuotedStr(r.NRSEQ) + ")";
    if (!key.empty())
      filter += " OR (NRSEQPRODPAI = " + QuotedStr(key) +
                " AND IDOBSERVACAO <> 'S' AND CDPORIMPPROD = " + QuotedStr(r.CDPORIMPPROD) + ")";
  }
  ped.SetFilter(filter);
  ped.SetFiltered(true);
  bool starred = false;
  for (ped.First(); !ped.Eof() && !starred; ped.Next())
    starred = ped.FieldByName("CDPRODUTO").AsString() == r.CDPRODPROMOCAO;

  const int W = printer_.columns;
  Separator();
  if (!r.NOMEPRODPAI.empty() || !r.DSOBSPRODPAI.empty()) {
    const std::string q = IDIMPQTCOMBO_ == "S" ? FloatToStr(r.QTPRODCOMBO) + " - " : std::string();
    const std::string caption = starred ? "** " + q + r.NOMEPRODPAI + " **" : q + r.NOMEPRODPAI;
    text_ += Centraliza(cut(caption, W), W) + LF();
    ParentObservations(r);
    text_ += Dashes();
  }

  ped.First();
  while (!ped.Eof()) {
    const Row g = read_row(ped);
    if (g.NRSEQPRODCOM != prevGroup_) {
      ComboCaption(g);
      prevGroup_ = g.NRSEQPRODCOM;
    }
    if (STIMPPOSOBS_ == "A") Observations(g);
    if (g.IDPROMOCAO != "N") {
      text_ += "---> " + fraction(g.QTPRODCOMVEN) + "  " + cut(g.NMPRODUTO, 36) + LF();
    } else {
      const std::string q = IDIMPQTCOMBO_ == "S" ? FloatToStr(g.QTPRODCOMVEN) + " - " : std::string();
      text_ += Centraliza(cut(q + g.NMPRODUTO, 36), W) + LF();
      promoPrinted_ = true;
    }
    if (STIMPPOSOBS_ == "D") Observations(g);
    DeleteCurrent(ped);
  }
  text_ += Dashes();
  RestoreView();
}

void PedidoBrasil::SingleRow(TrdmImpressoras& rdm, const Row& r) {
  if (text_.empty()) BeginTicket(r);
  if (r.NRSEQPRODCOM != prevGroup_) promoPrinted_ = false;
  TakeProperties(r, 3);

  // One ticket per unit: what came before goes on its own ticket (before the promotion caption, which
  // belongs to this item).
  if (r.IDIMPRODUVEZ == "S" && HasContent()) {
    Send(Closed(false));
    text_ = savedHeader_;
    ticketStart_ = text_;
    promoPrinted_ = false;
  }
  if (!r.CDPRODPROMOCAO.empty() && !promoPrinted_) {
    const std::string name = first_text(rdm.Open("adqNomeCombo", {{"CDPRODUTO", r.CDPRODPROMOCAO}}), "NMPRODUTO");
    Separator();
    text_ += Centraliza(cut(name, 36), printer_.columns) + LF();
    text_ += Dashes();
    promoPrinted_ = true;
  }
  if (TIPOVENDA_ == "M" && !r.NRLUGARMESA.empty() && (r.NRLUGARMESA != curSeat_ || r.IDIMPRODUVEZ != "N"))
    SeatLine(r.NRLUGARMESA);
  if (r.NRSEQPRODCOM != prevGroup_) {
    text_ = replace_all(text_, kComboMarker, "");
    ComboCaption(r);
    prevGroup_ = r.NRSEQPRODCOM;
  }
  if (STIMPPOSOBS_ == "A") Observations(r);
  text_ += ItemLine(rdm, r);
  if (STIMPPOSOBS_ == "D") Observations(r);

  if (r.IDIMPRODUVEZ == "S") {
    const std::string ticket = Closed(false);
    const bool slowPrinter = IDTIPOIMPNF1_ == "14" || IDTIPOIMPNF1_ == "35";
    const int units = TicketsPerUnit(r.QTPRODCOMVEN, r.NMPRODUTO);
    for (int unit = 1; unit <= units; ++unit) {
      Send(ticket);
      if (slowPrinter && r.QTPRODCOMVEN > 1 && !BogusUnits(r.QTPRODCOMVEN)) Delay(3);
    }
    text_.clear();
    ticketStart_.clear();
  }

  DeleteRow(r.id);
  // Leaving a combo for plain items closes the combo with a separator.
  ClientDataSet& ped = rdm.cds("cdsPedido");
  ped.First();
  if (!ped.Eof() && !text_.empty()) {
    const std::string next = ped.FieldByName("NRSEQPRODCOM").AsString();
    if (r.NRSEQPRODCOM != next && next.empty()) Separator();
  }
}

// A table order whose store cuts per seat gets one ticket per seat (the last seat too: no next row is no seat).
void PedidoBrasil::CutPerSeat() {
  if (IDLUGARMESA_ != "S" || IDUTLCORTEPED_ != "S" || TIPOVENDA_ != "M") return;
  ClientDataSet& ped = Pedido();
  ped.First();
  const std::string nextSeat = ped.Eof() ? std::string() : ped.FieldByName("NRLUGARMESA").AsString();
  if (nextSeat != curSeat_ && HasContent()) {
    Send(Closed(false));
    text_.clear();
    ticketStart_.clear();
  }
}

// The cancelled observation products close the last ticket; when that ticket already went out (cut per unit
// or per seat), they go on a ticket of their own on the same printer.
void PedidoBrasil::CancelledObservations() {
  TrdmImpressoras* rdm = rdmImpressoras();
  if (!rdm || !started_) return;
  ClientDataSet& canc = rdm->cds("cdsObsCanc");
  if (!canc.Active() || canc.IsEmpty()) return;
  if (text_.empty()) {
    if (savedHeader_.empty()) return;
    text_ = savedHeader_;
    ticketStart_ = text_;
  }
  text_ += Dashes() + "Cancelados:" + LF();
  for (canc.First(); !canc.Eof(); canc.Next())
    text_ +=
        "   * " + fraction(canc.FieldByName("QTPRODVENDC").AsFloat()) + "  " + field_text(canc, "NMPRODUTO") + LF();
}

void PedidoBrasil::LastTicket() {
  if (text_.empty() || text_ == savedHeader_ || text_ == ticketStart_) return;
  Send(Closed(true));
  clock::pause_ms(1000);
}

void PedidoBrasil::PuxaAfter(const Variant& dados1, const Variant& dados4) {
  if (puxa_ || globals::stIdImpPuxAntPed != "N" || orderRefused_) return;
  const std::string copy = puxa_copy(EnsureDataModule(), packet_of(dados1));
  globals::boFimPedidoZebra.store(true);
  log_line("Chamada Recursiva");
  PedidoBrasil(true, run_, sink_).Run(Variant::bytes(copy), dados4);
  globals::boFimPedidoZebra.store(false);
  globals::stIDUTILFONTEXP.set("N");
  log_line("stIDUTILFONTEXP5: N");
}

// ---- pieces ----

void PedidoBrasil::TakeProperties(const Row& r, int place) {
  printer_.model = r.IDMODEIMPRES;
  printer_.port = r.CDPORIMPPROD;
  printer_.address = r.DSENDPORTA;
  const host::PrinterProperties props = host::PropriedadesImpNF(printer_.model);
  printer_.lineFeed = props.lineFeed;
  printer_.closing = props.closing;
  const std::string& m = printer_.model;
  const bool lpt = starts_with(printer_.port, "LPT");
  int W = props.columns;
  if (m == "13" && lpt)
    W = 42;
  else if ((m == "17" || m == "36") && globals::boUtilizaDLL.load())
    W = 54;
  else if (m == "36" && lpt)
    W = 42;
  else if (!printer_.address.empty())
    W = 42;
  printer_.columns = W;
  if (globals::stIDUTILFONTEXP == "S" && !is_one_of(code_number(m), {4, 13, 16, 18, 21, 28, 30, 34, 42, 45, 53, 54})) {
    globals::stIDUTILFONTEXP.set("N");
    log_line("stIDUTILFONTEXP" + std::to_string(place) + ": N");
  }
  printer_.bold = !((m == "13" && lpt) || m == "1" || m == "42" || m == "45");
}

std::string PedidoBrasil::PortHeader(const Row& r) {
  const int W = printer_.columns < 0 ? 0 : (printer_.columns > 255 ? 255 : printer_.columns);
  std::string header =
      Cabecalho_Pedido_Brasil(CDFILIAL_, CDLOJA_, STIMPPOSOBS_, TIPOVENDA_, r.CDVENDEDOR, r.NMVENDEDOR, nmSala_,
                              r.DSCOMANDA, r.NRCOMANDA, r.NRMESA, r.SENHACUPOM, LF(), r.NMCONSVEND,
                              static_cast<uint8_t>(W), puxa_, IDRETBALLOJA_, r.CDOPERADOR, r.NMOPERADOR);
  callNumber_ = r.SENHACUPOM;
  const std::string& m = printer_.model;
  if (printer_.bold && m != "41" && m != "42" && m != "44" && m != "45")
    header = kBoldOff + " " + header + " " + kBoldOn;  // the header plain, the items bold
  return header;
}

void PedidoBrasil::BeginTicket(const Row& r) {
  text_ = PortHeader(r);
  savedHeader_ = text_;
  ticketStart_ = text_;
}

// A line of dashes, unless the text already ends with one.
void PedidoBrasil::Separator() {
  const int W = printer_.columns;
  const std::size_t tail = static_cast<std::size_t>(W + 5 < 0 ? 0 : W + 5);
  const std::string_view end = std::string_view(text_).substr(text_.size() > tail ? text_.size() - tail : 0);
  if (!contains(end, std::string(static_cast<std::size_t>(W - 5 < 0 ? 0 : W - 5), '-'))) text_ += Dashes();
}

void PedidoBrasil::SeatLine(const std::string& seat) {
  text_ += LF() + posicao_ + seat + LF();
  curSeat_ = seat;
}

void PedidoBrasil::Observations(const Row& r) {
  if (hasOrigem_ && starts_with(r.IDORIGEMVENDA, "TGO")) text_ += "   * PARA VIAGEM" + LF();
  if (r.DSOBSERVACAO.empty()) return;
  const std::string q = fraction(r.QTPRODCOMVEN);
  for (const auto& part : split_observations(r.DSOBSERVACAO)) {
    if (part.text.empty() || contains(part.text, kComboObs)) continue;
    text_ += part.ended ? "    * " + q + " " + part.text + LF() : "   * " + part.text + LF();
  }
  ComboObservations(r.DSOBSERVACAO);
}

// The combo observations take the place of the combo's marker.
void PedidoBrasil::ComboObservations(std::string_view observations) {
  std::string collected;
  for (const auto& part : split_observations(observations)) {
    if (!contains(part.text, kComboObs)) continue;
    const std::string text = replace_all(part.text, kComboObs, "");
    collected += (part.ended ? "* " : "*") + text + LF();
  }
  if (!collected.empty()) text_ = replace_all(text_, kComboMarker, collected);
}

void PedidoBrasil::ParentObservations(const Row& r) {
  for (const auto& part : split_observations(r.DSOBSPRODPAI))
    if (!part.text.empty() && !contains(part.text, kComboObs)) text_ += "   * " + part.text + LF();
  ComboObservations(r.DSOBSERVACAO);
}

void PedidoBrasil::LoadCombos() {
  if (combosRead_) return;
  combosRead_ = true;
  const auto prod = hostdir::resolve("\\Dados\\Cadastros\\ProdutoCombinado.cds");
  const auto menu = hostdir::resolve("\\Dados\\Cadastros\\MenuCombinado.cds");
  if (!std::filesystem::is_regular_file(prod) || !std::filesystem::is_regular_file(menu)) return;
  prodComb_.LoadFromFile(prod);
  menuComb_.LoadFromFile(menu);
  combosAvailable_ = true;
}

void PedidoBrasil::ComboCaption(const Row& r) {
  if (!prevGroup_.empty()) text_ += LF();
  LoadCombos();
  if (!combosAvailable_ || !prodComb_.FindField("CDARVPROD") || !prodComb_.Locate("CDARVPROD", {Variant(r.CDARVPROD)}))
    return;
  const std::string button = Ajusta(field_text(prodComb_, "IDTIPOPROD"), 2);
  if (menuComb_.FindField("NRBUTTON") && menuComb_.Locate("NRBUTTON", {Variant(button)}))
    text_ += r.NRSEQPRODCOM.empty() ? LF() : " " + field_text(menuComb_, "DSBUTTON") + LF();
  text_ += kComboMarker;
}

std::string PedidoBrasil::ItemLine(TrdmImpressoras& rdm, const Row& r) {
  const std::string weighed =
      upper(first_text(rdm.Open("adqGetProdPes", {{"P_CDARVPROD", r.CDARVPROD}}), "IDPESAPROD"));
  std::string quantity;
  if (weighed != "N")
    quantity = FormatFloat("0.000", r.QTPRODCOMVEN);  // sold by weight, or not found
  else if (r.IDIMPRODUVEZ == "S" && r.NRSEQPRODCOM.empty() && !BogusUnits(r.QTPRODCOMVEN))
    quantity = ConvertFracionario(1);
  else
    quantity = fraction(r.QTPRODCOMVEN);
  return "---> " + quantity + "  " + r.NMPRODUTO + LF();
}

// The ticket text closed with the call number, ready to send. The final form closes the order's last ticket.
std::string PedidoBrasil::Closed(bool finalForm) const {
  std::string t = replace_all(text_, kComboMarker, "");
  const int W = printer_.columns;
  const std::string& lf = LF();
  const std::string dashes = Dashes();
  const bool plainEnd = finalForm && (printer_.model == "41" || printer_.model == "44");
  if (finalForm) {
    const std::size_t tail = static_cast<std::size_t>(W < 0 ? 0 : W);
    const std::string_view end = std::string_view(t).substr(t.size() > tail ? t.size() - tail : 0);
    if (!contains(end, std::string(tail, '-'))) t += dashes;
  } else {
    t += dashes;
  }
  if (plainEnd) {
    t += Centraliza(" SENHA/PAGER " + callNumber_, W) + lf + lf + Replicate('-', W);
  } else {
    t += Centraliza((printer_.bold ? kBoldOff : std::string()) + " SENHA/PAGER " + callNumber_, W) + lf + lf;
    t += dashes;
    if (!globals::boUtilizaDLL.load()) t += lf + lf;
  }
  if (globals::stIDUTILFONTEXP == "S") t = kExpandedFont + t + kReset;
  return t;
}

void PedidoBrasil::Send(const std::string& text) {
  sink_(TicketSend{printer_.model, printer_.port, text, printer_.lineFeed, printer_.closing, "N", printer_.address});
}

void print_ticket(const TicketSend& t) {
  Envia_Dados_Impressora(t.model, t.port, t.text, t.lineFeed, t.closing, t.noExtraFeed, t.share);
}

}  // namespace

void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa, OrderRun run) {
  ImpPedido_Brasil(dados1, dados4, puxa, run, print_ticket);
}

void ImpPedido_Brasil(const Variant& dados1, const Variant& dados4, bool puxa, OrderRun run, const TicketSink& sink) {
  try {
    PedidoBrasil(puxa, run, sink).Run(dados1, dados4);
  } catch (const std::exception& e) {
    log_failure(e);  // nothing reaches the job thread
    FreeDataModule();
  }
}

std::string Cabecalho_Pedido_Brasil(std::string_view CDFILIAL, std::string_view CDLOJA, std::string_view,
                                    std::string_view TIPOVENDA, std::string_view CDVENDEDOR,
                                    std::string_view NMVENDEDOR, std::string_view NMSALA, std::string_view DSCOMANDA,
                                    std::string_view NRCOMANDA, std::string_view NRMESA, std::string_view,
                                    std::string_view lineEnd, std::string_view NMCONSVEND, uint8_t columns, bool puxa,
                                    std::string_view IDRETBALLOJA, std::string_view, std::string_view NMOPERADOR) {
  const int W = columns;
  const std::string lf(lineEnd);
  std::string h;
  auto centred = [&](std::string_view text) { h += Centraliza(text, W) + lf; };
  auto dashes = [&] { h += Replicate('-', W) + lf; };

  if (puxa)
    centred("RELATORIO DO PUXA");
  else if (globals::boReimpressaoPedido.load())
    centred("REIMPRESSÃO DE PEDIDO"_cp);
  else
    centred("PEDIDO");
  centred("DATA " + FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now()));
  dashes();
  if (TIPOVENDA == "B") {
    centred("VENDA BALCAO");
  } else if (TIPOVENDA == "M") {
    h += "VENDA MESA " + std::string(NRMESA) + lf;
  } else if (TIPOVENDA == "C") {
    centred("VENDA COMANDA");
  } else if (TIPOVENDA == "D") {
    if (IDRETBALLOJA == "S") {
      centred("VENDA DELIVERY - TO GO");
      centred("RETIRAR NA LOJA");
    } else {
      centred("VENDA DELIVERY");
    }
    h += lf;
  }
  h += "Operador: " + std::string(NMOPERADOR) + lf;
  if (!NMCONSVEND.empty()) h += "Consumidor: " + upper(NMCONSVEND) + lf;

  if (TIPOVENDA != "B") {
    // The sale kind of the order's parameter packet picks the identification lines.
    std::string kind(TIPOVENDA);
    if (TrdmImpressoras* rdm = rdmImpressoras()) {
      ClientDataSet& params = rdm->cds("cdsParametros");
      if (params.Active() && !params.IsEmpty()) kind = field_text(params, "TIPOVENDA");
    }
    if (kind == "C") {
      h += "COMANDA.: " + std::string(DSCOMANDA) + lf;
      h += "MESA....: " + std::string(NRMESA) + lf;
    } else if (kind == "M") {
      h += "AMBIENTE: " + std::string(NMSALA) + lf;
      dashes();
    } else if (kind == "D") {
      h += "PEDIDO..: " + replace_all(std::string(DSCOMANDA), "DLV_", "") + lf;
      const db::ResultSet dlv = EnsureDataModule().Open("adqDadosDlv", {{"P_CDFILIAL", std::string(CDFILIAL)},
                                                                        {"P_CDLOJA", std::string(CDLOJA)},
                                                                        {"P_NRCOMANDA", std::string(NRCOMANDA)}});
      h += std::string("Origem: ") + origin_name(first_text(dlv, "IDORGCMDVENDA")) + lf;
      h += std::string("Local de consumo: ") + place_of_consumption(first_text(dlv, "IDRETBALLOJA")) + lf;
      const std::string expected = first_text(dlv, "DSPREVENTREGA");
      if (!expected.empty()) h += "Entrega: " + expected + lf;
    }
  }
  if (!CDVENDEDOR.empty()) h += "VENDEDOR/GARCOM..: " + std::string(NMVENDEDOR) + lf;
  dashes();
  return h;
}

std::string ConvertFracionario(double quantity) {
  try {
    if (!std::isfinite(quantity) || quantity >= 1 || quantity <= 0) return FloatToStr(quantity);
    // Hundredths of the quantity, halves to the even neighbour, on its decimal value.
    int32_t n = static_cast<int32_t>(decimal::round_half_even(quantity * 100, 0));
    if (n >= 100) return "1";  // rounds to a whole unit
    if (n <= 0) return FloatToStr(quantity);
    const int32_t D = 100;
    int32_t g = MDC(n, D);
    if (g > 1) return std::to_string(n / g) + "/" + std::to_string(D / g);
    // A few hundredths without a common divisor (0,01; 0,03) read best as they are.
    if (n < 10) return FloatToStr(quantity);

    // No common divisor: the nearest simple fraction, n/100 ~ m/k.
    int32_t m = 1, k = 2;
    for (;;) {
      while (n >= 50) {
        n /= 2;
        ++k;
        ++m;
      }
      const int32_t d = std::abs(n * k - 100);
      ++k;
      if (d <= 10) break;
      if (n * (k - 1) > 100) return FloatToStr(quantity);  // past 100 and still far: no multiplier will do
    }
    --k;
    const int32_t h = n * k;
    g = MDC(n, h);
    const int32_t numerator = m > 1 ? m : n / g;
    return std::to_string(numerator) + "/" + std::to_string(h / g);
  } catch (const std::exception&) {
    return FloatToStr(quantity);
  }
}

}  // namespace imp
