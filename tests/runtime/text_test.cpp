// hexText: padding, truncation to the low digits and the "as many as needed" form.
#include "runtime/text.h"

#include <gtest/gtest.h>

TEST(HexText, PadsWithZerosToTheDigitCount) {
  EXPECT_EQ(hexText(0, 16), "0000000000000000");
  EXPECT_EQ(hexText(171, 16), "00000000000000AB");
  EXPECT_EQ(hexText(0x1F, 20), "0000000000000000001F");
  EXPECT_EQ(hexText(0xFEDCBA9876543210ull, 16), "FEDCBA9876543210");
}

TEST(HexText, KeepsTheLowDigitsWhenTheValueIsLonger) {
  EXPECT_EQ(hexText(0x1234, 2), "34");
  EXPECT_EQ(hexText(0xABCDEF, 1), "F");
  EXPECT_EQ(hexText(0xFFFFFFFFFFFFFFFFull, 3), "FFF");
}

TEST(HexText, DigitsBelowOneMeansAsManyAsNeeded) {
  EXPECT_EQ(hexText(0, 0), "0");
  EXPECT_EQ(hexText(0, -3), "0");
  EXPECT_EQ(hexText(0xABCDEF, 0), "ABCDEF");
  EXPECT_EQ(hexText(0x10, -1), "10");
  EXPECT_EQ(hexText(0x8000000000000000ull, 0), "8000000000000000");
  EXPECT_EQ(hexText(0xFFFFFFFFFFFFFFFFull, 0), "FFFFFFFFFFFFFFFF");
}
