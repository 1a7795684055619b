// Loyalty services of the print data module: the e-mailed coupon, the active points campaign, a consumer's
// points, the CRM-bonus order and the AME payment QR code.
#pragma once

#include <string>
#include <string_view>

#include "platform/variant.h"

namespace imp::consumer {

// True when the sale's coupon was already sent by e-mail (IDSITENVCUPOM "A"); logs "Open adqEnviaEmailCupom".
bool cupomEnviadoEmail(std::string_view branch, std::string_view till, std::string_view sale);
// [0] the campaign active today for the branch ("" when none), [1] the loyalty service's address.
VariantArray getCampanha(std::string_view branch);
// [0] the points balance (credited minus redeemed and not yet printed), [1] the points redeemed in the sale,
// [2] whether the consumer has a campaign.
VariantArray getDescSaldoFid(std::string_view client, std::string_view consumer, std::string_view branch,
                             std::string_view till, std::string_view sale);

// The bonus order of the CRM-bonus service for the phone of the host's current sale, on the shop's service
// (LOJA: IDCRMBONUS "S", address, authorisation, establishment code, kept in stUrlCRMBONUS, stAuthCRMBONUS,
// stCodeCRMBONUS). True once the service answered with "status": true; the answer goes to stCRMBONUSResult and
// its bonus balance, with a decimal comma, to stSaldoCRMBONUS. False leaves both as they were.
bool criaOrdemCRMBONUS();
// A field of the last answer (stCRMBONUSResult) as text: numbers as written, texts without quotes; "" when
// the answer has no such field.
std::string retornaCampoJSONCRMBONUS(std::string_view field);

// The AME wallet's payment QR code on the station's third printer (IDTIPOIMPNF3 on CDPORTIMPNF3; `model`
// when the station names none), through the device operations.
void imprimeQRCodeAME(std::string_view model, std::string_view qrText);

}  // namespace imp::consumer
