// The reference host: answers every host service the installed table leaves out, from imphost.json in the
// host folder (DESIGN.md, "The host folder") and a SQLite file of sequence numbers beside it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/services.h"
#include "platform/database.h"
#include "platform/port.h"
#include "platform/spooler.h"

namespace imp::host::reference {

std::string ParametersPacket();
FormatSettings Format();
PrinterProperties PropriedadesImpNF(std::string_view model);
// The built-in properties of a model (no imphost.json entry involved).
PrinterProperties BuiltinProperties(std::string_view model);
std::string GetStringConexZel(std::string_view system);
// How ODBC databases are reached ("odbcDrivers", "odbcTimeoutSeconds").
db::ConnectOptions DatabaseOptions();
// The print spooler ("spooler": {"server", "timeoutSeconds"}).
spooler::Settings SpoolerSettings();
// The port map ("ports", "portTimeoutSeconds").
port::PortMap PortConfig();
// The host programs, by upper-cased file name, whose MP-100 connection string is asked for with "212"
// ("connection212Executables"; none by default).
std::vector<std::string> Connection212Executables();
// How long an HTTP request may take, overriding the caller's figure ("httpTimeoutSeconds"; 0 when absent).
int HttpTimeoutSeconds();
// The address of the consumers' central service ("consumerCentralUrl"; "" when absent).
std::string ConsumerCentralUrl();
bool Mensagem(std::string_view text, std::string_view defaultButton);
// BuscaVenda from the host database: args (outlet, bill number, sale number); element 0 of the 10-element
// result is the packet of the bill's items (no rows when there is no such bill).
VariantArray BuscaVenda(const VariantArray& args);

// Sequence numbers kept in imphost-sequences.db in the host folder.
std::string NextNumber(std::string_view series, std::string_view key1, std::string_view key2, int64_t wrap_after);

}  // namespace imp::host::reference
