#include "host/messages.h"

#include <gtest/gtest.h>

namespace imp {
namespace {

TEST(TMessages, LookupRules) {
  TMessages m{"DATA|DATA", "Data1|Data:", "NmCons|Consumidor..: ", "DATA|DATE", "SEN_PED|SENHA PEDIDO:  ",
              "PIPE|a|b",  "no bar here"};
  struct Case {
    const char* key;
    const char* want;
  } cases[] = {
      {"DATA", "DATA"},                // the first of a duplicated key wins
      {"DATA1", "Data:"},              // keys match regardless of case
      {"nmcons", "Consumidor..: "},    // trailing blanks of the caption are kept
      {"SEN_PED", "SENHA PEDIDO:  "},  //
      {"PIPE", "a|b"},                 // only the first bar separates
      {"Tp_Receb", ""},                // unknown key: empty text
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(m.Msg(c.key), c.want) << c.key;
}

}  // namespace
}  // namespace imp
