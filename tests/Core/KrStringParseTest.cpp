#include "Core/KrStringParse.h"

#include <gtest/gtest.h>

TEST(KrStringParse, IntRejectsEverythingButOneWholeNumber) {
    int v = 99;
    EXPECT_TRUE(KrStringToInt("-12", &v));
    EXPECT_EQ(v, -12);
    EXPECT_TRUE(KrStringToInt("  +7", &v));
    EXPECT_EQ(v, 7);
    for (const char* bad : {"12x", "", "-", " ", "12 ", "2147483648", "-2147483649", "0x10", "1e3"})
        EXPECT_FALSE(KrStringToInt(bad, &v)) << bad;
    EXPECT_FALSE(KrStringToInt(nullptr, &v));
    EXPECT_EQ(v, 7); // untouched on failure
    EXPECT_TRUE(KrStringToInt("-2147483648", nullptr));
}

TEST(KrStringParse, UnsignedFormsAndRanges) {
    unsigned long v = 0;
    EXPECT_TRUE(KrStringToUlong("18446744073709551615", &v));
    EXPECT_EQ(v, 18446744073709551615UL);
    for (const char* bad : {"", "18446744073709551616", "-1", "1.0", "+"})
        EXPECT_FALSE(KrStringToUlong(bad, &v)) << bad;
    EXPECT_TRUE(KrStringToUlong("5", nullptr));

    EXPECT_FALSE(KrStringToUlongRange("7", 1, 5, &v));
    EXPECT_FALSE(KrStringToUlongRange("0", 1, 5, &v));
    EXPECT_TRUE(KrStringToUlongRange("5", 1, 5, &v));
    EXPECT_EQ(v, 5u);

    std::size_t n = 0;
    EXPECT_TRUE(KrStringToSizeT("4096", &n));
    EXPECT_EQ(n, 4096u);
    EXPECT_FALSE(KrStringToSizeT("-4096", &n));
}

TEST(KrStringParse, DoubleSyntax) {
    double d = 0;
    EXPECT_TRUE(KrStringToDouble("-1.5e3", &d));
    EXPECT_DOUBLE_EQ(d, -1500);
    EXPECT_TRUE(KrStringToDouble(".5", &d));
    EXPECT_DOUBLE_EQ(d, 0.5);
    EXPECT_TRUE(KrStringToDouble("5.", &d));
    EXPECT_TRUE(KrStringToDouble("1e-400", &d)); // underflow is a value, not an error
    EXPECT_EQ(d, 0.0);
    for (const char* bad : {"", ".", "e5", "1e", "1e+", "1.5.2", "1,5", "inf", "nan", "0x1p3", "1e400", "1 "})
        EXPECT_FALSE(KrStringToDouble(bad, &d)) << bad;
    EXPECT_TRUE(KrStringToDouble("1,5", &d, true));
    EXPECT_DOUBLE_EQ(d, 1.5);
    EXPECT_FALSE(KrStringToDouble("1,5,0", &d, true));
    EXPECT_FALSE(KrStringToDouble("1.5,0", &d, true));

    EXPECT_TRUE(KrStringToDoubleRange("0.25", 0, 1, &d));
    EXPECT_FALSE(KrStringToDoubleRange("1.0001", 0, 1, &d));
}
