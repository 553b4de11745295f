// Numbers and case rules under hostile process locales: German (decimal comma), Turkish (dotless i).
#include "Core/KrMessage.h"
#include "Core/KrStringCompare.h"
#include "Core/KrStringFormat.h"
#include "Core/KrStringParse.h"
#include "Core/KrStringReadable.h"
#include "Streams/KrStringStream.h"
#include "System/KrPath.h"
#include "Utils/KrDateTime.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTreeReader.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <cctype>
#include <cfloat>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <locale>

namespace {

// C, C++ and Qt all switched to the locale of the parameter for one test, and back afterwards.
class KrLocale : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_qt = QLocale();
        if (!std::setlocale(LC_ALL, GetParam())) GTEST_SKIP() << GetParam() << " is not installed";
        std::locale::global(std::locale(GetParam()));
        QLocale::setDefault(QLocale(QString::fromLatin1(GetParam()).section(QLatin1Char('.'), 0, 0)));
        char probe[8]; // the tests bite only where the C library itself writes a comma
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        ASSERT_STREQ(probe, "1,5");
    }
    void TearDown() override {
        std::locale::global(std::locale::classic());
        std::setlocale(LC_ALL, "C");
        QLocale::setDefault(m_qt);
    }
    QLocale m_qt;
};

bool Same(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : a == b && std::signbit(a) == std::signbit(b);
}

const double kDoubles[] = {
    1.5,  2.25,     -0.1,      1e-300, 4.9406564584124654e-324, 2.2250738585072009e-308, DBL_MAX,
    -0.0, HUGE_VAL, -HUGE_VAL, NAN};
const long kLongs[] = {LONG_MIN, LONG_MAX, -1, 0, 1234567890123};

// Reads back what XIniNumbersRoundTripThroughEveryReader wrote, through any reader.
void CheckAll(TKrXIniReader& r) {
    std::size_t i = 0;
    for (double d : kDoubles)
        EXPECT_TRUE(Same(r.ReadE<double>(i++), d)) << d;
    for (long l : kLongs)
        EXPECT_EQ(r.ReadE<long>(i++), l);
    EXPECT_EQ(r.ReadE<unsigned long>(i++), ULONG_MAX);
    EXPECT_EQ(r.ReadE<int>(i++), INT_MIN);
    double x = 0, y = 0;
    r.ReadDouble2E(i++, &x, &y);
    EXPECT_EQ(x, 2.25);
    EXPECT_EQ(y, -0.1);
}

} // namespace

TEST_P(KrLocale, XIniNumbersRoundTripThroughEveryReader) {
    auto out = new_a<TKrStringStream>();
    {
        TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::Full);
        for (double d : kDoubles)
            w.WriteSE("d", d);
        for (long l : kLongs)
            w.WriteSE("l", l);
        w.WriteSE("u", ULONG_MAX);
        w.WriteSE("i", INT_MIN);
        w.WriteDouble2SE("p", 2.25, -0.1);
        w.Close();
    }
    const std::string doc = out->str();
    EXPECT_NE(doc.find("v=\"1.5000000000000000e+00\""), std::string::npos) << doc;
    EXPECT_NE(doc.find("v=\"4.9406564584124654e-324\""), std::string::npos) << doc;
    TKrXIniStreamReader lazy(new_a<TKrStringStream>(doc), true, nullptr);
    CheckAll(lazy);
    TKrXIniTreeReader tree(ReadKrXIniTree(new_a<TKrStringStream>(doc).get(), true, nullptr));
    CheckAll(tree);
}

TEST_P(KrLocale, HandWrittenXIniTextsReadAsInTheCLocale) {
    const std::string doc = "<krini><d n=\"a\" v=\"1.5e+00\"/><d n=\"b\" v=\" 2.25\"/><d n=\"c\" v=\"-INF\"/>"
                            "<i n=\"d\" v=\"0x7FFFFFFFFFFFFFFF\"/><i n=\"e\" v=\"-010\"/>"
                            "<x n=\"p\"><d v=\"0x1.8p1\"/><d v=\"2,5\"/></x></krini>";
    TKrXIniStreamReader r(new_a<TKrStringStream>(doc), true, nullptr);
    EXPECT_EQ(r.ReadE<double>(0), 1.5);
    EXPECT_EQ(r.ReadE<double>(1), 2.25);
    EXPECT_EQ(r.ReadE<double>(2), -HUGE_VAL);
    EXPECT_EQ(r.ReadE<long>(3), LONG_MAX);
    EXPECT_EQ(r.ReadE<long>(4), -8); // octal, as strtol reads it
    double x = 0, y = 0;
    r.ReadDouble2E(5, &x, &y);
    EXPECT_EQ(x, 3.0);
    EXPECT_EQ(y, 2.0); // the comma ends the number, as it does in the "C" locale
}

TEST_P(KrLocale, NumberTextsKeepThePoint) {
    TKrMessage m("%1% %2% %3%");
    m << 1.5 << -7L << 2.25f;
    double d = 0, c = 0;
    EXPECT_TRUE(KrStringToDouble("2.25", &d));
    EXPECT_TRUE(KrStringToDouble("1,5", &c, true));
    EXPECT_EQ(d, 2.25);
    EXPECT_EQ(c, 1.5);
    const std::pair<std::string, std::string> cases[] = {
        {m.c_str(), "1.5000000000000000e+00 -7 2.2500000000000000e+00"},
        {Korvinex::ssprintf("%.2f|%g|%ls", 2.25, 0.5, L"\u00e9"), "2.25|0.5|\xC3\xA9"},
        {SizeReadable(1536, 1, "%2$.2lf"), "1.50"},
        {NumReadable(2.5e6, 2, "%2$.1lf"), "2.5"},
        {KrDoubleToUserString(-2.5, 3), "-2.5"},
        {KrGetTimeFormatedStr(93784.5, 1), "1d 02:03:04.5"},
        {GetDMSString(10.25, 0, false, false, false, 0), "+10.2500"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.first, c.second);
    EXPECT_EQ(Korvinex::wssprintf(L"%.1f %s", 1.5, "\xC3\xA9"), L"1.5 \u00e9");
}

TEST_P(KrLocale, DateTimeTextsRoundTrip) {
    for (const char* text :
         {"2024-03-05T01:02:03.456Z", "1601-01-01T00:00:00.001Z", "9999-12-31T23:59:59.999Z"})
        EXPECT_EQ(TKrDateTime::FromRFCString(text).ToRFCString(3, TKrDateTime::UTC), text);
    EXPECT_EQ(TKrDateTime::FromRFCString("2024-03-05T01:02:03,456Z"),
              TKrDateTime::FromRFCString("2024-03-05T01:02:03.456Z"));
    const std::string name = TKrDateTime::FromRFCString("2024-03-05T12:00:00Z").ToCustomString("yyyyMMdd");
    ASSERT_EQ(name.size(), 8u);
    for (char ch : name)
        EXPECT_TRUE(ch >= '0' && ch <= '9') << name;
}

TEST_P(KrLocale, AsciiCaseFoldingIgnoresTheLocale) {
    if (std::string(GetParam()).compare(0, 2, "tr") == 0) {
        ASSERT_NE(std::tolower('I'), 'i'); // the locale's own folding would fail below
    }
    EXPECT_TRUE(KrPatternMatch("FILE.TIF", "file.tif"));
    EXPECT_TRUE(KrPatternMatch("image.tif", "IMAGE.*"));
    EXPECT_EQ(krstrcmpi("TITLE", "title"), 0);
    EXPECT_EQ(krstrncmpi("IMAGE1", "image2", 5), 0);
    EXPECT_EQ(krstrcmpi("\u0130", "i"), 1); // the capital I with a dot stays another letter
    EXPECT_EQ(krstrcmp("ID", 2, "id", 2, 0), 0);
    EXPECT_TRUE(TKrPath("C:/WINDOWS/SYSTEM") == TKrPath("c:/windows/system"));
    EXPECT_TRUE(TKrPath("/data/\u00DCber/IMAGE.tif") == TKrPath("/data/\u00FCber/image.tif"));
    EXPECT_EQ(TKrPath("/data/\u00FCber/file.tif").normalise(), "/DATA/\u00DCBER/FILE.TIF");
}

INSTANTIATE_TEST_SUITE_P(HostileLocales, KrLocale, ::testing::Values("de_DE.UTF-8", "tr_TR.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param, 2);
                         });
