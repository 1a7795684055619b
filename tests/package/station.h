// The station record (the host's parameter record) of the demo outlet, as imphost.json "parameters":
// branch 0001, shop 01, till 001, the kitchen printer (model 13 on LPT1) and the bar printer (model 4 on LPT2),
// the puxa report after the order.
#pragma once

#include <nlohmann/json.hpp>

namespace imp::test {

inline nlohmann::json demo_station() {
  return {{"CDEMPRESA", "0001"},     {"CDFILIAL", "0001"},    {"CDLOJA", "01"},
          {"CDCAIXA", "001"},        {"CDOPERADOR", "0007"},  {"NMOPERADOR", "Ana Souza"},
          {"IDPAISINTEGRA", ""},     {"IDTIPOIMPNF1", "13"},  {"CDPORTIMPNF1", "LPT1"},
          {"IDTPVENDIMPNF1", "T"},   {"IDTIPOIMPNF2", "4"},   {"CDPORTIMPNF2", "LPT2"},
          {"IDTPVENDIMPNF2", "T"},   {"NRSEQIMPRLOJA1", "1"}, {"NRSEQIMPRLOJA2", "2"},
          {"IDIMPPEDPROD", "S"},     {"IDIMPPUXANTPED", "N"}, {"IDENVCUPOMEMAIL", "N"},
          {"IDDEBCONSCENTRAL", "N"}, {"IDPOSOBSPED", "N"},    {"DTABERCAIX", {{"date", "2026-12-09T08:00:00"}}}};
}

}  // namespace imp::test
