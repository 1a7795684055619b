#include "host/consiste.h"

#include <gtest/gtest.h>

#include "platform/cp1252.h"
#include "platform/rtl.h"

namespace imp {
namespace {

using Layout = std::string (*)(std::string_view, int);

TEST(Consiste, FixedWidthLayouts) {
  const struct {
    const char* name;
    Layout fn;
    const char* text;
    int width;
    const char* expected;
  } cases[] = {
      {"Centraliza", Centraliza, "ABC", 8, "  ABC   "},  // the odd blank goes on the right
      {"Centraliza", Centraliza, "ABCD", 8, "  ABCD  "},
      {"Centraliza", Centraliza, "ABCDEFGHIJ", 8, "ABCDEFGHIJ"},
      {"Centraliza", Centraliza, "ABC", 3, "ABC"},
      {"Centraliza", Centraliza, "", 3, "   "},
      {"Centraliza", Centraliza, "ABC", -1, "ABC"},
      {"PadL", PadL, "12,50", 8, "   12,50"},
      {"PadL", PadL, "1234567890", 8, "1234567890"},
      {"PadL", PadL, "12", -4, "12"},
      {"PadR", PadR, "Subtotal", 10, "Subtotal  "},
      {"PadR", PadR, "Subtotal", 3, "Subtotal"},
      {"PadR", PadR, "x", -1, "x"},
      {"TamFixo", TamFixo, "SANGRIA", 10, "SANGRIA   "},
      {"TamFixo", TamFixo, "SANGRIA", 4, "SANG"},
      {"TamFixo", TamFixo, "SANGRIA", 0, ""},
      {"TamFixo", TamFixo, "SANGRIA", -3, ""},
      {"TamFixoR", TamFixoR, "12,50", 8, "   12,50"},
      {"TamFixoR", TamFixoR, "1234567890", 4, "1234"},
      {"TamFixoR", TamFixoR, "12", -1, ""},
      {"Right", Right, "0001234567", 5, "34567"},
      {"Right", Right, "123", 5, "123"},
      {"Right", Right, "123", 0, ""},
      {"Right", Right, "123", -2, ""},
      {"Ajusta", Ajusta, "7", 3, "007"},
      {"Ajusta", Ajusta, "123456", 6, "123456"},
      {"Ajusta", Ajusta, "1234567", 6, "1234567"},
      {"Ajusta", Ajusta, "", 2, "00"},
      {"Ajusta", Ajusta, "7", -1, "7"},
      {"Replicate", Replicate, "-", 5, "-----"},
      {"Replicate", Replicate, "=-", 3, "=-=-=-"},
      {"Replicate", Replicate, "-", 0, ""},
      {"Replicate", Replicate, "-", -4, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.fn(c.text, c.width), c.expected) << c.name << "(\"" << c.text << "\", " << c.width << ")";
  EXPECT_EQ(Replicate('=', 4), "====");
  EXPECT_EQ(Replicate('=', -4), "");
}

TEST(Consiste, RemoveAcentosMapsEveryAccentedLetter) {
  EXPECT_EQ(RemoveAcentos("ÀÁÂÃÄÅàáâãäåÈÉÊËèéêëÌÍÎÏìíîïÒÓÔÕÖØòóôõöøÙÚÛÜùúûüÝýÿŸÑñÇçŠšŽž"_cp),
            "AAAAAAaaaaaaEEEEeeeeIIIIiiiiOOOOOOooooooUUUUuuuuYyyYNnCcSsZz");
  EXPECT_EQ(RemoveAcentos("Promoção: pão de açúcar"_cp), "Promocao: pao de acucar");
  // Control bytes and other symbols stay as they are.
  const std::string bytes("\x1b\x21\x00\x1d\xe9\x80\xba\xd7\xf7\xdf", 10);
  EXPECT_EQ(RemoveAcentos(bytes), std::string("\x1b\x21\x00\x1d"
                                              "e\x80\xba\xd7\xf7\xdf",
                                              10));
}

TEST(Consiste, EmptyStringAndIif) {
  EXPECT_TRUE(EmptyString(""));
  EXPECT_TRUE(EmptyString("   "));
  EXPECT_FALSE(EmptyString(" a "));
  EXPECT_FALSE(EmptyString("\x1b"));  // a printer command is content

  EXPECT_EQ(iif(true,
                Variant("\x1b"
                        "E"),
                Variant(""))
                .to_text(),
            "\x1b"
            "E");
  EXPECT_EQ(iif(false, Variant(1), Variant(2)).to_int(), 2);
}

TEST(Consiste, MoneyIsDecidedOnTheDecimalValue) {
  const struct {
    double value;
    double trunc2, round2;
  } cases[] = {
      {3.57 * 19 / 119, 0.57, 0.57},
      {0.29 * 100 / 100, 0.29, 0.29},
      {2.675, 2.67, 2.68},
      {-2.675, -2.67, -2.68},
      {1.005, 1.0, 1.01},
      {-1.999, -1.99, -2.0},
      {10.0 / 3, 3.33, 3.33},
      {19.999, 19.99, 20.0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Trunc2(c.value), c.trunc2) << c.value;
    EXPECT_EQ(RoundDec(c.value, 2), c.round2) << c.value;
  }
  EXPECT_EQ(RoundDec(2.5, 0), 3.0);
  EXPECT_EQ(RoundDec(0.0005, 3), 0.001);
}

TEST(Consiste, PriDiaMes) {
  EXPECT_EQ(PriDiaMes(EncodeDateTime(2026, 3, 17, 15, 30, 0, 0)), EncodeDate(2026, 3, 1));
  EXPECT_EQ(PriDiaMes(EncodeDate(2024, 2, 29)), EncodeDate(2024, 2, 1));
  EXPECT_EQ(PriDiaMes(EncodeDateTime(2026, 12, 31, 23, 59, 59, 999)), EncodeDate(2026, 12, 1));
}

}  // namespace
}  // namespace imp
