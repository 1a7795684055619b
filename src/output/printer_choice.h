// The choice of the printer for a job: printer 1 or 2 of the outlet by job kind and sale type, with the
// properties of its model (columns, line feed, closing command).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace imp {

// Kind: the job kind ("EMITECUPOM", "PEDIDO" ...). SaleTypes1/2: "T" serves every sale type, otherwise the
// letter of the one type the printer serves ("A" or "C"). Sets Model/Port to the chosen printer's, Columns,
// Ctrl1 (line feed) and Ctrl2 (closing command) to its model's properties, and records the model in
// stTipoImpressora.
void DefineParametrosImpressora(std::string_view Kind, int32_t& Columns, std::string& Ctrl1, std::string& Ctrl2,
                                std::string& Model, std::string& Port, std::string_view Model1, std::string_view Model2,
                                std::string_view Port1, std::string_view Port2, std::string_view SaleTypes1,
                                std::string_view SaleTypes2, std::string_view SaleType);

}  // namespace imp
