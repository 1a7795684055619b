#include "platform/variant.h"

#include <gtest/gtest.h>

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
  return fs;
}

TEST(Variant, ToText) {
  struct Case {
    Variant v;
    FormatSettings fs;
    std::string want;
  } cases[] = {
      {Variant(), brazil(), ""},
      {Variant::null(), brazil(), ""},
      {Variant(true), brazil(), "True"},
      {Variant(false), brazil(), "False"},
      {Variant(int32_t{-42}), brazil(), "-42"},
      {Variant(2.5), brazil(), "2,5"},
      {Variant(2.5), us(), "2.5"},
      {Variant(0.1 + 0.2), brazil(), "0,3"},
      {Variant(3.0), brazil(), "3"},
      {Variant("S"), brazil(), "S"},
      {Variant::date_time(EncodeDateTime(2026, 12, 9, 10, 5, 7, 0)), brazil(), "09/12/2026 10:05:07"},
      {Variant::date_time(EncodeDate(2026, 12, 9)), us(), "12/09/2026"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.v.to_text(c.fs), c.want) << Variant::type_name(c.v.type());
}

TEST(Variant, ToNumberAcceptsEitherSeparator) {
  EXPECT_DOUBLE_EQ(Variant("1,5").to_double(brazil()), 1.5);
  EXPECT_DOUBLE_EQ(Variant("1.5").to_double(brazil()), 1.5);
  EXPECT_DOUBLE_EQ(Variant(" -2 ").to_double(us()), -2);
  EXPECT_DOUBLE_EQ(Variant().to_double(), 0);
  EXPECT_DOUBLE_EQ(Variant::null().to_double(), 0);
  EXPECT_EQ(Variant("7").to_int(), 7);
  EXPECT_EQ(Variant(2.5).to_int(), 2);  // half to even
  EXPECT_EQ(Variant(3.5).to_int(), 4);
  EXPECT_EQ(Variant(true).to_int(), -1);
}

TEST(Variant, ToBool) {
  EXPECT_TRUE(Variant("True").to_bool());
  EXPECT_TRUE(Variant("true").to_bool());
  EXPECT_FALSE(Variant("False").to_bool());
  EXPECT_TRUE(Variant(int32_t{5}).to_bool());
  EXPECT_FALSE(Variant().to_bool());
  EXPECT_TRUE(Variant("1").to_bool());
}

TEST(Variant, RefusesWhatDoesNotConvert) {
  // "S"/"N" are texts, never booleans; bytes and arrays are never texts or numbers.
  EXPECT_THROW(Variant("S").to_bool(), ConversionError);
  EXPECT_THROW(Variant("N").to_bool(), ConversionError);
  EXPECT_THROW(Variant("abc").to_double(), ConversionError);
  EXPECT_THROW(Variant("").to_double(), ConversionError);
  EXPECT_THROW(Variant("1.234,5").to_double(), ConversionError);
  EXPECT_THROW(Variant::bytes("x").to_text(), ConversionError);
  EXPECT_THROW(Variant::array({Variant("a")}).to_text(), ConversionError);
  EXPECT_THROW(Variant::array({}).to_double(), ConversionError);
  EXPECT_THROW(Variant(1e12).to_int(), ConversionError);
}

TEST(Variant, DateFromText) {
  double want = EncodeDateTime(2026, 12, 9, 10, 0, 0, 0);
  EXPECT_DOUBLE_EQ(Variant("09/12/2026 10:00:00").to_date_time(brazil()), want);
  EXPECT_DOUBLE_EQ(Variant("2026-12-09T10:00:00").to_date_time(brazil()), want);
  EXPECT_THROW(Variant("32/12/2026").to_date_time(brazil()), ConversionError);
}

TEST(Variant, ArraysCopyOnWrite) {
  Variant a = Variant::array({Variant("x"), Variant(int32_t{1})});
  Variant b = a;
  b.items()[0] = Variant("y");
  EXPECT_EQ(a.items()[0].text(), "x");
  EXPECT_EQ(b.items()[0].text(), "y");
  EXPECT_FALSE(a == b);
}

}  // namespace
}  // namespace imp
