// Exported consumer-account services, the debit and credit receipts, loyalty and the payment QR code.
#include <mutex>
#include <string>

#include "consumer/balances.h"
#include "consumer/loyalty.h"
#include "imp00000.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "tickets/consumer_receipts.h"

using namespace imp;

namespace {

std::string_view t(const char* s) {
  return abi::text_arg(s);
}

// An array result written to the caller's variant (cleared first); an unassigned variant when the body failed.
template <typename F>
void array_result(const char* entry, imp_variant* out, F&& body) {
  Variant v = package::under_cs<Variant>(entry, Variant(), [&] { return Variant::array(body()); });
  if (!out) return;
  abi::clear(out);
  abi::to_abi(v, out);
}

void debit(const imp_variant* items, int32_t count) {
  package::guarded_void("Comp_DebitoCons_Bematech_NaoFiscal",
                        [&] { imp::Comp_DebitoCons_Bematech_NaoFiscal(package::job_array(items, count)); });
}

void credit(const imp_variant* items, int32_t count) {
  package::guarded_void("Imp_Compr_Cred", [&] { imp::Imp_Compr_Cred(package::job_array(items, count)); });
}

void qr_ame(const char* model, const char* text) {
  package::under_cs_void("imprimeQRCodeAME", [&] { consumer::imprimeQRCodeAME(t(model), t(text)); });
}

}  // namespace

extern "C" {

IMP_API void Cli_imp00000_TrdmImpressoras_RetornaSaldoConsumidor(const char* branch, const char* client,
                                                                 const char* consumer, const char* online_flag,
                                                                 const char* online_address, const char* central_flag) {
  package::under_cs_void("RetornaSaldoConsumidor", [&] {
    consumer::RetornaSaldoConsumidor(t(branch), t(client), t(consumer), t(online_flag), t(online_address),
                                     t(central_flag));
  });
}
IMP_API double Cli_imp00000_TrdmImpressoras_getConsumo(const char* branch, const char* shop, const char* client,
                                                       const char* consumer, const char* kind) {
  return package::under_cs<double>(
      "getConsumo", 0.0, [&] { return consumer::getConsumo(t(branch), t(shop), t(client), t(consumer), t(kind)); });
}
IMP_API double Cli_imp00000_TrdmImpressoras_getSaldoExcedente(const char* client, const char* consumer,
                                                              const char* date) {
  return package::under_cs<double>("getSaldoExcedente", 0.0,
                                   [&] { return consumer::getSaldoExcedente(t(client), t(consumer), t(date)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_ImprimirConsumidor(const char* branch, const char* till) {
  return package::under_cs<int32_t>("ImprimirConsumidor", 0,
                                    [&] { return consumer::ImprimirConsumidor(t(branch), t(till)) ? 1 : 0; });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_cupomEnviadoEmail(const char* branch, const char* till, const char* sale) {
  return package::under_cs<int32_t>("cupomEnviadoEmail", 0,
                                    [&] { return consumer::cupomEnviadoEmail(t(branch), t(till), t(sale)) ? 1 : 0; });
}
IMP_API void Cli_imp00000_TrdmImpressoras_getCampanha(const char* branch, imp_variant* result) {
  array_result("getCampanha", result, [&] { return consumer::getCampanha(t(branch)); });
}
IMP_API void Cli_imp00000_TrdmImpressoras_getDescSaldoFid(const char* client, const char* consumer, const char* branch,
                                                          const char* till, const char* sale, imp_variant* result) {
  array_result("getDescSaldoFid", result,
               [&] { return consumer::getDescSaldoFid(t(client), t(consumer), t(branch), t(till), t(sale)); });
}
IMP_API int32_t Cli_imp00000_TrdmImpressoras_criaOrdemCRMBONUS(void) {
  return package::under_cs<int32_t>("criaOrdemCRMBONUS", 0, [] { return consumer::criaOrdemCRMBONUS() ? 1 : 0; });
}
IMP_API char* Cli_imp00000_TrdmImpressoras_retornaCampoJSONCRMBONUS(const char* field) {
  return package::text_under_cs("retornaCampoJSONCRMBONUS",
                                [&] { return consumer::retornaCampoJSONCRMBONUS(t(field)); });
}

IMP_API void Comp_DebitoCons_Bematech_NaoFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  debit(items, count);
}
IMP_API void Cli_imp00000_Comp_DebitoCons_Bematech_NaoFiscal(const imp_variant* items, int32_t count, imp_variant*) {
  debit(items, count);
}
IMP_API void Imp_Compr_Cred(const imp_variant* items, int32_t count, imp_variant*) {
  credit(items, count);
}
IMP_API void Cli_imp00000_Imp_Compr_Cred(const imp_variant* items, int32_t count, imp_variant*) {
  credit(items, count);
}
IMP_API void imprimeQRCodeAME(const char* model, const char* text) {
  qr_ame(model, text);
}
IMP_API void Cli_imp00000_imprimeQRCodeAME(const char* model, const char* text) {
  qr_ame(model, text);
}

}  // extern "C"
