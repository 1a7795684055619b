// Texts the host composed itself, printed as they are: the partial bill of a table or comanda and the
// delivery ticket, which ends with the order number as a caption and a CODE 128 barcode.
#pragma once

#include <string_view>

namespace imp {

// The running bill on the station's printer for "PARCIALCONTA" (printer 3 of a station with an electronic
// fiscal system). A station without such a printer prints nothing. Failures are logged; the data module is
// freed at the end.
void ImpParcialConta_Brasil(std::string_view text);

// The delivery ticket: a maker's library unless the port is an LPT port, which is written directly (without
// the order number). Holds the job lock throughout. True exactly when the printer was opened and took the
// whole ticket.
bool ImprimeEntrega(std::string_view port, std::string_view model, std::string_view text, std::string_view number);

}  // namespace imp
