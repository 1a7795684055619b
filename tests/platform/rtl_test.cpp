#include "platform/rtl.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/error.h"

namespace imp {
namespace {

FormatSettings brazil() {
  return FormatSettings{};
}
FormatSettings us() {
  FormatSettings fs;
  fs.decimalSeparator = '.';
  fs.thousandSeparator = ',';
  fs.shortDate = "mm/dd/yyyy";
  fs.shortTime = "hh:nn:ss";
  return fs;
}

TEST(FormatSettings, SeparatorsComeFromTheShortPatterns) {
  FormatSettings fs;
  EXPECT_EQ(fs.dateSeparator(), '/');
  EXPECT_EQ(fs.timeSeparator(), ':');
  fs.shortDate = "yyyy-mm-dd";
  fs.shortTime = "hh.nn";
  EXPECT_EQ(fs.dateSeparator(), '-');
  EXPECT_EQ(fs.timeSeparator(), '.');
}

TEST(FormatFloat, PatternsWithBothSeparatorStyles) {
  const struct {
    const char* pattern;
    double value;
    const char* br;
    const char* us;
  } cases[] = {
      {"0.00", 2.675, "2,68", "2.68"},
      {"0.00", 1.005, "1,01", "1.01"},
      {"#,##0.00", 1234567.891, "1.234.567,89", "1,234,567.89"},
      {"#,##0.00", 123456, "123.456,00", "123,456.00"},
      {"#,##0.00", 100, "100,00", "100.00"},
      {"#,##0.00", -1234.5, "-1.234,50", "-1,234.50"},
      {"#,##0.00", 0.1 + 0.2, "0,30", "0.30"},
      {"###,##0.00", 999.999, "1.000,00", "1,000.00"},
      {"###,##0", 0, "0", "0"},
      {"###,##0", 1234567, "1.234.567", "1,234,567"},
      {"#,#00.00", 5, "05,00", "05.00"},
      {"#0.00", 0.5, "0,50", "0.50"},
      {"#0.00", 0.29 * 100 / 100, "0,29", "0.29"},
      {"#00.00", 1234.5, "1234,50", "1234.50"},
      {"0.000", 1.0005, "1,001", "1.001"},
      {"0.00#", 1.5, "1,50", "1.50"},
      {"0.00#", 1.2345, "1,235", "1.235"},
      {"0", 2.5, "3", "3"},
      {"0", -2.5, "-3", "-3"},
      {"0", 0.4, "0", "0"},
      {"000000", 42, "000042", "000042"},
      {"0.00", -0.001, "0,00", "0.00"},  // rounds to zero: no sign
      {"0.00;(0.00)", -1.5, "(1,50)", "(1.50)"},
      {"0.00;(0.00);'zero'", 0.001, "zero", "zero"},
      {"'R$ '#,##0.00", 1500, "R$ 1.500,00", "R$ 1,500.00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.pattern << " of " << c.value);
    EXPECT_EQ(FormatFloat(c.pattern, c.value, brazil()), c.br);
    EXPECT_EQ(FormatFloat(c.pattern, c.value, us()), c.us);
  }
}

TEST(FloatToStr, ShortestGeneralForm) {
  const struct {
    double value;
    const char* br;
  } cases[] = {
      {0.1 + 0.2, "0,3"},
      {3.0, "3"},
      {-2.5, "-2,5"},
      {0, "0"},
      {100, "100"},
      {1234.5, "1234,5"},
      {1.0 / 3, "0,333333333333333"},
      {123456789012345.0, "123456789012345"},
      {1e15, "1E15"},
      {1e20, "1E20"},
      {0.0001, "0,0001"},
      {0.00001, "1E-5"},
      {-1.5e-7, "-1,5E-7"},
  };
  for (const auto& c : cases) EXPECT_EQ(FloatToStr(c.value, brazil()), c.br) << c.value;
  EXPECT_EQ(FloatToStr(-2.5, us()), "-2.5");
  EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN(), brazil()), "NAN");
}

TEST(FloatToStrF, FixedDecimals) {
  EXPECT_EQ(FloatToStrF(1234.567, 15, 2, brazil()), "1234,57");
  EXPECT_EQ(FloatToStrF(2.675, 15, 2, us()), "2.68");
  EXPECT_EQ(FloatToStrF(-0.001, 15, 2, brazil()), "0,00");
  EXPECT_EQ(FloatToStrF(5, 15, 0, brazil()), "5");
  EXPECT_EQ(FloatToStrF(3, 15, 3, brazil()), "3,000");
  // The precision limits the significant digits: 0.1449 at 3 digits is 0.145, shown with 2 decimals.
  EXPECT_EQ(FloatToStrF(0.1449, 3, 2, brazil()), "0,14");
}

TEST(FormatCurrency, EveryPositionOfTheSymbolAndTheSign) {
  FormatSettings fs;
  fs.currencyString = "$";
  const char* positive[] = {"$1.234,50", "1.234,50$", "$ 1.234,50", "1.234,50 $"};
  for (int f = 0; f < 4; ++f) {
    fs.currencyFormat = f;
    EXPECT_EQ(FormatCurrency(1234.5, 2, fs), positive[f]) << f;
  }
  const char* negative[] = {"($1,00)", "-$1,00",  "$-1,00",  "$1,00-",  "(1,00$)", "-1,00$",  "1,00-$",   "1,00$-",
                            "-1,00 $", "-$ 1,00", "1,00 $-", "$ 1,00-", "$ -1,00", "1,00- $", "($ 1,00)", "(1,00 $)"};
  for (int f = 0; f < 16; ++f) {
    fs.negCurrFormat = f;
    EXPECT_EQ(FormatCurrency(-1, 2, fs), negative[f]) << f;
  }
}

TEST(FormatCurrency, AmountsOfTheDocuments) {
  FormatSettings colombia;
  colombia.currencyString = "$";
  const FormatSettings brazil;
  FormatSettings out_of_range = us();
  out_of_range.currencyFormat = 7;
  out_of_range.negCurrFormat = -1;
  const struct {
    const FormatSettings& fs;
    double value;
    int digits;
    const char* text;
  } cases[] = {
      {colombia, 12500, 2, "$ 12.500,00"},       {colombia, -1, 2, "-$ 1,00"},
      {colombia, 125000.005, 2, "$ 125.000,01"},  // half away from zero, on the decimal value
      {colombia, 0.1 + 0.2, 2, "$ 0,30"},        {colombia, -0.004, 2, "$ 0,00"},  // rounds to zero: no sign
      {colombia, 1234567.891, 0, "$ 1.234.568"}, {brazil, 59.19, 2, "R$ 59,19"},
      {out_of_range, -1500, 2, "-R$ 1,500.00"},  // forms out of range take the defaults
  };
  for (const auto& c : cases) EXPECT_EQ(FormatCurrency(c.value, c.digits, c.fs), c.text) << c.value;
  EXPECT_EQ(FormatCurrency(std::numeric_limits<double>::infinity(), 2, brazil), "INF");
}

TEST(StrToFloat, EitherSeparatorAndNothingElse) {
  const struct {
    const char* text;
    double value;
  } good[] = {
      {"1,5", 1.5},      {"1.5", 1.5}, {" -2 ", -2}, {"+3", 3},    {"1e3", 1000},
      {"1,5E-2", 0.015}, {".5", 0.5},  {"5.", 5},    {"\t7\t", 7}, {"0,29", 0.29},
  };
  for (const auto& c : good) {
    auto v = TryStrToFloat(c.text, brazil());
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(*v, c.value) << c.text;
  }
  const char* bad[] = {"",  "  ", "1.234,56", "1,234.5", "1.2.3", "abc",  "12abc", "1e",
                       "-", ".",  "1 000",    "inf",     "nan",   "0x10", "1e999", "--1"};
  for (const char* t : bad) EXPECT_FALSE(TryStrToFloat(t, us()).has_value()) << t;

  EXPECT_EQ(StrToFloat("2,5", brazil()), 2.5);
  try {
    StrToFloat("12abc", brazil());
    FAIL() << "no error";
  } catch (const ConversionError& e) {
    EXPECT_STREQ(e.what(), "'12abc' is not a valid floating point value");
  }
}

TEST(FormatDateTime, DocumentPatterns) {
  FormatSettings dashed;
  dashed.shortDate = "yyyy-mm-dd";
  dashed.shortTime = "hh.nn.ss";
  const double dt = EncodeDateTime(2026, 3, 7, 9, 5, 4, 32);
  const struct {
    const char* pattern;
    const char* text;
    const char* dashed;  // with '-' and '.' as the date and time separators
  } cases[] = {
      {"dd/mm/yyyy hh:nn:ss", "07/03/2026 09:05:04", "07-03-2026 09.05.04"},
      {"dd/mm/yyyy", "07/03/2026", "07-03-2026"},
      {"hh:nn", "09:05", "09.05"},
      {"hh:mm", "09:05", "09.05"},  // m after h is minutes
      {"DDMMYY", "070326", "070326"},
      {"MMYY", "0326", "0326"},
      {"YYYY", "2026", "2026"},
      {"HHMMSS", "090504", "090504"},
      {"dd_mm_yyyy_hh_nn_ss_zzz", "07_03_2026_09_05_04_032", "07_03_2026_09_05_04_032"},
      {"DDMMYYYYHHMMSSZZZ", "07032026090504032", "07032026090504032"},
      {"d/m/yy h:n:s z", "7/3/26 9:5:4 32", "7-3-26 9.5.4 32"},
      {"'Data:' dd \"h\"hh", "Data: 07 h09", "Data: 07 h09"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatDateTime(c.pattern, dt, brazil()), c.text) << c.pattern;
    EXPECT_EQ(FormatDateTime(c.pattern, dt, dashed), c.dashed) << c.pattern;
  }
}

TEST(DateTimeToStr, ShortFormatsAndMidnight) {
  const double midnight = EncodeDate(2026, 3, 7);
  const double morning = EncodeDateTime(2026, 3, 7, 9, 5, 4, 0);
  EXPECT_EQ(DateTimeToStr(midnight, brazil()), "07/03/2026");
  EXPECT_EQ(DateTimeToStr(morning, brazil()), "07/03/2026 09:05:04");
  EXPECT_EQ(DateTimeToStr(morning, us()), "03/07/2026 09:05:04");
  EXPECT_EQ(DateToStr(morning, us()), "03/07/2026");
  EXPECT_EQ(TimeToStr(morning, brazil()), "09:05:04");
}

TEST(TryStrToDateTime, ShortFormatsAndIso) {
  const double date = EncodeDate(2026, 3, 7);
  const struct {
    const char* text;
    FormatSettings fs;
    double value;
  } good[] = {
      {"07/03/2026", brazil(), date},
      {" 7/3/26 ", brazil(), date},
      {"07/03/2026 09:05", brazil(), EncodeDateTime(2026, 3, 7, 9, 5, 0, 0)},
      {"07/03/2026 09:05:04", brazil(), EncodeDateTime(2026, 3, 7, 9, 5, 4, 0)},
      {"03/07/2026 09:05:04", us(), EncodeDateTime(2026, 3, 7, 9, 5, 4, 0)},
      {"2026-03-07T09:05:04", brazil(), EncodeDateTime(2026, 3, 7, 9, 5, 4, 0)},
      {"29/02/2024", brazil(), EncodeDate(2024, 2, 29)},
  };
  for (const auto& c : good) {
    auto v = TryStrToDateTime(c.text, c.fs);
    ASSERT_TRUE(v.has_value()) << c.text;
    EXPECT_EQ(*v, c.value) << c.text;
  }
  const char* bad[] = {"",
                       "abc",
                       "07/03",
                       "31/02/2026",
                       "29/02/2025",
                       "07/13/2026",
                       "07-03-2026",
                       "07/03/2026x",
                       "07/03/2026 25:00",
                       "07/03/2026 09",
                       "07/03/2026 09:60",
                       "007/03/2026"};
  for (const char* t : bad) EXPECT_FALSE(TryStrToDateTime(t, brazil()).has_value()) << t;
}

}  // namespace
}  // namespace imp
