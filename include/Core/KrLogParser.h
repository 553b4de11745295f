// Log-record parsing for streams that fan records out with filters (TKrLogRedirect) or count them.
#pragma once

#include "Core/KrExport.h"
#include "Streams/KrStream.h"

#include <cstdint>
#include <vector>

/// Incremental parser of the log's record format, fed any bytes in any pieces. It reports each
/// record header through DoHeaderParsed and hands every byte on through RawWrite. A header
/// that does not parse is passed on as the start of an error record marked with "~".
class KRSTD_API TKrLogParser {
public:
    TKrLogParser() = default;
    virtual ~TKrLogParser();

    /// Feeds n bytes; never reads outside [data, data + n).
    void Parse(const void* data, unsigned long n);

    /// The header of the current record (type defaults to 'E').
    char HeaderType() const noexcept { return m_type; }
    int HeaderLevel() const noexcept { return m_level; }
    int HeaderExtra() const noexcept { return m_extra; }
    /// Bytes of a header still being collected (held until its third tab or line feed arrives).
    unsigned PendingHeaderBytes() const noexcept { return m_state >= 1 && m_state <= 3 ? m_fill : 0; }

protected:
    /// A header is complete: `recordStart` is false for a continuation line (three tabs).
    virtual void DoHeaderParsed(bool recordStart) = 0;
    /// Bytes of the stream, header bytes flagged as such.
    virtual void RawWrite(const void* data, unsigned long n, bool isHeader) = 0;

private:
    void HeaderComplete();
    void Malformed();

    char m_header[1024];
    unsigned m_fill = 0;
    const char* m_timeField = nullptr;
    unsigned m_timeLength = 0;
    const char* m_typeField = nullptr;
    unsigned m_typeLength = 0;
    const char* m_sourceField = nullptr;
    unsigned m_sourceLength = 0;
    char m_type = 'E';
    int m_level = 0;
    int m_extra = 0;
    int m_state = 0;
};

/// A stream that passes log records on to several target streams, each with its own level
/// filter; it counts the bytes written to it.
class KRSTD_API TKrLogRedirect : public TKrStream, private TKrLogParser {
public:
    /// Channel, then the maximum levels of 'E', 'W', 'I' records whose extra equals the channel,
    /// then the maximum levels for records with any other extra.
    struct TFilter {
        std::int32_t channel;
        std::int32_t maxE, maxW, maxI;
        std::int32_t otherE, otherW, otherI;
    };
    /// Everything passes.
    static TFilter GetAllFilter() { return {0, 5, 5, 5, 5, 5, 5}; }

    /// Adds a target (not owned; null is ignored). A text-only target gets no header bytes.
    void AddStream(TKrStream* target, const TFilter& filter, bool textOnly);

    streamsize_t getPosition() override { return m_bytes; }
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override { return m_bytes; }
    bool setSize(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    /// Flushes every target; true only when all succeed.
    bool Flush() override;
    explicit operator bool() override { return true; }
    using TKrLogParser::PendingHeaderBytes;

private:
    struct TTarget {
        TKrStream* stream;
        TFilter filter;
        bool textOnly;
        bool pass;
    };
    void DoHeaderParsed(bool recordStart) override;
    void RawWrite(const void* data, unsigned long n, bool isHeader) override;

    std::vector<TTarget> m_targets;
    streamsize_t m_bytes = 0;
};

/// A stream that counts headers and records of what is written through it, passing the bytes
/// to an optional inner stream (not owned).
class KRSTD_API TKrLogCounter : public TKrStream, private TKrLogParser {
public:
    explicit TKrLogCounter(TKrStream* inner = nullptr) : m_inner(inner) {}

    /// Headers seen (records and continuation lines) and record starts.
    std::uint64_t HeaderCount() const noexcept { return m_headers; }
    std::uint64_t RecordCount() const noexcept { return m_records; }
    void ResetCounters() noexcept { m_headers = m_records = 0; }

    streamsize_t getPosition() override;
    bool Close() override;
    streamsize_t Read(void* buf, streamsize_t n) override;
    streamsize_t Write(const void* buf, streamsize_t n) override;
    streamsize_t getSize() override;
    bool setSize(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    bool Flush() override;
    explicit operator bool() override;

private:
    void DoHeaderParsed(bool recordStart) override;
    void RawWrite(const void*, unsigned long, bool) override {}

    TKrStream* m_inner;
    std::uint64_t m_headers = 0;
    std::uint64_t m_records = 0;
};
