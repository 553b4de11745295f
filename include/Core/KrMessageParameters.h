// The shared body of a TKrMessage and its typed parameter kinds.
#pragma once

#include "Core/KrMessage.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KrMessageHelpers {

/// One positional parameter of a message.
class KRSTD_API TKrMessageParameter {
public:
    /// The parameter as text; `spec` is reserved and passed empty.
    virtual std::string GetString(const std::string& spec) const = 0;
    virtual ~TKrMessageParameter();
    virtual TKrMessageParameter* Clone() const = 0;
};

/// A parameter kind holding one value of type V.
template <class V> class TKrMessageParameterOf : public TKrMessageParameter {
public:
    explicit TKrMessageParameterOf(V value) : m_value(std::move(value)) {}
    const V& Value() const noexcept { return m_value; }

protected:
    V m_value;
};

#define KR_MESSAGE_PARAMETER_KIND(Name, V)                                                                   \
    class KRSTD_API Name final : public TKrMessageParameterOf<V> {                                           \
    public:                                                                                                  \
        using TKrMessageParameterOf<V>::TKrMessageParameterOf;                                               \
        std::string GetString(const std::string& spec) const override;                                       \
        TKrMessageParameter* Clone() const override { return new Name(m_value); }                            \
    }

KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterString, std::string);  // unchanged
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterLong, std::int64_t);   // "%li"
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterULong, std::uint64_t); // "%lu"
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterLL, std::int64_t);     // "%lli"
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterULL, std::uint64_t);   // "%llu"
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterDouble, double);       // "%.16e"
KR_MESSAGE_PARAMETER_KIND(TKrMessageParameterPtr, const void*);     // "%p"
#undef KR_MESSAGE_PARAMETER_KIND

/// A nested message (sharing its body); its text is the nested message's formatted text.
class KRSTD_API TParameterKrMessage final : public TKrMessageParameterOf<TKrMessage> {
public:
    using TKrMessageParameterOf<TKrMessage>::TKrMessageParameterOf;
    std::string GetString(const std::string& spec) const override;
    TKrMessageParameter* Clone() const override { return new TParameterKrMessage(m_value); }
};

/// What copies of one message share. The count starts at 0; the creating message adds 1.
class KRSTD_API TKrMessageBody {
public:
    TKrMessageBody() = default;
    explicit TKrMessageBody(const char* format) : m_format(format) {}
    /// A private deep copy: parameters cloned, trace entries sharing their bodies, count 0.
    TKrMessageBody(const TKrMessageBody& other);
    TKrMessageBody& operator=(const TKrMessageBody&) = delete;
    ~TKrMessageBody();

    /// Formats the parameters into the format text; the result replaces the text cache.
    /// Throws std::bad_alloc when memory runs out.
    const std::string& MakeMessage();

    std::atomic<std::int32_t> m_refCount{0};
    std::string m_format;
    std::vector<TKrMessageParameter*> m_parameters;
    std::string m_text;
    std::unique_ptr<std::list<TKrMessage>> m_trace;
};

} // namespace KrMessageHelpers
