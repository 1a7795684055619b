// How the module reaches the host's database: the ODBC drivers and timeout of the host folder
// ("odbcDrivers", "odbcTimeoutSeconds" of imphost.json), whichever host supplies the connection string.
#pragma once

#include <memory>
#include <string_view>

#include "platform/database.h"

namespace imp::host {

db::ConnectOptions DatabaseOptions();

// Opens the connection a connection string names, with the host folder's options.
std::unique_ptr<db::Connection> Connect(std::string_view connection);

}  // namespace imp::host
