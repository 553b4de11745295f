// TKrMessage: body sharing, formatting on demand and parameter appending.
#include "Core/KrMessage.h"
#include "Core/KrMessageParameters.h"

#include <QString>
#include <QStringList>

using KrMessageHelpers::TKrMessageBody;
using KrMessageHelpers::TKrMessageParameter;

namespace {
const char kOutOfMemory[] = "Error/out of memory";

TKrMessageBody* Acquire(TKrMessageBody* body) noexcept {
    if (body) body->m_refCount.fetch_add(1);
    return body;
}
void Release(TKrMessageBody* body) noexcept {
    if (body && body->m_refCount.fetch_sub(1) == 1) delete body;
}
} // namespace

TKrMessage::TKrMessage(const char* format) noexcept {
    if (!format) return;
    try {
        m_body = Acquire(new TKrMessageBody(format));
    } catch (...) {
        m_body = nullptr;
    }
}

TKrMessage::TKrMessage(const std::string& format) noexcept : TKrMessage(format.c_str()) {}

TKrMessage::TKrMessage(const TKrMessage& other) noexcept
    : std::exception(other), m_body(Acquire(other.m_body)) {}

TKrMessage::TKrMessage(TKrMessage&& other) noexcept : std::exception(other), m_body(other.m_body) {
    other.m_body = nullptr;
}

TKrMessage& TKrMessage::operator=(const TKrMessage& other) noexcept {
    TKrMessageBody* old = m_body;
    m_body = Acquire(other.m_body);
    Release(old);
    return *this;
}

TKrMessage& TKrMessage::operator=(TKrMessage&& other) noexcept {
    if (this != &other) {
        Release(m_body);
        m_body = other.m_body;
        other.m_body = nullptr;
    }
    return *this;
}

TKrMessage::~TKrMessage() {
    Release(m_body);
}

const char* TKrMessage::what() const noexcept {
    if (!m_body) return "";
    try {
        return m_body->MakeMessage().c_str();
    } catch (...) {
        return kOutOfMemory;
    }
}

std::string TKrMessage::std_str() const {
    return what();
}

QString TKrMessage::q_str() const {
    return QString::fromUtf8(what());
}

bool TKrMessage::set_format(const char* format) {
    if (!format) format = "";
    if (!m_body) {
        m_body = Acquire(new TKrMessageBody(format));
        return true;
    }
    if (m_body->m_refCount.load() >= 2) {
        TKrMessageBody* copy = Acquire(new TKrMessageBody(*m_body));
        Release(m_body);
        m_body = copy;
    }
    m_body->m_format = format;
    m_body->m_text.clear();
    return true;
}

std::string TKrMessage::get_format() const {
    return m_body ? m_body->m_format : std::string();
}

void TKrMessage::clear() noexcept {
    Release(m_body);
    m_body = nullptr;
}

void TKrMessage::Append(TKrMessageParameter* parameter) const noexcept {
    if (!parameter) return;
    if (!m_body) {
        delete parameter;
        return;
    }
    try {
        m_body->m_parameters.push_back(parameter);
    } catch (...) {
        delete parameter;
    }
}

std::size_t TKrMessage::ParameterCount() const noexcept {
    return m_body ? m_body->m_parameters.size() : 0;
}

void TKrMessage::AppendMsg(const TKrMessage& m) const noexcept {
    AppendMsg(TKrMessage(m));
}

void TKrMessage::AppendMsg(TKrMessage&& m) const noexcept {
    if (!m_body) return;
    try {
        if (!m_body->m_trace) m_body->m_trace = std::make_unique<std::list<TKrMessage>>();
        m_body->m_trace->push_back(std::move(m));
    } catch (...) {
    }
}

const std::list<TKrMessage>* TKrMessage::GetTrace() const noexcept {
    return m_body ? m_body->m_trace.get() : nullptr;
}

namespace {
template <class Kind, class V> const TKrMessage& AppendValue(const TKrMessage& m, V&& value) noexcept {
    if (m.empty()) return m;
    try {
        m.Append(new Kind(std::forward<V>(value)));
    } catch (...) {
    }
    return m;
}
using namespace KrMessageHelpers;
} // namespace

const TKrMessage& operator<<(const TKrMessage& m, const char* value) noexcept {
    return AppendValue<TKrMessageParameterString>(m, value ? value : "(null)");
}
const TKrMessage& operator<<(const TKrMessage& m, const std::string& value) noexcept {
    return AppendValue<TKrMessageParameterString>(m, value);
}
const TKrMessage& operator<<(const TKrMessage& m, const QString& value) noexcept {
    if (m.empty()) return m;
    try {
        return AppendValue<TKrMessageParameterString>(m, value.toUtf8().toStdString());
    } catch (...) {
        return m;
    }
}
const TKrMessage& operator<<(const TKrMessage& m, const QStringList& value) noexcept {
    if (m.empty()) return m;
    try {
        return m << (QLatin1Char('[') + value.join(QStringLiteral("; ")) + QLatin1Char(']'));
    } catch (...) {
        return m;
    }
}
const TKrMessage& operator<<(const TKrMessage& m, const std::wstring& value) noexcept {
    if (m.empty()) return m;
    try {
        return m << QString::fromStdWString(value);
    } catch (...) {
        return m;
    }
}
const TKrMessage& operator<<(const TKrMessage& m, const wchar_t* value) noexcept {
    if (m.empty()) return m;
    try {
        return m << (value ? QString::fromWCharArray(value) : QString());
    } catch (...) {
        return m;
    }
}
const TKrMessage& operator<<(const TKrMessage& m, bool v) noexcept {
    return AppendValue<TKrMessageParameterLong>(m, std::int64_t(v ? 1 : 0));
}
const TKrMessage& operator<<(const TKrMessage& m, signed char v) noexcept {
    return AppendValue<TKrMessageParameterLong>(m, std::int64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, short v) noexcept {
    return AppendValue<TKrMessageParameterLong>(m, std::int64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, int v) noexcept {
    return AppendValue<TKrMessageParameterLong>(m, std::int64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, unsigned char v) noexcept {
    return AppendValue<TKrMessageParameterULong>(m, std::uint64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, unsigned short v) noexcept {
    return AppendValue<TKrMessageParameterULong>(m, std::uint64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, unsigned int v) noexcept {
    return AppendValue<TKrMessageParameterULong>(m, std::uint64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, long v) noexcept {
    return AppendValue<TKrMessageParameterLL>(m, std::int64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, unsigned long v) noexcept {
    return AppendValue<TKrMessageParameterULL>(m, std::uint64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, long long v) noexcept {
    return AppendValue<TKrMessageParameterLL>(m, std::int64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, unsigned long long v) noexcept {
    return AppendValue<TKrMessageParameterULL>(m, std::uint64_t(v));
}
const TKrMessage& operator<<(const TKrMessage& m, float v) noexcept {
    return AppendValue<TKrMessageParameterDouble>(m, double(v));
}
const TKrMessage& operator<<(const TKrMessage& m, double v) noexcept {
    return AppendValue<TKrMessageParameterDouble>(m, v);
}
const TKrMessage& operator<<(const TKrMessage& m, const void* v) noexcept {
    return AppendValue<TKrMessageParameterPtr>(m, v);
}
const TKrMessage& operator<<(const TKrMessage& m, const TKrMessage& v) noexcept {
    if (m.empty()) return m;
    // A message nested into itself would format forever and never be freed: nest a snapshot.
    if (v.body() == m.body()) {
        try {
            TKrMessage snapshot(v.get_format());
            for (std::size_t i = 0; i < v.ParameterCount(); ++i)
                snapshot.Append(v.body()->m_parameters[i]->Clone());
            return AppendValue<TParameterKrMessage>(m, std::move(snapshot));
        } catch (...) {
            return m;
        }
    }
    return AppendValue<TParameterKrMessage>(m, v);
}
