// TKrStream: the byte-stream interface every reader and writer of the library works through.
#pragma once

#include "Core/KrExport.h"

#include <cstdint>
#include <string>

/// Byte counts and positions of streams.
using streamsize_t = unsigned long;

/// How a stream is opened; shared by every stream kind.
enum krOpenMode : std::uint32_t {
    krOpenWrite = 7,
    krCreateNew = 8,
    krCreate = 9,
    krOpenRead = 10,
    krOpenReadWriteExisting = 11,
    krOpenReadWrite = 12,
};
/// Sharing flags passed through to file opening; all ones means the default.
using krShareMode = std::uint32_t;
constexpr krShareMode krShareDefault = 0xFFFFFFFFu;

/// Line ends for WriteStrEOL.
enum TEOLType : std::uint32_t { eolLF = 0, eolCR = 1, eolCRLF = 2 };

/// The abstract byte stream. Operations without the E suffix report failure by their result
/// (false, 0 or invalid_value) and by bits of the state word, which streams set and never clear;
/// the E forms throw TKrMessage. Streams are not synchronised: one thread at a time.
class KRSTD_API TKrStream {
public:
    /// Failure result of Read and Write.
    static constexpr streamsize_t invalid_value = ~streamsize_t(0);
    static constexpr streamsize_t invalid_value64 = ~streamsize_t(0);

    // State word bits.
    static constexpr unsigned stEndOfData = 0x1;
    static constexpr unsigned stReadError = 0x100;
    static constexpr unsigned stWriteError = 0x200;
    static constexpr unsigned stSeekError = 0x400;
    static constexpr unsigned stNoRoom = 0x800; // always together with stWriteError

    // Options word bits.
    static constexpr unsigned optFailReadsAfterError = 0x1;
    static constexpr unsigned optFailWritesAfterError = 0x2;
    static constexpr unsigned optCloseSource = 0x4;   // a wrapper closes what it wraps
    static constexpr unsigned optNoFlushSource = 0x8; // a wrapper's Flush leaves what it wraps alone

    TKrStream() = default;
    explicit TKrStream(const std::string& infoName) : m_infoName(infoName) {}
    TKrStream(const TKrStream&) = delete;
    TKrStream& operator=(const TKrStream&) = delete;

    virtual ~TKrStream();
    virtual streamsize_t getPosition64();
    virtual streamsize_t getPosition() = 0;
    virtual bool Close();
    virtual void CloseE();
    /// Moves up to n bytes into buf; returns the count or invalid_value.
    virtual streamsize_t Read(void* buf, streamsize_t n) = 0;
    /// Reads exactly n bytes (looping over Read); false when the data ends or fails first.
    virtual bool ReadAll(void* buf, streamsize_t n);
    virtual void ReadAllE(void* buf, streamsize_t n);
    /// Moves up to n bytes from buf; returns the count or invalid_value.
    virtual streamsize_t Write(const void* buf, streamsize_t n) = 0;
    virtual bool WriteAll(const void* buf, streamsize_t n);
    virtual void WriteAllE(const void* buf, streamsize_t n);
    virtual streamsize_t WriteStr(const std::string& s);
    /// Writes `s` with every "\r\n", "\r" and "\n" turned into the chosen line end.
    virtual streamsize_t WriteStrEOL(const std::string& s, TEOLType eol);
    virtual streamsize_t getSize() = 0;
    virtual streamsize_t getSize64();
    virtual bool setSize(streamsize_t n) = 0;
    virtual void setSizeE(streamsize_t n);
    /// Sizes above 0xFFFFFFFF fail unless the stream handles large data.
    virtual bool setSize64(streamsize_t n);
    virtual void setSize64E(streamsize_t n);
    virtual bool setPosition(streamsize_t p) = 0;
    virtual void setPositionE(streamsize_t p);
    /// Positions above 0xFFFFFFFF fail unless the stream handles large data.
    virtual bool setPosition64(streamsize_t p);
    virtual void setPosition64E(streamsize_t p);
    virtual bool eof();
    virtual bool Flush();
    virtual void FlushE();
    /// True when the stream is usable.
    virtual explicit operator bool() = 0;
    virtual std::uint32_t getType() const;
    virtual void setState(unsigned state);
    virtual unsigned getState() const;
    virtual void setOptions(unsigned options);
    virtual unsigned getOptions() const;
    virtual std::string GetInfoName() const;
    virtual void SetInfoName(const std::string& name);
    /// Reads one line (up to cap - 1 bytes) into buf, zero-terminated, without its line end
    /// ("\r\n", "\r" or "\n"), and positions the stream after the line end. Returns its length.
    virtual streamsize_t getLine(char* buf, streamsize_t cap);

    bool operator!() { return !static_cast<bool>(*this); }

protected:
    /// Sets bits of the state word (streams never clear them).
    void AddState(unsigned bits) { setState(getState() | bits); }

private:
    std::uint32_t m_state = 0;
    std::uint32_t m_options = 0;
    std::string m_infoName;
};
