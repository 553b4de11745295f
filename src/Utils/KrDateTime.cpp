// TKrDateTime: calendar arithmetic, zone conversion through the C library, ISO 8601 text.
#include "Utils/KrDateTime.h"
#include "Core/KrStringFormat.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <cmath>
#include <ctime>
#include <limits>
#include <ostream>
#include <type_traits>

static_assert(sizeof(TKrDateTime) == 8, "TKrDateTime is stored as one 64-bit tick count");
static_assert(std::is_trivially_copyable<TKrDateTime>::value, "TKrDateTime is copied as raw bytes");

namespace {

using i64 = std::int64_t;

constexpr i64 kTicksPerSecond = TKrDateTime::TicksPerSecond;
constexpr i64 kTicksPerMs = TKrDateTime::TicksPerMillisecond;
/// Seconds from 1601-01-01 to 1970-01-01.
constexpr i64 kEpochDeltaSeconds = TKrDateTime::UnixEpochTicks / kTicksPerSecond;
constexpr i64 kEpochDeltaMs = TKrDateTime::UnixEpochTicks / kTicksPerMs;
constexpr i64 kSecondsPerDay = 86400;
/// Wall-clock seconds (since 1970) beyond which no tick value can lie, whatever the zone offset.
constexpr i64 kWallSecondsLimit =
    std::numeric_limits<i64>::max() / kTicksPerSecond + kEpochDeltaSeconds + 2 * kSecondsPerDay;

constexpr i64 FloorDiv(i64 a, i64 b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}
// From the remainder, not a - FloorDiv(a, b) * b: that product leaves 64 bits near the ends.
constexpr i64 FloorMod(i64 a, i64 b) {
    const i64 r = a % b;
    return (r != 0 && ((r < 0) != (b < 0))) ? r + b : r;
}

/// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12; day may run past the month).
constexpr i64 DaysFromCivil(i64 y, i64 m, i64 d) {
    y -= m <= 2;
    const i64 era = FloorDiv(y, 400);
    const i64 yoe = y - era * 400;
    const i64 doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const i64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct TCivil {
    i64 year;
    int month, day;
};

constexpr TCivil CivilFromDays(i64 z) {
    z += 719468;
    const i64 era = FloorDiv(z, 146097);
    const i64 doe = z - era * 146097;
    const i64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const i64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const i64 mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return TCivil{yoe + era * 400 + (m <= 2), m, d};
}

static_assert(DaysFromCivil(1970, 1, 1) == 0, "epoch");
static_assert(DaysFromCivil(1601, 1, 1) == -kEpochDeltaSeconds / kSecondsPerDay, "1601 epoch");
static_assert(CivilFromDays(-1).year == 1969 && CivilFromDays(-1).day == 31, "day before epoch");

constexpr bool IsLeapYear(i64 y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr int DaysInMonth(i64 y, int m) {
    constexpr int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeapYear(y) ? 29 : days[m - 1];
}

/// Unix seconds plus a tick remainder as a tick value; false when it leaves the 64-bit range.
bool UnixToTicks(i64 unixSeconds, i64 subTicks, i64& ticks) {
    // Count from 1601 before scaling: years before 1601 reach further down than Unix seconds
    // times ten million can.
    i64 t = 0;
    if (__builtin_add_overflow(unixSeconds, kEpochDeltaSeconds, &t)) return false;
    if (__builtin_mul_overflow(t, kTicksPerSecond, &t)) return false;
    return !__builtin_add_overflow(t, subTicks, &ticks);
}

/// Splits ticks into floored Unix seconds and the ticks within that second (0..9,999,999).
void TicksToUnix(i64 ticks, i64& unixSeconds, i64& subTicks) {
    unixSeconds = FloorDiv(ticks, kTicksPerSecond) - kEpochDeltaSeconds;
    subTicks = FloorMod(ticks, kTicksPerSecond);
}

/// The local zone's broken-down time of a Unix second. tzset() first so that a TZ change made
/// by the process is honoured (localtime_r alone keeps the zone it saw first).
bool LocalBrokenDown(i64 unixSeconds, std::tm& tm) {
    ::tzset();
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    return ::localtime_r(&t, &tm) != nullptr;
}

/// Local wall-clock seconds (counted like Unix seconds) to the instant, resolved by mktime.
bool LocalWallToUnix(i64 wallSeconds, i64& unixSeconds) {
    if (wallSeconds > kWallSecondsLimit || wallSeconds < -kWallSecondsLimit) return false;
    const i64 days = FloorDiv(wallSeconds, kSecondsPerDay);
    const i64 sod = wallSeconds - days * kSecondsPerDay;
    const TCivil c = CivilFromDays(days);
    std::tm tm{};
    tm.tm_year = static_cast<int>(c.year - 1900);
    tm.tm_mon = c.month - 1;
    tm.tm_mday = c.day;
    tm.tm_hour = static_cast<int>(sod / 3600);
    tm.tm_min = static_cast<int>(sod / 60 % 60);
    tm.tm_sec = static_cast<int>(sod % 60);
    tm.tm_isdst = -1;
    tm.tm_wday = -1; // mktime sets it on success; -1 is also a valid result
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) && tm.tm_wday == -1) return false;
    unixSeconds = static_cast<i64>(t);
    return true;
}

char* Put2(char* p, int v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
    return p + 2;
}

// ---- ISO 8601 parsing over a pointer range ----

struct TCursor {
    const char* p;
    const char* end;

    bool AtEnd() const { return p == end; }
    bool Peek(char c) const { return p != end && *p == c; }
    bool Take(char c) {
        if (!Peek(c)) return false;
        ++p;
        return true;
    }
    bool IsDigit() const { return p != end && *p >= '0' && *p <= '9'; }
    /// Exactly `n` decimal digits.
    bool Digits(int n, int& value) {
        if (end - p < n) return false;
        int v = 0;
        for (int i = 0; i < n; ++i) {
            const char c = p[i];
            if (c < '0' || c > '9') return false;
            v = v * 10 + (c - '0');
        }
        p += n;
        value = v;
        return true;
    }
};

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// Parses the text into wall-clock seconds, ticks within the second and the zone: `hasOffset`
/// false means local time, otherwise `offsetSeconds` east of UTC.
bool ParseIso(TCursor& in, i64& wallSeconds, i64& subTicks, bool& hasOffset, int& offsetSeconds) {
    int year = 0, month = 0, day = 0;
    if (!in.Digits(4, year) || !in.Take('-') || !in.Digits(2, month) || !in.Take('-') || !in.Digits(2, day))
        return false;
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;

    int hour = 0, minute = 0, second = 0;
    subTicks = 0;
    hasOffset = false;
    offsetSeconds = 0;
    if (!in.AtEnd()) {
        if (!in.Take('T') && !in.Take('t') && !in.Take(' ')) return false;
        if (!in.Digits(2, hour) || !in.Take(':') || !in.Digits(2, minute)) return false;
        if (in.Take(':')) {
            if (!in.Digits(2, second)) return false;
            if (in.Peek('.') || in.Peek(',')) {
                ++in.p;
                if (!in.IsDigit()) return false;
                i64 scale = kTicksPerSecond / 10;
                for (; in.IsDigit(); ++in.p) {
                    subTicks += (*in.p - '0') * scale; // digits past 100 ns add 0
                    scale /= 10;
                }
            }
        }
        if (hour > 24 || minute > 59 || second > 59) return false;
        if (hour == 24 && (minute != 0 || second != 0 || subTicks != 0)) return false;

        if (in.Take('Z') || in.Take('z')) {
            hasOffset = true;
        } else if (in.Peek('+') || in.Peek('-')) {
            const int sign = *in.p++ == '-' ? -1 : 1;
            int oh = 0, om = 0;
            if (!in.Digits(2, oh)) return false;
            if (!in.AtEnd()) {
                const bool colon = in.Take(':');
                if (!in.Digits(2, om) && colon) return false;
            }
            if (oh > 23 || om > 59) return false;
            hasOffset = true;
            offsetSeconds = sign * (oh * 3600 + om * 60);
        }
    }
    if (!in.AtEnd()) return false;
    wallSeconds = DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    return true;
}

} // namespace

// ---- clocks, Unix time, Qt ----

TKrDateTime TKrDateTime::Current() noexcept {
    return FromStdTime(std::chrono::system_clock::now());
}

TKrDateTime TKrDateTime::FromQDateTime(const QDateTime& dt) {
    if (!dt.isValid()) return TKrDateTime();
    i64 ms = 0, ticks = 0;
    if (__builtin_add_overflow(static_cast<i64>(dt.toMSecsSinceEpoch()), kEpochDeltaMs, &ms))
        return TKrDateTime();
    if (__builtin_mul_overflow(ms, kTicksPerMs, &ticks)) return TKrDateTime();
    return TKrDateTime(ticks);
}

QDateTime TKrDateTime::ToQDateTime() const {
    return QDateTime::fromMSecsSinceEpoch(m_ticks / kTicksPerMs - kEpochDeltaMs, Qt::LocalTime);
}

std::chrono::system_clock::time_point TKrDateTime::ToStdTime() const noexcept {
    using std::chrono::nanoseconds;
    // (ticks − epoch) × 100 rather than ticks × 100 − offset: it overflows only when the clock
    // itself cannot hold the instant.
    i64 relative = 0, ns = 0;
    if (__builtin_sub_overflow(m_ticks, UnixEpochTicks, &relative) ||
        __builtin_mul_overflow(relative, i64(100), &ns))
        ns = m_ticks < UnixEpochTicks ? std::numeric_limits<i64>::min() : std::numeric_limits<i64>::max();
    return std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::time_point<std::chrono::system_clock, nanoseconds>(nanoseconds(ns)));
}

TKrDateTime TKrDateTime::FromStdTime(std::chrono::system_clock::time_point time) noexcept {
    const i64 ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return TKrDateTime(ns / 100 + UnixEpochTicks);
}

std::int64_t TKrDateTime::ToUnixTime64() const noexcept {
    i64 seconds = 0, sub = 0;
    TicksToUnix(m_ticks, seconds, sub);
    return seconds < 0 && sub > 0 ? seconds + 1 : seconds; // toward zero, not floor
}

std::int32_t TKrDateTime::ToUnixTime() const noexcept {
    const i64 s = ToUnixTime64();
    if (s > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (s < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(s);
}

double TKrDateTime::ToUnixTimeD() const noexcept {
    i64 us = FloorDiv(m_ticks, 10) - UnixEpochTicks / 10;
    if (us < 0 && FloorMod(m_ticks, 10) != 0) ++us;
    return static_cast<double>(us) / 1e6;
}

TKrDateTime TKrDateTime::FromUnixTime(std::int32_t seconds) noexcept {
    return TKrDateTime(i64(seconds) * kTicksPerSecond + UnixEpochTicks);
}

TKrDateTime TKrDateTime::FromUnixTime64(std::int64_t seconds) noexcept {
    i64 ticks = 0;
    return UnixToTicks(seconds, 0, ticks) ? TKrDateTime(ticks) : TKrDateTime();
}

double TKrDateTime::SecondsTill(const TKrDateTime& other) const noexcept {
    i64 d = 0;
    if (__builtin_sub_overflow(other.m_ticks, m_ticks, &d))
        return (static_cast<double>(other.m_ticks) - static_cast<double>(m_ticks)) * 1e-7;
    return static_cast<double>(d) * 1e-7;
}

// ---- broken-down form ----

TKrDateTime::TDT TKrDateTime::ToDateTimeInfo(TTZ zone) const noexcept {
    i64 seconds = 0, sub = 0;
    TicksToUnix(m_ticks, seconds, sub);
    TDT info;
    info.zone = zone == UTC ? UTC : Local;
    info.fraction = static_cast<double>(sub / kTicksPerMs) * 0.001;
    std::tm tm{};
    if (zone != UTC && LocalBrokenDown(seconds, tm)) {
        info.year = tm.tm_year + 1900;
        info.month = tm.tm_mon + 1;
        info.day = tm.tm_mday;
        info.hour = tm.tm_hour;
        info.minute = tm.tm_min;
        info.second = tm.tm_sec;
        return info;
    }
    // UTC, or a local zone the C library cannot answer for: show UTC but keep the caller's zone
    // so that FromDateTimeInfo resolves it the same way.
    const i64 days = FloorDiv(seconds, kSecondsPerDay);
    const i64 sod = seconds - days * kSecondsPerDay;
    const TCivil c = CivilFromDays(days);
    info.year = static_cast<std::int32_t>(c.year);
    info.month = c.month;
    info.day = c.day;
    info.hour = static_cast<std::int32_t>(sod / 3600);
    info.minute = static_cast<std::int32_t>(sod / 60 % 60);
    info.second = static_cast<std::int32_t>(sod % 60);
    return info;
}

TKrDateTime TKrDateTime::FromDateTimeInfo(const TDT& info) noexcept {
    if (!std::isfinite(info.fraction)) return TKrDateTime();
    const double msd = std::trunc(info.fraction * 1000.0);
    // Beyond this no result fits the tick range; the bound also keeps the cast defined.
    if (std::fabs(msd) > 1e18) return TKrDateTime();
    i64 ms = static_cast<i64>(msd);

    // All inputs are 32-bit, so these sums stay far inside 64 bits.
    const i64 months = i64(info.month) - 1;
    const i64 year = i64(info.year) + FloorDiv(months, 12);
    const i64 month = FloorMod(months, 12) + 1;
    i64 wall = (DaysFromCivil(year, month, 1) + i64(info.day) - 1) * kSecondsPerDay + i64(info.hour) * 3600 +
               i64(info.minute) * 60 + i64(info.second);
    wall += FloorDiv(ms, 1000);
    ms = FloorMod(ms, 1000);

    i64 unixSeconds = wall;
    if (info.zone != UTC && !LocalWallToUnix(wall, unixSeconds)) return TKrDateTime();
    i64 ticks = 0;
    return UnixToTicks(unixSeconds, ms * kTicksPerMs, ticks) ? TKrDateTime(ticks) : TKrDateTime();
}

// ---- text ----

std::string TKrDateTime::ToRFCString(int precision, TTZ zone) const {
    i64 seconds = 0, sub = 0;
    TicksToUnix(m_ticks, seconds, sub);
    int offsetMinutes = 0;
    if (zone != UTC) {
        std::tm tm{};
        if (LocalBrokenDown(seconds, tm)) offsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
    }
    const i64 shown = seconds + i64(offsetMinutes) * 60;
    const i64 days = FloorDiv(shown, kSecondsPerDay);
    const int sod = static_cast<int>(shown - days * kSecondsPerDay);
    const TCivil c = CivilFromDays(days);
    if (c.year < 1 || c.year > 9999) return std::string();

    char buf[40];
    char* p = buf;
    const int y = static_cast<int>(c.year);
    p = Put2(p, y / 100);
    p = Put2(p, y % 100);
    *p++ = '-';
    p = Put2(p, c.month);
    *p++ = '-';
    p = Put2(p, c.day);
    *p++ = 'T';
    p = Put2(p, sod / 3600);
    *p++ = ':';
    p = Put2(p, sod / 60 % 60);
    *p++ = ':';
    p = Put2(p, sod % 60);
    if (precision >= 1) {
        const int ms = static_cast<int>(sub / kTicksPerMs);
        *p++ = '.';
        *p++ = static_cast<char>('0' + ms / 100);
        p = Put2(p, ms % 100);
    }
    if (offsetMinutes == 0) {
        *p++ = 'Z';
    } else {
        const int a = offsetMinutes < 0 ? -offsetMinutes : offsetMinutes;
        *p++ = offsetMinutes < 0 ? '-' : '+';
        p = Put2(p, a / 60);
        *p++ = ':';
        p = Put2(p, a % 60);
    }
    return std::string(buf, p);
}

TKrDateTime TKrDateTime::FromRFCString(const char* text, std::size_t length) noexcept {
    if (!text) return TKrDateTime();
    const char* b = text;
    const char* e = text + length;
    while (b != e && IsBlank(*b))
        ++b;
    while (e != b && IsBlank(e[-1]))
        --e;
    TCursor in{b, e};
    i64 wall = 0, sub = 0;
    bool hasOffset = false;
    int offset = 0;
    if (!ParseIso(in, wall, sub, hasOffset, offset)) return TKrDateTime();
    i64 unixSeconds = wall - offset;
    if (!hasOffset && !LocalWallToUnix(wall, unixSeconds)) return TKrDateTime();
    i64 ticks = 0;
    return UnixToTicks(unixSeconds, sub, ticks) ? TKrDateTime(ticks) : TKrDateTime();
}

TKrDateTime TKrDateTime::FromRFCString(const char* text) noexcept {
    return text ? FromRFCString(text, std::char_traits<char>::length(text)) : TKrDateTime();
}

std::string TKrDateTime::ToCustomString(const std::string& format) const {
    // QDateTime::toString(format) uses the system locale in Qt 5: Arabic digits in a log file
    // name under ar_EG. The "C" locale keeps the digits ASCII and the names English.
    const QString text = QLocale::c().toString(
        ToQDateTime(), QString::fromUtf8(format.data(), static_cast<int>(format.size())));
    return text.toUtf8().toStdString();
}

std::string TKrDateTime::ToLocaleString(int) const {
    if (IsNull()) return KrMsg_helper("Msg_NA").std_str();
    return QLocale::system().toString(ToQDateTime(), QLocale::LongFormat).toUtf8().toStdString();
}

std::ostream& operator<<(std::ostream& out, const TKrDateTime& value) {
    return out << value.ToRFCString();
}

const TKrMessage& operator<<(const TKrMessage& m, const TKrDateTime& value) noexcept {
    try {
        return m << value.ToRFCString();
    } catch (...) {
        return m; // out of memory: the parameter is left out, as for every other kind
    }
}

std::string TKrDateTime::TimeTillAsString(const TKrDateTime& other, int flag) const {
    return KrGetTimeFormatedStr(SecondsTill(other), flag);
}
