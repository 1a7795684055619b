#include "labels/zebra_labels.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "host/consiste.h"
#include "labels/label_commands.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/raw_send.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/filter.h"
#include "platform/hostdir.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "platform/safefile.h"

namespace imp {
namespace {

namespace fs = std::filesystem;
using labels::add_line;
using labels::epl2_text;
using labels::label_units;
using labels::zpl_data;

constexpr const char* kFolder = "\\dados\\ImpNaoFiscal\\ImpZebra";
constexpr const char* kEpl2File = "ZebraTLP2844.txt";
constexpr const char* kZplFile = "ZebraZd220.zpl";  // the document name of a label sent to a share
constexpr const char* kRowId = "NRLINHAZEBRA";      // numbers the rows of the work table
const std::string kDashes45 = "-------------------------------";
const std::string kDashes95 = "    ------------------------------------------------";

std::string cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (std::string_view p : parts) s.append(p);
  return s;
}

void log_failure(std::string_view routine, std::string_view text) {
  log::LogErroImpNaoFiscal(cat({text, " - Imp00000 - Funcao:", routine}));
}

std::string path_text(const fs::path& path) {
  return cp1252::from_utf8_lossy(path.string());
}

// A column of the current row, "" when the dataset lacks it.
std::string column(ClientDataSet& ds, std::string_view name) {
  Field* f = ds.FindField(name);
  return f ? f->AsString() : std::string();
}

// An order row as the layouts read it.
struct LabelRow {
  int32_t id = 0;
  std::string NMPRODUTO, NOMEPRODPAI, CDPRODUTO, CDPRODPROMOCAO, IDPROMOCAO, NRSEQPRODCOM, NMCONSVEND, SENHACUPOM,
      IDMODEIMPRES, NRSEQ, DSCOMANDA, DSOBSERVACAO, CDPORIMPPROD;
  double QTPRODCOMVEN = 0, VRPRECCOMVEN = 0, VRDESCCOMVEN = 0;
};

// The columns the layouts read; a copy of an order that lacks one has it empty.
const std::pair<const char*, std::string LabelRow::*> kTextColumns[] = {
    {"NMPRODUTO", &LabelRow::NMPRODUTO},       {"NOMEPRODPAI", &LabelRow::NOMEPRODPAI},
    {"CDPRODUTO", &LabelRow::CDPRODUTO},       {"CDPRODPROMOCAO", &LabelRow::CDPRODPROMOCAO},
    {"IDPROMOCAO", &LabelRow::IDPROMOCAO},     {"NRSEQPRODCOM", &LabelRow::NRSEQPRODCOM},
    {"NMCONSVEND", &LabelRow::NMCONSVEND},     {"SENHACUPOM", &LabelRow::SENHACUPOM},
    {"IDMODEIMPRES", &LabelRow::IDMODEIMPRES}, {"NRSEQ", &LabelRow::NRSEQ},
    {"DSCOMANDA", &LabelRow::DSCOMANDA},       {"DSOBSERVACAO", &LabelRow::DSOBSERVACAO},
    {"CDPORIMPPROD", &LabelRow::CDPORIMPPROD}};
const std::pair<const char*, double LabelRow::*> kNumberColumns[] = {{"QTPRODCOMVEN", &LabelRow::QTPRODCOMVEN},
                                                                     {"VRPRECCOMVEN", &LabelRow::VRPRECCOMVEN},
                                                                     {"VRDESCCOMVEN", &LabelRow::VRDESCCOMVEN}};

LabelRow read_row(ClientDataSet& ds) {
  LabelRow r;
  r.id = ds.FieldByName(kRowId).AsInteger();
  for (const auto& [name, member] : kTextColumns) r.*member = ds.FieldByName(name).AsString();
  for (const auto& [name, member] : kNumberColumns) r.*member = ds.FieldByName(name).AsFloat();
  return r;
}

// The visible rows of a dataset, in its order.
std::vector<LabelRow> rows_of(ClientDataSet& ds) {
  std::vector<LabelRow> rows;
  for (ds.First(); !ds.Eof(); ds.Next()) rows.push_back(read_row(ds));
  return rows;
}

void clear_filter(ClientDataSet& ds) {
  ds.SetFiltered(false);
  ds.SetFilter("");
}

void delete_row(ClientDataSet& ds, int32_t id) {
  if (ds.Locate(kRowId, {Variant(id)})) ds.Delete();
}

// cdsPedZebra becomes a copy of every row of cdsPedido, in the order the rows came, with each column the
// layouts read and a row number of its own.
ClientDataSet& work_copy(TrdmImpressoras& rdm) {
  ClientDataSet& pedido = rdm.cds("cdsPedido");
  ClientDataSet& zebra = rdm.cds("cdsPedZebra");
  ClientDataSet order;
  if (pedido.Active()) order.CloneFrom(pedido);
  zebra.Close();
  clear_filter(zebra);
  zebra.SetIndexName("");
  zebra.ClearFieldDefs();
  for (const FieldDef& f : order.FieldDefs())
    if (CompareText(f.name, kRowId, true) != 0) zebra.AddFieldDef(f.name, f.type, f.size);
  for (const auto& column : kTextColumns)
    if (!order.FindField(column.first)) zebra.AddFieldDef(column.first, FieldType::String);
  for (const auto& column : kNumberColumns)
    if (!order.FindField(column.first)) zebra.AddFieldDef(column.first, FieldType::Float);
  zebra.AddFieldDef(kRowId, FieldType::Integer);
  zebra.CreateDataSet();
  int32_t id = 0;
  if (order.Active()) {
    for (order.First(); !order.Eof(); order.Next()) {
      zebra.Append();
      for (int i = 0; i < order.FieldCount(); ++i) {
        Field& from = order.Fields(i);
        if (!from.IsNull() && CompareText(from.FieldName(), kRowId, true) != 0)
          zebra.FieldByName(from.FieldName()).SetAsVariant(from.AsVariant());
      }
      zebra.FieldByName(kRowId).SetAsInteger(++id);
      zebra.Post();
    }
  }
  zebra.First();
  return zebra;
}

// Runs a layout: every failure is logged under its name, and the work table is left empty.
template <typename F>
void run_layout(const char* routine, F&& body) {
  try {
    body();
  } catch (const std::exception& e) {
    log_failure(routine, e.what());
  }
  try {
    if (TrdmImpressoras* rdm = rdmImpressoras()) {
      ClientDataSet& zebra = rdm->cds("cdsPedZebra");
      clear_filter(zebra);
      if (zebra.Active()) zebra.EmptyDataSet();
    }
  } catch (const std::exception& e) {
    log_failure(routine, e.what());
  }
}

fs::path label_folder_path() {
  return hostdir::resolve(kFolder);
}

// The label folder, created when missing; false (logged) when it cannot be. The labels print either way.
bool label_folder(std::string_view routine) {
  fs::path folder;
  try {
    folder = label_folder_path();
    safefile::open_folder(folder, true);
    return true;
  } catch (const std::exception& e) {
    log_failure(routine, cat({"Pasta das etiquetas não criada: "_cp, path_text(folder), ": ", e.what()}));
    return false;
  }
}

// ZebraTLP2844.txt holds the last EPL2 label document sent, replaced at once.
void keep_label(std::string_view routine, bool folder, std::string_view label) {
  if (!folder) return;
  fs::path file;
  try {
    file = label_folder_path() / kEpl2File;
    safefile::write_atomic(file, label, false);
  } catch (const std::exception& e) {
    log_failure(routine, cat({"Etiqueta não gravada em "_cp, path_text(file), ": ", e.what()}));
  }
}

// One label document to its printer; false, logged with the destination and the reason, when it did not go.
bool send(std::string_view routine, std::string_view model, std::string_view destination, std::string_view document,
          std::string_view label) {
  try {
    SendRaw(model, destination, document, label);
    return true;
  } catch (const std::exception& e) {
    log_failure(routine, cat({"Etiqueta não enviada a "_cp, destination, ": ", e.what()}));
    return false;
  }
}

std::string amount(double value) {
  return FormatFloat("#0.00", value);
}

// An amount as the layouts carry it: a text of two decimals, so each step works on the rounded value.
double rounded(double value) {
  return RoundDec(value, 2);
}

std::string date_time(double now) {
  return cat({DateToStr(now), " ", TimeToStr(now)});
}

// ---- 45 x 25 ----

bool labelled_here(ClientDataSet& ds, std::string_view port) {
  return (!column(ds, "IDPROMOCAO").empty() || !column(ds, "NOMEPRODPAI").empty()) &&
         column(ds, "CDPORIMPPROD") == port;
}

// The rows labelled on `port` leave cdsPedido; its filter, index and filter text stay as they were.
void take_from_order(ClientDataSet& pedido, std::string_view port) {
  if (!pedido.Active()) return;
  const std::string filter = pedido.Filter();
  const bool filtered = pedido.Filtered();
  pedido.SetFiltered(false);
  for (pedido.First(); !pedido.Eof();) {
    if (labelled_here(pedido, port))
      pedido.Delete();
    else
      pedido.Next();
  }
  pedido.SetFilter(filter);
  pedido.SetFiltered(filtered);
  pedido.First();
}

// The last two lines of a small label: the consumer, the name and the amount, read from the promotion's rows
// (or, for a combo component, from the other items of its combo).
struct Footer {
  std::string consumer, name;
  double total = 0;
};

Footer footer_of(ClientDataSet& zebra, const LabelRow& r) {
  Footer f{r.NMCONSVEND, "", rounded(r.QTPRODCOMVEN * r.VRPRECCOMVEN)};
  if (r.IDPROMOCAO != "N") {
    zebra.SetFilter("IDPROMOCAO = '' AND CDPRODPROMOCAO = " + QuotedStr(r.CDPRODPROMOCAO));
    zebra.SetFiltered(true);
    if (r.QTPRODCOMVEN > 1) f.total = rounded(f.total / r.QTPRODCOMVEN);
    if (!zebra.Eof()) f.name = zebra.FieldByName("NMPRODUTO").AsString();
  } else {
    zebra.SetFilter("CDPRODPROMOCAO = " + QuotedStr(r.CDPRODPROMOCAO) +
                    " AND NRSEQPRODCOM = " + QuotedStr(r.NRSEQPRODCOM) + " AND IDPROMOCAO = ''");
    zebra.SetFiltered(true);
    f.total = 0;
    f.consumer.clear();
    double last = 0;
    for (const LabelRow& item : rows_of(zebra)) {
      f.total = rounded(f.total + item.QTPRODCOMVEN * item.VRPRECCOMVEN - item.VRDESCCOMVEN);
      last = item.QTPRODCOMVEN;
      f.consumer = item.NMCONSVEND;
      f.name = item.NMPRODUTO;
    }
    if (last > 1) f.total = rounded(f.total / last);
  }
  clear_filter(zebra);
  return f;
}

std::string label_45x25(const LabelRow& r, const Footer& f, double now) {
  std::string label;
  for (const char* setting : {"Q180,001", "q831", "rN", "S4", "D13", "ZT", "JB", "OD", "R56,0", "N"})
    add_line(label, setting);
  add_line(label, epl2_text(70, 15, 2, 1, cat({"Ped.:", r.SENHACUPOM, "  ", date_time(now)})));
  add_line(label, epl2_text(70, 30, 2, 1, kDashes45));
  add_line(label, epl2_text(70, 60, 2, 2, r.NMPRODUTO));
  add_line(label, epl2_text(70, 90, 2, 1, kDashes45));
  add_line(label, epl2_text(70, 105, 2, 1, cat({"Cliente : ", f.consumer})));
  add_line(label, epl2_text(70, 135, 2, 1, cat({f.name, "  Total: R$ ", amount(f.total)})));
  add_line(label, "P1");
  if (r.IDMODEIMPRES == "12") add_line(label, "^@");
  return label;
}

// ---- 95 x 70 ----

// A label group: "1", "01" and "001" are group 1; groups that are not numbers come after the numbered ones,
// in text order.
struct Group {
  bool text = false;
  std::string key;
  bool operator<(const Group& o) const {
    return std::make_tuple(text, text ? 0 : key.size(), std::string_view(key)) <
           std::make_tuple(o.text, o.text ? 0 : o.key.size(), std::string_view(o.key));
  }
  bool operator==(const Group& o) const { return text == o.text && key == o.key; }
};

Group group_of(std::string_view nrseq) {
  const auto first = nrseq.find_first_not_of(' ');
  nrseq = first == std::string_view::npos ? std::string_view()
                                          : nrseq.substr(first, nrseq.find_last_not_of(' ') + 1 - first);
  const bool digits =
      !nrseq.empty() && std::all_of(nrseq.begin(), nrseq.end(), [](char c) { return c >= '0' && c <= '9'; });
  if (!digits) return {true, std::string(nrseq)};
  const auto significant = nrseq.find_first_not_of('0');
  return {false, significant == std::string_view::npos ? "0" : std::string(nrseq.substr(significant))};
}

std::string reference_of(const LabelRow& r) {
  if (r.DSCOMANDA.rfind("DLV", 0) == 0) return r.DSCOMANDA.size() > 12 ? r.DSCOMANDA.substr(12, 2) : std::string();
  return r.SENHACUPOM;
}

bool has_remarks(const LabelRow& r) {
  return !EmptyString(r.DSOBSERVACAO);
}

std::string remarks_line(const LabelRow& r) {
  return epl2_text(70, 470, 3, 2, cat({"    Obs: ", r.DSOBSERVACAO}));
}

// The labels of one group: a combo on one label (every row of the group), a single product on a label for
// each of its rows.
void labels_95x70(std::string& out, const std::vector<LabelRow>& group, double now) {
  std::size_t next = 0;
  while (next < group.size()) {
    const LabelRow& first = group[next];
    for (const char* setting : {"N", "q831", "Q300,024", "rN", "S4", "D13", "ZT", "JB", "OD", "R56,0", "N"})
      add_line(out, setting);
    add_line(out, epl2_text(65, 50, 2, 1, cat({"    Ped.:", reference_of(first), "  ", date_time(now)})));
    add_line(out, epl2_text(65, 75, 2, 1, kDashes95));
    const std::string client = epl2_text(70, 400, 2, 1, cat({"    Cliente : ", first.NMCONSVEND}));
    const std::string total =
        epl2_text(70, 435, 2, 1, cat({"    Total: R$ ", amount(rounded(first.QTPRODCOMVEN * first.VRPRECCOMVEN))}));
    if (!first.CDPRODPROMOCAO.empty()) {
      add_line(out, epl2_text(65, 95, 4, 2, cat({"    ", first.NOMEPRODPAI})));
      add_line(out, epl2_text(65, 135, 2, 1, kDashes95));
      for (int y = 175; next < group.size(); ++next, y += 40) {
        add_line(out, epl2_text(65, y, 2, 2, cat({"        ", group[next].NMPRODUTO})));
        if (has_remarks(group[next])) add_line(out, remarks_line(group[next]));
      }
      add_line(out, client);
      add_line(out, total);
    } else {
      add_line(out, epl2_text(65, 95, 4, 2, cat({"    ", first.NMPRODUTO})));
      add_line(out, epl2_text(65, 135, 2, 1, kDashes95));
      add_line(out, client);
      add_line(out, total);
      if (has_remarks(first)) add_line(out, remarks_line(first));
      ++next;
    }
    add_line(out, "P1,1");
  }
}

// ---- ZD220 ----

std::string first_text(const db::ResultSet& rs, std::string_view field) {
  if (rs.rows.empty()) return {};
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (CompareText(rs.fields[c].name, field, true) == 0) return rs.rows.front()[c].to_text();
  return {};
}

std::string trimmed(std::string_view s) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return std::string(s);
}

// A remark of the row and whether it adds ("+") or removes ("-") an ingredient (" " for neither).
struct Remark {
  char mark;
  std::string text;
};

// The remarks of a list in which each ends with ";" (and what follows the last one); blank ones are left out.
std::vector<Remark> remarks_of(TrdmImpressoras& rdm, const LabelRow& r, std::string_view CDFILIAL,
                               std::string_view CDCAIXA, std::string_view NRSEQVENDA) {
  std::vector<Remark> remarks;
  std::string_view list = r.DSOBSERVACAO;
  while (!list.empty()) {
    const std::size_t end = std::min(list.find(';'), list.size());
    const std::string text = trimmed(list.substr(0, end));
    list.remove_prefix(std::min(end + 1, list.size()));
    if (text.empty()) continue;
    const std::string control = first_text(rdm.Open("adqControleObs", {{"P_NRSEQVENDA", std::string(NRSEQVENDA)},
                                                                       {"P_CDCAIXA", std::string(CDCAIXA)},
                                                                       {"P_CDFILIAL", std::string(CDFILIAL)},
                                                                       {"P_DSOCORR", text}}),
                                           "IDCONTROLAOBS");
    remarks.push_back({control == "A" ? '+' : control == "R" ? '-' : ' ', text});
  }
  return remarks;
}

std::string cut(std::string_view s, std::size_t from, std::size_t count) {
  return from < s.size() ? std::string(s.substr(from, count)) : std::string();
}

// A field of the ZD220 that declares UTF-8.
std::string utf8_field(std::string_view position, std::string_view data) {
  return cat({position, "^FH\\^CI28^FD", zpl_data(data, true), "^FS^CI27"});
}

struct SaleLabel {
  std::string consumer, ticket, name;
  std::vector<Remark> remarks;
  int number = 0, total = 0;
};

std::string label_zd220(const SaleLabel& s, double now) {
  std::string label;
  add_line(label, "^XA");
  add_line(label, "^MMT");
  add_line(label, "^PW424");
  add_line(label, utf8_field("^FPH,8^FT39,315^A0B,32,33", cut(s.consumer, 0, 13)));
  add_line(label, utf8_field("^FPH,8^FT79,315^A0B,32,33", cut(s.consumer, 13, 13)));
  add_line(label, cat({"^FPH,1^FT142,152^ADB,18,10^FB141,1,0,R^FH\\^FD", FormatDateTime("dd/mm/yyyy", now), "^FS"}));
  add_line(label, cat({"^FPH,1^FT160,152^ADB,18,10^FB141,1,0,R^FH\\^FD", FormatDateTime("hh:nn", now), "^FS"}));
  add_line(label, cat({"^FPH,6^FT142,315^ADB,18,10^FH\\^FD", zpl_data(s.ticket, false), "^FS"}));
  add_line(label, utf8_field("^FPH,3^FT185,315^A0B,31,30", Ajusta(std::to_string(s.number), 2)));
  add_line(label, "^FPH,2^FT187,270^ADB,36,20^FH\\^FDde^FS");
  add_line(label, utf8_field("^FPH,3^FT185,205^A0B,31,30", Ajusta(std::to_string(s.total), 2)));
  add_line(label, utf8_field("^FPH,3^FT232,315^A0B,28,28", cut(s.name, 0, 17)));
  int y = 262;
  if (s.name.size() > 17) {
    add_line(label, utf8_field("^FPH,3^FT258,315^A0B,28,28", cut(s.name, 17, 17)));
    y += 26;
  }
  for (const Remark& r : s.remarks) {
    const std::string text = zpl_data(std::string(1, r.mark) + r.text, false);
    add_line(label, cat({"^FT", std::to_string(y), ",315^AFB,26,13^FH\\^FD", text, "^FS"}));
    y += 26;
  }
  add_line(label, "^XZ");
  return label;
}

}  // namespace

void ImpEtiqZebra45x25(ClientDataSet&, std::string_view, std::string_view porta) {
  constexpr const char* kRoutine = "ImpEtiqZebra45x25";
  run_layout(kRoutine, [&] {
    TrdmImpressoras& rdm = EnsureDataModule();
    ClientDataSet& zebra = work_copy(rdm);
    take_from_order(rdm.cds("cdsPedido"), porta);
    std::vector<LabelRow> labelled;
    for (zebra.First(); !zebra.Eof(); zebra.Next())
      if (labelled_here(zebra, porta)) labelled.push_back(read_row(zebra));
    if (labelled.empty()) return;
    const bool folder = label_folder(kRoutine);
    for (const LabelRow& r : labelled) {
      delete_row(zebra, r.id);
      const Footer footer = footer_of(zebra, r);
      for (int unit = label_units(r.QTPRODCOMVEN); unit > 0; --unit) {
        const std::string label = label_45x25(r, footer, clock::Now());
        if (!send(kRoutine, r.IDMODEIMPRES, porta, kEpl2File, label)) return;
        keep_label(kRoutine, folder, label);
        clock::pause_ms(r.IDMODEIMPRES == "12" ? 3500 : 1500);
      }
    }
  });
}

void ImpEtiqZebra95x70(ClientDataSet&, std::string_view, std::string_view porta) {
  constexpr const char* kRoutine = "ImpEtiqZebra95x70";
  run_layout(kRoutine, [&] {
    if (globals::boFimPedidoZebra.load()) return;
    TrdmImpressoras& rdm = EnsureDataModule();
    ClientDataSet& zebra = work_copy(rdm);
    const bool folder = label_folder(kRoutine);
    // Only the large labels' rows with a group number.
    zebra.SetFilter("IDMODEIMPRES <> '15' OR NRSEQ = ''");
    zebra.SetFiltered(true);
    while (!zebra.Eof()) zebra.Delete();
    clear_filter(zebra);

    std::vector<std::pair<Group, LabelRow>> rows;
    for (const LabelRow& r : rows_of(zebra)) rows.emplace_back(group_of(r.NRSEQ), r);
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    const double now = clock::Now();
    std::string labels;
    for (std::size_t from = 0; from < rows.size();) {
      std::vector<LabelRow> group;
      std::size_t to = from;
      for (; to < rows.size() && rows[to].first == rows[from].first; ++to) group.push_back(rows[to].second);
      labels_95x70(labels, group, now);
      from = to;
    }
    zebra.EmptyDataSet();
    if (!labels.empty() && send(kRoutine, "15", porta, kEpl2File, labels)) keep_label(kRoutine, folder, labels);
    globals::boFimPedidoZebra.store(true);
  });
}

void ImpZebraZd220(std::string_view CDFILIAL, std::string_view CDCAIXA, std::string_view NRSEQVENDA,
                   std::string_view filtro, std::string_view destino) {
  constexpr const char* kRoutine = "ImpZebraZd220";
  run_layout(kRoutine, [&] {
    label_folder(kRoutine);
    TrdmImpressoras& rdm = EnsureDataModule();
    ClientDataSet& zebra = work_copy(rdm);
    if (!filtro.empty()) {
      zebra.SetFilter(filtro);
      zebra.SetFiltered(true);
    }
    const std::vector<LabelRow> rows = rows_of(zebra);
    if (rows.empty()) return;
    SaleLabel label;
    for (const LabelRow& r : rows) label.total += label_units(r.QTPRODCOMVEN);
    label.ticket = rows.front().SENHACUPOM;
    label.consumer = rows.front().NMCONSVEND;
    for (const LabelRow& r : rows) {
      label.name = first_text(rdm.Open("adqBuscaDescProd", {{"P_CDFILIAL", std::string(CDFILIAL)},
                                                            {"P_CDCAIXA", std::string(CDCAIXA)},
                                                            {"P_CDIDENTBUTON", r.CDPRODUTO}}),
                              "DSBUTTON");
      if (label.name.empty()) label.name = r.NMPRODUTO;
      label.remarks = remarks_of(rdm, r, CDFILIAL, CDCAIXA, NRSEQVENDA);
      for (int unit = label_units(r.QTPRODCOMVEN); unit > 0; --unit) {
        ++label.number;
        if (!send(kRoutine, "", destino, kZplFile, label_zd220(label, clock::Now()))) return;
        clock::pause_ms(1000);
      }
    }
  });
}

void LogZebra(std::string_view message) {
  const double now = clock::Now();
  fs::path file;
  try {
    file = hostdir::resolve(cat({kFolder, "\\Log", FormatDateTime("MMYY", now), ".txt"}));
    std::string line = cat({DateTimeToStr(now), " - "});
    for (char c : message) {  // one line: CR and LF shown as \r and \n
      if (c == '\r' || c == '\n')
        line.append(c == '\r' ? "\\r" : "\\n");
      else
        line.push_back(c);
    }
    safefile::append(file, cp1252::to_utf8(line).append("\n"), false);
  } catch (const std::exception& e) {
    log_failure("LogZebra", cat({path_text(file), ": ", e.what()}));
  }
}

}  // namespace imp
