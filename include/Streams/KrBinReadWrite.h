// TKrBinReader and TKrBinWriter: length-prefixed strings and raw little-endian values on a stream.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <cstdint>
#include <string>
#include <type_traits>

/// Reads what TKrBinWriter wrote. Strings are an 8-byte little-endian length and the bytes.
class KRSTD_API TKrBinReader {
public:
    TKrBinReader() = default;
    explicit TKrBinReader(var_a<TKrStream*> stream) : m_stream(std::move(stream)) {}

    TKrStream* GetStream() const noexcept { return m_stream.get(); }
    const var_a<TKrStream*>& GetStreamV() const noexcept { return m_stream; }
    void SetStream(var_a<TKrStream*> stream) { m_stream = std::move(stream); }
    std::uint64_t GetReserved() const noexcept { return m_reserved; }
    void SetReserved(std::uint64_t value) noexcept { m_reserved = value; }

    /// Throws TKrMessage("Load failed") when the stream ends or fails first. Memory grows with
    /// the bytes actually read, whatever length the prefix claims.
    void LoadE(std::string& value);
    /// A raw value of an arithmetic type, little-endian (this machine's order).
    template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>> void LoadE(T& value) {
        LoadRawE(&value, sizeof value);
    }

private:
    void LoadRawE(void* buf, streamsize_t n);

    var_a<TKrStream*> m_stream;
    std::uint64_t m_reserved = 0;
};

class KRSTD_API TKrBinWriter {
public:
    TKrBinWriter() = default;
    explicit TKrBinWriter(var_a<TKrStream*> stream) : m_stream(std::move(stream)) {}

    TKrStream* GetStream() const noexcept { return m_stream.get(); }
    const var_a<TKrStream*>& GetStreamV() const noexcept { return m_stream; }
    void SetStream(var_a<TKrStream*> stream) { m_stream = std::move(stream); }

    /// Throws TKrMessage("Save failed") when the stream refuses the bytes.
    void SaveE(const std::string& value);
    template <class T, class = std::enable_if_t<std::is_arithmetic_v<T>>> void SaveE(T value) {
        SaveRawE(&value, sizeof value);
    }

private:
    void SaveRawE(const void* buf, streamsize_t n);

    var_a<TKrStream*> m_stream;
};
