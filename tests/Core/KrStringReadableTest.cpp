#include "Core/KrStringReadable.h"

#include <gtest/gtest.h>

TEST(KrSizeReadable, FixedAndAutomaticExponents) {
    EXPECT_EQ(SizeReadable(1000, 0, "%s %.3lf"), "1000 B"); // no division: format ignored
    EXPECT_EQ(SizeReadable(1536, 1, "%s=%.2lf"), "KB=1.50");
    EXPECT_EQ(SizeReadable(1536, 9, "%2$.1lf %1$s"), "1.5 KB");
    EXPECT_EQ(SizeReadable(1024, 99), "1024 B"); // only magnitudes above 1024 divide
    EXPECT_EQ(SizeReadable(-3.0 * 1024 * 1024), "-3.0 MB");
    EXPECT_EQ(SizeReadable(1e30), "827180.6 YB"); // at most eight divisions
    EXPECT_EQ(SizeReadable(5.0 * 1024 * 1024 * 1024, 2), "5120.0 MB");
    EXPECT_EQ(GetByteSizeString(8), "YB");
    EXPECT_EQ(GetByteSizeString(9), "???");
}

TEST(KrNumReadable, StepsOfAThousand) {
    EXPECT_EQ(NumReadable(999999, 5, "%s %.2lf"), "999999");
    EXPECT_EQ(NumReadable(2.5e6, 5, "%s|%.2lf"), "million|2.50");
    EXPECT_EQ(NumReadable(2.5e6, 1), "2500000");
    EXPECT_EQ(NumReadable(999.9e6, 9), "999.9 million");
    EXPECT_EQ(NumReadable(1e9, 9), "1.0 billion");
    EXPECT_EQ(NumReadable(-4e12, 9), "-4.0 trillion");
    EXPECT_EQ(NumReadable(3e18, 9), "3.000000e+18");  // beyond a thousand trillions
    EXPECT_EQ(NumReadable(3e9, 2), "3000.0 million"); // a fixed exponent never switches
}

TEST(KrContract, KeepsBothEndsAndWholeCharacters) {
    EXPECT_EQ(contract("averylongname", 8), "ave...me");
    EXPECT_EQ(contract("short", 5), "short");
    EXPECT_EQ(contract("abcdef", 3), "abc");
    // Umlauts are two bytes each: the width counts characters and never splits one.
    const std::string u = "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\xA4\xC3\xB6\xC3\xBC";
    EXPECT_EQ(contract(u, 5), "\xC3\xA4...\xC3\xBC");
    EXPECT_EQ(contract(u, 6), u);
}

TEST(KrSmartFilenameTrim, NameFirstThenStem) {
    EXPECT_EQ(smart_filename_trim("/data/projects/2024/block_a/img_0001.tif", 24), "/data/.../img_0001.tif");
    EXPECT_EQ(smart_filename_trim("/data/projects/2024/block_a/img_0001.tif", 40),
              "/data/projects/2024/block_a/img_0001.tif");
    EXPECT_EQ(smart_filename_trim("C:\\Survey\\Flight12\\img.tif", 21), "C:\\Survey\\...\\img.tif");
    EXPECT_EQ(smart_filename_trim("C:\\Survey\\Flight12\\img.tif", 20), "C:\\...\\img.tif");
    EXPECT_EQ(smart_filename_trim("/abcdefghijklmnop/x.tif", 12), "/.../x.tif");
    EXPECT_EQ(smart_filename_trim("abcdefghijklmnop/x.tif", 12), "abc.../x.tif"); // no separator in reach
    EXPECT_EQ(smart_filename_trim("/d/very_long_image_name.tif", 16), "very_...name.tif");
    EXPECT_EQ(smart_filename_trim("very_long_image_name", 10), "very...ame");
    for (std::size_t w = 0; w < 30; ++w)
        EXPECT_LE(smart_filename_trim("/a/bb/ccc/dddd/eeeee.ffffff", w).size(), w) << w;
}
