// Exported Zebra label layouts and the label log. Each runs on the caller's thread under the job lock, as the
// order routines that print labels do.
#include <string>

#include "imp00000.h"
#include "labels/zebra_labels.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/dataset.h"

using namespace imp;

namespace {

std::string_view t(const char* s) {
  return abi::text_arg(s);
}

using package::under_cs_void;

}  // namespace

extern "C" {

// The dataset parameter is not read by the layouts: their rows are cdsPedido's.
IMP_API void Cli_imp00000_TrdmImpressoras_ImpEtiqZebra45x25(const imp_variant*, const char* text, const char* port) {
  under_cs_void("ImpEtiqZebra45x25", [&] {
    ClientDataSet unused;
    imp::ImpEtiqZebra45x25(unused, t(text), t(port));
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_ImpEtiqZebra95x70(const imp_variant*, const char* text, const char* port) {
  under_cs_void("ImpEtiqZebra95x70", [&] {
    ClientDataSet unused;
    imp::ImpEtiqZebra95x70(unused, t(text), t(port));
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_ImpZebraZd220(const char* cdfilial, const char* cdcaixa,
                                                        const char* nrseqvenda, const char* filter,
                                                        const char* destination) {
  under_cs_void("ImpZebraZd220",
                [&] { imp::ImpZebraZd220(t(cdfilial), t(cdcaixa), t(nrseqvenda), t(filter), t(destination)); });
}

IMP_API void Cli_imp00000_LogZebra(const char* message) {
  under_cs_void("LogZebra", [&] { imp::LogZebra(t(message)); });
}

}  // extern "C"
