// What the module asks of its host: parameter record, formats, printer properties, connection string,
// sequence numbers, the yes/no dialog, translation, HTTPS, the sale lookup of delivery orders and the
// sibling package's printer family and consumer services.
//
// The host installs a table of callbacks (imp_host, see imp00000.h); every member it leaves NULL is answered
// by the reference host, which reads imphost.json in the host folder. A failing service raises imp::Error,
// which the calling routine logs.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "imp00000.h"
#include "platform/database.h"
#include "platform/rtl.h"
#include "platform/variant.h"

namespace imp::host {

// Installs the host's table (copied); nullptr restores the reference host. Refreshes the format settings.
void install(const imp_host* table);

// The outlet and terminal parameter record of the host's main form, as a data packet (UTF-8 JSON): one row,
// or no row when the host has none.
std::string ParametersPacket();

// The host's number formats; refresh_format() installs them as the module's current formats.
FormatSettings Format();
void refresh_format();
// imp::Error, naming `source`, when the currency format holds a value the runtime does not know (a symbol
// longer than 15 characters, currencyFormat outside 0-3, negCurrFormat outside 0-15, decimals outside 0-18).
void check_currency(const FormatSettings& fs, std::string_view source);

// PropriedadesImpNF: columns, line-feed text and closing command of a printer model.
struct PrinterProperties {
  int32_t columns = 48;
  std::string lineFeed = "\n";
  std::string closing;
};
PrinterProperties PropriedadesImpNF(std::string_view model);

// _GetStringConexZel and SetADODBSession.
std::string GetStringConexZel(std::string_view system);
void SetADODBSession(std::string_view connection);

// The SQL dialect of a connection (the choice the SQL storage makes between its texts): the scheme of the
// connection string ("sqlite:", "mssql:", "oracle:").
using db::Dialect;
using db::DialectOf;

// Mensagem: the yes/no question; true for yes.
bool Mensagem(std::string_view text, std::string_view defaultButton);
// Trad: translation of a form's captions.
void Trad(std::string_view formName);

// RequisicaoHTTPS: one request; returns the response body.
std::string RequisicaoHTTPS(std::string_view url, std::string_view body, std::string_view method,
                            const std::vector<std::string>& headers, std::string_view timeout,
                            std::string_view logFile);

// BuscaVenda: the sale of (outlet, bill, sale number); returns the 10-element result array.
VariantArray BuscaVenda(const VariantArray& args);

// The IT433TD printer family of the sibling package.
int32_t IniciaPorta_IT433TD(std::string_view port);
int32_t FormataTX_IT433TD(std::string_view port, std::string_view text);
int32_t ImprimeQRCode_IT433TD(std::string_view port, std::string_view data, std::string_view extra);
int32_t ImprimeCODE128_IT433TD(std::string_view port, std::string_view data);
int32_t AcionaGuilhotina_IT433TD(std::string_view port);
int32_t FechaPorta_IT433TD(std::string_view port);

// Online consumer services: `result` is the array the caller created (its elements are filled).
bool ExtratoConsOnline(const VariantArray& args, VariantArray& result);
bool ExtratoConsCentral(const VariantArray& args, VariantArray& result);
bool MoviclieCentral(const VariantArray& args, VariantArray& result);
bool FidelidadeOnline(const VariantArray& args, VariantArray& result);

// The host's sequence-number module: each call consumes one number.
class TdtmZelProxCodigo {
 public:
  // Next sale number of the outlet for that day: from 1, at most 6 digits.
  std::string PrxVendaDia(std::string_view outlet, double date);
  std::string PrxVendaConsumidor(std::string_view a, std::string_view b);
  std::string PrxRedZNFiscal(std::string_view outlet, std::string_view till);
  std::string PrxLeiXNFiscal(std::string_view outlet, std::string_view till);
};

}  // namespace imp::host
