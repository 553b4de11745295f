// TKrPassThroughStream: forwards every operation to a stream it holds a reference to.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

/// A base for wrappers that change a few operations of another stream; on its own it is a
/// counted handle that behaves exactly like the source. Without a source, Close and
/// operator bool give false and reads and writes fail.
class KRSTD_API TKrPassThroughStream : public TKrStream {
public:
    explicit TKrPassThroughStream(var_a<TKrStream*> source) : m_source(std::move(source)) {}

    const var_a<TKrStream*>& GetSource() const noexcept { return m_source; }

    streamsize_t getPosition64() override;
    streamsize_t getPosition() override;
    bool Close() override;
    streamsize_t Read(void* buf, streamsize_t n) override;
    bool ReadAll(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    bool WriteAll(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override;
    streamsize_t getSize64() override;
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override;
    bool eof() override;
    bool Flush() override;
    explicit operator bool() override;
    std::uint32_t getType() const override;
    void setState(unsigned state) override;
    unsigned getState() const override;
    void setOptions(unsigned options) override;
    unsigned getOptions() const override;
    std::string GetInfoName() const override;
    void SetInfoName(const std::string& name) override;

protected:
    var_a<TKrStream*> m_source;
};
