// How the module reaches the host's database and spooler: the ODBC drivers and timeout of the host folder
// ("odbcDrivers", "odbcTimeoutSeconds" of imphost.json), whichever host supplies the connection string, and
// the print spooler ("spooler": {"server", "timeoutSeconds"}).
#pragma once

#include <memory>
#include <string_view>

#include "platform/database.h"
#include "platform/spooler.h"

namespace imp::host {

db::ConnectOptions DatabaseOptions();

// Opens the connection a connection string names, with the host folder's options.
std::unique_ptr<db::Connection> Connect(std::string_view connection);

spooler::Settings SpoolerSettings();

}  // namespace imp::host
