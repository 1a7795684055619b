// Exported logs and number and document utilities.
#include "host/numbers.h"
#include "host/senha.h"
#include "imp00000.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/log.h"

using namespace imp;

extern "C" {

IMP_API void Cli_imp00000_LogErroImpNaoFiscal(const char* text) {
  package::guarded_void("LogErroImpNaoFiscal", [&] { log::LogErroImpNaoFiscal(abi::text_arg(text)); });
}

IMP_API char* Cli_imp00000_NumeroEnLetras(double value) {
  char* r = package::guarded<char*>("NumeroEnLetras", nullptr, [&] { return abi::dup_text(NumeroEnLetras(value)); });
  return r ? r : abi::dup_text("");
}

IMP_API int32_t Cli_imp00000_MDC(int32_t a, int32_t b) {
  return package::guarded<int32_t>("MDC", 0, [&] { return MDC(a, b); });
}

IMP_API char* Cli_imp00000_TrdmImpressoras_formataCPFCNPJ(const char* digits) {
  char* r = package::guarded<char*>("formataCPFCNPJ", nullptr,
                                    [&] { return abi::dup_text(formataCPFCNPJ(abi::text_arg(digits))); });
  return r ? r : abi::dup_text("");
}

IMP_API void Cli_imp00000_TrdmImpressoras_getSenhaCupom(const char* outlet_utf8, double date, imp_variant* result) {
  if (result) abi::to_abi(Variant(), result);  // an output: what it held is not ours to free
  package::guarded_void("getSenhaCupom", [&] {
    Variant v = getSenhaCupom(abi::text_arg(outlet_utf8), date);
    if (result) abi::to_abi(v, result);
  });
}

}  // extern "C"
