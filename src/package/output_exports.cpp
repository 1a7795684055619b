// Exported printer-model routines and text print paths.
#include <mutex>

#include "imp00000.h"
#include "module/globals.h"
#include "output/print_path.h"
#include "output/spool.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/cp1252.h"

using namespace imp;

namespace {

using package::under_cs;

char* text_result(char* r) {
  return r ? r : abi::dup_text("");
}

}  // namespace

extern "C" {

IMP_API char* Cli_imp00000_ModeloImpressora(const char* code) {
  return text_result(package::guarded<char*>("ModeloImpressora", nullptr,
                                             [&] { return abi::dup_text(ModeloImpressora(abi::text_arg(code))); }));
}

IMP_API int32_t Cli_imp00000_IniciaPorta(const char* port) {
  return under_cs<int32_t>("IniciaPorta", 0, [&] { return IniciaPorta(abi::text_arg(port)); });
}

IMP_API int32_t Cli_imp00000_Formata(const char* text, int32_t letter_type, int32_t italic, int32_t underline,
                                     int32_t expanded, int32_t bold) {
  return under_cs<int32_t>(
      "Formata", 0, [&] { return Formata(abi::text_arg(text), letter_type, italic, underline, expanded, bold); });
}

IMP_API int32_t Cli_imp00000_EnviaComando(const char* command) {
  return under_cs<int32_t>("EnviaComando", 0, [&] { return EnviaComando(abi::text_arg(command)); });
}

IMP_API int32_t Cli_imp00000_ResetImpressora(const char* model, const char* port) {
  return under_cs<int32_t>("ResetImpressora", 0,
                           [&] { return ResetImpressora(abi::text_arg(model), abi::text_arg(port)); });
}

IMP_API int32_t Cli_imp00000_FechaP_Bematech_MP2032(void) {
  return under_cs<int32_t>("FechaP_Bematech_MP2032", 0, [&] { return FechaP_Bematech_MP2032(); });
}

IMP_API int32_t Cli_imp00000_TrdmImpressoras_DoPortMapping(const char* model, const char* port) {
  return under_cs<int32_t>("DoPortMapping", 0,
                           [&] { return DoPortMapping(abi::text_arg(model), abi::text_arg(port)) ? 1 : 0; });
}

IMP_API void Cli_imp00000_TrdmImpressoras_Envia_Dados_Impressora(const char* model, const char* port, const char* text,
                                                                 const char* line_feed, const char* closing,
                                                                 const char* no_extra_feed, const char* share) {
  under_cs<int32_t>("Envia_Dados_Impressora", 0, [&] {
    Envia_Dados_Impressora(abi::text_arg(model), abi::text_arg(port), abi::text_arg(text), abi::text_arg(line_feed),
                           abi::text_arg(closing), abi::text_arg(no_extra_feed), abi::text_arg(share));
    return 0;
  });
}

IMP_API void Cli_imp00000_AjustaImpressaoDireta(const char* report, const char* model, const char* port,
                                                int32_t* columns) {
  package::guarded_void("AjustaImpressaoDireta", [&] {
    if (!columns) return;
    int32_t c = *columns;
    AjustaImpressaoDireta(abi::text_arg(report), abi::text_arg(model), abi::text_arg(port), c);
    *columns = c;
  });
}
IMP_API void AjustaImpressaoDireta(const char* report, const char* model, const char* port, int32_t* columns) {
  Cli_imp00000_AjustaImpressaoDireta(report, model, port, columns);
}

IMP_API int32_t Cli_imp00000_ImprimePadrao(const char* port, const char* model, const char* text) {
  // ImprimePadrao takes the job lock itself and releases it before freeing the data module.
  return package::guarded<int32_t>("ImprimePadrao", 0, [&] {
    return ImprimePadrao(abi::text_arg(port), abi::text_arg(model), abi::text_arg(text)) ? 1 : 0;
  });
}
IMP_API int32_t ImprimePadrao(const char* port, const char* model, const char* text) {
  return Cli_imp00000_ImprimePadrao(port, model, text);
}

IMP_API void Cli_imp00000_ImprimeNF(const char* port, const char* model, const char* text, char** result) {
  std::string r = "Erro na impressão da impressora não fiscal"_cp;
  package::guarded_void("ImprimeNF", [&] {
    std::lock_guard lock(*globals::cs.load());
    ImprimeNF(abi::text_arg(port), abi::text_arg(model), abi::text_arg(text), r);
  });
  if (result) *result = abi::dup_text(r);
}
IMP_API void ImprimeNF(const char* port, const char* model, const char* text, char** result) {
  Cli_imp00000_ImprimeNF(port, model, text, result);
}

IMP_API int32_t Cli_imp00000_VersaoWindows7ouSuperior(void) {
  return package::guarded<int32_t>("VersaoWindows7ouSuperior", 0, [] { return VersaoWindows7ouSuperior() ? 1 : 0; });
}

IMP_API int32_t Cli_imp00000_TrdmImpressoras_SendSpool(const char* share, const char* port, const char* driver_filter,
                                                       const char* document_name, const char* data, int32_t keep_backup,
                                                       int32_t finish) {
  return under_cs<int32_t>("SendSpool", 0, [&] {
    return SendSpool(abi::text_arg(share), abi::text_arg(port), abi::text_arg(driver_filter),
                     abi::text_arg(document_name), abi::text_arg(data), keep_backup != 0, finish != 0);
  });
}

IMP_API char* Cli_imp00000_GetHost(void) {
  return text_result(package::guarded<char*>("GetHost", nullptr, [] { return abi::dup_text(GetHost()); }));
}

IMP_API char* Cli_imp00000_GetIpAddress(void) {
  return text_result(package::guarded<char*>("GetIpAddress", nullptr, [] { return abi::dup_text(GetIpAddress()); }));
}

}  // extern "C"
