#include "platform/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace imp::decimal {
namespace {

TEST(Decimal, DecomposesToFifteenSignificantDigits) {
  auto d = decompose(123.45);
  EXPECT_FALSE(d.negative);
  EXPECT_EQ(d.digits, "12345");
  EXPECT_EQ(d.exponent, 3);

  d = decompose(-0.00012);
  EXPECT_TRUE(d.negative);
  EXPECT_EQ(d.digits, "12");
  EXPECT_EQ(d.exponent, -3);

  // The binary noise of 0.1 + 0.2 lies below the fifteenth digit.
  d = decompose(0.1 + 0.2);
  EXPECT_EQ(d.digits, "3");
  EXPECT_EQ(d.exponent, 0);

  EXPECT_TRUE(decompose(0.0).is_zero());
  EXPECT_TRUE(decompose(std::numeric_limits<double>::quiet_NaN()).is_zero());
}

struct RoundCase {
  double value;
  int places;
  double truncated, half_away, half_even;
};

TEST(Decimal, RoundsOnTheDecimalValue) {
  const RoundCase cases[] = {
      {3.57 * 19 / 119, 2, 0.57, 0.57, 0.57},  // 0.56999999999999995 in binary
      {0.29 * 100 / 100, 2, 0.29, 0.29, 0.29},
      {2.675, 2, 2.67, 2.68, 2.68},  // 2.67499999999999982 in binary
      {-2.675, 2, -2.67, -2.68, -2.68},
      {1.005, 2, 1.0, 1.01, 1.0},
      {-1.999, 2, -1.99, -2.0, -2.0},
      {0.125, 2, 0.12, 0.13, 0.12},
      {0.135, 2, 0.13, 0.14, 0.14},
      {9.995, 2, 9.99, 10.0, 10.0},  // carry through every digit
      {0.5, 0, 0.0, 1.0, 0.0},
      {2.5, 0, 2.0, 3.0, 2.0},
      {-0.5, 0, 0.0, -1.0, 0.0},
      {2.51, 0, 2.0, 3.0, 3.0},
      {0.004, 2, 0.0, 0.0, 0.0},
      {0.0004, 2, 0.0, 0.0, 0.0},
      {1234.5, -1, 1230.0, 1230.0, 1230.0},
      {1235.0, -1, 1230.0, 1240.0, 1240.0},
      {12.3, 5, 12.3, 12.3, 12.3},
      {0.1 + 0.2, 2, 0.3, 0.3, 0.3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.value << " to " << c.places);
    EXPECT_EQ(truncate(c.value, c.places), c.truncated);
    EXPECT_EQ(round_half_away(c.value, c.places), c.half_away);
    EXPECT_EQ(round_half_even(c.value, c.places), c.half_even);
  }
  // A result of zero carries no sign.
  EXPECT_FALSE(std::signbit(truncate(-0.004, 2)));
}

TEST(Decimal, FixedText) {
  const struct {
    double value;
    int places;
    const char* text;
  } cases[] = {
      {2.675, 2, "2.68"},
      {-2.675, 2, "-2.68"},
      {-0.001, 2, "0.00"},
      {-0.005, 2, "-0.01"},
      {0.1 + 0.2, 3, "0.300"},
      {-1.5, 0, "-2"},
      {1234567.891, 2, "1234567.89"},
      {0.07, 2, "0.07"},
      {1e20, 2, "100000000000000000000.00"},
      {15.0, -1, "20"},
  };
  for (const auto& c : cases) EXPECT_EQ(fixed(c.value, c.places), c.text) << c.value;
}

TEST(Decimal, NotFiniteValuesPassThrough) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(std::isnan(truncate(std::nan(""), 2)));
  EXPECT_EQ(round_half_away(-inf, 2), -inf);
  EXPECT_EQ(fixed(std::nan(""), 2), "NAN");
  EXPECT_EQ(fixed(inf, 2), "INF");
  EXPECT_EQ(fixed(-inf, 2), "-INF");
}

}  // namespace
}  // namespace imp::decimal
