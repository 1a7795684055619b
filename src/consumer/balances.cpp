#include "consumer/balances.h"

#include <cmath>
#include <exception>

#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/error.h"
#include "platform/log.h"
#include "platform/packet.h"
#include "platform/rtl.h"

namespace imp::consumer {
namespace {

std::string s(std::string_view v) {
  return std::string(v);
}

// Loads the packet a consumer service returned; anything else leaves the dataset empty.
void load_service_packet(ClientDataSet& ds, const Variant& packet, std::string_view service) {
  try {
    ds.LoadFromPacket(PacketJson(packet, service));
    ds.First();
  } catch (const std::exception& e) {
    ds.Close();
    log::LogErroImpNaoFiscal("Funcao " + std::string(service) + ": " + e.what());
  }
}

// One call of a consumer service with a result array of its own; a service that fails is logged and gives
// nothing (an unassigned element 0).
using Service = bool (*)(const VariantArray&, VariantArray&);
Variant call_service(Service service, const char* name, const VariantArray& args, std::size_t resultSize,
                     bool* answered = nullptr) {
  VariantArray result(resultSize);
  try {
    const bool ok = service(args, result);
    if (answered) *answered = ok;
  } catch (const std::exception& e) {
    if (answered) *answered = false;
    log::LogErroImpNaoFiscal("Funcao " + std::string(name) + ": " + e.what());
    return {};
  }
  return result.empty() ? Variant() : result[0];
}

// The online service for the balances; a false answer is logged and its packet still loaded.
void online_balance(ClientDataSet& ds, std::string_view client, std::string_view consumer, std::string_view address,
                    const char* operation) {
  TrdmImpressoras& rdm = EnsureDataModule();
  ClientDataSet& vazio = rdm.cds("cdsVazio");
  const VariantArray args = {
      Variant::bytes(vazio.Active() ? vazio.SavePacket() : std::string(R"({"fields":[],"rows":[]})")),
      Variant(0),
      Variant(s(client)),
      Variant(s(consumer)),
      Variant("T"),
      Variant(0),
      Variant(s(address)),
      Variant(operation)};
  bool answered = false;
  const Variant packet = call_service(host::ExtratoConsOnline, "ExtratoConsOnline", args, 10, &answered);
  if (!answered)
    log::LogErroImpNaoFiscal("Funcao ExtratoConsOnline: Não foi possível estabelecer uma conexão com o servidor."_cp);
  if (!packet.is_unassigned()) load_service_packet(ds, packet, "ExtratoConsOnline");
}

void central_balance(ClientDataSet& ds, std::string_view branch, std::string_view client, std::string_view consumer,
                     const char* operation) {
  const VariantArray args = {Variant(s(branch)),   Variant::null(), Variant(0),      Variant(s(client)),
                             Variant(s(consumer)), Variant(0),      Variant::null(), Variant(operation)};
  const Variant packet = call_service(host::ExtratoConsCentral, "ExtratoConsCentral", args, 1);
  if (!packet.is_unassigned()) load_service_packet(ds, packet, "ExtratoConsCentral");
}

Variant moviclie_central(const char* kind, std::string_view branch, std::string_view shop, std::string_view client,
                         std::string_view consumer, const char* operation) {
  const VariantArray args = {
      Variant(kind),      Variant(s(branch)),   shop.empty() ? Variant::null() : Variant(s(shop)),
      Variant(s(client)), Variant(s(consumer)), Variant::null(),
      Variant(0),         Variant(operation)};
  return call_service(host::MoviclieCentral, "MoviclieCentral", args, 1);
}

double number_of(const Variant& v) {
  if (v.is_unassigned()) return 0;
  try {
    return v.to_double();
  } catch (const std::exception&) {
    return 0;
  }
}

double start_of_day(double dt) {
  return std::floor(dt);
}
double end_of_day(double dt) {
  return std::floor(dt) + EncodeTime(23, 59, 59, 999);
}

int days_in_month(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

void RetornaSaldoConsumidor(std::string_view branch, std::string_view client, std::string_view consumer,
                            std::string_view onlineFlag, std::string_view onlineAddress, std::string_view centralFlag) {
  TrdmImpressoras& rdm = EnsureDataModule();
  ClientDataSet& familia = rdm.cds("cdsSaldoConsFamilia");
  ClientDataSet& cred = rdm.cds("cdsSaldoConsCred");
  ClientDataSet& deb = rdm.cds("cdsSaldoConsDeb");
  for (ClientDataSet* ds : {&familia, &cred, &deb}) ds->Close();
  const std::string saldoCupom = globals::stImpSaldoCupom.get();
  const bool totals = saldoCupom == "0" || saldoCupom == "3";
  const bool credit = globals::boVendaCredCons.load(), debit = globals::boVendaDebCons.load();
  const db::Params who = {{"P_CDCLIENTE", s(client)}, {"P_CDCONSUMIDOR", s(consumer)}};
  try {
    if (!totals && credit) {
      if (onlineFlag == "S")
        online_balance(familia, client, consumer, onlineAddress, "CONSULTA_SALDO");
      else if (centralFlag == "S")
        central_balance(familia, branch, client, consumer, "CONSULTA_SALDO_TODOS");
      else
        rdm.Provide("SaldoConsFamilia", who);
    }
    if (totals && credit) {
      if (onlineFlag == "S")
        online_balance(cred, client, consumer, onlineAddress, "CONSULTA_SALDO_TOTAL");
      else if (centralFlag != "S")
        rdm.Provide("SaldoConsCred",
                    {{"P_CDCLIENTE", s(client)}, {"P_CDCONSUMIDOR", s(consumer)}, {"P_CDFILIAL", s(branch)}});
      else
        central_balance(cred, branch, client, consumer, "CONSULTA_SALDO_TOTAL");
    } else if (totals && debit) {
      if (globals::stIdDebConsCentral != "S") {
        rdm.Provide("SaldoConsDeb", who);
      } else {
        const Variant packet = moviclie_central("C", branch, "", client, consumer, "CONSULTA_SALDO");
        if (!packet.is_unassigned()) load_service_packet(deb, packet, "MoviclieCentral");
      }
    }
  } catch (const std::exception& e) {
    // The balance is not printed; the document still is.
    log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:RetornaSaldoConsumidor");
  }
}

double getConsumo(std::string_view branch, std::string_view shop, std::string_view client, std::string_view consumer,
                  std::string_view kind) {
  const bool shopOnly = kind == "CONSLOJADIA" || kind == "CONSLOJAMES";
  const bool month = kind == "CONSLOJAMES" || kind == "CONSMES";
  if (globals::stIdDebConsCentral == "S") {
    const char* op = kind == "CONSLOJADIA"   ? "CONSUMO_LOJA_DIA"
                     : kind == "CONSLOJAMES" ? "CONSUMO_LOJA_MES"
                     : kind == "CONSDIA"     ? "CONSULTA_CONSUMO"
                                             : "CONSUMO_MES";
    return number_of(moviclie_central("V", branch, shop, client, consumer, op));
  }
  const double now = clock::Now();
  const DateTimeParts today = DecodeDateTime(now);
  const double from = month ? EncodeDate(today.year, today.month, 1) : start_of_day(now);
  db::Params p = {{"P_DTINI", Variant::date_time(from)},
                  {"P_DTFIN", Variant::date_time(end_of_day(now))},
                  {"P_CDCLIENTE", s(client)},
                  {"P_CDCONSUMIDOR", s(consumer)}};
  if (shopOnly) {
    p.push_back({"P_CDFILIAL", s(branch)});
    p.push_back({"P_CDLOJA", s(shop)});
  }
  return EnsureDataModule().Open(shopOnly ? "adqGtTotConsLoja" : "adqGtTotCons", p).first_number("VRCONSUMO");
}

double getSaldoExcedente(std::string_view client, std::string_view consumer, std::string_view date) {
  const std::optional<double> dt = TryStrToDateTime(date, current_format());
  if (!dt) throw Error("getSaldoExcedente: data inválida "_cp + std::string(date));
  auto rs = EnsureDataModule().Open(
      "adqSaldoExcedente",
      {{"P_DTENTRVENDA", Variant::date_time(*dt)}, {"P_CDCONSUMIDOR", s(consumer)}, {"P_CDCLIENTE", s(client)}});
  return rs.first_number("VRTOTAL");
}

bool ImprimirConsumidor(std::string_view branch, std::string_view till) {
  auto rs = EnsureDataModule().Open("adqParamConsumidor", {{"CDFILIAL", s(branch)}, {"CDCAIXA", s(till)}});
  return rs.first("IDIMPNMCONSVEN").to_text() == "S";
}

std::optional<double> PayrollPeriodStart(std::string_view closingDay, double today) {
  int day = 0;
  for (char c : closingDay) {
    if (c == ' ') continue;
    if (c < '0' || c > '9' || day > 31) return std::nullopt;
    day = day * 10 + (c - '0');
  }
  if (day < 1 || day > 31) return std::nullopt;
  const DateTimeParts t = DecodeDateTime(today);
  int year = t.year, month = t.month;
  int closing = std::min(day, days_in_month(year, month));
  if (closing >= t.day) {  // this month's closing is today or later: the period began after last month's
    if (--month == 0) month = 12, --year;
    closing = std::min(day, days_in_month(year, month));
  }
  return EncodeDate(year, month, closing) + EncodeTime(23, 59, 59, 999);
}

}  // namespace imp::consumer
