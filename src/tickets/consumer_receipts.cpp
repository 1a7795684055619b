#include "tickets/consumer_receipts.h"

#include <exception>
#include <mutex>

#include "host/consiste.h"
#include "host/parameters.h"
#include "host/services.h"
#include "module/captions.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/models.h"
#include "output/mp100_line.h"
#include "output/print_path.h"
#include "output/printer_choice.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/packet.h"
#include "platform/rtl.h"
#include "tickets/ticket_parts.h"

namespace imp {
namespace {

using models::one_of;
using tickets::dado;
using tickets::RowReader;

constexpr std::size_t kValues = 25;

bool refused(const char* routine, const VariantArray& args) {
  if (args.size() >= kValues) return false;
  log::LogErroImpNaoFiscal(std::string(routine) + ": lista de dados com " + std::to_string(args.size()) +
                           " elemento(s); são necessários 25. Impressão recusada."_cp);
  return true;
}

std::string cut(const std::string& s, int n) {
  return s.substr(0, n < 0 ? 0 : static_cast<std::size_t>(n));
}

std::string arg(const VariantArray& a, std::size_t i) {
  return a[i].is_unassigned() ? std::string() : a[i].to_text();
}
double amount(const VariantArray& a, std::size_t i) {
  return a[i].is_unassigned() ? 0 : a[i].to_double();
}

// ---- debit receipt ------------------------------------------------------------------------------------------

class DebitReceipt {
 public:
  explicit DebitReceipt(const VariantArray& a) : a_(a) {}

  void Run() {
    const host::Parameters params = host::Parameters::Load();
    auto p = [&](const char* f) { return params.IsEmpty() ? std::string() : params.AsString(f); };
    const bool nfce = !params.IsEmpty() && params.AsFlag("SISTEMAZELNFCE");
    const bool sat = !params.IsEmpty() && params.AsFlag("SISTEMAZELSAT");
    if (!params.IsEmpty()) globals::boSistemaZelSat.store(sat);
    const bool fiscalHost = nfce || sat;
    const std::string model = arg(a_, 12);
    if (!fiscalHost && !one_of(models::code_of(model), {1, 2, 3, 4, 7, 9, 11, 14, 35})) {
      log::LogErroImpNaoFiscal("Comp_DebitoCons_Bematech_NaoFiscal: modelo " + model + " sem comprovante de débito"_cp);
      return;
    }
    tickets::Printer printer;
    if (fiscalHost)
      DefineParametrosImpressora("COMP_DEBITO", printer.columns, printer.lineFeed, printer.closing, printer.model,
                                 printer.port, p("IDTIPOIMPNF3"), "", p("CDPORTIMPNF3"), "", p("IDTPVENDIMPNF3"), "",
                                 "");
    else
      DefineParametrosImpressora("COMP_DEBITO", printer.columns, printer.lineFeed, printer.closing, printer.model,
                                 printer.port, model, p("IDTIPOIMPNF2"), p("CDPORTIMPNF1"), p("CDPORTIMPNF2"),
                                 p("IDTPVENDIMPNF1"), p("IDTPVENDIMPNF2"), "");
    W_ = printer.columns;
    const std::string text = RemoveAcentos(Compose(p("IDPARIMPRLIMVDC"), p("CDOPERADORLOGIN"), p("NMOPERADORLOGIN")));

    const std::string port3 = p("CDPORTIMPNF3"), model3 = p("IDTIPOIMPNF3");
    bool sent;
    if (port3.size() >= 5 || (port3 == "USB" && fiscalHost)) {
      const int opened = IniciaPorta_DLL(model3, port3);
      const int formatted = FormataTX_DLL(model3, text + std::string(5, '\n'), 2, 0, 0, 0, 0);
      AcionaGuilhotina_DLL(model3, 0);
      FechaPorta_DLL(model3, port3);
      sent = opened > 0 && formatted > 0;
    } else if (model == "7") {
      sent = FormataBematech_MP100(text + std::string(10, '\n'), arg(a_, 11)).empty();
    } else {
      sent = Envia_Dados_Impressora(fiscalHost ? model3 : model, fiscalHost ? port3 : p("CDPORTIMPNF1"),
                                    text + std::string(5, '\n'), "\n", printer.closing, "N", "");
    }
    if (!sent) log::LogErroImpNaoFiscal("Comp_DebitoCons_Bematech_NaoFiscal: comprovante não impresso"_cp);
  }

 private:
  void line(const std::string& s) { (text_ += s) += lf_; }
  void centred(const std::string& s) { line(Centraliza(s, W_)); }
  void dashes() { line(Replicate('-', W_)); }
  void blanks() { line(Replicate(' ', W_)); }
  void right(const std::string& caption, const std::string& value) {
    line(caption + PadL(value, W_ - static_cast<int>(caption.size())));
  }

  std::string Compose(const std::string& limits, const std::string& operatorCode, const std::string& operatorName) {
    TrdmImpressoras& rdm = EnsureDataModule();
    const TMessages& m = rdm.msgPadraoBrasil();
    const double D = amount(a_, 1);

    // What the consumer used so far today and this month; a sale without the figures counts from zero.
    ClientDataSet& consumo = rdm.cds("cdsVrSaldConsumi");
    consumo.Close();
    if (!a_[24].is_unassigned()) tickets::load_packet(consumo, a_[24], "cdsVrSaldConsumi");
    const RowReader used(consumo);
    auto limits_rs = rdm.Open("adqConsumidor", {{"P_CDCLIENTE", arg(a_, 5)}, {"P_CDCONSUMIDOR", arg(a_, 3)}});
    auto limit = [&](const char* field) {
      const std::string v = limits_rs.rows.empty() ? std::string() : tickets::first_text(limits_rs, field);
      return v.empty() ? 0.0 : StrToFloat(v);
    };
    double dayLeft = limit("VRMAXDEBCONS") - (used.number("VALCONSUMDIA") + D);
    if (dayLeft < 0) dayLeft = 0;
    const double monthLeft = limit("VRMESUBCONS") - (used.number("VALCONSUMMES") + D);

    centred(dado(arg(a_, 14)));
    centred(dado(arg(a_, 18)));
    centred(dado(arg(a_, 15)) + " - " + dado(arg(a_, 20)));
    centred(dado(arg(a_, 21)) + " - " + dado(arg(a_, 22)));
    const std::string country = arg(a_, 23);
    const std::string registration = country == "00"                      ? m.Msg("INSCRICAOMUNICIPAL")
                                     : country == "02" || country == "03" ? std::string("RUC:")
                                                                          : std::string();
    centred(registration + " " + dado(arg(a_, 16)) + " " + dado(arg(a_, 19)));
    dashes();
    centred(m.Msg("COMPRDEBITO"));
    blanks();
    line(cut(m.Msg("CDCLIE") + dado(arg(a_, 5)), W_));
    line(cut(std::string(9, ' ') + dado(arg(a_, 6)), W_));
    dashes();
    const double now = clock::Now();
    line(m.Msg("DATA1") + DateToStr(now) + "    " + m.Msg("HORA") + TimeToStr(now));
    line(cut(m.Msg("CDCons") + dado(arg(a_, 3)), W_));
    line(cut(m.Msg("NmCons") + dado(arg(a_, 4)), W_));
    dashes();

    ClientDataSet& items = rdm.cds("cdsProdDeb");
    tickets::load_packet(items, a_[0], "cdsProdDeb");
    const RowReader item(items);
    for (items.First(); !items.Eof(); items.Next()) {
      const double quantity = item.number("QTPRODCOMVEN");
      const double price = item.number("VRPRECCOMVEN") + item.number("VRUNITVENDCL");
      const std::string left = cut(item.text("NMPRODUTO"), 15) +
                               PadL(FormatFloat("0.00#", quantity) + " X " + FormatFloat("0.00", price), 15);
      line(left + PadL(FormatFloat("0.00", Trunc2(quantity * price)), W_ - static_cast<int>(left.size())));
    }
    blanks();
    items.First();
    if (item.number("VRDESCOMANDA") > 0)
      right(m.Msg("TOTALDESCONTOS"), FormatFloat("0.00", item.number("VRDESCOMANDA")));
    right(m.Msg("Total"), FormatFloat("0.00", D));
    dashes();
    if (!arg(a_, 7).empty()) line(cut(m.Msg("SEN_PED") + dado(arg(a_, 7)), W_));
    if (arg(a_, 10) != "2") {
      std::string balance = m.Msg("SALDO_FIN");
      const std::string value = FormatCurrency(amount(a_, 8) + amount(a_, 9) - D, 2);
      if (auto at = balance.find("%s"); at != std::string::npos) balance.replace(at, 2, value);
      line(balance);
    }
    if (amount(a_, 9) > 0) line(m.Msg("PRECO_SUBSIDIO") + FormatCurrency(amount(a_, 9), 2));
    const TMessages& general = imp::msgPadrao();
    if (limits == "D" || limits == "T") line(general.Msg("LIMDIA") + "R$ " + FormatFloat("#0.00", dayLeft));
    if (limits == "M" || limits == "T") line(general.Msg("LIMMES") + "R$ " + FormatFloat("#0.00", monthLeft));
    line(dado(operatorCode) + " - Operador " + dado(operatorName));
    blanks();
    centred(m.Msg("VELMORA"));
    return text_;
  }

  const VariantArray& a_;
  int W_ = 48;
  std::string lf_ = "\n";
  std::string text_;
};

// ---- credit top-up ------------------------------------------------------------------------------------------

void credit_receipt(const VariantArray& a) {
  const host::Parameters params = host::Parameters::Load();
  auto p = [&](const char* f) { return params.IsEmpty() ? std::string() : params.AsString(f); };
  if (!params.IsEmpty()) globals::stIdVendImpNF3.set(p("IDTPVENDIMPNF3"));
  TrdmImpressoras& rdm = EnsureDataModule();
  const bool kiosk = p("STSISTEMAPRIN") == "TAA";
  const bool cancellation = arg(a, 24) == "CANC";
  const int copies = kiosk ? 1 : 2;

  ClientDataSet movement;
  ClientDataSet& movements = rdm.cds("cdsMovCaixaCred");
  ClientDataSet& loaded = cancellation ? movement : movements;
  tickets::load_packet(loaded, a[6], cancellation ? "movimento do consumidor" : "cdsMovCaixaCred");
  if (!cancellation) {
    movements.SetFilter("IDTIPOMOVIVE = 'E'");
    movements.SetFiltered(true);
    movements.First();
  }
  std::string port = arg(a, 13);
  if (port.empty()) return;
  tickets::Printer printer;
  DefineParametrosImpressora("CANC_NFCe", printer.columns, printer.lineFeed, printer.closing, printer.model, port,
                             arg(a, 12), "", arg(a, 13), "", globals::stIdVendImpNF3.get(), "", "");
  int W = printer.columns;
  if (printer.model == "17") W = 34;
  if (printer.model == "19") W = 42;
  if (printer.model == "33") W = 48;
  const std::string lf = printer.lineFeed;

  double V = 0;
  const RowReader mov(loaded);
  if (cancellation) {
    V = mov.number("VRMOVEXTCONS");
  } else {
    for (movements.First(); !movements.Eof(); movements.Next()) V += mov.number("VRMOVIVEND");
    if (p("IDCOBTXSERVTAA") == "S" && kiosk) {
      const std::string rate = p("VRCOMISVENDA");
      V -= (rate.empty() ? 0.0 : StrToFloat(rate)) / 100 * V;
    }
  }
  const std::string special = p("DSRECARGAESPECIAL");
  const bool showBalance = special.empty() || arg(a, 8) != special;
  const TMessages& m = rdm.msgPadraoBrasil();

  std::string t;
  auto line = [&](const std::string& s) { (t += s) += lf; };
  auto line48 = [&](const std::string& s) { (t += cut(s, 48)) += "\n"; };
  line(Centraliza(dado(p("NMRAZSOCFILI")), W));
  line(Centraliza(dado(arg(a, 17)), W));
  line(Centraliza(dado(p("NMBAIRFILI")) + " - " + dado(arg(a, 18)) + " - " + dado(p("SGESTADOFILI")), W));
  line(Centraliza("CNPJ:" + dado(p("CDINSJUREMPR")), W));
  line(Centraliza("IE:" + dado(p("CDINSCESTAEMPR")), W));
  line(Centraliza("IM:" + dado(arg(a, 19)), W));
  line(Replicate('-', W));
  (t += Centraliza(m.Msg(cancellation ? "CanceCredito" : "ComprCredito"), 48)) += "\n";
  (t += Replicate('-', 48)) += "\n";
  const double now = clock::Now();
  line48(m.Msg("CDFILIAL") + dado(arg(a, 1)));
  line48(m.Msg("CDCAIXA") + dado(arg(a, 2)));
  line48(m.Msg("DATA1") + DateToStr(now) + " " + TimeToStr(now));
  line48(m.Msg("Nr_Deposito") + dado(arg(a, 9)));
  line48(m.Msg("nmcons") + dado(arg(a, 8)));
  line48(m.Msg("NmFami") + dado(arg(a, 21)));
  if (cancellation) {
    line48(m.Msg("VrCupom") + FormatCurrency(V, 2));
    if (showBalance) line48(m.Msg("VrSaldo") + FormatCurrency(amount(a, 7), 2));
  } else {
    for (movements.First(); !movements.Eof(); movements.Next()) line48(m.Msg("Tp_Receb") + mov.text("NMTIPORECE"));
    line48(m.Msg("VrCupom") + FormatCurrency(V, 2));
    if (showBalance) line48(m.Msg("VrSaldo") + FormatCurrency(V + amount(a, 7), 2));
  }
  line(Replicate('-', W));
  t += Replicate(lf, 4);
  t = RemoveAcentos(t);

  for (int copy = 0; copy < copies; ++copy) {
    ResetImpressora(printer.model, port);
    const int opened = IniciaPorta_DLL(printer.model, port);
    const int formatted = FormataTX_DLL(printer.model, t, 2, 0, 0, 0, 0);
    if (!kiosk) AcionaGuilhotina_DLL(printer.model, 0);
    FechaPorta_DLL(printer.model, port);
    if (opened < 1 || formatted < 1) {
      log::LogErroImpNaoFiscal("Imp_Compr_Cred: comprovante não impresso na porta "_cp + port);
      break;  // a printer that is not there costs one try, not one per copy
    }
  }
}

}  // namespace

void Comp_DebitoCons_Bematech_NaoFiscal(const VariantArray& args) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  if (refused("Comp_DebitoCons_Bematech_NaoFiscal", args)) return;
  try {
    DebitReceipt(args).Run();
  } catch (const std::exception& e) {
    tickets::log_failure("Comp_DebitoCons_Bematech_NaoFiscal", e);
  }
  ReleaseOpenSpans();
}

void Imp_Compr_Cred(const VariantArray& args) {
  std::unique_lock<std::recursive_mutex> lock = globals::lock_cs();
  if (refused("Imp_Compr_Cred", args)) return;
  try {
    credit_receipt(args);
  } catch (const std::exception& e) {
    tickets::log_failure("Imp_Compr_Cred", e);
  }
  ReleaseOpenSpans();
}

}  // namespace imp
