#include "Core/KrStringFormat.h"

#include <gtest/gtest.h>

#include <string>

using Korvinex::ssprintf;
using Korvinex::wssprintf;

TEST(KrStringFormat, SsprintfReturnsWholeTextAcrossTheStackBufferBoundary) {
    for (std::size_t len : {0u, 4094u, 4095u, 4096u, 4097u, 100000u}) {
        const std::string body(len, 'x');
        const std::string out = ssprintf("<%s>%d", body.c_str(), 42);
        ASSERT_EQ(out.size(), len + 4) << len;
        EXPECT_EQ(out, "<" + body + ">42");
    }
    EXPECT_EQ(ssprintf("%s", ""), "");
}

TEST(KrStringFormat, WideFormsGrowTheBufferUntilTheTextFits) {
    const std::wstring body(70000, L'w'); // needs several doublings past 4096
    const std::wstring out = wssprintf(L"[%ls]%d", body.c_str(), 7);
    EXPECT_EQ(out, L"[" + body + L"]7");
    EXPECT_EQ(wssprintf(L"%d-%ls", 3, L"ab"), L"3-ab");
}

TEST(KrStringFormat, EncodingErrorGivesEmptyTextWithoutGrowingForever) {
    // In the C locale a byte above 0x7F cannot be widened: the formatter fails for good.
    EXPECT_EQ(wssprintf(L"%s", "caf\xC3\xA9"), L"");
}

TEST(KrStringFormat, Durations) {
    EXPECT_EQ(KrGetTimeStr(0), "0:00:00");
    EXPECT_EQ(KrGetTimeStr(3725), "1:02:05");
    EXPECT_EQ(KrGetTimeStr(100 * 3600 + 59), "100:00:59");

    EXPECT_EQ(KrGetTimeFormatedStr(3725), "1:02:05");
    EXPECT_EQ(KrGetTimeFormatedStr(93784.5, 1), "1d 02:03:04.5");
    EXPECT_EQ(KrGetTimeFormatedStr(59.996, 2), "0:01:00.00"); // rounding carries into the minute
    EXPECT_EQ(KrGetTimeFormatedStr(-61), "-0:01:01");
    EXPECT_EQ(KrGetTimeFormatedStr(-0.2), "0:00:00"); // no "-" for a text that shows zero
    EXPECT_EQ(KrGetTimeFormatedStr(0.0 / 0.0), "?");
}

TEST(KrStringFormat, DoubleToUserString) {
    EXPECT_EQ(KrDoubleToUserString(2.50), "2.5");
    EXPECT_EQ(KrDoubleToUserString(1234567.0), "1234567");
    EXPECT_EQ(KrDoubleToUserString(1.0 / 3, 3), "0.333");
    EXPECT_EQ(KrDoubleToUserString(-0.0000001), "-1e-07"); // would round to "-0"
    EXPECT_EQ(KrDoubleToUserString(-0.0), "0");
    EXPECT_EQ(KrDoubleToUserString(0.9999999, 3), "1");
    EXPECT_EQ(KrDoubleToUserString(2e20), "2e+20");
    EXPECT_EQ(KrDoubleToUserString(-1.0 / 0.0), "-inf");
}

TEST(KrStringFormat, DmsPrefixesMarkersAndModes) {
    EXPECT_EQ(GetDMSString(-12.5, 2, true, true, true, 1), "S12\xC2\xB0 30' 00.0\"");
    EXPECT_EQ(GetDMSString(-12.5, 2, true, false, true, 1), "-12\xC2\xB0 30' 00.0\"");
    EXPECT_EQ(GetDMSString(12.5, 2, true, true, false, 0), "N12 30 00");
    EXPECT_EQ(GetDMSString(12.5, 2, false, true, false, 0), "E12 30 00");
    EXPECT_EQ(GetDMSString(0.0, 2, false, true, false, 0), "W0 00 00");
    EXPECT_EQ(GetDMSString(0.0, 0, false, false, false, 0), "-0.0000");
    EXPECT_EQ(GetDMSString(10.25, 1, false, false, false, 0), "+10 15.00");
    EXPECT_EQ(GetDMSString(10.25, 3, false, false, true, 1), "+10.25000\xC2\xB0");
}

TEST(KrStringFormat, DmsRoundsOnceAtTheLastDigit) {
    // 59.99996 seconds shown with one decimal carries into minutes and degrees.
    EXPECT_EQ(GetDMSString(1.0 - 0.04 / 3600, 2, false, false, false, 1), "+1 00 00.0");
    EXPECT_EQ(GetDMSString(1.0 - 0.004 / 60, 1, false, false, false, 0), "+1 00.00");
    EXPECT_EQ(GetDMSString(45.123456789, 2, false, false, false, 3), "+45 07 24.444");
    // Out of the integer range: decimal degrees instead of garbage.
    EXPECT_EQ(GetDMSString(1e300, 2, false, false, false, 0).substr(0, 2), "+1");
    EXPECT_EQ(GetDMSString(1.0 / 0.0, 1, false, false, false, 0), "+inf");
}
