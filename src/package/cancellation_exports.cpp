// Exported cancellation tickets, partial bill, delivery ticket and the MP-100 unit.
#include <array>
#include <mutex>
#include <string>

#include "imp00000.h"
#include "module/globals.h"
#include "output/mp100_line.h"
#include "package/frame.h"
#include "package/jobs.h"
#include "platform/abi_variant.h"
#include "platform/cp1252.h"
#include "tickets/bill_delivery.h"
#include "tickets/cancellation.h"
#include "tickets/mp100.h"

using namespace imp;

namespace {

std::string t(const char* s) {
  return std::string(abi::text_arg(s));
}

// A wide text of the MP-100 unit (UTF-8 at the ABI) as the module's Windows-1252.
std::string w(const char* s) {
  return cp1252::from_utf8_lossy(abi::text_arg(s));
}

Variant arg(const imp_variant* v) {
  return v ? abi::from_abi(*v) : Variant();
}

void cancelled_sale(const char* entry, const imp_variant* items, int32_t count, imp_variant* result) {
  const bool printed = package::guarded<bool>(entry, false, [&] {
    if (count < 24 || !items) {
      package::refuse_job_array("setCupomCancelado", count < 0 || !items ? 0 : static_cast<std::size_t>(count), 24);
      return false;
    }
    return imp::setCupomCancelado(package::job_array(items, count));
  });
  if (result) {
    abi::clear(result);
    abi::to_abi(Variant(printed), result);
  }
}

int32_t delivery(const char* entry, const char* port, const char* model, const char* text, const char* number) {
  return package::guarded<int32_t>(entry, 0,
                                   [&] { return imp::ImprimeEntrega(t(port), t(model), t(text), t(number)) ? 1 : 0; });
}

using package::text_under_cs;
using package::under_cs_void;

}  // namespace

extern "C" {

IMP_API void Cli_imp00000_ImpCancProduto(const imp_variant* packet, const char* t1, const char* t2, const char* t3,
                                         const char* t4, const char* t5, const char* t6, const char* t7, const char* t8,
                                         const char* t9, const char* t10, const char* t11, const char* t12,
                                         const char* t13) {
  under_cs_void("ImpCancProduto", [&] {
    const CancTexts texts = {t(t1), t(t2), t(t3),  t(t4),  t(t5),  t(t6), t(t7),
                             t(t8), t(t9), t(t10), t(t11), t(t12), t(t13)};
    imp::ImpCancProduto(arg(packet), texts);
  });
}

IMP_API void Cli_imp00000_ImpParcialConta_Brasil(const char* text) {
  under_cs_void("ImpParcialConta_Brasil", [&] { imp::ImpParcialConta_Brasil(t(text)); });
}

IMP_API void setCupomCancelado(const imp_variant* items, int32_t count, imp_variant* result) {
  cancelled_sale("setCupomCancelado", items, count, result);
}
IMP_API void Cli_imp00000_setCupomCancelado(const imp_variant* items, int32_t count, imp_variant* result) {
  cancelled_sale("setCupomCancelado", items, count, result);
}

IMP_API int32_t ImprimeEntrega(const char* port, const char* model, const char* text, const char* number) {
  return delivery("ImprimeEntrega", port, model, text, number);
}
IMP_API int32_t Cli_imp00000_ImprimeEntrega(const char* port, const char* model, const char* text, const char* number) {
  return delivery("ImprimeEntrega", port, model, text, number);
}

IMP_API char* Cli_imp00000_TrdmImpressoras_FormataBematech_MP100(const char* text, const char* port) {
  return text_under_cs("FormataBematech_MP100", [&] { return imp::FormataBematech_MP100(t(text), t(port)); });
}

IMP_API void Cli_imp00400_TrdmBematechMP100_setCupomCancelado_MP100(
    const char* w0, const char* w1, const char* w2, const char* w3, const char* w4, const char* w5, const char* w6,
    const char* w7, const char* w8, const char* w9, const char* w10, const char* w11, const char* w12, const char* w13,
    int32_t b14, const char* w15, const char* w16, const char* w17, const char* w18, const char* w19, const char* w20,
    const char* w21, const char* w22, const imp_variant* items, int32_t* result) {
  const bool printed = package::guarded<bool>("setCupomCancelado_MP100", false, [&] {
    std::lock_guard lock(*globals::cs.load());
    VariantArray args;
    for (const char* s : {w0, w1, w2, w3, w4, w5, w6, w7, w8, w9, w10, w11, w12, w13}) args.emplace_back(w(s));
    args.emplace_back(b14 != 0);
    for (const char* s : {w15, w16, w17, w18, w19, w20, w21, w22}) args.emplace_back(w(s));
    args.push_back(arg(items));
    return EnsureBematechMP100().setCupomCancelado_MP100(args);
  });
  if (result) *result = printed ? 1 : 0;
}

IMP_API void Cli_imp00400_TrdmBematechMP100_ImpConta_Bematech_MP100(
    const char* t1, const char* t2, const char* t3, const char* t4, const char* t5, const imp_variant* items, double a1,
    double a2, double a3, double a4, double a5, double a6, double a7, const char* t6, const char* t7, const char* t8,
    const char* t9, const char* t10, const char* t11, const char* t12, const char* t13, const char* t14,
    const char* t15, const char* t16, const char* t17, const char* t18, const char* t19, const char* t20,
    const char* t21, const char* t22) {
  under_cs_void("ImpConta_Bematech_MP100", [&] {
    const std::array<std::string, 23> texts = {"",     t(t1),  t(t2),  t(t3),  t(t4),  t(t5),  t(t6),  t(t7),
                                               t(t8),  t(t9),  t(t10), t(t11), t(t12), t(t13), t(t14), t(t15),
                                               t(t16), t(t17), t(t18), t(t19), t(t20), t(t21), t(t22)};
    const std::array<double, 8> amounts = {0, a1, a2, a3, a4, a5, a6, a7};
    EnsureBematechMP100().ImpConta_Bematech_MP100(texts, arg(items), amounts);
  });
}

IMP_API void Cli_imp00400_TrdmBematechMP100_ImpCancelamento_Bematech_MP100(
    const imp_variant* packet, const char* t1, const char* t2, const char* t3, const char* t4, const char* t5,
    const char* t6, const char* t7, const char* t8, const char* t9, const char* t10, const char* t11, const char* t12,
    const char* t13) {
  under_cs_void("ImpCancelamento_Bematech_MP100", [&] {
    const CancTexts texts = {t(t1), t(t2), t(t3),  t(t4),  t(t5),  t(t6), t(t7),
                             t(t8), t(t9), t(t10), t(t11), t(t12), t(t13)};
    EnsureBematechMP100().ImpCancelamento_Bematech_MP100(arg(packet), texts);
  });
}

IMP_API char* Cli_imp00400_TrdmBematechMP100_Formata_Bematech_MP100(const char* text) {
  return text_under_cs("Formata_Bematech_MP100", [&] { return EnsureBematechMP100().Formata_Bematech_MP100(t(text)); });
}

IMP_API void Cli_imp00400_TrdmBematechMP100_adcBematechMP100BeforeConnect(void) {
  under_cs_void("adcBematechMP100BeforeConnect", [&] { EnsureBematechMP100().adcBematechMP100BeforeConnect(); });
}
IMP_API void Cli_imp00400_TrdmBematechMP100_adcBematechMP100AfterConnect(void) {
  under_cs_void("adcBematechMP100AfterConnect", [&] { EnsureBematechMP100().adcBematechMP100AfterConnect(); });
}

}  // extern "C"
