// TKrXIniReader: the by-name forms and value errors over the virtual slots.
#include "XIni/KrXIniReader.h"
#include "Core/KrExceptions.h"
#include "XIni/KrXIniInternal.h"

#include <cstring>

namespace {
std::size_t Length(const char*& name) {
    if (!name) name = "";
    return std::strlen(name);
}

std::size_t FindAndAdvance(TKrXIniReader& r, const char* name, std::size_t len, std::size_t* pos) {
    const std::size_t found = r.FindF_x(name, len, pos ? *pos : 0);
    if (found != TKrXIniReader::npos && pos) *pos = found + 1;
    return found;
}

std::size_t FindAndAdvanceE(TKrXIniReader& r, const char* name, std::size_t len, std::size_t* pos) {
    const std::size_t found = r.FindFE_x(name, len, pos ? *pos : 0);
    if (pos) *pos = found + 1;
    return found;
}
} // namespace

TKrXIniReader::~TKrXIniReader() = default;

bool TKrXIniReader::ParseError() const {
    return false;
}

std::size_t TKrXIniReader::Count(const char* name) {
    const std::size_t len = Length(name);
    return Count_x(name, len);
}

std::size_t TKrXIniReader::CountE(const char* name) {
    const std::size_t len = Length(name);
    return CountE_x(name, len);
}

std::size_t TKrXIniReader::FindF(const char* name, std::size_t start) {
    const std::size_t len = Length(name);
    return FindF_x(name, len, start);
}

std::size_t TKrXIniReader::FindFE(const char* name, std::size_t start) {
    const std::size_t len = Length(name);
    return FindFE_x(name, len, start);
}

std::size_t TKrXIniReader::FindFP(const char* name, std::size_t* pos) {
    const std::size_t len = Length(name);
    return FindAndAdvance(*this, name, len, pos);
}

std::size_t TKrXIniReader::FindFP(const std::string& name, std::size_t* pos) {
    return FindAndAdvance(*this, name.data(), name.size(), pos);
}

std::size_t TKrXIniReader::FindFPE(const char* name, std::size_t* pos) {
    const std::size_t len = Length(name);
    return FindAndAdvanceE(*this, name, len, pos);
}

std::size_t TKrXIniReader::FindFPE(const std::string& name, std::size_t* pos) {
    return FindAndAdvanceE(*this, name.data(), name.size(), pos);
}

std::size_t TKrXIniReader::EnterSectionS(const char* name) {
    return EnterSection(FindF(name, 0));
}

std::size_t TKrXIniReader::EnterSectionS(const std::string& name) {
    return EnterSection(FindF(name, 0));
}

std::size_t TKrXIniReader::EnterSectionSE(const char* name) {
    return EnterSectionE(FindFE(name, 0));
}

std::size_t TKrXIniReader::EnterSectionSE(const std::string& name) {
    return EnterSectionE(FindFE(name, 0));
}

std::size_t TKrXIniReader::EnterSectionSP(const char* name, std::size_t* pos) {
    return EnterSection(FindFP(name, pos));
}

std::size_t TKrXIniReader::EnterSectionSP(const std::string& name, std::size_t* pos) {
    return EnterSection(FindFP(name, pos));
}

std::size_t TKrXIniReader::EnterSectionSPE(const char* name, std::size_t* pos) {
    return EnterSectionE(FindFPE(name, pos));
}

std::size_t TKrXIniReader::EnterSectionSPE(const std::string& name, std::size_t* pos) {
    return EnterSectionE(FindFPE(name, pos));
}

std::string TKrXIniReader::ReadLongStringS(const char* name, const std::string& def) {
    return ReadLongString(FindF(name, 0), def);
}

std::string TKrXIniReader::ReadLongStringS(const std::string& name, const std::string& def) {
    return ReadLongString(FindF(name, 0), def);
}

std::string TKrXIniReader::ReadLongStringSE(const char* name) {
    return ReadLongStringE(FindFE(name, 0));
}

std::string TKrXIniReader::ReadLongStringSE(const std::string& name) {
    return ReadLongStringE(FindFE(name, 0));
}

void TKrXIniReader::throw_error_value(std::size_t index) {
    throw_error_value_message(index, KrMsg_helper("Err_XIni_InvalidValue").std_str());
    // An implementation that returns from throw_error_value_message still must not go on.
    KrXIniInternal::throw_xread_error();
}

void TKrXIniReader::throw_error_valueS(const char* name) {
    throw_error_value(FindF(name, 0));
}

void TKrXIniReader::throw_error_valueS(const std::string& name) {
    throw_error_value(FindF(name, 0));
}
