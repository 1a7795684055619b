#include "platform/cp1252.h"

#include <gtest/gtest.h>

namespace imp {
namespace {

TEST(Cp1252, EveryByteRoundTrips) {
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  auto back = cp1252::from_utf8(cp1252::to_utf8(all));
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, all);
}

TEST(Cp1252, Conversions) {
  EXPECT_EQ(cp1252::to_utf8("A\xC7\xE3o \x80"), "AÇão €");
  EXPECT_EQ(cp1252::from_utf8("Não “aspas” €"), std::optional<std::string>("N\xE3o \x93"
                                                                           "aspas\x94 \x80"));
  EXPECT_EQ(cp1252::from_utf8("漢"), std::nullopt);        // outside Windows-1252
  EXPECT_EQ(cp1252::from_utf8("\xC3"), std::nullopt);      // truncated sequence
  EXPECT_EQ(cp1252::from_utf8("\xC0\x80"), std::nullopt);  // overlong NUL
  EXPECT_EQ(cp1252::from_utf8_lossy("a漢b"), "a?b");
  EXPECT_EQ("Mapeamento NÃO realizado"_cp, "Mapeamento N\xC3O realizado");
}

}  // namespace
}  // namespace imp
