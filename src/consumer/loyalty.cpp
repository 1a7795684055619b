#include "consumer/loyalty.h"

#include <cmath>
#include <nlohmann/json.hpp>
#include <vector>

#include "host/consiste.h"
#include "host/parameters.h"
#include "host/services.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/device_ops.h"
#include "output/fiscal_width.h"
#include "platform/clock.h"
#include "platform/cp1252.h"
#include "platform/dataset.h"
#include "platform/log.h"

namespace imp::consumer {
namespace {

std::string s(std::string_view v) {
  return std::string(v);
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
      rdm.Open("adqCampanhaAtiva", {{"P_CDFILIAL", s(branch)}, {"P_DATAHOJE", today()}}).first("CDCAMPANHA");
  const Variant address = rdm.Open("adqGerParamGeral", {}).first("CDURLFIDONLINE");
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
    const std::string campaign = points.first("CDCAMPANHA").to_text();
    const double redeemed =
        rdm.Open("adqSaldoFidUtil",
                 {{"P_CDCLIENTE", s(client)}, {"P_CDCONSUMIDOR", s(consumer)}, {"P_CDCAMPANHA", campaign}})
            .first_number("VRPONTOBRINDE");
    balance = points.first_number("VRSALDOCONS") - redeemed;
  }
  const double inSale =
      rdm.Open("adqDescVendaFid", {{"P_CDFILIAL", s(branch)}, {"P_CDCAIXA", s(till)}, {"P_NRSEQVENDA", s(sale)}})
          .first_number("VRPONTOBRINDE");
  return {Variant(balance), Variant(inSale), Variant(hasCampaign)};
}

void imprimeQRCodeAME(std::string_view model, std::string_view qrText) {
  const host::Parameters params = host::Parameters::Load();
  const std::string port = params.IsEmpty() ? std::string() : params.AsString("CDPORTIMPNF3");
  std::string kind = params.IsEmpty() ? std::string() : params.AsString("IDTIPOIMPNF3");
  if (kind.empty()) kind = std::string(model);
  const std::string T = host::PropriedadesImpNF(kind).lineFeed;
  const int W = FiscalWidth(kind, false);
  auto centred = [&](const char* text) { return Centraliza(text, W) + T; };
  IniciaPorta_DLL(kind, port);
  FormataTX_DLL(kind, centred("Velmora Sistemas") + centred("www.velmora.com.br") + centred("QR CODE - AME DIGITAL"), 1,
                0, 0, 0, 0);
  FormataTX_DLL(kind, centred("AUTORIZACAO DE PAGAMENTO") + centred("FAVOR LER NO APP DA AME") + Replicate(T, 3), 1, 0,
                0, 0, 0);
  ConfCodBarras_DLL(kind, 60, 1, 2, 0, 174);
  ImprimeQRCode_DLL(kind, qrText, "");
  FormataTX_DLL(kind, Replicate(T, 4), 1, 0, 0, 0, 0);
  AcionaGuilhotina_DLL(kind, 0);
  FechaPorta_DLL(kind, port);
  ReleaseOpenSpans();
}

bool criaOrdemCRMBONUS() {
  const host::Parameters params = host::Parameters::Load();
  auto p = [&](const char* f) { return params.IsEmpty() ? std::string() : params.AsString(f); };
  TrdmImpressoras& rdm = EnsureDataModule();
  auto shop = rdm.Open("adqLojaCRMBONUS", {{"P_CDFILIAL", p("CDFILIAL")}, {"P_CDLOJA", p("CDLOJA")}});
  auto field = [&](const db::ResultSet& rs, const char* name) {
    const Variant v = rs.first(name);
    return v.is_unassigned() ? std::string() : v.to_text();
  };
  if (field(shop, "IDCRMBONUS") != "S") return false;
  globals::stUrlCRMBONUS.set(field(shop, "CDURLCRMBONUS"));
  globals::stAuthCRMBONUS.set(field(shop, "CDAUTHCRMBONUS"));
  globals::stCodeCRMBONUS.set(field(shop, "CDCODECRMBONUS"));
  auto sale = rdm.Open("adqDescCRMBONUS",
                       {{"P_CDCAIXA", p("CDCAIXA")}, {"P_CDFILIAL", p("CDFILIAL")}, {"P_NRSEQVENDA", p("NRSEQVENDA")}});
  const nlohmann::json body = {{"phone", cp1252::to_utf8(field(sale, "NRTELCRM"))}, {"amount", 9999999}};
  const std::vector<std::string> headers = {"Content-Type=application/json",
                                            "Authorization=" + globals::stAuthCRMBONUS.get(),
                                            "ec=" + globals::stCodeCRMBONUS.get()};
  std::string answer;
  try {
    answer = host::RequisicaoHTTPS(globals::stUrlCRMBONUS.get(), cp1252::from_utf8_lossy(body.dump()), "POST", headers,
                                   "50", "\\Dados\\logApiCRMBONUS");
  } catch (const std::exception& e) {
    log::LogErroImpNaoFiscal(std::string(e.what()) + " - Imp00000 - Funcao:criaOrdemCRMBONUS");
    return false;
  }
  const nlohmann::json reply = nlohmann::json::parse(cp1252::to_utf8(answer), nullptr, false);
  if (!reply.is_object() || !reply.contains("status") || reply["status"] != true) return false;
  globals::stCRMBONUSResult.set(answer);
  std::string balance = retornaCampoJSONCRMBONUS("saldo_bonus");
  for (char& c : balance)
    if (c == '.') c = ',';
  globals::stSaldoCRMBONUS.set(balance);
  return true;
}

std::string retornaCampoJSONCRMBONUS(std::string_view field) {
  const nlohmann::json reply = nlohmann::json::parse(cp1252::to_utf8(globals::stCRMBONUSResult.get()), nullptr, false);
  const std::string name(field);
  if (!reply.is_object() || !reply.contains(name)) return {};
  const nlohmann::json& v = reply[name];
  return cp1252::from_utf8_lossy(v.is_string() ? v.get<std::string>() : v.dump());
}

}  // namespace imp::consumer
