// TKrCrc32Stream: a pass-through stream that keeps the CRC-32 of every byte it moved.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <cstdint>

/// Reads and writes go straight to the source while the running CRC-32 (gzip's, as KrCrc32
/// computes it) is continued over the bytes moved; the checksum costs about what KrCrc32 costs
/// on the same bytes. The stream tracks the position it expects the source to be at: a Read or
/// Write after anybody moved the source elsewhere, and a setSize64 below the bytes already
/// summed, throw std::runtime_error instead of producing a checksum of the wrong bytes.
/// Everything else forwards to the source. Not synchronised.
class KRSTD_API TKrCrc32Stream : public TKrStream {
public:
    /// Wraps `stream` (a null one throws the internal-error message), continuing from
    /// `initialCrc` at the source's current position. `result`, when given, receives the CRC
    /// now and after every read and write.
    TKrCrc32Stream(var_a<TKrStream*> stream, unsigned long* result, unsigned long initialCrc);
    /// Closes the source under optCloseSource and lets it go.
    ~TKrCrc32Stream() override;

    unsigned long GetCrc32() const noexcept { return static_cast<std::uint32_t>(m_crc); }
    /// Restarts the sum at `crc` from the source's current position; updates the result cell.
    void SetCrc32(unsigned long crc);
    /// Sets the result cell (null for none) and stores the current CRC in it.
    void SetResultPtr(unsigned long* result);
    const var_a<TKrStream*>& GetSource() const noexcept { return m_source; }

    /// Throws std::runtime_error when the source is not where this stream left it; otherwise
    /// forwards and sums the bytes moved. invalid_value is returned unchanged.
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    /// Throws std::runtime_error for a size below the bytes already summed.
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override;
    /// True under optNoFlushSource, otherwise the source's Flush.
    bool Flush() override;
    /// The source's Close under optCloseSource, otherwise true.
    bool Close() override;

    streamsize_t getSize() override;
    streamsize_t getSize64() override;
    streamsize_t getPosition() override;
    streamsize_t getPosition64() override;
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override;
    void setState(unsigned state) override;
    unsigned getState() const override;
    explicit operator bool() override;
    std::string GetInfoName() const override;

private:
    void CheckPosition();
    void Sum(const void* data, streamsize_t k);

    var_a<TKrStream*> m_source;
    std::uint64_t m_position;
    std::uint64_t m_crc;
    unsigned long* m_result;
};
