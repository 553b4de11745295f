// Value texts of XIni items turned into numbers, and the read errors every XIni reader raises.
#include "XIni/KrXIniValueText.h"
#include "Core/KrExceptions.h"
#include "Core/KrNumberScan.h"
#include "XIni/KrXIniInternal.h"

namespace KrXIniInternal {

using namespace KrNumberScan;

bool ParseValueText(const char* first, const char* last, int& value) noexcept {
    long v = 0;
    if (ScanLong(first, last, 0, v) == first) return false;
    value = static_cast<int>(v);
    return true;
}
bool ParseValueText(const char* first, const char* last, unsigned& value) noexcept {
    unsigned long v = 0;
    if (ScanULong(first, last, 0, v) == first) return false;
    value = static_cast<unsigned>(v);
    return true;
}
bool ParseValueText(const char* first, const char* last, long& value) noexcept {
    return ScanLong(first, last, 0, value) != first;
}
bool ParseValueText(const char* first, const char* last, unsigned long& value) noexcept {
    return ScanULong(first, last, 0, value) != first;
}
bool ParseValueText(const char* first, const char* last, double& value) noexcept {
    RepairFPU();
    return ScanDouble(first, last, value).form != TKrNumberForm::None;
}
bool ScanDoubleText(const char* first, const char* last, double& value) noexcept {
    RepairFPU();
    double v = 0;
    const TKrDoubleScan s = ScanDouble(first, last, v);
    if (s.form == TKrNumberForm::None) return false;
    // The scanf family reads on where strtod stops, and then fails for want of a number: after a
    // "0x" that no hexadecimal digit follows (a point may: "0x." reads as 0) and inside "infinity".
    const char next = s.end < last ? static_cast<char>(*s.end | 0x20) : '\0';
    if (s.form == TKrNumberForm::Decimal && s.end - s.number == 1 && *s.number == '0' && next == 'x' &&
        (s.end + 1 == last || s.end[1] != '.'))
        return false;
    if (s.form == TKrNumberForm::Infinity && s.end - s.number == 3 && next == 'i') return false;
    value = v;
    return true;
}

TKrMessage MsgRecordNotFound() {
    return KrMsg_helper("Err_XIni_RecordNotFound");
}
TKrMessage MsgIncorrectType(const char* typeWord) {
    TKrMessage m = KrMsg_helper("Err_XIni_IncorrectType_type");
    m << typeWord;
    return m;
}
TKrMessage MsgFormatWhere(const std::string& where) {
    TKrMessage m = KrMsg_helper("Err_XIni_Format_where");
    m << where;
    return m;
}
TKrMessage MsgInvalidLevel() {
    return KrMsg_helper("Err_XIni_InvalidLevel");
}

void ThrowReadError(const std::string& itemPath, const TKrMessage& inner) {
    TKrMessage m = KrMsg_helper("Err_Read_name_msg");
    m << itemPath << inner;
    throw m;
}

void ThrowReadError(const std::string& itemPath, const std::string& innerText) {
    TKrMessage m = KrMsg_helper("Err_Read_name_msg");
    m << itemPath << innerText;
    throw m;
}

} // namespace KrXIniInternal
