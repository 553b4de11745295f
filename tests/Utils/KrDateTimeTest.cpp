// TKrDateTime against Qt and the C library: clocks, Unix time, broken-down forms and ISO texts.
#include "Utils/KrDateTime.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"

#include <QDateTime>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <map>
#include <random>
#include <sstream>
#include <string>

namespace {

using i64 = std::int64_t;
constexpr i64 kEpoch = TKrDateTime::UnixEpochTicks;
constexpr i64 kMsPer1601 = 11644473600000;
constexpr i64 kYear1Ms = -62135596800000;     // 0001-01-01T00:00:00Z, Unix ms
constexpr i64 kYear10000Ms = 253402300800000; // 10000-01-01T00:00:00Z, Unix ms

/// Sets TZ for the lifetime of the object and restores the previous zone afterwards.
class TScopedTZ {
public:
    explicit TScopedTZ(const char* zone) {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old) m_old = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~TScopedTZ() {
        if (m_had)
            ::setenv("TZ", m_old.c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

const char* const kZones[] = {"UTC",          "Europe/Berlin",   "America/St_Johns",
                              "Asia/Kolkata", "Pacific/Chatham", "America/Los_Angeles"};

TKrDateTime FromUnixMs(i64 ms) {
    return TKrDateTime((ms + kMsPer1601) * TKrDateTime::TicksPerMillisecond);
}

std::string Qs(const QString& s) {
    return s.toStdString();
}

/// What the C library says about local time, in our text form (offset cut to minutes).
std::string CLocalIso(i64 unixSeconds, int ms) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-", tm.tm_year + 1900); // %Y does not pad years below 1000
    std::string s = buf;
    std::strftime(buf, sizeof buf, "%m-%dT%H:%M:%S", &tm);
    s += buf;
    std::snprintf(buf, sizeof buf, ".%03d", ms);
    s += buf;
    const long off = tm.tm_gmtoff;
    if (off == 0) return s + "Z";
    std::snprintf(buf, sizeof buf, "%c%02ld:%02ld", off < 0 ? '-' : '+', std::labs(off) / 3600,
                  std::labs(off) / 60 % 60);
    return s + buf;
}

} // namespace

TEST(KrDateTime, UnixTimeAndEpochs) {
    EXPECT_EQ(TKrDateTime::FromUnixTime(0).Ticks(), 116444736000000000);
    EXPECT_EQ(TKrDateTime::FromUnixTime(0).ToUnixTime(), 0);
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(-11644473600).IsNull());
    EXPECT_EQ(TKrDateTime::FromUnixTime(-1).ToUnixTime(), -1);
    EXPECT_EQ(TKrDateTime::FromUnixTime(INT32_MAX).ToUnixTime(), INT32_MAX);
    EXPECT_EQ(TKrDateTime::FromUnixTime(INT32_MIN).ToUnixTime(), INT32_MIN);

    // Truncation is toward zero on both sides of the epoch, not floor.
    EXPECT_EQ(TKrDateTime(kEpoch - 1).ToUnixTime(), 0);
    EXPECT_EQ(TKrDateTime(kEpoch - 15000000).ToUnixTime(), -1);
    EXPECT_EQ(TKrDateTime(kEpoch + 15000000).ToUnixTime(), 1);
    EXPECT_DOUBLE_EQ(TKrDateTime(kEpoch - 15000009).ToUnixTimeD(), -1.500000);
    EXPECT_DOUBLE_EQ(TKrDateTime(kEpoch + 12345678).ToUnixTimeD(), 1.234567);

    // 32-bit Unix time saturates; the 64-bit form covers the whole tick range.
    const TKrDateTime y2100 = TKrDateTime::FromUnixTime64(4102444800);
    EXPECT_EQ(y2100.ToUnixTime(), INT32_MAX);
    EXPECT_EQ(y2100.ToUnixTime64(), 4102444800);
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::min()).ToUnixTime(), INT32_MIN);
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::max()).ToUnixTime64(), 922337203685 - 11644473600);
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::min()).ToUnixTime64(), -922337203685 - 11644473600);
    EXPECT_DOUBLE_EQ(TKrDateTime(std::numeric_limits<i64>::min()).ToUnixTimeD(), -933981677285.477580);
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(std::numeric_limits<i64>::max()).IsNull());
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(std::numeric_limits<i64>::min()).IsNull());

    EXPECT_DOUBLE_EQ(TKrDateTime(25000000).ToSeconds(), 2.5);
    EXPECT_DOUBLE_EQ(TKrDateTime(10).SecondsTill(TKrDateTime(5)), -5e-7);
    // The difference of the two extremes does not wrap around.
    EXPECT_GT(TKrDateTime(std::numeric_limits<i64>::min())
                  .SecondsTill(TKrDateTime(std::numeric_limits<i64>::max())),
              1.8e12);
}

TEST(KrDateTime, StdClockTruncatesToHundredNanoseconds) {
    using namespace std::chrono;
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<i64> any(std::numeric_limits<i64>::min(), std::numeric_limits<i64>::max());
    for (int i = 0; i < 2000; ++i) {
        const i64 ns = any(rng);
        const system_clock::time_point t{nanoseconds(ns)};
        const i64 back =
            duration_cast<nanoseconds>(TKrDateTime::FromStdTime(t).ToStdTime().time_since_epoch()).count();
        ASSERT_EQ(back, ns / 100 * 100) << ns;
    }
    EXPECT_EQ(TKrDateTime::FromStdTime(system_clock::from_time_t(86400)).Ticks(),
              kEpoch + 86400 * 10000000LL);
    EXPECT_EQ(TKrDateTime::FromStdTime(system_clock::time_point(nanoseconds(-150))).Ticks(), kEpoch - 1);

    // Instants the clock cannot hold saturate instead of wrapping.
    EXPECT_EQ(TKrDateTime().ToStdTime(), system_clock::time_point::min());
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::max()).ToStdTime(), system_clock::time_point::max());

    const i64 before = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const i64 now = TKrDateTime::Current().ToStdTime().time_since_epoch() / milliseconds(1);
    EXPECT_GE(now, before);
    EXPECT_LT(now - before, 60000);
}

TEST(KrDateTime, QtDateTimeConversions) {
    std::mt19937_64 rng(11);
    std::uniform_int_distribution<i64> ms(kYear1Ms, kYear10000Ms - 1);
    for (int i = 0; i < 1000; ++i) {
        const i64 m = ms(rng);
        const QDateTime q = QDateTime::fromMSecsSinceEpoch(m, Qt::UTC);
        const TKrDateTime d = TKrDateTime::FromQDateTime(q);
        ASSERT_EQ(d.Ticks(), (m + kMsPer1601) * 10000);
        ASSERT_EQ(d.ToQDateTime().toMSecsSinceEpoch(), m);
        ASSERT_EQ(d.ToQDateTime().timeSpec(), Qt::LocalTime);
    }
    // Sub-millisecond ticks are dropped toward zero (relative to 1601).
    EXPECT_EQ(TKrDateTime(kEpoch + 19999).ToQDateTime().toMSecsSinceEpoch(), 1);
    EXPECT_EQ(TKrDateTime(-19999).ToQDateTime().toMSecsSinceEpoch(), -kMsPer1601 - 1);
    EXPECT_TRUE(TKrDateTime::FromQDateTime(QDateTime()).IsNull());
    // A Qt date far outside the tick range does not wrap.
    EXPECT_TRUE(TKrDateTime::FromQDateTime(QDateTime(QDate(200000, 1, 1), QTime(0, 0), Qt::UTC)).IsNull());
}

TEST(KrDateTime, UtcTextMatchesQt) {
    const i64 edges[] = {-kMsPer1601,
                         -kMsPer1601 - 1,
                         0,
                         -1,
                         123,
                         951782400000 /* 2000-02-29 */,
                         -2203891200000 /* 1900-03-01 */,
                         1709164800123 /* 2024-02-29 */,
                         kYear1Ms,
                         kYear10000Ms - 1};
    std::mt19937_64 rng(3);
    std::uniform_int_distribution<i64> any(kYear1Ms, kYear10000Ms - 1);
    std::vector<i64> samples(std::begin(edges), std::end(edges));
    for (int i = 0; i < 3000; ++i)
        samples.push_back(any(rng));
    for (i64 m : samples) {
        const QDateTime q = QDateTime::fromMSecsSinceEpoch(m, Qt::UTC);
        const TKrDateTime d = FromUnixMs(m);
        ASSERT_EQ(d.ToRFCStringZExact(), Qs(q.toString(Qt::ISODateWithMs))) << m;
        ASSERT_EQ(d.ToRFCString(0, TKrDateTime::UTC), Qs(q.toString(Qt::ISODate))) << m;
    }
    EXPECT_EQ(TKrDateTime().ToRFCStringZExact(), "1601-01-01T00:00:00.000Z");
    EXPECT_EQ(TKrDateTime(-1).ToRFCStringZExact(), "1600-12-31T23:59:59.999Z");
    // Years that ISO 8601's four digits cannot show give an empty text, as with Qt.
    EXPECT_EQ(FromUnixMs(kYear10000Ms).ToRFCStringZExact(), "");
    EXPECT_EQ(FromUnixMs(kYear1Ms - 1).ToRFCStringZExact(), "");
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::min()).ToRFCString(), "");
    EXPECT_EQ(TKrDateTime(std::numeric_limits<i64>::max()).ToRFCString(), "");
}

TEST(KrDateTime, LocalTextMatchesQtAndCLibrary) {
    std::mt19937_64 rng(5);
    // Qt 5 follows the zone's full rules only from 1970 to 2037; the C library everywhere.
    std::uniform_int_distribution<i64> qtRange(0, 2147483647LL * 1000);
    std::uniform_int_distribution<i64> wide(kYear1Ms + 86400000, kYear10000Ms - 86400001);
    for (const char* zone : kZones) {
        TScopedTZ tz(zone);
        for (int i = 0; i < 300; ++i) {
            const i64 m = qtRange(rng);
            const QDateTime l = QDateTime::fromMSecsSinceEpoch(m);
            const std::string qt = Qs(l.toOffsetFromUtc(l.offsetFromUtc()).toString(Qt::ISODateWithMs));
            ASSERT_EQ(FromUnixMs(m).ToRFCString(), qt) << zone << " " << m;
        }
        for (int i = 0; i < 300; ++i) {
            const i64 m = wide(rng);
            std::time_t t = static_cast<std::time_t>(m / 1000 - (m % 1000 < 0));
            std::tm tm{};
            ::localtime_r(&t, &tm);
            if (tm.tm_gmtoff % 60 != 0) continue; // local mean time: checked below
            const int ms = static_cast<int>(((m % 1000) + 1000) % 1000);
            ASSERT_EQ(FromUnixMs(m).ToRFCString(), CLocalIso(t, ms)) << zone << " " << m;
        }
    }
    {
        // Local mean time (+00:53:28 before 1893): the offset is cut to minutes and the wall time
        // follows it, so the text still names the exact instant.
        TScopedTZ tz("Europe/Berlin");
        const TKrDateTime d = TKrDateTime::FromUnixTime64(-3000000000);
        EXPECT_EQ(d.ToRFCString(), "1874-12-07T19:33:00.000+00:53");
        EXPECT_EQ(TKrDateTime::FromRFCString(d.ToRFCString()), d);
        EXPECT_EQ(TKrDateTime().ToRFCString(0, TKrDateTime::Local), "1601-01-01T00:53:00+00:53");
    }
    {
        TScopedTZ tz("America/St_Johns"); // -03:30:52 local mean time cuts toward zero
        EXPECT_EQ(TKrDateTime::FromUnixTime64(-3000000000).ToRFCString(0, TKrDateTime::Local),
                  "1874-12-07T15:10:00-03:30");
    }
    {
        TScopedTZ tz("UTC");
        EXPECT_EQ(FromUnixMs(123).ToRFCString(), "1970-01-01T00:00:00.123Z");
    }
}

TEST(KrDateTime, TextRoundTripsKeepMilliseconds) {
    std::mt19937_64 rng(9);
    std::uniform_int_distribution<i64> any(kYear1Ms + 86400000, kYear10000Ms - 86400001);
    for (const char* zone : kZones) {
        TScopedTZ tz(zone);
        for (int i = 0; i < 300; ++i) {
            const TKrDateTime d = FromUnixMs(any(rng));
            ASSERT_EQ(TKrDateTime::FromRFCString(d.ToRFCString()), d) << zone << " " << d.ToRFCString();
            ASSERT_EQ(TKrDateTime::FromRFCString(d.ToRFCStringZExact()), d);
        }
        const TKrDateTime d = FromUnixMs(1600000000123);
        EXPECT_EQ(TKrDateTime::FromRFCString(d.ToRFCString(0, TKrDateTime::Local)),
                  FromUnixMs(1600000000000));
        EXPECT_EQ(TKrDateTime::FromRFCString(d.ToRFCString(0, TKrDateTime::UTC)), FromUnixMs(1600000000000));
        // The edges of the tick range that texts can hold, and "no time set".
        EXPECT_EQ(TKrDateTime::FromRFCString(TKrDateTime().ToRFCString()), TKrDateTime());
        EXPECT_EQ(TKrDateTime::FromRFCString("0001-01-01T00:00:00Z"), FromUnixMs(kYear1Ms));
        EXPECT_EQ(TKrDateTime::FromRFCString("9999-12-31T23:59:59.999Z"), FromUnixMs(kYear10000Ms - 1));
    }
    // Sub-millisecond ticks survive up to 100 ns; further digits are ignored.
    EXPECT_EQ(TKrDateTime::FromRFCString("1970-01-01T00:00:00.12345678Z").Ticks(), kEpoch + 1234567);
    EXPECT_EQ(TKrDateTime::FromRFCString("1970-01-01T00:00:00,5Z").Ticks(), kEpoch + 5000000);
}

TEST(KrDateTime, ParsingAgreesWithQt) {
    const char* texts[] = {
        "2020-01-01T12:00:00.123Z",  "2020-01-01T12:00:00Z",
        "2020-01-01T12:00:00",       "2020-01-01",
        "2020-01-01T12:00",          "2020-01-01 12:00:00Z",
        "2020-01-01t12:00:00z",      "2020-01-01T24:00:00Z",
        "2020-01-01T12:00:00+0100",  "2020-01-01T12:00:00+01",
        "2020-01-01T12:00:00-00:30", "2020-01-01T12:00:00.123+14:30",
        "2024-02-29T23:59:59.999Z",  "1601-01-01T00:00:00Z",
        "0001-01-01T00:00:00-23:59", "2021-07-01T02:30:00",
        "2021-10-31T02:30:00",
    };
    for (const char* zone : {"Europe/Berlin", "America/St_Johns", "UTC"}) {
        TScopedTZ tz(zone);
        for (const char* text : texts) {
            const QDateTime q = QDateTime::fromString(QString::fromUtf8(text), Qt::ISODateWithMs);
            ASSERT_TRUE(q.isValid()) << text;
            EXPECT_EQ(TKrDateTime::FromRFCString(text), TKrDateTime::FromQDateTime(q)) << zone << " " << text;
        }
    }
    {
        // Surrounding white space is accepted (Qt refuses leading blanks).
        TScopedTZ tz("UTC");
        EXPECT_EQ(TKrDateTime::FromRFCString(" \t2020-01-01T00:00:00Z\r\n"), FromUnixMs(1577836800000));
    }
}

TEST(KrDateTime, MalformedTextsGiveZero) {
    const char* bad[] = {
        "",
        "   ",
        "no date",
        "2020",
        "2020-01",
        "2020-1-1T12:00:00Z",
        "20200101T120000Z",
        "+2020-01-01T12:00:00Z",
        "0000-01-01T00:00:00Z",
        "2021-02-29",
        "2020-13-01",
        "2020-04-31",
        "2020-01-00",
        "2020-01-01T",
        "2020-01-01T12",
        "2020-01-01T12Z",
        "2020-01-01T12:0",
        "2020-01-01T12:60",
        "2020-01-01T12:00:60Z",
        "2020-01-01T25:00:00Z",
        "2020-01-01T24:00:01Z",
        "2020-01-01T24:00:00.1Z",
        "2020-01-01T12:00:00.Z",
        "2020-01-01T12:00:00.x",
        "2020-01-01T12:00:00+24:00",
        "2020-01-01T12:00:00+01:60",
        "2020-01-01T12:00:00+1",
        "2020-01-01T12:00:00+01:",
        "2020-01-01T12:00:00+01:3",
        "2020-01-01T12:00:00Zx",
        "2020-01-01T12:00:00 Z",
        "2020-01-01T12:00:00.123Z junk",
        "2020-01-01X12:00:00",
        "2020-01-01T12:00:00+0100Z",
        "２０２０-01-01",
    };
    for (const char* text : bad)
        EXPECT_TRUE(TKrDateTime::FromRFCString(text).IsNull()) << "[" << text << "]";
    EXPECT_TRUE(TKrDateTime::FromRFCString(static_cast<const char*>(nullptr)).IsNull());
    // The length bounds the text: no reading past it, and an embedded NUL ends nothing early.
    const char text[] = "2020-01-01T00:00:00Z";
    EXPECT_TRUE(TKrDateTime::FromRFCString(text, 13).IsNull());
    EXPECT_EQ(TKrDateTime::FromRFCString(text, 10), TKrDateTime::FromRFCString("2020-01-01"));
    EXPECT_EQ(TKrDateTime::FromRFCString(std::string("2020-01-01T00:00:00Z\0", 21)), TKrDateTime());
}

TEST(KrDateTime, BrokenDownFormsMatchCLibrary) {
    std::mt19937_64 rng(13);
    std::uniform_int_distribution<i64> any(kYear1Ms, kYear10000Ms - 1);
    for (const char* zone : {"Europe/Berlin", "America/St_Johns", "Pacific/Chatham"}) {
        TScopedTZ tz(zone);
        for (int i = 0; i < 500; ++i) {
            const i64 m = any(rng);
            const TKrDateTime d = FromUnixMs(m);
            const std::time_t t = static_cast<std::time_t>((m - (((m % 1000) + 1000) % 1000)) / 1000);
            for (TKrDateTime::TTZ z : {TKrDateTime::UTC, TKrDateTime::Local}) {
                std::tm tm{};
                if (z == TKrDateTime::UTC)
                    ::gmtime_r(&t, &tm);
                else
                    ::localtime_r(&t, &tm);
                const TKrDateTime::TDT info = d.ToDateTimeInfo(z);
                ASSERT_EQ(info.zone, z);
                ASSERT_EQ(info.year, tm.tm_year + 1900);
                ASSERT_EQ(info.month, tm.tm_mon + 1);
                ASSERT_EQ(info.day, tm.tm_mday);
                ASSERT_EQ(info.hour, tm.tm_hour);
                ASSERT_EQ(info.minute, tm.tm_min);
                ASSERT_EQ(info.second, tm.tm_sec);
                ASSERT_DOUBLE_EQ(info.fraction, (((m % 1000) + 1000) % 1000) * 0.001);
                // Skip wall times that occur twice (the end of daylight saving time).
                if (z == TKrDateTime::Local) {
                    std::tm probe = tm;
                    probe.tm_isdst = -1;
                    if (std::mktime(&probe) != t) continue;
                }
                ASSERT_EQ(TKrDateTime::FromDateTimeInfo(info), d) << zone << " " << m;
            }
        }
    }
}

TEST(KrDateTime, FromDateTimeInfoNormalisesAndRejects) {
    using TDT = TKrDateTime::TDT;
    const auto utc = [](int y, int mo, int d, int h, int mi, int s, double f) {
        return TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::UTC, y, mo, d, h, mi, s, f});
    };
    const TKrDateTime ref = TKrDateTime::FromRFCString("2021-01-01T00:00:00Z");
    EXPECT_EQ(utc(2020, 13, 1, 0, 0, 0, 0), ref);
    EXPECT_EQ(utc(2021, 1, 1, 0, 0, -1, 0), TKrDateTime::FromRFCString("2020-12-31T23:59:59Z"));
    EXPECT_EQ(utc(2021, 3, 0, 0, 0, 0, 0), TKrDateTime::FromRFCString("2021-02-28T00:00:00Z"));
    EXPECT_EQ(utc(2021, -11, 1, 0, 0, 0, 0), TKrDateTime::FromRFCString("2020-01-01T00:00:00Z"));
    EXPECT_EQ(utc(2020, 12, 31, 24, 0, 0, 1.5), TKrDateTime::FromRFCString("2021-01-01T00:00:01.5Z"));
    EXPECT_EQ(utc(2021, 1, 1, 0, 0, 0, -0.001), TKrDateTime::FromRFCString("2020-12-31T23:59:59.999Z"));
    // The fraction keeps whole milliseconds only.
    EXPECT_EQ(utc(2021, 1, 1, 0, 0, 0, 0.1239), TKrDateTime::FromRFCString("2021-01-01T00:00:00.123Z"));
    EXPECT_EQ(utc(1601, 1, 1, 0, 0, 0, 0), TKrDateTime());

    // Results outside the tick range, and fractions that are no number, give 0.
    EXPECT_TRUE(utc(INT32_MAX, 12, 31, 0, 0, 0, 0).IsNull());
    EXPECT_TRUE(utc(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, -1e300).IsNull());
    EXPECT_TRUE(utc(2021, 1, 1, 0, 0, 0, std::nan("")).IsNull());
    EXPECT_TRUE(utc(2021, 1, 1, 0, 0, 0, HUGE_VAL).IsNull());
    EXPECT_TRUE(TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::Local, INT32_MAX, 1, 1, 0, 0, 0, 0}).IsNull());
    // Every year up to the edge of the tick range still converts (30828 is the last full one).
    EXPECT_EQ(utc(30828, 1, 1, 0, 0, 0, 0).ToDateTimeInfo(TKrDateTime::UTC).year, 30828);
    EXPECT_EQ(utc(-27626, 1, 1, 0, 0, 0, 0).ToDateTimeInfo(TKrDateTime::UTC).year, -27626);
    EXPECT_TRUE(utc(30829, 1, 1, 0, 0, 0, 0).IsNull());
    EXPECT_TRUE(utc(-27627, 1, 1, 0, 0, 0, 0).IsNull());

    TScopedTZ tz("Europe/Berlin");
    // Any non-zero zone selector means local time; a wall time in the spring gap moves forward.
    EXPECT_EQ(TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::TTZ(7), 2021, 7, 1, 2, 0, 0, 0}),
              TKrDateTime::FromRFCString("2021-07-01T00:00:00Z"));
    const TKrDateTime gap = TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::Local, 2021, 3, 28, 2, 30, 0, 0});
    EXPECT_EQ(gap.ToRFCString(0, TKrDateTime::Local), "2021-03-28T03:30:00+02:00");
}

TEST(KrDateTime, OrderingStreamsAndMessages) {
    std::map<TKrDateTime, int> byTime{{TKrDateTime(3), 3}, {TKrDateTime(-5), -5}, {TKrDateTime(), 0}};
    EXPECT_EQ(byTime.begin()->second, -5);
    EXPECT_EQ(byTime.rbegin()->second, 3);
    EXPECT_TRUE(TKrDateTime(1) > TKrDateTime() && TKrDateTime(1) >= TKrDateTime(1) &&
                TKrDateTime() != TKrDateTime(1));

    TScopedTZ tz("Asia/Kolkata");
    const TKrDateTime d = FromUnixMs(1600000000123);
    std::ostringstream out;
    out << d;
    EXPECT_EQ(out.str(), "2020-09-13T17:56:40.123+05:30");
    EXPECT_EQ(out.str(), d.ToRFCString());
    const TKrMessage m("at %1% (%2%)");
    m << d << 7;
    EXPECT_STREQ(m.what(), "at 2020-09-13T17:56:40.123+05:30 (7)");
}

TEST(KrDateTime, CustomAndLocaleTexts) {
    TScopedTZ tz("America/Los_Angeles");
    const TKrDateTime d = FromUnixMs(1600000000123);
    EXPECT_EQ(d.ToCustomString("yyyyMMdd-hhmmsszzz"), "20200913-052640123");
    EXPECT_EQ(d.ToCustomString("yyyy-MM-dd hh:mm:ss.zzz"),
              Qs(QDateTime::fromMSecsSinceEpoch(1600000000123)
                     .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))));

    // No language texts are loaded here, so "not available" is whatever the lookup yields.
    EXPECT_EQ(TKrDateTime().ToLocaleString(), KrMsg_helper("Msg_NA").std_str());
    EXPECT_EQ(TKrDateTime().ToLocaleString(5), TKrDateTime().ToLocaleString(0));
    EXPECT_FALSE(d.ToLocaleString().empty());
    EXPECT_EQ(d.ToLocaleString(1), d.ToLocaleString(0));
}
