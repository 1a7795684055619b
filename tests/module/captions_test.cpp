#include "module/captions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace imp {
namespace {

TEST(Captions, CountryCodePicksItsTable) {
  struct Case {
    const char* country;
    const TMessages* table;
    const char* key;
    const char* text;
  };
  const Case cases[] = {
      {"01", &msgPadraoColombia(), "CANT", "CANT."},
      {"05", &msgPadraoColombia(), "CAIXA", "CAJA"},
      {"02", &msgPadraoPeru(), "PONTODEVENDA", "PUNTO DE VENTA"},
      {"03", &msgPadraoMexico(), "PUNTODEVENTA", "PUNTO DE VENTA"},
      {"04", &msgPadraoAmericano(), "DATA", "DATE"},
      {"", &msgPadraoBrasil(), "DATA", "DATA"},
      {"99", &msgPadraoBrasil(), "CAIXA", "CAIXA"},
      {"1", &msgPadraoBrasil(), "CUPOM", "NR.CUPOM"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.country);
    const TMessages& table = CaptionTable(c.country);
    EXPECT_EQ(&table, c.table);
    EXPECT_EQ(table.Msg(c.key), c.text);
  }
}

// Every line written in the tables is kept, duplicates included.
TEST(Captions, TablesHoldEveryLine) {
  EXPECT_EQ(msgPadraoBrasil().Messages().size(), 88u);
  EXPECT_EQ(msgPadraoAmericano().Messages().size(), 69u);
  EXPECT_EQ(msgPadraoPeru().Messages().size(), 67u);
  EXPECT_EQ(msgPadraoMexico().Messages().size(), 68u);
  EXPECT_EQ(msgPadraoColombia().Messages().size(), 104u);
  EXPECT_EQ(msgPadrao().Messages().size(), 241u);

  const auto& us = msgPadraoAmericano().Messages();
  EXPECT_EQ(std::count(us.begin(), us.end(), "DATA|DATE"), 2);
  EXPECT_EQ(msgPadraoAmericano().Msg("DATA"), "DATE");
  const auto& pe = msgPadraoPeru().Messages();
  EXPECT_EQ(pe.front(), "DATA|FECHA");
  EXPECT_EQ(pe[pe.size() - 2], "DESCRICAO|DESCRIPCI\xD3N");
}

TEST(Captions, LookupIgnoresCaseAndUnknownKeysAreEmpty) {
  const TMessages& br = msgPadraoBrasil();
  EXPECT_EQ(br.Msg("DATA1"), "Data:");
  EXPECT_EQ(br.Msg("nmcons"), "Consumidor..: ");
  EXPECT_EQ(br.Msg("creditopessoal"), "VENDA - CREDITO PESSOAL");
  EXPECT_EQ(br.Msg("COMPRDEBITO"), "Venda - Debito Consumidor");
  EXPECT_EQ(br.Msg("Tp_Receb"), "");
  EXPECT_EQ(msgPadraoPeru().Msg("EMISION"), "");
  EXPECT_EQ(msgPadraoColombia().Msg("EMISION"), "EMISION");
}

TEST(Captions, MexicoDiffersFromPeruOnlyInItsOwnKeys) {
  const TMessages& mx = msgPadraoMexico();
  EXPECT_EQ(mx.Msg("RUC"), "RUC");
  EXPECT_EQ(mx.Msg("PUNTODEVENTA"), "PUNTO DE VENTA");
  EXPECT_EQ(mx.Msg("PONTODEVENDA"), "");
  EXPECT_EQ(msgPadraoPeru().Msg("RUC"), "");
  for (const char* key : {"DATA", "TOTALPERU", "ATENCAO", "TIPOSANGRIA", "DESCRICAO"}) {
    EXPECT_EQ(mx.Msg(key), msgPadraoPeru().Msg(key)) << key;
  }
}

// Captions are Windows-1252, one byte per printed column.
TEST(Captions, AccentedCaptionsAreSingleByte) {
  EXPECT_EQ(msgPadraoBrasil().Msg("PRECO_SUBSIDIO"), "Pre\xE7o subsidiado:");
  EXPECT_EQ(msgPadraoBrasil().Msg("Erro_NF"), "Erro de impress\xE3o na impressora n\xE3o fiscal.");
  EXPECT_EQ(msgPadraoColombia().Msg("DESCRICAO"), "DESCRIPCI\xD3N");
  EXPECT_EQ(msgPadraoMexico().Msg("DESCRICAO"), "DESCRIPCI\xD3N");
}

TEST(Captions, EveryTableHasTheSoftwareMakerLine) {
  const std::string maker(kSoftwareMakerLine);
  for (const TMessages* t :
       {&msgPadraoBrasil(), &msgPadraoAmericano(), &msgPadraoPeru(), &msgPadraoMexico(), &msgPadraoColombia()}) {
    EXPECT_EQ(t->Msg("VELMORA"), maker);
  }
  EXPECT_EQ(msgPadrao().Msg("Velmora"), maker);
}

TEST(Captions, GeneralTableHasACaptionForEveryKey) {
  for (const auto& line : msgPadrao().Messages()) {
    const auto bar = line.find('|');
    ASSERT_NE(bar, std::string::npos) << line;
    EXPECT_GT(bar, 0u) << line;
    EXPECT_LT(bar + 1, line.size()) << line;
  }
  const TMessages& m = msgPadrao();
  EXPECT_EQ(m.Msg("SEN_PED"), "SENHA PEDIDO:  ");
  EXPECT_EQ(m.Msg("data1"), "Data:");
  EXPECT_NE(m.Msg("LIMDIA"), "");
  EXPECT_NE(m.Msg("SaldoExcedente"), "");
  // The registration caption prints as two lines: characters 1-45, then from 47 on.
  const std::string cad = m.Msg("COMPLETE_CAD");
  ASSERT_GT(cad.size(), 46u);
  EXPECT_EQ(cad[45], ' ');
  EXPECT_NE(cad[44], ' ');
  EXPECT_NE(cad[46], ' ');
}

}  // namespace
}  // namespace imp
