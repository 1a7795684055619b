#include "host/numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <limits>

namespace imp {
namespace {

TEST(NumeroEnLetras, SpanishReading) {
  const struct {
    double amount;
    const char* words;
  } cases[] = {
      {0, "CERO"},
      {0.07, "CERO COMA SIETE"},
      {0.29, "CERO COMA VEINTE Y NUEVE"},
      {1.05, "UNO COMA CINCO"},
      {12.50, "DOCE COMA CINCUENTA"},
      {15, "QUINCE"},
      {21, "VEINTE Y UNO"},
      {100, "CIEN"},
      {101, "CIENTO UNO"},
      {121, "CIENTO VEINTE Y UNO"},
      {110, "CIENTO DIEZ"},
      {1000, "MIL"},
      {1016, "MIL DIECIS\xE9IS"},
      {2500, "DOS MIL QUINIENTOS"},
      {100000, "CIEN MIL"},
      {999999.99, "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE COMA NOVENTA Y NUEVE"},
      {1000000, "UN MILLON"},
      {1000001, "UN MILLON UNO"},
      {2500000, "DOS MILLONES QUINIENTOS MIL"},
      {999999999999.0,
       "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE MILLONES "
       "NOVECIENTOS NOVENTA Y NUEVE MIL NOVECIENTOS NOVENTA Y NUEVE"},
      {0.125, "CERO COMA DOCE"},  // cents round half to even
      {0.995, "UNO"},             // a rounded-up cent carries into the whole part
      {-5, ""},
      {-0.5, ""},
      {1e12, ""},
      {std::numeric_limits<double>::quiet_NaN(), ""},
      {std::numeric_limits<double>::infinity(), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NumeroEnLetras(c.amount), c.words) << c.amount;
}

TEST(MDC, EuclidRemainders) {
  const struct {
    int32_t a, b, gcd;
  } cases[] = {
      {25, 100, 25},         {100, 25, 25}, {7, 0, 7},   {0, 7, 7},
      {12, 18, 6},           {17, 5, 1},    {4, -6, -2}, {INT_MIN, -1, -1},  // the remainder by -1 must not overflow
      {INT_MIN, 0, INT_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(MDC(c.a, c.b), c.gcd) << c.a << ", " << c.b;
}

TEST(FormataCPFCNPJ, PunctuatesByLength) {
  const struct {
    const char* digits;
    const char* text;
  } cases[] = {
      {"12345678901", "123.456.789-01"},
      {"12345678000190", "12.345.678/0001-90"},
      {"1234567", "12.345.67/-"},  // short input: missing positions are empty pieces
      {"", "../-"},
      {"1234567800019099", "12.345.678/0001-90"},
  };
  for (const auto& c : cases) EXPECT_EQ(formataCPFCNPJ(c.digits), c.text) << c.digits;
}

}  // namespace
}  // namespace imp
