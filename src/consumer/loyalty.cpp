#include "consumer/loyalty.h"

#include <cmath>

#include "module/data_module.h"
#include "platform/clock.h"
#include "platform/dataset.h"
#include "platform/log.h"

namespace imp::consumer {
namespace {

std::string s(std::string_view v) {
  return std::string(v);
}

Variant first_value(const db::ResultSet& rs, std::string_view field) {
  if (rs.rows.empty()) return {};
  for (std::size_t c = 0; c < rs.fields.size(); ++c)
    if (CompareText(rs.fields[c].name, field, true) == 0) return rs.rows.front()[c];
  return {};
}

double number(const Variant& v) {
  return v.is_unassigned() ? 0 : v.to_double();
}

// Today at 00:00, as the campaign and points queries compare it.
Variant today() {
  return Variant::date_time(std::floor(clock::Now()));
}

}  // namespace

bool cupomEnviadoEmail(std::string_view branch, std::string_view till, std::string_view sale) {
  log::LogErroImpNaoFiscal("Open adqEnviaEmailCupom");
  auto rs = EnsureDataModule().Open("adqEnviaEmailCupom",
                                    {{"P_CDFILIAL", s(branch)}, {"P_CDCAIXA", s(till)}, {"P_NRSEQVENDA", s(sale)}});
  return !rs.rows.empty();
}

VariantArray getCampanha(std::string_view branch) {
  TrdmImpressoras& rdm = EnsureDataModule();
  const Variant code =
      first_value(rdm.Open("adqCampanhaAtiva", {{"P_CDFILIAL", s(branch)}, {"P_DATAHOJE", today()}}), "CDCAMPANHA");
  const Variant address = first_value(rdm.Open("adqGerParamGeral", {}), "CDURLFIDONLINE");
  return {Variant(code.is_unassigned() ? std::string() : code.to_text()),
          Variant(address.is_unassigned() ? std::string() : address.to_text())};
}

VariantArray getDescSaldoFid(std::string_view client, std::string_view consumer, std::string_view branch,
                             std::string_view till, std::string_view sale) {
  TrdmImpressoras& rdm = EnsureDataModule();
  auto points = rdm.Open("adqDescSaldoFid",
                         {{"P_CDCLIENTE", s(client)}, {"P_CDCONSUMIDOR", s(consumer)}, {"P_DATAHOJE", today()}});
  double balance = 0;
  const bool hasCampaign = !points.rows.empty();
  if (hasCampaign) {
    const std::string campaign = first_value(points, "CDCAMPANHA").to_text();
    const double redeemed = number(
        first_value(rdm.Open("adqSaldoFidUtil",
                             {{"P_CDCLIENTE", s(client)}, {"P_CDCONSUMIDOR", s(consumer)}, {"P_CDCAMPANHA", campaign}}),
                    "VRPONTOBRINDE"));
    balance = number(first_value(points, "VRSALDOCONS")) - redeemed;
  }
  const double inSale = number(first_value(
      rdm.Open("adqDescVendaFid", {{"P_CDFILIAL", s(branch)}, {"P_CDCAIXA", s(till)}, {"P_NRSEQVENDA", s(sale)}}),
      "VRPONTOBRINDE"));
  return {Variant(balance), Variant(inSale), Variant(hasCampaign)};
}

}  // namespace imp::consumer
