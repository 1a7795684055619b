// Consumer accounts: the balances and consumption of a consumer of a client company, from the shop database,
// the company's central database or the online service (the host's consumer services).
#pragma once

#include <optional>
#include <string_view>

namespace imp::consumer {

// Fills cdsSaldoConsFamilia, cdsSaldoConsCred or cdsSaldoConsDeb of the data module as the sale's flags
// (boVendaCredCons, boVendaDebCons) and stImpSaldoCupom ask; the three are emptied first, so a sale never
// shows another's balance. A service that fails or does not answer is logged and leaves its dataset empty.
void RetornaSaldoConsumidor(std::string_view branch, std::string_view client, std::string_view consumer,
                            std::string_view onlineFlag, std::string_view onlineAddress, std::string_view centralFlag);

// Consumption today or this month (kinds "CONSLOJADIA", "CONSLOJAMES", "CONSDIA", "CONSMES"); days run from
// 00:00 to the end of 23:59:59.
double getConsumo(std::string_view branch, std::string_view shop, std::string_view client, std::string_view consumer,
                  std::string_view kind);
// The consumption after `date` (a date-time text in the host's short formats) over the consumer's subsidy.
double getSaldoExcedente(std::string_view client, std::string_view consumer, std::string_view date);
// Whether the till prints the consumer's name on its tickets (IDIMPNMCONSVEN "S").
bool ImprimirConsumidor(std::string_view branch, std::string_view till);

// The start of the payroll period that contains `today`: the end of the latest closing day (day `closingDay`
// of a month, the month's last day when it is shorter) before today. None for an empty or invalid day.
std::optional<double> PayrollPeriodStart(std::string_view closingDay, double today);

}  // namespace imp::consumer
