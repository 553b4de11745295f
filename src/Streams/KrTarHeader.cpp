// The tar header record: layout, checksum and the numeric fields.
#include "Streams/KrTarHeader.h"
#include "Core/KrMessage.h"

#include <cstring>
#include <stdexcept>

namespace KrTarInternal {

const char kZeroRecord[kRecordSize] = {};

namespace {
/// `digits` octal digits of `value` followed by the byte `end` (formatted by hand: the field
/// layout must not depend on any locale).
void PutOctal(char* field, std::size_t digits, std::uint64_t value) {
    for (std::size_t i = digits; i-- > 0; value >>= 3)
        field[i] = static_cast<char>('0' + (value & 7));
}
} // namespace

void PrepareHeaderRec(char* rec, const std::string& name, std::uint64_t size, std::uint32_t unixTime,
                      char type) {
    if (size > kMaxHeaderSize)
        throw std::logic_error("@Internal error in tar PrepareHeaderRec(): Size64 > 0x1FFFFFFFFui64.");
    if (name.size() > kHeaderNameMax)
        throw TKrMessage("@KrTar::Write: File name is too long: %1% bytes of %2% max, \"%3%\".")
            << name.size() << kHeaderNameMax << name;
    std::memset(rec, 0, kRecordSize);
    std::memcpy(rec + kOffName, name.data(), name.size());
    std::memcpy(rec + kOffMode, "000777 ", 7);
    std::memcpy(rec + kOffUid, "000000 ", 7);
    std::memcpy(rec + kOffGid, "000000 ", 7);
    PutOctal(rec + kOffSize, 11, size);
    PutOctal(rec + kOffTime, 11, unixTime);
    rec[kOffType] = type;
    PutOctal(rec + kOffSum, 6, HeaderSumUnsigned(reinterpret_cast<const unsigned char*>(rec)));
    rec[kOffSum + 6] = ' ';
    rec[kOffSum + 7] = '\0';
}

std::uint32_t HeaderSumUnsigned(const unsigned char* rec) {
    std::uint32_t sum = 8 * ' ';
    for (std::size_t i = 0; i < kRecordSize; ++i)
        if (i < kOffSum || i >= kOffSum + kLenSum) sum += rec[i];
    return sum;
}

std::int32_t HeaderSumSigned(const unsigned char* rec) {
    std::int32_t sum = 8 * ' ';
    for (std::size_t i = 0; i < kRecordSize; ++i)
        if (i < kOffSum || i >= kOffSum + kLenSum) sum += static_cast<signed char>(rec[i]);
    return sum;
}

bool ParseNumber(const char* field, std::size_t width, bool blankIsZero, std::uint64_t& value) {
    const auto* p = reinterpret_cast<const unsigned char*>(field);
    if (p[0] == 0x80) { // base-256, big-endian in the remaining bytes
        std::uint64_t v = 0;
        for (std::size_t i = 1; i < width; ++i) {
            if (v >> 56) return false;
            v = (v << 8) | p[i];
        }
        value = v;
        return true;
    }
    std::size_t i = 0;
    while (i < width && p[i] == ' ')
        ++i;
    std::uint64_t v = 0;
    std::size_t digits = 0;
    for (; i < width && p[i] >= '0' && p[i] <= '7'; ++i, ++digits) {
        if (v >> 60) return false;
        v = (v << 3) | (p[i] - '0');
    }
    for (; i < width; ++i)
        if (p[i] != ' ' && p[i] != '\0') return false;
    if (digits == 0 && !blankIsZero) return false;
    value = v;
    return true;
}

} // namespace KrTarInternal
