// TKrDateTime against Qt and the C library: clocks, Unix time, broken-down forms and ISO texts.
#include "Utils/KrDateTime.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"

#include <QDateTime>
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <limits>
#include <random>
#include <sstream>

namespace {
using i64 = std::int64_t;
constexpr i64 kMin = std::numeric_limits<i64>::min(), kMax = std::numeric_limits<i64>::max();
constexpr i64 kEpoch = TKrDateTime::UnixEpochTicks;
constexpr i64 kYear1Ms = -62135596800000, kYear10000Ms = 253402300800000; // Unix ms, UTC

/// TZ for the lifetime of the object (the test process runs without TZ otherwise).
struct TScopedTZ {
    explicit TScopedTZ(const char* zone) { ::setenv("TZ", zone, 1), ::tzset(); }
    ~TScopedTZ() { ::unsetenv("TZ"), ::tzset(); }
};

TKrDateTime FromUnixMs(i64 ms) {
    return TKrDateTime((ms + 11644473600000) * 10000);
}
i64 UnixMs(TKrDateTime d) {
    return d.Ticks() / 10000 - 11644473600000;
}
i64 Floor(i64 v, i64 unit) {
    return v - ((v % unit) + unit) % unit;
}

/// The C library's local time of a Unix ms in our text form; "" under local mean time.
std::string CLocalIso(i64 ms) {
    const std::time_t t = static_cast<std::time_t>(Floor(ms, 1000) / 1000);
    std::tm tm{};
    ::localtime_r(&t, &tm);
    const int off = static_cast<int>(std::labs(tm.tm_gmtoff) / 60 % 1440);
    if (tm.tm_gmtoff % 60 != 0) return "";
    char b[96], z[48] = "Z";
    if (off != 0) std::snprintf(z, sizeof z, "%c%02d:%02d", tm.tm_gmtoff < 0 ? '-' : '+', off / 60, off % 60);
    std::snprintf(b, sizeof b, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%s", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms - Floor(ms, 1000)), z);
    return b;
}
} // namespace

TEST(KrDateTime, UnixTimeTruncatesTowardZeroAndSaturates) {
    EXPECT_EQ(TKrDateTime::FromUnixTime(0).Ticks(), 116444736000000000);
    EXPECT_EQ(TKrDateTime::FromUnixTime(0).ToUnixTime(), 0);
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(-11644473600).IsNull());
    EXPECT_EQ(TKrDateTime::FromUnixTime(INT32_MIN).ToUnixTime(), INT32_MIN);
    EXPECT_EQ(TKrDateTime(kEpoch - 1).ToUnixTime(), 0);
    EXPECT_EQ(TKrDateTime(kEpoch - 15000000).ToUnixTime(), -1);
    EXPECT_DOUBLE_EQ(TKrDateTime(kEpoch - 15000009).ToUnixTimeD(), -1.5);
    EXPECT_DOUBLE_EQ(TKrDateTime(kEpoch + 12345678).ToUnixTimeD(), 1.234567);

    EXPECT_EQ(TKrDateTime::FromUnixTime64(4102444800).ToUnixTime(), INT32_MAX);
    EXPECT_EQ(TKrDateTime(kMin).ToUnixTime(), INT32_MIN);
    EXPECT_EQ(TKrDateTime(kMin).ToUnixTime64(), -922337203685 - 11644473600);
    EXPECT_EQ(TKrDateTime(kMax).ToUnixTime64(), 922337203685 - 11644473600);
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(kMax).IsNull());
    EXPECT_TRUE(TKrDateTime::FromUnixTime64(kMin).IsNull());
    EXPECT_GT(TKrDateTime(kMin).SecondsTill(TKrDateTime(kMax)), 1.8e12); // no wrap-around
}

TEST(KrDateTime, StdClockTruncatesToHundredNanoseconds) {
    using namespace std::chrono;
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<i64> any(kMin, kMax);
    for (int i = 0; i < 2000; ++i) {
        const i64 ns = any(rng);
        const auto back = TKrDateTime::FromStdTime(system_clock::time_point(nanoseconds(ns))).ToStdTime();
        ASSERT_EQ(duration_cast<nanoseconds>(back.time_since_epoch()).count(), ns / 100 * 100) << ns;
    }
    EXPECT_EQ(TKrDateTime::FromStdTime(system_clock::time_point(nanoseconds(-150))).Ticks(), kEpoch - 1);
    EXPECT_EQ(TKrDateTime().ToStdTime(), system_clock::time_point::min());
    EXPECT_EQ(TKrDateTime(kMax).ToStdTime(), system_clock::time_point::max());
    const auto before = system_clock::now();
    EXPECT_LT(std::abs(TKrDateTime::Current().SecondsTill(TKrDateTime::FromStdTime(before))), 60.0);
}

TEST(KrDateTime, UtcTextAndQtConversionsMatchQt) {
    // 1601, its last ms before, the epoch, 2000-02-29, 1900-03-01 (no leap day), years 1 and 9999.
    std::vector<i64> ms = {-11644473600000, -11644473600001, 0, -1, 123, 951782400000, -2203891200000,
                           kYear1Ms,        kYear10000Ms - 1};
    std::mt19937_64 rng(3);
    std::uniform_int_distribution<i64> any(kYear1Ms, kYear10000Ms - 1);
    for (int i = 0; i < 2000; ++i)
        ms.push_back(any(rng));
    for (i64 m : ms) {
        const QDateTime q = QDateTime::fromMSecsSinceEpoch(m, Qt::UTC);
        const TKrDateTime d = FromUnixMs(m);
        ASSERT_EQ(d.ToRFCStringZExact(), q.toString(Qt::ISODateWithMs).toStdString()) << m;
        ASSERT_EQ(d.ToRFCString(0, TKrDateTime::UTC), q.toString(Qt::ISODate).toStdString()) << m;
        ASSERT_EQ(TKrDateTime::FromQDateTime(q), d);
        ASSERT_EQ(d.ToQDateTime().toMSecsSinceEpoch(), m);
    }
    EXPECT_EQ(TKrDateTime().ToRFCStringZExact(), "1601-01-01T00:00:00.000Z");
    EXPECT_EQ(TKrDateTime(-1).ToRFCStringZExact(), "1600-12-31T23:59:59.999Z");
    // Qt gives no text for years ISO 8601's four digits cannot show; neither do we.
    for (TKrDateTime d :
         {FromUnixMs(kYear10000Ms), FromUnixMs(kYear1Ms - 1), TKrDateTime(kMin), TKrDateTime(kMax)})
        EXPECT_EQ(d.ToRFCString(), "");
    // Qt date-times keep whole milliseconds, dropped toward zero; invalid or huge ones give 0.
    EXPECT_EQ(TKrDateTime(kEpoch + 19999).ToQDateTime().toMSecsSinceEpoch(), 1);
    EXPECT_EQ(TKrDateTime(-19999).ToQDateTime().toMSecsSinceEpoch(), -11644473600001);
    EXPECT_TRUE(TKrDateTime::FromQDateTime(QDateTime()).IsNull());
    EXPECT_TRUE(TKrDateTime::FromQDateTime(QDateTime(QDate(200000, 1, 1), QTime(0, 0), Qt::UTC)).IsNull());
}

TEST(KrDateTime, LocalTextMatchesQtAndCLibraryAndReadsBack) {
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<i64> qtRange(0, 2147483647000); // Qt 5 knows DST only from 1970 to 2037
    std::uniform_int_distribution<i64> wide(kYear1Ms + 86400000, kYear10000Ms - 86400001);
    for (const char* zone : {"UTC", "Europe/Berlin", "America/St_Johns", "Asia/Kolkata", "Pacific/Chatham"}) {
        TScopedTZ tz(zone);
        for (int i = 0; i < 300; ++i) {
            const i64 m = qtRange(rng);
            const QDateTime l = QDateTime::fromMSecsSinceEpoch(m);
            ASSERT_EQ(FromUnixMs(m).ToRFCString(),
                      l.toOffsetFromUtc(l.offsetFromUtc()).toString(Qt::ISODateWithMs).toStdString());
        }
        for (int i = 0; i < 300; ++i) {
            const TKrDateTime d = FromUnixMs(wide(rng));
            const std::string text = d.ToRFCString(), c = CLocalIso(UnixMs(d));
            if (!c.empty()) {
                ASSERT_EQ(text, c) << zone;
            }
            ASSERT_EQ(TKrDateTime::FromRFCString(text), d) << zone << " " << text;
        }
        EXPECT_EQ(TKrDateTime::FromRFCString(TKrDateTime().ToRFCString()), TKrDateTime());
    }
    // Local mean time (Berlin +00:53:28 before 1893, St John's -03:30:52): the offset is cut to
    // whole minutes toward zero and the wall time follows it, so the text names the exact instant.
    TScopedTZ berlin("Europe/Berlin");
    EXPECT_EQ(TKrDateTime::FromUnixTime64(-3000000000).ToRFCString(), "1874-12-07T19:33:00.000+00:53");
    EXPECT_EQ(TKrDateTime().ToRFCString(0, TKrDateTime::Local), "1601-01-01T00:53:00+00:53");
    TScopedTZ stJohns("America/St_Johns");
    EXPECT_EQ(TKrDateTime::FromUnixTime64(-3000000000).ToRFCString(0, TKrDateTime::Local),
              "1874-12-07T15:10:00-03:30");
}

TEST(KrDateTime, ParsingAgreesWithQt) {
    for (const char* zone : {"Europe/Berlin", "America/St_Johns"}) {
        TScopedTZ tz(zone);
        // Every accepted form; the last one is met twice in Berlin and means the first time.
        for (const char* text : {"2020-01-01T12:00:00.123Z", "2020-01-01T12:00:00", "2020-01-01",
                                 "2020-01-01T12:00", "2020-01-01 12:00:00Z", "2020-01-01t12:00:00z",
                                 "2020-01-01T24:00:00Z", "2020-01-01T12:00:00+0100", "2020-01-01T12:00:00+01",
                                 "2020-01-01T12:00:00-00:30", "2024-02-29T23:59:59.999+14:30",
                                 "0001-01-01T00:00:00-23:59", "2021-07-01T02:30:00", "2021-10-31T02:30:00"}) {
            const QDateTime q = QDateTime::fromString(QString::fromUtf8(text), Qt::ISODateWithMs);
            ASSERT_TRUE(q.isValid()) << text;
            EXPECT_EQ(TKrDateTime::FromRFCString(text), TKrDateTime::FromQDateTime(q)) << zone << " " << text;
        }
    }
    // Beyond Qt: surrounding white space, and fraction digits down to 100 ns.
    EXPECT_EQ(TKrDateTime::FromRFCString(" \t1970-01-01T00:00:00Z\r\n").Ticks(), kEpoch);
    EXPECT_EQ(TKrDateTime::FromRFCString("1970-01-01T00:00:00.12345678Z").Ticks(), kEpoch + 1234567);
    EXPECT_EQ(TKrDateTime::FromRFCString("1970-01-01T00:00:00,5Z").Ticks(), kEpoch + 5000000);
    // A wall time in the spring gap (Qt rejects it) moves forward, as mktime does.
    TScopedTZ tz("Europe/Berlin");
    EXPECT_EQ(TKrDateTime::FromRFCString("2021-03-28T02:30").ToRFCString(0), "2021-03-28T03:30:00+02:00");
}

TEST(KrDateTime, MalformedTextsGiveZero) {
    // Dates out of form or range, then times, fractions and zones, and junk around them.
    for (const char* text : {"", "   ", "no date", "2020-01", "2020-1-1T12:00:00Z", "20200101T120000Z",
                             "+2020-01-01T12:00:00Z", "0000-01-01T00:00:00Z", "2021-02-29", "2020-13-01",
                             "2020-04-31", "2020-01-00", "\xef\xbc\x92\xef\xbc\x90"})
        EXPECT_TRUE(TKrDateTime::FromRFCString(text).IsNull()) << "[" << text << "]";
    for (const char* text :
         {"2020-01-01T", "2020-01-01T12", "2020-01-01T12:0", "2020-01-01T12:60", "2020-01-01T12:00:60Z",
          "2020-01-01T25:00:00Z", "2020-01-01T24:00:01Z", "2020-01-01T24:00:00.1Z", "2020-01-01T12:00:00.Z",
          "2020-01-01T12:00:00+24:00", "2020-01-01T12:00:00+01:60", "2020-01-01T12:00:00+1",
          "2020-01-01T12:00:00+01:", "2020-01-01T12:00:00+01:3", "2020-01-01T12:00:00Zx",
          "2020-01-01T12:00:00 Z", "2020-01-01X12:00:00", "2020-01-01T12:00:00+0100Z"})
        EXPECT_TRUE(TKrDateTime::FromRFCString(text).IsNull()) << "[" << text << "]";
    EXPECT_TRUE(TKrDateTime::FromRFCString(static_cast<const char*>(nullptr)).IsNull());
    // The length bounds the text, and an embedded NUL is a character like any other.
    const char text[] = "2020-01-01T00:00:00Z";
    EXPECT_TRUE(TKrDateTime::FromRFCString(text, 13).IsNull());
    EXPECT_EQ(TKrDateTime::FromRFCString(text, 10), TKrDateTime::FromRFCString("2020-01-01"));
    EXPECT_TRUE(TKrDateTime::FromRFCString(std::string(text, sizeof text)).IsNull());
}

TEST(KrDateTime, BrokenDownFormsMatchCLibrary) {
    std::mt19937_64 rng(13);
    std::uniform_int_distribution<i64> any(kYear1Ms, kYear10000Ms - 1);
    for (const char* zone : {"Europe/Berlin", "Pacific/Chatham"}) {
        TScopedTZ tz(zone);
        for (int i = 0; i < 500; ++i) {
            const i64 m = any(rng);
            const std::time_t t = static_cast<std::time_t>(Floor(m, 1000) / 1000);
            for (TKrDateTime::TTZ z : {TKrDateTime::UTC, TKrDateTime::Local}) {
                std::tm tm{};
                z == TKrDateTime::UTC ? ::gmtime_r(&t, &tm) : ::localtime_r(&t, &tm);
                const TKrDateTime::TDT info = FromUnixMs(m).ToDateTimeInfo(z);
                ASSERT_EQ(info.zone, z);
                ASSERT_EQ(
                    std::vector<int>({info.year, info.month, info.day, info.hour, info.minute, info.second}),
                    std::vector<int>(
                        {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec}));
                ASSERT_DOUBLE_EQ(info.fraction, (m - Floor(m, 1000)) * 0.001);
                tm.tm_isdst = -1;
                if (z == TKrDateTime::Local && std::mktime(&tm) != t) continue; // a wall time met twice
                ASSERT_EQ(TKrDateTime::FromDateTimeInfo(info), FromUnixMs(m)) << zone << " " << m;
            }
        }
    }
}

TEST(KrDateTime, FromDateTimeInfoCarriesOverAndRejects) {
    using TDT = TKrDateTime::TDT;
    const auto utc = [](int y, int mo, int d, int h, int mi, int s, double f) {
        return TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::UTC, y, mo, d, h, mi, s, f});
    };
    const auto iso = [](const char* text) { return TKrDateTime::FromRFCString(text); };
    EXPECT_EQ(utc(2020, 13, 1, 0, 0, 0, 0), iso("2021-01-01T00:00:00Z"));
    EXPECT_EQ(utc(2021, -11, 1, 0, 0, -1, 0), iso("2019-12-31T23:59:59Z"));
    EXPECT_EQ(utc(2021, 3, 0, 24, 0, 0, 1.5), iso("2021-03-01T00:00:01.5Z"));
    EXPECT_EQ(utc(2021, 1, 1, 0, 0, 0, -0.001), iso("2020-12-31T23:59:59.999Z"));
    EXPECT_EQ(utc(2021, 1, 1, 0, 0, 0, 0.1239), iso("2021-01-01T00:00:00.123Z")); // whole ms only
    // The last years inside the tick range convert; beyond, and for no-number fractions, 0.
    EXPECT_EQ(utc(30828, 1, 1, 0, 0, 0, 0).ToDateTimeInfo(TKrDateTime::UTC).year, 30828);
    EXPECT_EQ(utc(-27626, 1, 1, 0, 0, 0, 0).ToDateTimeInfo(TKrDateTime::UTC).year, -27626);
    for (TKrDateTime d :
         {utc(30829, 1, 1, 0, 0, 0, 0), utc(-27627, 1, 1, 0, 0, 0, 0), utc(INT32_MAX, 12, 31, 0, 0, 0, 0),
          utc(INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, INT32_MIN, -1e300),
          utc(2021, 1, 1, 0, 0, 0, std::nan("")), utc(2021, 1, 1, 0, 0, 0, HUGE_VAL),
          TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::Local, INT32_MAX, 1, 1, 0, 0, 0, 0})})
        EXPECT_TRUE(d.IsNull()) << d.Ticks();
    TScopedTZ tz("Europe/Berlin"); // any non-zero zone selector means local time
    EXPECT_EQ(TKrDateTime::FromDateTimeInfo(TDT{TKrDateTime::TTZ(7), 2021, 7, 1, 2, 0, 0, 0}),
              iso("2021-07-01T00:00:00Z"));
}

TEST(KrDateTime, OrderStreamsMessagesAndOtherTexts) {
    EXPECT_TRUE(TKrDateTime(-5) < TKrDateTime() && TKrDateTime() < TKrDateTime(3)); // signed order

    TScopedTZ tz("Asia/Kolkata");
    const TKrDateTime d = FromUnixMs(1600000000123);
    std::ostringstream out;
    out << d;
    EXPECT_EQ(out.str(), "2020-09-13T17:56:40.123+05:30");
    const TKrMessage m("at %1% (%2%)");
    m << d << 7;
    EXPECT_STREQ(m.what(), "at 2020-09-13T17:56:40.123+05:30 (7)");

    EXPECT_EQ(d.ToCustomString("yyyyMMdd-hhmmsszzz"), "20200913-175640123");
    // No language texts are loaded here: "not available" is whatever the lookup yields.
    EXPECT_EQ(TKrDateTime().ToLocaleString(5), KrMsg_helper("Msg_NA").std_str());
    EXPECT_FALSE(d.ToLocaleString().empty());
    EXPECT_EQ(d.ToLocaleString(1), d.ToLocaleString(0));
    EXPECT_EQ(d.TimeTillAsString(TKrDateTime(d.Ticks() + 3725 * TKrDateTime::TicksPerSecond), 0), "1:02:05");
}
