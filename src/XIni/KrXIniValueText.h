// Value texts of XIni items turned into numbers, and the read errors every XIni reader raises.
#pragma once

#include "Core/KrMessage.h"

#include <cstddef>
#include <string>

namespace KrXIniInternal {

// Integer texts follow strtol: leading blanks, optional sign, "0x"/"0X" hexadecimal, a leading 0
// octal, trailing characters ignored; 32-bit results are the low 32 bits of the 64-bit value, so
// the unsigned pattern of a negative number reads back as that number. False when no digit was
// read. `text` must be NUL-terminated.
bool ParseValueText(const char* text, int& value) noexcept;
bool ParseValueText(const char* text, unsigned& value) noexcept;
bool ParseValueText(const char* text, long& value) noexcept;
bool ParseValueText(const char* text, unsigned long& value) noexcept;
// strtod.
bool ParseValueText(const char* text, double& value) noexcept;
// sscanf "%lg", as the two- and three-number sections are read.
bool ScanDoubleText(const char* text, double& value) noexcept;

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
