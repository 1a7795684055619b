#include "output/printer_choice.h"

#include "host/services.h"
#include "module/globals.h"
#include "output/bitmap_page.h"

namespace imp {

void DefineParametrosImpressora(std::string_view Kind, int32_t& Columns, std::string& Ctrl1, std::string& Ctrl2,
                                std::string& Model, std::string& Port, std::string_view Model1, std::string_view Model2,
                                std::string_view Port1, std::string_view Port2, std::string_view SaleTypes1,
                                std::string_view SaleTypes2, std::string_view SaleType) {
  auto serves = [](std::string_view types, char type) { return types == "T" || types == std::string(1, type); };
  bool second = false;  // printer 1 unless a rule below picks printer 2
  if (Kind == "EMITECUPOM" || Kind == "CANCELACUPOM") {
    char type = SaleType == "C" ? 'C' : 'A';
    second = !serves(SaleTypes1, type) && serves(SaleTypes2, type);
  } else if (Kind == "VENDA_NFCe" || Kind == "EXTRATO_SAT" || Kind == "EXTRATO_SAT_CANC" || Kind == "ABREGAVETA" ||
             Kind == "FECHACAIXA" || Kind == "REDUCAOZ") {
    second = false;
  } else {
    second = !serves(SaleTypes1, 'A') && serves(SaleTypes2, 'A');
  }
  Model = std::string(second ? Model2 : Model1);
  Port = std::string(second ? Port2 : Port1);

  host::PrinterProperties p = host::PropriedadesImpNF(Model);
  Columns = p.columns;
  Ctrl1 = p.lineFeed;
  Ctrl2 = p.closing;
  globals::stTipoImpressora.set(Model);
  StartBitMap(Model);  // a bitmap model's page begins with its parameters
}

}  // namespace imp
