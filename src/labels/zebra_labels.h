// Adhesive labels of an order on Zebra label printers, for cups and packages: the 45 x 25 and 95 x 70 layouts in
// EPL2 (desktop printers of the TLP2844 class) and the sale labels of a ZD220 in ZPL II. Each label is composed
// in memory from the order rows (cdsPedido, copied into the work table cdsPedZebra) and sent straight to the
// printer; the last EPL2 label sent is kept in \dados\ImpNaoFiscal\ImpZebra\ZebraTLP2844.txt. A printer that
// does not take a label is logged with the destination and the reason; the routine sends nothing more in that
// call and the order goes on. None of them raises.
#pragma once

#include <string_view>

#include "platform/dataset.h"

namespace imp {

// One label per unit of each combo or promotion row (IDPROMOCAO or NOMEPRODPAI not empty) that prints on
// `porta`; those rows leave cdsPedido, whose filter and index stay as they were. `parametros` and `texto`
// are not read.
void ImpEtiqZebra45x25(ClientDataSet& parametros, std::string_view texto, std::string_view porta);
// The large labels of the order (rows of model 15 with a group number NRSEQ), all in one document to `porta`:
// one label per combo group, one per row of a single product. Once per order: nothing when boFimPedidoZebra
// is set, which it sets. `parametros` and `texto` are not read.
void ImpEtiqZebra95x70(ClientDataSet& parametros, std::string_view texto, std::string_view porta);
// The sale labels: one per unit of every order row (`filtro`, when not empty, a filter expression leaving rows
// out), numbered "01 de 03", with the button caption of the product and its remarks marked "+" (adds) or "-"
// (removes), each sent to `destino`, a port or a printer share.
void ImpZebraZd220(std::string_view CDFILIAL, std::string_view CDCAIXA, std::string_view NRSEQVENDA,
                   std::string_view filtro, std::string_view destino);
// Appends the date and time, " - " and the message to \dados\ImpNaoFiscal\ImpZebra\Log<MMYY>.txt (UTF-8), a
// folder it does not create; a failure goes to the daily module log.
void LogZebra(std::string_view message);

}  // namespace imp
