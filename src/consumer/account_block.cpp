#include "consumer/account_block.h"

#include <cmath>
#include <exception>

#include "consumer/balances.h"
#include "consumer/loyalty.h"
#include "host/consiste.h"
#include "host/services.h"
#include "module/captions.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/log.h"
#include "platform/rtl.h"

namespace imp::consumer {
namespace {

// A field of the current row: empty (0) for a missing field or an empty or closed dataset.
std::string text(ClientDataSet* ds, std::string_view field) {
  if (!ds || !ds->Active() || ds->IsEmpty()) return {};
  Field* f = ds->FindField(field);
  return f ? cp1252::printable(f->AsString()) : std::string();
}
double number(ClientDataSet* ds, std::string_view field) {
  if (!ds || !ds->Active() || ds->IsEmpty()) return 0;
  Field* f = ds->FindField(field);
  return f && !f->IsNull() ? f->AsFloat() : 0;
}
bool empty_value(ClientDataSet* ds, std::string_view field) {
  if (!ds || !ds->Active() || ds->IsEmpty()) return true;
  Field* f = ds->FindField(field);
  return !f || f->IsNull() || f->AsString().empty();
}

bool has_payment(ClientDataSet* payments, std::string_view type) {
  if (!payments || !payments->Active()) return false;
  Field* f = payments->FindField("IDTIPORECE");
  if (!f) return false;
  for (payments->First(); !payments->Eof(); payments->Next())
    if (f->AsString() == type) return true;
  return false;
}

// A central consumption figure of the debit accounts (element 0 of MoviclieCentral "V"); 0 when it fails.
double central_value(const SaleAccount& s, const std::string& client, const std::string& consumer,
                     const char* operation) {
  VariantArray result(1);
  const VariantArray args = {Variant("V"),      Variant(s.branch), Variant(s.shop), Variant(client),
                             Variant(consumer), Variant::null(),   Variant(0),      Variant(operation)};
  try {
    host::MoviclieCentral(args, result);
    return result[0].is_unassigned() ? 0 : result[0].to_double();
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal("Funcao MoviclieCentral: " + std::string(e.what()));
    return 0;
  }
}

class Block {
 public:
  explicit Block(const SaleAccount& s) : s_(s), rdm_(EnsureDataModule()) {}

  std::string Run() {
    client_ = text(s_.consumer, "CDCLIENTE");
    consumer_ = text(s_.consumer, "CDCONSUMIDOR");
    const bool credit = has_payment(s_.payments, "9"), debit = has_payment(s_.payments, "A");
    globals::boVendaCredCons.store(credit);
    globals::boVendaDebCons.store(debit);
    const std::string saldoCupom = globals::stImpSaldoCupom.get();
    if (saldoCupom != "2") {
      RetornaSaldoConsumidor(s_.branch, client_, consumer_, param("IDEXTCONSONLINE"), param("CDURLWSEXTCONS"),
                             globals::stIdExtConsCentral.get());
    } else {
      for (const char* name : {"cdsSaldoConsFamilia", "cdsSaldoConsCred", "cdsSaldoConsDeb"}) rdm_.cds(name).Close();
    }

    if (param("IDIMPFLNOTA") == "S")
      line("Filial:" + s_.branch + " " + s_.branchName + " " + "Loja:" + s_.shop + " " + s_.shopName + " " +
           "Caixa:" + s_.till + " " + s_.tillName);
    if (credit || debit) {
      line("Cliente:     " + client_ + " - " + text(s_.consumer, "NMFANTCLIE"));
      line("Consumidor:  " + consumer_);
      line("Nome:        " + text(s_.consumer, "NMCONSUMIDOR"));
    } else if (!consumer_.empty() && printsConsumer()) {
      line("Consumidor:  " + consumer_);
      line("Nome:        " + text(s_.consumer, "NMCONSUMIDOR"));
    }
    Balances(saldoCupom);
    if (debit) Limits();
    Subsidy();
    return out_;
  }

 private:
  std::string param(std::string_view field) const { return text(s_.params, field); }
  void line(const std::string& l) { (out_ += l) += s_.T; }

  bool printsConsumer() {
    try {
      return ImprimirConsumidor(s_.branch, s_.till);
    } catch (const std::exception& e) {
      log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:ImprimirConsumidor");
      return false;
    }
  }

  void Balances(const std::string& saldoCupom) {
    ClientDataSet& cred = rdm_.cds("cdsSaldoConsCred");
    if (cred.Active() && !cred.IsEmpty()) {
      cred.First();
      line("Saldo Total: R$ " + FormatFloat("#00.00", number(&cred, "VRSALDCONFAM")));
    }
    ClientDataSet& familia = rdm_.cds("cdsSaldoConsFamilia");
    if (familia.Active()) {
      bool first = true;
      for (familia.First(); !familia.Eof(); familia.Next()) {
        line((first ? std::string("Saldo Familia: ") : std::string(15, ' ')) + text(&familia, "NMFAMILISALD") + " R$ " +
             FormatFloat("#00.00", number(&familia, "VRSALDCONFAM")));
        first = false;
      }
    }
    ClientDataSet& deb = rdm_.cds("cdsSaldoConsDeb");
    if (deb.Active() && !deb.IsEmpty()) {
      deb.First();
      double balance = Trunc2(number(&deb, "VRSALDOCONS"));
      if (saldoCupom == "3") balance -= Trunc2(number(s_.consumer, "VRLIMDEBCONS"));
      line("Saldo Total: R$ " + FormatFloat("#00.00", balance));
    }
  }

  // What is left of the day's and the month's limits of a debit account.
  void Limits() {
    const std::string which = param("IDPARIMPRLIMVDC");
    if (which != "D" && which != "M" && which != "T" && which != "E") return;
    const TMessages& m = imp::msgPadrao();
    const double now = clock::Now();
    const bool central = globals::stIdDebConsCentral == "S";
    const std::optional<double> periodStart = PayrollPeriodStart(param("NRDIAFECHAFOLHA"), now);
    try {
      if (which == "E") {
        if (!periodStart) return;
        const double excess = central ? central_value(s_, client_, consumer_, "SALDO_EXCEDENTE")
                                      : getSaldoExcedente(client_, consumer_, DateTimeToStr(*periodStart));
        if (excess > 0) line(m.Msg("SaldoExcedente") + "R$ " + FormatFloat("#0.00", excess));
        return;
      }
      double day = 0, month = 0;
      const db::Params who = {{"P_CDCLIENTE", client_}, {"P_CDCONSUMIDOR", consumer_}, {"P_CDFILIAL", s_.branch}};
      auto types = rdm_.Open("adqTipoConsFili", who);
      if (!types.rows.empty()) {
        const double used =
            central ? central_value(s_, client_, consumer_, "SUBSIDIO_BASICO_EMP")
                    : rdm_.Open("adqVrSubsBasicoCons", {{"P_DTMOVIMCLIE", Variant::date_time(std::floor(now))},
                                                        {"P_CDCLIENTE", client_},
                                                        {"P_CDCONSUMIDOR", consumer_}})
                          .first_number("VRSUBSBASICODIA");
        day = types.first_number("VRSALDOBASICO") - used;
        double extra = 0;
        if (central)
          extra = central_value(s_, client_, consumer_, "CONSUMO_SALDO_EXTRA");
        else if (periodStart)
          extra = rdm_.Open("adqGtTotConsSaldExtra", {{"P_DTENTRVENDA", Variant::date_time(*periodStart)},
                                                      {"P_CDCONSUMIDOR", consumer_},
                                                      {"P_CDCLIENTE", client_}})
                      .first_number("TOTAL");
        month = types.first_number("VRSALDOEXTRA") - extra;
      } else if (auto shop = rdm_.Open("adqTipoConsLoja", {{"P_CDCLIENTE", client_},
                                                           {"P_CDCONSUMIDOR", consumer_},
                                                           {"P_CDFILIAL", s_.branch},
                                                           {"P_CDLOJA", s_.shop}});
                 !shop.rows.empty()) {
        day = shop.first_number("VRMAXCONSDIAD") - getConsumo(s_.branch, s_.shop, client_, consumer_, "CONSLOJADIA");
        month = shop.first_number("VRMAXCONSMESD") - getConsumo(s_.branch, s_.shop, client_, consumer_, "CONSLOJAMES");
      } else {
        day = number(s_.consumer, "VRMAXDEBCONS") - getConsumo(s_.branch, s_.shop, client_, consumer_, "CONSDIA");
        const double monthLimit = empty_value(s_.consumer, "VRMAXCONSMENSAL") ? number(s_.consumer, "VRMESUBCONS")
                                                                              : number(s_.consumer, "VRMAXCONSMENSAL");
        month = monthLimit - getConsumo(s_.branch, s_.shop, client_, consumer_, "CONSMES");
      }
      if (which == "D" || which == "T") line(m.Msg("LIMDIA") + "R$ " + FormatFloat("#0.00", day));
      if (which == "M" || which == "T") line(m.Msg("LIMMES") + "R$ " + FormatFloat("#0.00", month));
    } catch (const std::exception& e) {
      log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:ConsumerAccountBlock");
    }
  }

  void Subsidy() {
    const bool subsidised = number(s_.consumer, "VRSUBSBASICO") > 0 || number(s_.consumer, "VRMESUBCONS") > 0;
    if (param("IDIMPRVRTOTSUBS") == "S" && subsidised)
      line("Valor Subsidiado: R$ " + FormatFloat("#00.00", s_.payrollSum));
    if (param("IDCONSUBDESFOL") == "S")
      line("Valor descontado em folha: R$ " + FormatFloat("##0.00", s_.accountTotal - s_.payrollSum));
    if (param("IDIMPRSUBSREST") == "S") {
      double usedToday = 0;
      try {
        usedToday = rdm_.Open("adqVrSubsBasicoCons", {{"P_DTMOVIMCLIE", Variant::date_time(std::floor(clock::Now()))},
                                                      {"P_CDCLIENTE", client_},
                                                      {"P_CDCONSUMIDOR", consumer_}})
                        .first_number("VRSUBSBASICODIA");
      } catch (const std::exception& e) {
        log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:ConsumerAccountBlock");
      }
      line("Subsidio restante: R$ " + FormatFloat("##0.00", number(s_.consumer, "VRSUBSBASICO") - usedToday));
    }
  }

  const SaleAccount& s_;
  TrdmImpressoras& rdm_;
  std::string client_, consumer_;
  std::string out_;
};

}  // namespace

std::string ConsumerAccountBlock(const SaleAccount& sale) {
  return Block(sale).Run();
}

std::string LoyaltyLines(const SaleAccount& s, ClientDataSet& saleRow, const std::string& client,
                         const std::string& consumerCode) {
  const TMessages& m = imp::msgPadrao();
  std::string out;
  auto line = [&](const std::string& l) { (out += l) += s.T; };
  for (const char* field : {"VRMOVEXTCONS", "VRDESCCASH4ALL", "VRDESCCASHUDS", "VRRESGCOREBANC"}) {
    const double v = number(&saleRow, field);
    if (v > 0) line(m.Msg("DESC_FID") + FormatFloat("0.00", v));
  }
  try {
    const VariantArray campaign = getCampanha(s.branch);
    const std::string code = campaign[0].to_text(), address = campaign[1].to_text();
    if (code.empty() || address.empty() || consumerCode.empty()) return out;
    const VariantArray args = {Variant("CONSULTA_VENDA"),
                               Variant(address),
                               Variant(client),
                               Variant(consumerCode),
                               Variant(""),
                               Variant(""),
                               Variant(s.branch),
                               Variant(s.till),
                               Variant(s.sale),
                               Variant(globals::stDtAbertur.get())};
    VariantArray result(10);
    if (!host::FidelidadeOnline(args, result)) return out;
    auto value = [&](std::size_t i) { return result[i].is_unassigned() ? 0.0 : result[i].to_double(); };
    const double balance = value(0), discount = value(1), earned = value(2);
    const std::string validity = result[3].is_unassigned() ? std::string() : result[3].to_text();
    if (discount > 0) line(m.Msg("DESC_CASH") + FormatFloat("0.00", discount));
    if (earned > 0) {
      line(m.Msg("CASH_FID") + FormatFloat("0.00", earned));
      if (!validity.empty()) line(m.Msg("VAL_CASH") + validity);
    }
    line(m.Msg("SALDO_CASH") + FormatFloat("0.00", balance));
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal("Funcao FidelidadeOnline: " + std::string(e.what()));
  }
  return out;
}

}  // namespace imp::consumer
