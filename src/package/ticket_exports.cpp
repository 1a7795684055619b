// Exported orders and sale tickets. A direct call runs the routine on the caller's thread under the job lock,
// as the job thread does, so it never meets a job halfway through the data module or a printer.
#include <algorithm>
#include <functional>
#include <mutex>
#include <string>

#include "imp00000.h"
#include "module/globals.h"
#include "package/frame.h"
#include "platform/abi_variant.h"
#include "tickets/order_brasil.h"
#include "tickets/order_others.h"
#include "tickets/sale_ticket.h"

using namespace imp;

namespace {

template <typename F>
void under_cs(const char* entry, F&& body) {
  package::under_cs_void(entry, std::forward<F>(body));
}
using package::text_under_cs;

Variant arg(const imp_variant* v) {
  return v ? abi::from_abi(*v) : Variant();
}

std::string_view t(const char* s) {
  return abi::text_arg(s);
}

uint8_t columns_arg(int32_t columns) {
  return static_cast<uint8_t>(std::clamp(columns, 0, 255));
}

using Header = std::string (*)(std::string_view, std::string_view, std::string_view, std::string_view, std::string_view,
                               std::string_view, std::string_view, std::string_view, std::string_view, uint8_t);

char* order_header(const char* entry, Header header, const char* st_imp_pos_obs, const char* tipovenda,
                   const char* cdvendedor, const char* nmvendedor, const char* nmsala, const char* dscomanda,
                   const char* nrmesa, const char* senhacupom, const char* line_end, int32_t columns) {
  return text_under_cs(entry, [&] {
    return header(t(st_imp_pos_obs), t(tipovenda), t(cdvendedor), t(nmvendedor), t(nmsala), t(dscomanda), t(nrmesa),
                  t(senhacupom), t(line_end), columns_arg(columns));
  });
}

}  // namespace

extern "C" {

IMP_API void Cli_imp00000_ImpPedido_Brasil(const imp_variant* dados1, const imp_variant* dados4, int32_t puxa) {
  under_cs("ImpPedido_Brasil", [&] { imp::ImpPedido_Brasil(arg(dados1), arg(dados4), puxa != 0); });
}
IMP_API void Cli_imp00000_ImpPedido_Colombia(const imp_variant* dados1, const imp_variant* dados4) {
  under_cs("ImpPedido_Colombia", [&] { imp::ImpPedido_Colombia(arg(dados1), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpPedido_Peru(const imp_variant* dados1, const imp_variant* dados4) {
  under_cs("ImpPedido_Peru", [&] { imp::ImpPedido_Peru(arg(dados1), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpPedido_Mexico(const imp_variant* dados1, const imp_variant* dados4) {
  under_cs("ImpPedido_Mexico", [&] { imp::ImpPedido_Mexico(arg(dados1), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpPedido_Americano(const imp_variant* dados1, const imp_variant* dados4) {
  under_cs("ImpPedido_Americano", [&] { imp::ImpPedido_Americano(arg(dados1), arg(dados4)); });
}

IMP_API char* Cli_imp00000_Cabecalho_Pedido_Brasil(const char* cdfilial, const char* cdloja, const char* st_imp_pos_obs,
                                                   const char* tipovenda, const char* cdvendedor,
                                                   const char* nmvendedor, const char* nmsala, const char* dscomanda,
                                                   const char* nrcomanda, const char* nrmesa, const char* senhacupom,
                                                   const char* line_end, const char* nmconsvend, int32_t columns,
                                                   int32_t puxa, const char* idretballoja, const char* cdoperador,
                                                   const char* nmoperador) {
  return text_under_cs("Cabecalho_Pedido_Brasil", [&] {
    return imp::Cabecalho_Pedido_Brasil(t(cdfilial), t(cdloja), t(st_imp_pos_obs), t(tipovenda), t(cdvendedor),
                                        t(nmvendedor), t(nmsala), t(dscomanda), t(nrcomanda), t(nrmesa), t(senhacupom),
                                        t(line_end), t(nmconsvend), columns_arg(columns), puxa != 0, t(idretballoja),
                                        t(cdoperador), t(nmoperador));
  });
}
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Colombia(const char* st_imp_pos_obs, const char* tipovenda,
                                                     const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                     const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                     const char* line_end, int32_t columns) {
  return order_header("Cabecalho_Pedido_Colombia", imp::Cabecalho_Pedido_Colombia, st_imp_pos_obs, tipovenda,
                      cdvendedor, nmvendedor, nmsala, dscomanda, nrmesa, senhacupom, line_end, columns);
}
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Peru(const char* st_imp_pos_obs, const char* tipovenda,
                                                 const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                 const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                 const char* line_end, int32_t columns) {
  return order_header("Cabecalho_Pedido_Peru", imp::Cabecalho_Pedido_Peru, st_imp_pos_obs, tipovenda, cdvendedor,
                      nmvendedor, nmsala, dscomanda, nrmesa, senhacupom, line_end, columns);
}
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Mexico(const char* st_imp_pos_obs, const char* tipovenda,
                                                   const char* cdvendedor, const char* nmvendedor, const char* nmsala,
                                                   const char* dscomanda, const char* nrmesa, const char* senhacupom,
                                                   const char* line_end, int32_t columns) {
  return order_header("Cabecalho_Pedido_Mexico", imp::Cabecalho_Pedido_Mexico, st_imp_pos_obs, tipovenda, cdvendedor,
                      nmvendedor, nmsala, dscomanda, nrmesa, senhacupom, line_end, columns);
}
IMP_API char* Cli_imp00000_Cabecalho_Pedido_Americano(const char* st_imp_pos_obs, const char* tipovenda,
                                                      const char* cdvendedor, const char* nmvendedor,
                                                      const char* nmsala, const char* dscomanda, const char* nrmesa,
                                                      const char* senhacupom, const char* line_end, int32_t columns) {
  return order_header("Cabecalho_Pedido_Americano", imp::Cabecalho_Pedido_Americano, st_imp_pos_obs, tipovenda,
                      cdvendedor, nmvendedor, nmsala, dscomanda, nrmesa, senhacupom, line_end, columns);
}

IMP_API char* Cli_imp00000_TrdmImpressoras_ConvertFracionario(double quantity) {
  return text_under_cs("ConvertFracionario", [&] { return imp::ConvertFracionario(quantity); });
}

IMP_API void Cli_imp00000_ImpCupom_Brasil(const imp_variant* dados1, const imp_variant* dados2,
                                          const imp_variant* dados3, const imp_variant* dados4, const char* kind) {
  under_cs("ImpCupom_Brasil",
           [&] { imp::ImpCupom_Brasil(arg(dados1), arg(dados2), arg(dados3), arg(dados4), t(kind)); });
}
IMP_API void Cli_imp00000_ImpCupom_Colombia(const imp_variant* dados1, const imp_variant* dados2,
                                            const imp_variant* dados3, const imp_variant* dados4) {
  under_cs("ImpCupom_Colombia", [&] { imp::ImpCupom_Colombia(arg(dados1), arg(dados2), arg(dados3), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpCupom_Peru(const imp_variant* dados1, const imp_variant* dados2, const imp_variant* dados3,
                                        const imp_variant* dados4) {
  under_cs("ImpCupom_Peru", [&] { imp::ImpCupom_Peru(arg(dados1), arg(dados2), arg(dados3), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpCupom_Mexico(const imp_variant* dados1, const imp_variant* dados2,
                                          const imp_variant* dados3, const imp_variant* dados4) {
  under_cs("ImpCupom_Mexico", [&] { imp::ImpCupom_Mexico(arg(dados1), arg(dados2), arg(dados3), arg(dados4)); });
}
IMP_API void Cli_imp00000_ImpCupom_Americano(const imp_variant* dados1, const imp_variant* dados2,
                                             const imp_variant* dados3, const imp_variant* dados4) {
  under_cs("ImpCupom_Americano", [&] { imp::ImpCupom_Americano(arg(dados1), arg(dados2), arg(dados3), arg(dados4)); });
}

}  // extern "C"
