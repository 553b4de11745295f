// TKrGZipReader: gzip members parsed here, their deflate data inflated by zlib.
#include "Streams/KrGZipReader.h"
#include "Core/KrMessage.h"
#include "Streams/KrGZipFormatInternal.h"
#include "Streams/KrStreamContent.h"
#include "Utils/KrCrc32.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <zlib.h>

using namespace KrGZipFormat;

namespace {
constexpr streamsize_t kMaxBlock = 0xFFFFFFFFul;
constexpr streamsize_t kSkipChunk = 1048576;
// Compressed input taken from the source per refill. Every return from inflate() copies up to
// 32 KiB of output into zlib's window, so the fewer refills per output byte the better; 64 KiB
// keeps the reader's state within what malloc serves from the heap.
constexpr unsigned kInBufferSize = 65536;
// Input taken at a time from a source that keeps its bytes in one buffer: inflate() then only
// returns when the caller's buffer is full or a member ends.
constexpr streamsize_t kInPlaceWindow = 1u << 30;
} // namespace

struct TKrGZipReader::TState {
    z_stream z{};
    bool open = false;
    unsigned char in[kInBufferSize];
    std::uint32_t crc = 0;       // of the current member's output so far
    streamsize_t produced = 0;   // uncompressed bytes since the start of the data
    std::uint32_t isize = 0;     // size field of the last trailer in the source
    streamsize_t exactSize = 0;  // valid when sizeFinal
    bool sizeFinal = false;      // the data has been read to its end once
    bool endOfInput = false;     // the source had nothing more to give
    bool sourceFailed = false;   // ... because its Read failed
    bool endOfData = false;      // the last member's trailer has been checked
    bool broken = false;         // corrupt or truncated: reads fail until a rewind
    bool inPlace = false;        // z.next_in points into the source's own buffer ...
    streamsize_t inPlaceEnd = 0; // ... and the unread input ends at this source offset
    TKrStream* source = nullptr;
    streamsize_t dataOffset = 0; // of the first member's first compressed byte
    streamsize_t requested = 0;  // where the next Read starts

    void Consume(unsigned k) {
        z.next_in += k;
        z.avail_in -= k;
    }

    /// Makes at least `reserveMin` unread bytes available at z.next_in: in place when the source
    /// keeps its bytes in one buffer, else moving what is left to the start of the input buffer
    /// and reading the source into the rest. False when the source ends (or fails) first.
    bool FillInBuffer(unsigned reserveMin) {
        if (reserveMin > kInBufferSize)
            throw std::logic_error("TKrGZipReader::FillInBuffer() reserve_min > Z_BUFSIZE");
        while (z.avail_in < reserveMin) {
            if (endOfInput) return false;
            if (TakeInPlace()) continue;
            if (z.avail_in && z.next_in != in) std::memmove(in, z.next_in, z.avail_in);
            z.next_in = in;
            inPlace = false;
            const streamsize_t got = source->Read(in + z.avail_in, kInBufferSize - z.avail_in);
            if (got == TKrStream::invalid_value || got == 0) {
                endOfInput = true;
                sourceFailed = got == TKrStream::invalid_value;
                return false;
            }
            z.avail_in += static_cast<uInt>(got);
        }
        return true;
    }

    /// Extends the input in place up to kInPlaceWindow bytes, as a read of the source would,
    /// when the source keeps its bytes in one buffer, has bytes left at its position, and the
    /// unread input (if any) lies in that buffer right before it. False leaves the refill, and
    /// with it the source's own end and failure answers, to Read.
    bool TakeInPlace() {
        if (z.avail_in && !inPlace) return false;
        const char* content = KrStreamInternal::ContiguousContent(source);
        if (!content) return false;
        const streamsize_t at = source->getPosition64(), size = source->getSize64();
        if (at >= size || (z.avail_in && at != inPlaceEnd)) return false;
        // A read of nothing fails exactly when a real read would (a read error kept under
        // optFailReadsAfterError, a position past the end, a mode without reading).
        if (source->Read(in, 0) != 0) return false;
        const streamsize_t take = std::min<streamsize_t>(size - at, kInPlaceWindow - z.avail_in);
        if (!source->setPosition64(at + take)) return false;
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content + at)) - z.avail_in;
        z.avail_in += static_cast<uInt>(take);
        inPlace = true;
        inPlaceEnd = at + take;
        return true;
    }

    /// Input taken in place between two reads points into the source's buffer as it was; finds
    /// it again should that buffer have moved, or drops it should the source have shrunk.
    void RelocateInput() {
        if (!inPlace || !z.avail_in) return;
        const char* content = KrStreamInternal::ContiguousContent(source);
        if (content && inPlaceEnd <= source->getSize64())
            z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content + inPlaceEnd)) - z.avail_in;
        else
            z.avail_in = 0;
    }

    bool Skip(streamsize_t k) {
        while (k > 0) {
            if (!FillInBuffer(1)) return false;
            const unsigned step = static_cast<unsigned>(std::min<streamsize_t>(k, z.avail_in));
            Consume(step);
            k -= step;
        }
        return true;
    }

    /// Reads a zero-terminated header field into `out` (may be null: skipped).
    bool ReadZeroTerminated(std::string* out) {
        for (;;) {
            if (!FillInBuffer(1)) return false;
            const auto* zero = static_cast<const unsigned char*>(std::memchr(z.next_in, 0, z.avail_in));
            const unsigned k = zero ? static_cast<unsigned>(zero - z.next_in) : z.avail_in;
            if (out) out->append(reinterpret_cast<const char*>(z.next_in), k);
            Consume(zero ? k + 1 : k);
            if (zero) return true;
        }
    }

    /// Parses a member header at z.next_in; fills `info` (may be null) without setting present.
    bool ReadHeader(TKrGZipFileInfo* info) {
        if (!FillInBuffer(kFixedHeaderSize)) return false;
        const unsigned char* h = z.next_in;
        if (h[0] != kId1 || h[1] != kId2 || h[2] != kMethodDeflate || h[3] > kFlagsKnown) return false;
        const unsigned flags = h[3];
        if (info) info->modificationTime = GetLE32(h + 4);
        Consume(kFixedHeaderSize); // and with it the extra-flags and operating-system bytes
        if (flags & kFlagExtra) {
            if (!FillInBuffer(2)) return false;
            const unsigned length = z.next_in[0] | unsigned(z.next_in[1]) << 8;
            Consume(2);
            if (!Skip(length)) return false;
        }
        if ((flags & kFlagName) && !ReadZeroTerminated(info ? &info->fileName : nullptr)) return false;
        if ((flags & kFlagComment) && !ReadZeroTerminated(info ? &info->comment : nullptr)) return false;
        return !(flags & kFlagHeaderCrc) || Skip(2);
    }

    /// At the end of a member's deflate data: checks its CRC, then either notes the end of the
    /// data or starts the next member. False on a CRC mismatch, a truncated trailer, or
    /// anything after it that is not a member header.
    bool EndMember() {
        if (!FillInBuffer(kTrailerSize)) return false;
        const std::uint32_t stored = GetLE32(z.next_in);
        Consume(kTrailerSize); // the size field is not checked: only the last one is used
        if (stored != crc) return false;
        if (!FillInBuffer(1)) {
            if (sourceFailed) return false;
            endOfData = true;
            sizeFinal = true;
            exactSize = produced;
            return true;
        }
        if (!ReadHeader(nullptr)) return false;
        inflateReset(&z);
        crc = 0;
        return true;
    }

    /// Inflates up to n (at most 4 GiB - 1) bytes into `out`; returns the count.
    streamsize_t InternalRead(TKrGZipReader& self, unsigned char* out, streamsize_t n) {
        if (broken) {
            self.AddState(stReadError);
            return 0;
        }
        RelocateInput();
        z.next_out = out;
        z.avail_out = static_cast<uInt>(n);
        while (z.avail_out > 0) {
            if (endOfData) {
                self.AddState(stEndOfData);
                break;
            }
            if (z.avail_in == 0 && !FillInBuffer(1)) { // the source ends inside a member
                broken = true;
                break;
            }
            unsigned char* from = z.next_out;
            const int rc = inflate(&z, Z_NO_FLUSH);
            const auto got = static_cast<std::size_t>(z.next_out - from);
            produced += got;
            if (got) crc = KrCrc32(crc, from, got);
            if (rc == Z_STREAM_END) {
                if (!EndMember()) {
                    broken = true;
                    break;
                }
            } else if (rc != Z_OK && !(rc == Z_BUF_ERROR && z.avail_in == 0)) {
                broken = true;
                break;
            }
        }
        if (broken) self.AddState(stReadError);
        return n - z.avail_out;
    }

    /// Back to the first compressed byte with fresh zlib state and counters.
    bool Rewind() {
        inflateReset(&z);
        crc = 0;
        produced = 0;
        requested = 0;
        endOfInput = sourceFailed = endOfData = broken = false;
        z.next_in = in;
        z.avail_in = 0;
        inPlace = false;
        return source->setPosition64(dataOffset);
    }
};

TKrGZipReader::TKrGZipReader() : m_state(new TState) {}

TKrGZipReader::~TKrGZipReader() {
    Close();
}

bool TKrGZipReader::IsOpen() const noexcept {
    return m_state->open;
}

bool TKrGZipReader::Open(TKrStream* source, TKrGZipFileInfo* info) {
    Close();
    if (!source) return false;
    TState& s = *m_state;
    s.z = z_stream{};
    if (inflateInit2(&s.z, kRawWindowBits) != Z_OK) return false;
    s.source = source;
    s.dataOffset = 0;
    s.isize = 0;
    s.exactSize = 0;
    s.sizeFinal = false;
    TKrGZipFileInfo header;
    bool ok = s.Rewind() && s.ReadHeader(&header);
    if (ok) {
        s.dataOffset = source->getPosition64() - s.z.avail_in;
        const streamsize_t size = source->getSize64();
        unsigned char last[4] = {};
        ok = size != invalid_value64 && size >= s.dataOffset && size - s.dataOffset >= 4 &&
             source->setPosition64(size - 4) && source->ReadAll(last, 4) && s.Rewind();
        s.isize = GetLE32(last);
    }
    if (!ok) {
        inflateEnd(&s.z);
        s.source = nullptr;
        return false;
    }
    s.open = true;
    SetInfoName(source->GetInfoName() + ":gzip");
    if (info) {
        *info = std::move(header);
        info->present = true;
    }
    return true;
}

bool TKrGZipReader::Close() {
    TState& s = *m_state;
    if (!s.open) return true;
    inflateEnd(&s.z);
    s.open = false;
    TKrStream* source = s.source;
    s.source = nullptr;
    return (getOptions() & optCloseSource) ? source->Close() : true;
}

streamsize_t TKrGZipReader::Read(void* buf, streamsize_t n) {
    if (n > kMaxBlock)
        throw TKrMessage(
            "@virtual streamsize_t TKrGZipReader::Read(void *, streamsize_t): Read block size too large");
    TState& s = *m_state;
    if (!s.open) {
        AddState(stReadError);
        return invalid_value;
    }
    if ((getOptions() & optFailReadsAfterError) && (getState() & stReadError)) return invalid_value;
    if (s.requested != s.produced) {
        const streamsize_t target = s.requested;
        if (target == 0) {
            if (!s.Rewind()) {
                AddState(stReadError);
                return 0;
            }
        } else if (target < s.produced) {
            throw std::logic_error("@TKrGZipReader::Read(): rewinding backward not implemented.");
        } else {
            std::unique_ptr<unsigned char[]> scratch(new unsigned char[kSkipChunk]);
            while (s.produced < target) {
                const streamsize_t chunk = std::min(kSkipChunk, target - s.produced);
                if (s.InternalRead(*this, scratch.get(), chunk) < chunk) {
                    s.requested = s.produced;
                    return 0;
                }
            }
        }
    }
    const streamsize_t got = s.InternalRead(*this, static_cast<unsigned char*>(buf), n);
    s.requested = s.produced;
    return got;
}

streamsize_t TKrGZipReader::Write(const void*, streamsize_t) {
    throw std::logic_error("@TKrGZipReader::Write() not applicable");
}

streamsize_t TKrGZipReader::getPosition64() {
    return m_state->requested;
}

bool TKrGZipReader::setPosition64(streamsize_t p) {
    if (!m_state->open) return false;
    m_state->requested = p;
    return true;
}

streamsize_t TKrGZipReader::getSize64() {
    const TState& s = *m_state;
    if (!s.open) return invalid_value64;
    if (s.sizeFinal) return s.exactSize;
    // The trailer keeps the size modulo 2^32: take the smallest candidate that is not below
    // what has already come out.
    const streamsize_t isize = s.isize;
    if (s.produced <= isize) return isize;
    const streamsize_t wraps = (s.produced - isize + 0xFFFFFFFFul) >> 32;
    return isize + (wraps << 32);
}

bool TKrGZipReader::setSize(streamsize_t) {
    throw std::logic_error("@TKrGZipReader::setSize() not applicable");
}

bool TKrGZipReader::setSize64(streamsize_t n) {
    return setSize(n);
}
