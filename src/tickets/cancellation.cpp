// The cancelled-items ticket of the production printers and the cancelled-sale receipt.
#include "tickets/cancellation.h"

#include <exception>
#include <mutex>

#include "host/consiste.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/models.h"
#include "output/print_path.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/rtl.h"
#include "tickets/mp100.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using models::code_of;
using models::one_of;
using tickets::dado;
using tickets::RowReader;

const std::string kWideOn = "\x1D\x21\x10";
const std::string kWideOff = std::string("\x1D\x21\x00", 3);

// ---- cancelled items ---------------------------------------------------------------------------------------

// One production printer's ticket being composed.
struct CancTicket {
  std::string port, share, model;
  int W = 48;
  std::string closing;
  std::string text;
  std::string lastParent;  // the combo whose name heads the items printed last on this ticket
  void line(std::string_view s) { (text += s) += '\n'; }
  void dashes() { line(Replicate('-', W)); }
};

class CancProduto {
 public:
  explicit CancProduto(const CancTexts& t) : t_(t) {}

  void Run(const Variant& packet) {
    TrdmImpressoras& rdm = EnsureDataModule();
    const tickets::Station station;
    // The expanded font of the outlet's till; a database that does not answer costs the font, never the ticket.
    std::string fontExp = "N";
    try {
      auto rs =
          rdm.Open("adqUtilFontExp", {{"P_CDFILIAL", station.key("CDFILIAL")}, {"P_CDCAIXA", station.key("CDCAIXA")}});
      if (!rs.rows.empty()) fontExp = tickets::first_text(rs, "IDUTILFONTEXP");
    } catch (const std::exception&) {
      fontExp = "N";
    }
    globals::stIDUTILFONTEXP.set(fontExp);

    ClientDataSet& ds = rdm.cds("cdsProduto");
    tickets::load_packet(ds, packet, "cdsProduto");
    ds.SetFilter("IDIMPCANITEM = 'S' AND CDPORIMPPROD <> '' AND CDPORIMPPROD <> '0' AND IDMODEIMPRES <> ''");
    ds.SetFiltered(true);
    ds.First();
    if (ds.IsEmpty()) return;
    IndexOptions anyCase;
    anyCase.caseInsensitive = true;
    ds.AddIndex("Indice", "CDPORIMPPROD;IDMODEIMPRES;NRSEQUITVEND", anyCase);
    ds.SetIndexName("Indice");
    ds.First();

    const RowReader row(ds);
    CancTicket ticket = Begin(row);
    while (!ds.Eof()) {
      if (row.key("CDPORIMPPROD") != ticket.port || row.key("IDMODEIMPRES") != ticket.model) {
        ticket.dashes();
        ticket.text += std::string(8, '\n');
        Send(ticket);
        ticket = Begin(row);
        continue;  // the same row, on the new ticket
      }
      Item(ticket, row);
      ds.Next();
    }
    ticket.line(Replicate(' ', ticket.W));
    ticket.dashes();
    ticket.line(" " + t_[7]);
    ticket.dashes();
    ticket.text += std::string(8, '\n');
    if (ticket.model == "34") ticket.text += std::string(8, '\n');
    Send(ticket);
  }

 private:
  // A new ticket for the printer of the current row, with its head.
  CancTicket Begin(const RowReader& row) {
    CancTicket t;
    t.port = row.key("CDPORIMPPROD");
    t.share = row.key("DSENDPORTA");  // an optional column: absent reads empty (direct printing)
    t.model = row.key("IDMODEIMPRES");
    const host::PrinterProperties props = host::PropriedadesImpNF(t.model);
    t.W = props.columns;
    t.closing = props.closing;
    t.dashes();
    t.line(" " + t_[7]);
    t.dashes();
    t.line(" " + FormatDateTime("dd/mm/yyyy hh:nn:ss", clock::Now()));
    t.line(Replicate(' ', t.W));
    t.line(" " + t_[10] + " " + dado(t_[2]));
    if (!t_[5].empty()) t.line(" " + t_[11] + " " + dado(t_[5]));
    if (!t_[1].empty()) t.line(" " + t_[12] + " " + dado(t_[1]));
    t.line(Replicate(' ', 30));
    return t;
  }

  void Item(CancTicket& t, const RowReader& row) {
    const std::string parent = row.key("NMPRODUTOPAI");
    if (parent.empty()) {
      if (!t.lastParent.empty()) t.dashes();  // a plain item after a combo
    } else if (parent != t.lastParent) {
      t.dashes();
      t.line(Centraliza(dado(parent), t.W));
      t.dashes();
      t.lastParent = parent;
    }
    t.line("---> " + row.text("QTPRODCOMVEN") + " " + row.text("NMPRODUTO"));
    if (!row.key("DSOCORR").empty()) {
      t.line(t_[9]);
      t.line(row.text("CDGRPOCOR") + " " + row.text("DSOCORR"));
    }
  }

  // Each ticket in the expanded font of its own model; a ticket with a network address through the spooler,
  // the others through the direct print path, which keeps the data module for the next ticket.
  static void Send(const CancTicket& t) {
    std::string text = t.text;
    if (globals::stIDUTILFONTEXP == "S" && one_of(code_of(t.model), {16, 18, 30, 53, 54}))
      text = kWideOn + text + kWideOff;
    bool sent;
    if (!t.share.empty()) {
      sent = Envia_Dados_Impressora(t.model, t.port, text, "\n", t.closing, "N", t.share);
    } else {
      globals::boPulaFree.store(true);
      sent = ImprimePadrao(t.port, t.model, text);
    }
    if (!sent)
      log::LogErroImpNaoFiscal("Impressão não enviada à porta "_cp + t.port + " - Imp00000 - Funcao:ImpCancProduto");
  }

  const CancTexts& t_;
};

// ---- cancelled sale ----------------------------------------------------------------------------------------

std::string arg(const VariantArray& a, std::size_t i) {
  return a[i].to_text();
}

// The receipt's lines, without their line ends.
std::vector<std::string> cancelled_sale_lines(const VariantArray& a, int W) {
  TrdmImpressoras& rdm = EnsureDataModule();
  const bool credit = arg(a, 4) == "C";
  const std::string country = arg(a, 12);
  const std::string number = credit ? dado(arg(a, 11)) + "-" + dado(arg(a, 9)) : dado(arg(a, 9));
  auto branch = rdm.Open("adqDadosFilial", {{"P_CDFILIAL", arg(a, 5)}});
  auto field = [&](const char* name) { return dado(tickets::first_text(branch, name)); };
  const double now = clock::Now();

  std::vector<std::string> out;
  auto centred = [&](const std::string& s) { out.push_back(Centraliza(s, W)); };
  auto cut = [](const std::string& s, int n) { return s.substr(0, static_cast<std::size_t>(n)); };
  centred(field("NMRAZSOCFILI"));
  centred(dado(arg(a, 7)));
  centred(field("DSENDEFILI") + " " + field("NRENDEFILISEP") + " - " + field("NMBAIRFILI"));
  centred(field("NMMUNICIPIO") + " - " + field("SGESTADO"));
  centred(country == "02" ? "RUC: " + field("CDINSCMUNI") : arg(a, 15) + ": " + field("CDINSCMUNI"));
  out.push_back(Replicate('-', W));
  centred(arg(a, 21));
  if (country == "02") {
    out.push_back(cut("NR. SERIE:" + dado(arg(a, 8)) + " " + arg(a, 17) + " " + DateToStr(now), W));
    out.push_back(cut(arg(a, 19) + ":" + number + " " + arg(a, 18) + " " + TimeToStr(now), W));
  } else {
    out.push_back(cut(arg(a, 16) + " " + dado(arg(a, 8)), 36));
    out.push_back(arg(a, 17) + "  " + DateToStr(now) + "    " + arg(a, 18) + " " + TimeToStr(now));
    out.push_back(arg(a, 19) + ": " + number + "  ");
  }
  out.push_back(Replicate('-', W));

  ClientDataSet& items = rdm.cds("cdsCupom");
  tickets::load_packet(items, a[23], "cdsCupom");
  const RowReader item(items);
  double sum = 0;
  for (items.First(); !items.Eof(); items.Next()) {
    const double quantity = item.number("QTPRODCOMVEN");
    const double price = item.number("VRPRECCOMVEN") + item.number("VRUNITVENDCL");
    const double amount = quantity * price;
    out.push_back(TamFixo(item.text("NMPRODUTO"), 15) + "  " + FormatFloat("0", quantity) + " X " +
                  FormatFloat("#,##0.00", price) + "   " + PadL(FormatFloat("#,##0.00", amount), 7));
    sum += amount;
  }
  out.push_back(Replicate('-', W));
  out.push_back(arg(a, 20) + PadL(FormatFloat("#,##0.00", sum), 25));
  out.push_back(Replicate('-', W));
  centred(credit ? arg(a, 22) : arg(a, 10));
  centred(rdm.msgPadraoBrasil().Msg("VELMORA"));
  return out;
}

int columns_of(const std::string& model) {
  if (model == "17" || model == "36") return 34;
  if (model == "19") return 42;
  return 48;
}

// A maker's library: the whole ticket in one text, then the cut.
bool cancelled_sale_on_library(const VariantArray& a, const std::string& model, const std::string& port) {
  std::string text;
  for (const std::string& line : cancelled_sale_lines(a, columns_of(model))) text += line + "\r\n";
  text += Replicate("\r\n", model == "32" ? 2 : 8);
  text = RemoveAcentos(text);
  const int opened = IniciaPorta_DLL(model, port);
  const int formatted = FormataTX_DLL(model, text, 2, 0, 0, 0, 0);
  AcionaGuilhotina_DLL(model, 0);
  FechaPorta_DLL(model, port);
  return opened > 0 && formatted > 0;
}

// The direct port: one Formata a line, for the ticket's own model; the first line the port refuses ends it.
bool cancelled_sale_on_port(const VariantArray& a, const std::string& model, const std::string& port) {
  if (port.empty()) {
    log::LogErroImpNaoFiscal("setCupomCancelado: porta da impressora não informada"_cp);
    return false;
  }
  if (AbrePortaDireta(port) < 1) return false;
  const bool six = model == "6";
  for (const std::string& line : cancelled_sale_lines(a, six ? 36 : columns_of(model))) {
    const std::string text = RemoveAcentos(six ? Centraliza(line, 36) + "\r" : line + "\r\n");
    if (FormataModelo(model, text, 3, 0, 0, 0, 0) < 1) return false;
  }
  if (FormataModelo(model, Replicate("\r\n", 8), 3, 0, 0, 0, 0) < 1) return false;
  return EnviaComandoModelo(model, "\x1b\x6d\x1b\x76") >= 1;
}

}  // namespace

void ImpCancProduto(const Variant& packet, const CancTexts& texts) {
  try {
    CancProduto(texts).Run(packet);
  } catch (const std::exception& e) {
    tickets::log_failure("ImpCancProduto", e);
  }
  FreeDataModule();
}

bool setCupomCancelado(const VariantArray& args) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  bool printed = false;
  try {
    const std::string model = arg(args, 0), port = arg(args, 1);
    if (port == "USB" || port.size() >= 5)
      printed = cancelled_sale_on_library(args, model, port);
    else if (model == "7")
      printed = setCupomCancelado_MP100(args);
    else
      printed = cancelled_sale_on_port(args, model, port);
  } catch (const std::exception& e) {
    tickets::log_failure("setCupomCancelado", e);
  }
  ReleaseOpenSpans();
  if (!printed) log::LogErroImpNaoFiscal("setCupomCancelado: cupom cancelado não impresso");
  FreeDataModule();
  return printed;
}

}  // namespace imp
