// Exported methods of the print data module. Each runs on rdmImpressoras (created when there is none) under
// the job lock, so a host call never meets a job halfway through the module's datasets.
#include <mutex>

#include "imp00000.h"
#include "module/data_module.h"
#include "module/globals.h"
#include "output/printer_choice.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "platform/error.h"
#include "platform/packet.h"

using namespace imp;

namespace {

// Runs `body` on the data module under `cs` (the package is loaded, so `cs` exists).
template <typename R, typename F>
R on_module(const char* entry, R fallback, F&& body) {
  return package::guarded<R>(entry, fallback, [&]() -> R {
    std::lock_guard lock(*globals::cs.load());
    return body(EnsureDataModule());
  });
}

template <typename F>
void on_module_void(const char* entry, F&& body) {
  package::guarded_void(entry, [&] {
    std::lock_guard lock(*globals::cs.load());
    body(EnsureDataModule());
  });
}

void set_var_text(char** out, const std::string& value) {
  if (out) *out = abi::dup_text(value);
}

}  // namespace

extern "C" {

IMP_API int32_t imp_dataset_set(const char* name, const imp_variant* packet) {
  return on_module<int32_t>("imp_dataset_set", 0, [&](TrdmImpressoras& rdm) -> int32_t {
    if (!name || !packet) return 0;
    Variant v = abi::from_abi(*packet);
    ClientDataSet& ds = rdm.cds(name);
    if (v.is_unassigned()) {
      ds.Close();
      return 1;
    }
    ds.LoadFromPacket(PacketJson(v, name));
    return 1;
  });
}

IMP_API int32_t imp_dataset_get(const char* name, imp_variant* packet) {
  if (packet) abi::to_abi(Variant(), packet);
  return on_module<int32_t>("imp_dataset_get", 0, [&](TrdmImpressoras& rdm) -> int32_t {
    if (!name || !packet) return 0;
    ClientDataSet& ds = rdm.cds(name);
    abi::to_abi(ds.Active() ? Variant::bytes(ds.SavePacket()) : Variant::null(), packet);
    return 1;
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_DataModuleCreate(const imp_variant*) {
  on_module_void("DataModuleCreate", [](TrdmImpressoras& rdm) { rdm.DataModuleCreate(); });
}
IMP_API void Cli_imp00000_TrdmImpressoras_adcImpPedidoBeforeConnect(const imp_variant*) {
  on_module_void("adcImpPedidoBeforeConnect", [](TrdmImpressoras& rdm) { rdm.adcImpPedidoBeforeConnect(); });
}
IMP_API void Cli_imp00000_TrdmImpressoras_adcImpPedidoAfterConnect(const imp_variant*) {
  on_module_void("adcImpPedidoAfterConnect", [](TrdmImpressoras& rdm) { rdm.adcImpPedidoAfterConnect(); });
}

IMP_API void Cli_imp00000_TrdmImpressoras_DefineParametrosImpressora(const char* kind, int32_t* columns, char** ctrl1,
                                                                     char** ctrl2, char** model, char** port,
                                                                     const char* model1, const char* model2,
                                                                     const char* port1, const char* port2,
                                                                     const char* sale_types1, const char* sale_types2,
                                                                     const char* sale_type) {
  on_module_void("DefineParametrosImpressora", [&](TrdmImpressoras&) {
    int32_t c = columns ? *columns : 0;
    std::string l, k, m, p;
    DefineParametrosImpressora(abi::text_arg(kind), c, l, k, m, p, abi::text_arg(model1), abi::text_arg(model2),
                               abi::text_arg(port1), abi::text_arg(port2), abi::text_arg(sale_types1),
                               abi::text_arg(sale_types2), abi::text_arg(sale_type));
    if (columns) *columns = c;
    set_var_text(ctrl1, l);
    set_var_text(ctrl2, k);
    set_var_text(model, m);
    set_var_text(port, p);
  });
}

IMP_API int32_t Cli_imp00000_TrdmImpressoras_CtrlImpress(int32_t op, const char* name, int32_t value) {
  return on_module<int32_t>("CtrlImpress", 0, [&](TrdmImpressoras& rdm) -> int32_t {
    return rdm.CtrlImpress(op, abi::text_arg(name), value != 0) ? 1 : 0;
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_getPrxVendaConsumidor(const char* a_utf8, const char* b_utf8,
                                                                imp_variant* result) {
  if (result) abi::to_abi(Variant(), result);
  on_module_void("getPrxVendaConsumidor", [&](TrdmImpressoras& rdm) {
    Variant v = rdm.getPrxVendaConsumidor(abi::text_arg(a_utf8), abi::text_arg(b_utf8));
    if (result) abi::to_abi(v, result);
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_PreencheImprimePedido(void) {
  on_module_void("PreencheImprimePedido", [](TrdmImpressoras& rdm) { rdm.PreencheImprimePedido(); });
}

IMP_API void Cli_imp00000_TrdmImpressoras_PreencheParamImpCupNF(const char* kind, const char* nr_nao_fiscal,
                                                                const char* venda_realizada, const char* nr_seq_venda,
                                                                double total_pago, const char* extra) {
  on_module_void("PreencheParamImpCupNF", [&](TrdmImpressoras& rdm) {
    rdm.PreencheParamImpCupNF(abi::text_arg(kind), abi::text_arg(nr_nao_fiscal), abi::text_arg(venda_realizada),
                              abi::text_arg(nr_seq_venda), total_pago, abi::text_arg(extra));
  });
}

IMP_API void Cli_imp00000_TrdmImpressoras_TrimAppMemorySize(void) {
  on_module_void("TrimAppMemorySize", [](TrdmImpressoras& rdm) { rdm.TrimAppMemorySize(); });
}

IMP_API char* Cli_imp00000_TrdmImpressoras_MensagemPadrao(const char* country, const char* key) {
  char* r = on_module<char*>("MensagemPadrao", nullptr, [&](TrdmImpressoras& rdm) {
    return abi::dup_text(rdm.MensagemPadrao(abi::text_arg(country), abi::text_arg(key)));
  });
  return r ? r : abi::dup_text("");
}

// The after-open handlers: the datasets keep no change log, so there is nothing to switch off.
#define IMP_AFTER_OPEN(name) \
  IMP_API void Cli_imp00000_TrdmImpressoras_##name##AfterOpen(const imp_variant*) {}
IMP_AFTER_OPEN(cdsPedidoZebra)
IMP_AFTER_OPEN(cdsRelProd)
IMP_AFTER_OPEN(cdsPedido)
IMP_AFTER_OPEN(cdsConferencia)
IMP_AFTER_OPEN(cdsCupom)
IMP_AFTER_OPEN(cdsImpImposto)
IMP_AFTER_OPEN(cdsProdDeb)
IMP_AFTER_OPEN(cdsTipoReceAber)
IMP_AFTER_OPEN(cdsMovFecha)
IMP_AFTER_OPEN(cdsProdVend)
IMP_AFTER_OPEN(cdsIdCaixa)
IMP_AFTER_OPEN(cdsMovCaixa)
IMP_AFTER_OPEN(cdsItemComanda)
IMP_AFTER_OPEN(cdsMovTot)
IMP_AFTER_OPEN(cdsTipoReceAux)
IMP_AFTER_OPEN(cdsRecebimento)
IMP_AFTER_OPEN(cdsVenda)
IMP_AFTER_OPEN(cdsParcialConta)
IMP_AFTER_OPEN(cdsImprimePedido)
IMP_AFTER_OPEN(cdsParametros)
IMP_AFTER_OPEN(cdsDadosFilial)
IMP_AFTER_OPEN(cdsTipoRece)
IMP_AFTER_OPEN(cdsQuivane)
IMP_AFTER_OPEN(cdsItCanc)
IMP_AFTER_OPEN(cdsPedidosAux)
IMP_AFTER_OPEN(cdsVendaBruta)
IMP_AFTER_OPEN(cdsProduto)
IMP_AFTER_OPEN(cdsConsumidor)
IMP_AFTER_OPEN(cdsConsumidorNFCe)
IMP_AFTER_OPEN(cdsComandaVen)
IMP_AFTER_OPEN(cdsVendas)
IMP_AFTER_OPEN(cdsImprimePedidoDlv)
IMP_AFTER_OPEN(cdsProdLoja)
IMP_AFTER_OPEN(cdsParamImpCupNF)
IMP_AFTER_OPEN(cdsParametrosZelAux)
IMP_AFTER_OPEN(cdsVendaBrutaCan)

}  // extern "C"
