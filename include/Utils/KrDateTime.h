// TKrDateTime: a point in time as 100-ns ticks since 1601-01-01 UTC, with its clock, Unix, Qt and text forms.
#pragma once

#include "Core/KrExport.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

class QDateTime;
class TKrMessage;

/// The library's point-in-time value: a signed count of 100-nanosecond ticks since
/// 1601-01-01 00:00:00 UTC (proleptic Gregorian calendar, no leap seconds). The value 0 means
/// "no time set". The object is exactly one 64-bit integer, trivially copyable, and orders by
/// its ticks, so it serves as a key of ordered maps.
///
/// Local-zone forms use the C library's zone rules (the TZ environment variable or the system
/// zone); a change of TZ made by the process is seen by the next conversion. Conversions that
/// cannot represent their result saturate (standard clock, 32-bit Unix time) or give 0 (inputs
/// outside the tick range); none of them throws except through memory exhaustion.
class KRSTD_API TKrDateTime {
public:
    /// Zone of a broken-down or text form: 0 is UTC, any other value the system's local zone.
    enum TTZ : std::int32_t { UTC = 0, Local = 1 };

    /// Broken-down date and time. Fields are 32-bit; `fraction` is the milliseconds of the
    /// second divided by 1000.
    struct TDT {
        TTZ zone = UTC;
        std::int32_t year = 1601;
        std::int32_t month = 1; ///< 1..12
        std::int32_t day = 1;   ///< 1..31
        std::int32_t hour = 0;
        std::int32_t minute = 0;
        std::int32_t second = 0;
        double fraction = 0.0;
    };

    static constexpr std::int64_t TicksPerMillisecond = 10000;
    static constexpr std::int64_t TicksPerSecond = 10000000;
    static constexpr std::int64_t TicksPerDay = 864000000000;
    /// 1970-01-01 00:00:00 UTC in ticks.
    static constexpr std::int64_t UnixEpochTicks = 116444736000000000;

    constexpr TKrDateTime() noexcept = default;
    constexpr explicit TKrDateTime(std::int64_t ticks) noexcept : m_ticks(ticks) {}

    constexpr std::int64_t Ticks() const noexcept { return m_ticks; }
    void SetTicks(std::int64_t ticks) noexcept { m_ticks = ticks; }
    /// True for the value 0, "no time set".
    constexpr bool IsNull() const noexcept { return m_ticks == 0; }

    /// The current UTC time from the system clock (one clock read).
    static TKrDateTime Current() noexcept;

    /// Milliseconds from 1601 to `dt`, times 10,000; 0 for an invalid or unrepresentable `dt`.
    static TKrDateTime FromQDateTime(const QDateTime& dt);
    /// The whole milliseconds (truncated toward zero) as a Qt date-time in the local zone.
    QDateTime ToQDateTime() const;

    /// Nanoseconds since the Unix epoch; saturates to the clock's range (about 1677 to 2262).
    std::chrono::system_clock::time_point ToStdTime() const noexcept;
    /// Nanoseconds since the Unix epoch / 100 (truncated toward zero), moved to the 1601 epoch.
    static TKrDateTime FromStdTime(std::chrono::system_clock::time_point time) noexcept;

    /// Whole seconds since the Unix epoch, truncated toward zero and saturated to 32 bits.
    std::int32_t ToUnixTime() const noexcept;
    /// Whole seconds since the Unix epoch, truncated toward zero (never overflows).
    std::int64_t ToUnixTime64() const noexcept;
    /// Seconds since the Unix epoch from the whole microseconds (truncated toward zero).
    double ToUnixTimeD() const noexcept;
    static TKrDateTime FromUnixTime(std::int32_t seconds) noexcept;
    /// As FromUnixTime for any 64-bit count; 0 when the result leaves the tick range.
    static TKrDateTime FromUnixTime64(std::int64_t seconds) noexcept;

    /// The broken-down form in UTC (zone 0) or local wall-clock time; the fraction holds whole
    /// milliseconds. The local form is the C library's wall clock exactly (unlike the text form,
    /// it keeps the seconds of a local-mean-time offset). Costs one zone lookup when local.
    TDT ToDateTimeInfo(TTZ zone) const noexcept;
    /// The inverse: fields out of their usual ranges carry over (month 13 is January of the next
    /// year, second -1 the last second of the previous minute), the fraction is truncated to
    /// whole milliseconds. Local wall-clock times are resolved with mktime (a time in a
    /// daylight-saving gap moves forward). Gives 0 when the result leaves the tick range or the
    /// fraction is not finite.
    static TKrDateTime FromDateTimeInfo(const TDT& info) noexcept;

    /// Ticks × 1e-7.
    double ToSeconds() const noexcept { return static_cast<double>(m_ticks) * 1e-7; }
    /// (other − this) × 1e-7, exact in the subtraction for any two values.
    double SecondsTill(const TKrDateTime& other) const noexcept;
    /// The duration formatter's text (KrGetTimeFormatedStr) for SecondsTill(other); `flag` is
    /// the number of decimals of the seconds.
    std::string TimeTillAsString(const TKrDateTime& other, int flag = 0) const;

    /// ISO 8601 text: "yyyy-MM-ddThh:mm:ss", with ".zzz" milliseconds when precision >= 1,
    /// seconds and milliseconds floored. Zone UTC ends in "Z"; the local zone ends in its offset
    /// "+hh:mm"/"-hh:mm" ("Z" when the offset is 0). An offset with seconds (historic local mean
    /// time) is cut to whole minutes and the local time shown is UTC plus that offset, so the
    /// text always names this exact millisecond. Empty when the year shown is outside 1..9999.
    /// Allocates the result; no Qt involved.
    std::string ToRFCString(int precision = 3, TTZ zone = Local) const;
    std::string ToRFCStringExact() const { return ToRFCString(3, Local); }
    std::string ToRFCStringZExact() const { return ToRFCString(3, UTC); }

    /// Parses the ISO 8601 extended form "yyyy-MM-dd[(T|t| )hh:mm[:ss[(.|,)f…]][Z|z|±hh[[:]mm]]]"
    /// with years 0001..9999; surrounding blanks, tabs and line ends are ignored. Up to seven
    /// fraction digits are kept (100 ns), further digits are ignored. "24:00" (with zero seconds)
    /// is the end of that day. Without a zone the text is local wall-clock time; a date alone is
    /// local midnight; local texts cost one mktime call. Anything else gives 0. No allocation.
    static TKrDateTime FromRFCString(const char* text, std::size_t length) noexcept;
    static TKrDateTime FromRFCString(const std::string& text) noexcept {
        return FromRFCString(text.data(), text.size());
    }
    /// A null `text` gives 0.
    static TKrDateTime FromRFCString(const char* text) noexcept;

    /// The local date-time formatted with a Qt date-time pattern such as "yyyyMMdd-hhmmsszzz"
    /// (UTF-8 in and out), in the "C" locale whatever the system's: ASCII digits, English names.
    /// Goes through QDateTime.
    std::string ToCustomString(const std::string& format) const;
    /// For 0 the language text "Msg_NA"; otherwise the local date-time in the system locale's
    /// long format. The argument is accepted for compatibility and has no effect.
    std::string ToLocaleString(int ignored = 0) const;

    friend constexpr bool operator==(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks == b.m_ticks; }
    friend constexpr bool operator!=(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks != b.m_ticks; }
    friend constexpr bool operator<(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks < b.m_ticks; }
    friend constexpr bool operator<=(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks <= b.m_ticks; }
    friend constexpr bool operator>(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks > b.m_ticks; }
    friend constexpr bool operator>=(TKrDateTime a, TKrDateTime b) noexcept { return a.m_ticks >= b.m_ticks; }

private:
    std::int64_t m_ticks = 0;
};

/// Writes ToRFCString().
KRSTD_API std::ostream& operator<<(std::ostream& out, const TKrDateTime& value);
/// Appends ToRFCString() as a text parameter; dropped when memory runs out.
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const TKrDateTime& value) noexcept;
