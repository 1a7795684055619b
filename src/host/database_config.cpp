#include "host/database_config.h"

#include "host/reference_host.h"

namespace imp::host {

db::ConnectOptions DatabaseOptions() {
  return reference::DatabaseOptions();
}

std::unique_ptr<db::Connection> Connect(std::string_view connection) {
  return db::connect(connection, DatabaseOptions());
}

spooler::Settings SpoolerSettings() {
  return reference::SpoolerSettings();
}

}  // namespace imp::host
