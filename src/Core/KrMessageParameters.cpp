// Message body: deep copy, release and the placeholder formatter; the texts of parameter kinds.
#include "Core/KrMessageParameters.h"

#include "Core/KrNumberScan.h"

#include <charconv>
#include <cstdio>

namespace KrMessageHelpers {

namespace {
// Numbers are written by std::to_chars, which knows no locale: a message formatted under de_DE
// still shows 1.5000000000000000e+00, as the identifiers' texts and the logs expect.
template <class... A> std::string Chars(A... args) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, args...).ptr);
}
} // namespace

TKrMessageParameter::~TKrMessageParameter() = default;

std::string TKrMessageParameterString::GetString(const std::string&) const {
    return m_value;
}
std::string TKrMessageParameterLong::GetString(const std::string&) const {
    return Chars(long(m_value));
}
std::string TKrMessageParameterULong::GetString(const std::string&) const {
    return Chars(static_cast<unsigned long>(m_value));
}
std::string TKrMessageParameterLL::GetString(const std::string&) const {
    return Chars(static_cast<long long>(m_value));
}
std::string TKrMessageParameterULL::GetString(const std::string&) const {
    return Chars(static_cast<unsigned long long>(m_value));
}
std::string TKrMessageParameterDouble::GetString(const std::string&) const {
    return Chars(m_value, std::chars_format::scientific, 16); // "%.16e"
}
std::string TKrMessageParameterPtr::GetString(const std::string&) const {
    char buf[32]; // "%p" has no locale-dependent part
    const int n = std::snprintf(buf, sizeof buf, "%p", m_value);
    return std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0u);
}
std::string TParameterKrMessage::GetString(const std::string&) const {
    return m_value.empty() ? std::string() : m_value.body()->MakeMessage();
}

TKrMessageBody::TKrMessageBody(const TKrMessageBody& other) : m_format(other.m_format), m_text(other.m_text) {
    m_parameters.reserve(other.m_parameters.size());
    try {
        for (const TKrMessageParameter* p : other.m_parameters)
            m_parameters.push_back(p->Clone());
        if (other.m_trace) m_trace = std::make_unique<std::list<TKrMessage>>(*other.m_trace);
    } catch (...) {
        for (TKrMessageParameter* p : m_parameters)
            delete p;
        throw;
    }
}

TKrMessageBody::~TKrMessageBody() {
    for (TKrMessageParameter* p : m_parameters)
        delete p;
}

const std::string& TKrMessageBody::MakeMessage() {
    static const std::string kEmptySpec;
    std::string out;
    out.reserve(m_format.size() + 16 * m_parameters.size());
    const std::string& f = m_format;

    std::size_t open = f.find('%');
    out.append(f, 0, open);
    while (open != std::string::npos) {
        std::size_t close = f.find('%', open + 1);
        if (close == std::string::npos) break; // an unmatched '%' and what follows are dropped
        std::string token(f, open + 1, close - open - 1);
        if (token.empty()) {
            out += '%';
        } else if (token == "*") {
            for (std::size_t i = 0; i < m_parameters.size(); ++i) {
                if (i) out += ", ";
                out += m_parameters[i]->GetString(kEmptySpec);
            }
        } else {
            unsigned long n = 0; // strtoul's forms: "%0x2%" and "%2nd%" name the second parameter
            KrNumberScan::ScanULong(token.data(), token.data() + token.size(), 0, n);
            if (n == 0)
                out.append(f, open, close - open + 1);
            else if (n <= m_parameters.size())
                out += m_parameters[n - 1]->GetString(kEmptySpec);
            else
                out += "???";
        }
        open = f.find('%', close + 1);
        out.append(f, close + 1, open == std::string::npos ? std::string::npos : open - close - 1);
    }
    m_text.swap(out);
    return m_text;
}

} // namespace KrMessageHelpers
