// The reference host's HTTP(S) client on libcurl, with certificate checks always on, and the consumer
// services it reaches through it.
//
// A request sends `body` with the given method and headers ("name=value", as the host's https_request
// receives them). It fails (imp::Error, with the
// reason) on a refused or unreachable address, a certificate that does not verify, a time-out, or a status
// outside 200-299. The time-out is the caller's figure in seconds unless imphost.json's httpTimeoutSeconds
// overrides it. A log file, when given, gets one line per request and one per response; an Authorization
// header is written as "Authorization: ***".
//
// The consumer services (ExtratoConsOnline, ExtratoConsCentral, MoviclieCentral, FidelidadeOnline) POST, with
// the header Content-Type=application/json, the body
//   {"servico": "<service name>", "argumentos": [<each argument>]}
// where a text is a JSON string (UTF-8), a number, boolean or null as itself, a date-time as {"date": ISO} and
// a data packet as {"packet": <the packet object>}; and read the answer
//   {"ok": true|false, "resultado": [<element 0>, <element 1>, ...]}
// whose elements take the same forms. ExtratoConsOnline goes to its argument 6 (the service address),
// FidelidadeOnline to its argument 1, the central services to consumerCentralUrl of imphost.json.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/variant.h"

namespace imp::host::reference {

std::string RequisicaoHTTPS(std::string_view url, std::string_view body, std::string_view method,
                            const std::vector<std::string>& headers, std::string_view timeout,
                            std::string_view logFile);

// One consumer service call on `url`: fills `result` from the answer and returns its "ok".
bool ConsumerService(std::string_view service, std::string_view url, const VariantArray& args, VariantArray& result);

}  // namespace imp::host::reference
