// Value texts of XIni items turned into numbers, and the read errors every XIni reader raises.
#pragma once

#include "Core/KrMessage.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace KrXIniInternal {

// Number texts of items, read from [first, last) the way strtol and strtod read them in the "C"
// locale, whatever the process locale is (KrNumberScan). Integers: leading blanks, optional sign,
// "0x"/"0X" hexadecimal, a leading 0 octal, trailing characters ignored; 32-bit results are the
// low 32 bits of the 64-bit value, so the unsigned pattern of a negative number reads back as that
// number. False when no digit was read. No allocation.
bool ParseValueText(const char* first, const char* last, int& value) noexcept;
bool ParseValueText(const char* first, const char* last, unsigned& value) noexcept;
bool ParseValueText(const char* first, const char* last, long& value) noexcept;
bool ParseValueText(const char* first, const char* last, unsigned long& value) noexcept;
// strtod: decimal, hexadecimal, infinities and NaNs.
bool ParseValueText(const char* first, const char* last, double& value) noexcept;
// sscanf "%lg", as the two- and three-number sections are read: strtod's value, but a "0x" without
// a hexadecimal digit or point after it, and "inf" followed by an incomplete "inity", fail.
bool ScanDoubleText(const char* first, const char* last, double& value) noexcept;
// The same on a whole string.
template <class T> bool ParseValueText(std::string_view text, T& value) noexcept {
    return ParseValueText(text.data(), text.data() + text.size(), value);
}
inline bool ScanDoubleText(std::string_view text, double& value) noexcept {
    return ScanDoubleText(text.data(), text.data() + text.size(), value);
}

// The inner messages of read errors.
TKrMessage MsgRecordNotFound();
TKrMessage MsgIncorrectType(const char* typeWord);
TKrMessage MsgFormatWhere(const std::string& where);
TKrMessage MsgInvalidLevel();

// "Err_Read_name_msg" with the item path and the inner message.
[[noreturn]] void ThrowReadError(const std::string& itemPath, const TKrMessage& inner);
// The same with the inner message given as its text.
[[noreturn]] void ThrowReadError(const std::string& itemPath, const std::string& innerText);

} // namespace KrXIniInternal
