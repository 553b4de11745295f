// TKrMessage: the library's exception and message type, formatted from typed parameters on demand.
#pragma once

#include "Core/KrExport.h"

#include <exception>
#include <list>
#include <string>

class QString;
class QStringList;

namespace KrMessageHelpers {
class TKrMessageBody;
class TKrMessageParameter;
} // namespace KrMessageHelpers

/// A handle to a shared body holding a format text with %n% placeholders and an ordered list of
/// parameters. Copies share the body (appending a parameter shows in every copy); set_format
/// separates a shared body first. Thrown by value; construction and appending never throw.
///
/// Placeholders: %n% is parameter n (1-based; "???" when missing, n parsed as strtoul base 0),
/// %% is one "%", %*% all parameters joined by ", ". A token that parses as 0 is copied as it
/// stands, and the text from an unmatched "%" on is dropped.
class KRSTD_API TKrMessage : public std::exception {
public:
    TKrMessage() noexcept = default;
    /// A null or unallocatable format leaves the message empty.
    explicit TKrMessage(const char* format) noexcept;
    explicit TKrMessage(const std::string& format) noexcept;
    TKrMessage(const TKrMessage& other) noexcept;
    TKrMessage(TKrMessage&& other) noexcept;
    TKrMessage& operator=(const TKrMessage& other) noexcept;
    TKrMessage& operator=(TKrMessage&& other) noexcept;
    ~TKrMessage() override;

    /// The formatted text; "" for an empty message, "Error/out of memory" when formatting fails.
    const char* what() const noexcept override;
    const char* c_str() const noexcept { return what(); }
    std::string std_str() const;
    QString q_str() const;

    /// Gives this message a private body (when shared) with the new format. Returns true.
    bool set_format(const char* format);
    bool set_format(const std::string& format) { return set_format(format.c_str()); }
    /// The format text; "" for an empty message.
    std::string get_format() const;
    void clear() noexcept;
    bool empty() const noexcept { return m_body == nullptr; }

    /// Appends a parameter (ownership passes to the body; deleted when the message is empty).
    void Append(KrMessageHelpers::TKrMessageParameter* parameter) const noexcept;
    std::size_t ParameterCount() const noexcept;

    /// Attaches `m` to this message's trace (oldest first); nothing on an empty message.
    void AppendMsg(const TKrMessage& m) const noexcept;
    void AppendMsg(TKrMessage&& m) const noexcept;
    /// The attached messages, or null when none was attached.
    const std::list<TKrMessage>* GetTrace() const noexcept;

    /// The body (shared by copies), for nested parameters and identity checks.
    KrMessageHelpers::TKrMessageBody* body() const noexcept { return m_body; }

private:
    KrMessageHelpers::TKrMessageBody* m_body = nullptr;
};

// Parameter appending. Each returns `m`; a parameter that cannot be made is dropped.
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const char* value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const std::string& value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const QString& value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const QStringList& value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const std::wstring& value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const wchar_t* value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, bool value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, signed char value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, short value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, int value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, unsigned char value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, unsigned short value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, unsigned int value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, long value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, unsigned long value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, long long value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, unsigned long long value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, float value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, double value) noexcept;
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const void* value) noexcept;
/// Nests `value` (sharing its body); it is formatted when `m` is.
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const TKrMessage& value) noexcept;
