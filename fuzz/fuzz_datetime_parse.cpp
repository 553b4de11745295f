// Fuzzes the ISO 8601 reader of TKrDateTime and checks that what it accepts survives a write and
// re-read in both zones; the broken-down conversion gets the same treatment from the raw bytes.
#include "Utils/KrDateTime.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {
/// The tick value that a text with milliseconds gives back: ticks floored to whole milliseconds.
std::int64_t FloorToMs(std::int64_t ticks) {
    const std::int64_t r = ticks % TKrDateTime::TicksPerMillisecond;
    return ticks - (r < 0 ? r + TKrDateTime::TicksPerMillisecond : r);
}

void CheckRoundTrip(TKrDateTime value) {
    for (TKrDateTime::TTZ zone : {TKrDateTime::UTC, TKrDateTime::Local}) {
        const std::string text = value.ToRFCString(3, zone);
        if (text.empty()) continue; // year outside 1..9999
        if (TKrDateTime::FromRFCString(text).Ticks() != FloorToMs(value.Ticks())) std::abort();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // A zone with daylight saving and historic local mean time exercises the mktime paths.
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    const TKrDateTime parsed = TKrDateTime::FromRFCString(text, size);
    if (std::memchr(data, 0, size) == nullptr) {
        const std::string copy(text, size);
        if (TKrDateTime::FromRFCString(copy.c_str()) != parsed) std::abort();
    }
    if (!parsed.IsNull()) CheckRoundTrip(parsed);

    // The same bytes as a broken-down time and as a raw tick count.
    TKrDateTime::TDT info;
    if (size >= sizeof(std::int32_t) * 8 + sizeof(double)) {
        std::int32_t f[8];
        std::memcpy(f, data, sizeof f);
        info.zone = static_cast<TKrDateTime::TTZ>(f[0] & 1);
        info.year = f[1];
        info.month = f[2];
        info.day = f[3];
        info.hour = f[4];
        info.minute = f[5];
        info.second = f[6];
        std::memcpy(&info.fraction, data + sizeof f, sizeof info.fraction);
        const TKrDateTime built = TKrDateTime::FromDateTimeInfo(info);
        if (!built.IsNull()) {
            // UTC fields of a value rebuild it to the millisecond.
            if (TKrDateTime::FromDateTimeInfo(built.ToDateTimeInfo(TKrDateTime::UTC)).Ticks() !=
                FloorToMs(built.Ticks()))
                std::abort();
            CheckRoundTrip(built);
        }
    }
    if (size >= sizeof(std::int64_t)) {
        std::int64_t ticks;
        std::memcpy(&ticks, data, sizeof ticks);
        const TKrDateTime raw(ticks);
        CheckRoundTrip(raw);
        (void)raw.ToDateTimeInfo(TKrDateTime::Local);
        (void)raw.ToStdTime();
        (void)raw.ToUnixTimeD();
    }
    return 0;
}
