// TKrStringStream: a stream over a std::string it owns.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

/// Writes past the end fill the gap with zero bytes; any position may be set.
class KRSTD_API TKrStringStream : public TKrStream {
public:
    TKrStringStream() = default;
    explicit TKrStringStream(std::string content) : m_content(std::move(content)) {}
    static var_a<TKrStringStream*> VCreate();

    const std::string& str() const noexcept { return m_content; }
    std::string& str() noexcept { return m_content; }

    streamsize_t getPosition() override { return m_position; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_content.size(); }
    /// Resizes the content (new bytes are zero) and moves the position to n.
    bool setSize(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    explicit operator bool() override { return true; }

private:
    std::string m_content;
    streamsize_t m_position = 0;
};
