// Value texts of XIni items turned into numbers, and the read errors every XIni reader raises.
#include "XIni/KrXIniValueText.h"
#include "Core/KrExceptions.h"
#include "XIni/KrXIniInternal.h"

#include <cstdio>
#include <cstdlib>

namespace KrXIniInternal {

namespace {
template <class T, class F> bool Convert(const char* text, T& value, F convert) noexcept {
    if (!text) return false;
    char* end = nullptr;
    const auto v = convert(text, &end);
    if (end == text) return false;
    value = static_cast<T>(v);
    return true;
}
} // namespace

bool ParseValueText(const char* text, int& value) noexcept {
    return Convert(text, value, [](const char* s, char** e) { return std::strtol(s, e, 0); });
}
bool ParseValueText(const char* text, unsigned& value) noexcept {
    return Convert(text, value, [](const char* s, char** e) { return std::strtoul(s, e, 0); });
}
bool ParseValueText(const char* text, long& value) noexcept {
    return Convert(text, value, [](const char* s, char** e) { return std::strtoll(s, e, 0); });
}
bool ParseValueText(const char* text, unsigned long& value) noexcept {
    return Convert(text, value, [](const char* s, char** e) { return std::strtoull(s, e, 0); });
}
bool ParseValueText(const char* text, double& value) noexcept {
    RepairFPU();
    return Convert(text, value, [](const char* s, char** e) { return std::strtod(s, e); });
}
bool ScanDoubleText(const char* text, double& value) noexcept {
    RepairFPU();
    return text && std::sscanf(text, "%lg", &value) == 1;
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
