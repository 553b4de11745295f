// The tar header record: layout, checksum and the numeric fields, shared by writer and reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace KrTarInternal {

constexpr std::size_t kRecordSize = 512;
/// Longest name the header's own 100-byte field holds (it stays zero-terminated).
constexpr std::size_t kHeaderNameMax = 99;
/// Longest name written through one long-name record (the name and its zero byte fill 512).
constexpr std::size_t kLongNameMax = 511;
/// The largest size 11 octal digits hold.
constexpr std::uint64_t kMaxHeaderSize = 0x1FFFFFFFFull;
/// Files of this size or more are written as several entries of kSplitPart bytes at most.
constexpr std::uint64_t kSplitThreshold = std::uint64_t(1) << 33;
constexpr std::uint64_t kSplitPart = std::uint64_t(1) << 32;
/// The name of the records that carry the long name (or link name) of the next entry.
constexpr const char* kLongLinkName = "././@LongLink";

// Field offsets and widths.
constexpr std::size_t kOffName = 0, kLenName = 100;
constexpr std::size_t kOffMode = 100, kOffUid = 108, kOffGid = 116;
constexpr std::size_t kOffSize = 124, kLenSize = 12;
constexpr std::size_t kOffTime = 136, kLenTime = 12;
constexpr std::size_t kOffSum = 148, kLenSum = 8;
constexpr std::size_t kOffType = 156;
constexpr std::size_t kOffLink = 157, kLenLink = 100;
constexpr std::size_t kOffMagic = 257;
constexpr std::size_t kOffPrefix = 345, kLenPrefix = 155;

/// 512 zero bytes: padding and the end marker.
extern const char kZeroRecord[kRecordSize];

/// The data's share of the archive: size rounded up to whole records.
inline std::uint64_t PaddedSize(std::uint64_t size) {
    return (size + kRecordSize - 1) / kRecordSize * kRecordSize;
}

/// Fills `rec` with a header (see the writer for the layout). Throws std::logic_error for a
/// size above kMaxHeaderSize and TKrMessage for a name of 100 bytes or more.
void PrepareHeaderRec(char* rec, const std::string& name, std::uint64_t size, std::uint32_t unixTime,
                      char type);

/// The sum of the 512 bytes with the checksum field counted as eight spaces, taking the bytes
/// as unsigned (what writers store) or as signed (what some old writers stored).
std::uint32_t HeaderSumUnsigned(const unsigned char* rec);
std::int32_t HeaderSumSigned(const unsigned char* rec);

/// Parses a numeric field: leading spaces, octal digits, then zero bytes or spaces to the end
/// of the field; or GNU's base-256 form (first byte 0x80) for large positive values. A field of
/// blanks only reads as 0 when `blankIsZero`. False for anything else.
bool ParseNumber(const char* field, std::size_t width, bool blankIsZero, std::uint64_t& value);

} // namespace KrTarInternal
