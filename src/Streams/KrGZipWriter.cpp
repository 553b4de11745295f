// TKrGZipWriter: gzip header and trailer written here, the deflate data made by zlib.
#include "Streams/KrGZipWriter.h"
#include "Core/KrMessage.h"
#include "Streams/KrGZipFormatInternal.h"
#include "Streams/KrGZipParallel.h"
#include "System/KrThreads.h"
#include "Utils/KrCrc32.h"

#include <stdexcept>
#include <zlib.h>

using namespace KrGZipFormat;

namespace {
constexpr streamsize_t kMaxBlock = 0xFFFFFFFFul;
constexpr int kMemLevel = 9;

/// A header field up to its first zero byte, which would otherwise end it early.
std::string HeaderText(const std::string& s) {
    return s.substr(0, s.find('\0'));
}
} // namespace

struct TKrGZipWriter::TState {
    z_stream z{};
    bool open = false;
    bool failed = false; // the target refused output; the member cannot be completed
    unsigned char out[kBufferSize];
    std::uint32_t crc = 0;
    streamsize_t consumed = 0; // uncompressed bytes since Open
    TKrStream* target = nullptr;
    std::size_t threads = 1;                   // asked for by SetThreads
    std::unique_ptr<TKrGZipParallel> parallel; // while a parallel stream is open

    void ResetOut() {
        z.next_out = out;
        z.avail_out = kBufferSize;
    }

    bool WriteTarget(TKrGZipWriter& self, const void* data, streamsize_t n) {
        if (n == 0) return true;
        if (target->Write(data, n) == n) return true;
        self.AddState(stWriteError | target->getState());
        failed = true;
        return false;
    }

    bool FlushOut(TKrGZipWriter& self) {
        const bool ok = WriteTarget(self, out, kBufferSize - z.avail_out);
        ResetOut();
        return ok;
    }
};

TKrGZipWriter::TKrGZipWriter() : m_state(new TState) {}

TKrGZipWriter::~TKrGZipWriter() {
    Close();
}

bool TKrGZipWriter::IsOpen() const noexcept {
    return m_state->open;
}

bool TKrGZipWriter::Open(TKrStream* target, const TKrGZipFileInfo& info, int level) {
    Close();
    if (!target) return false;
    TState& s = *m_state;
    s.z = z_stream{};
    if (level < -1 || level > 9) return false;
    const bool parallel = s.threads != 1;
    if (!parallel &&
        deflateInit2(&s.z, level, Z_DEFLATED, kRawWindowBits, kMemLevel, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    s.target = target;
    s.failed = false;
    s.crc = 0;
    s.consumed = 0;

    const std::string name = info.present ? HeaderText(info.fileName) : std::string();
    const std::string comment = info.present ? HeaderText(info.comment) : std::string();
    std::string header(kFixedHeaderSize, '\0');
    auto* h = reinterpret_cast<unsigned char*>(&header[0]);
    h[0] = kId1;
    h[1] = kId2;
    h[2] = kMethodDeflate;
    h[3] = static_cast<unsigned char>((name.empty() ? 0 : kFlagName) | (comment.empty() ? 0 : kFlagComment));
    PutLE32(h + 4, info.present ? info.modificationTime : 0);
    h[9] = kOsUnix;
    if (!name.empty()) header.append(name.c_str(), name.size() + 1);
    if (!comment.empty()) header.append(comment.c_str(), comment.size() + 1);
    if (parallel) {
        // The header goes out with the first member, so an open that cannot write fails later.
        const std::size_t workers = s.threads ? s.threads : KrGetThreadsCount();
        s.parallel = std::make_unique<TKrGZipParallel>(workers, level, std::move(header),
                                                       [this](const unsigned char* data, std::size_t n) {
                                                           return m_state->WriteTarget(*this, data, n);
                                                       });
    } else if (!s.WriteTarget(*this, header.data(), header.size())) {
        deflateEnd(&s.z);
        s.target = nullptr;
        return false;
    }
    s.ResetOut();
    s.open = true;
    SetInfoName(target->GetInfoName() + ":gzip");
    return true;
}

bool TKrGZipWriter::Close() {
    TState& s = *m_state;
    if (!s.open) return true;
    const bool parallel = static_cast<bool>(s.parallel);
    bool ok = !s.failed;
    if (s.parallel) {
        ok = s.parallel->Finish() && ok;
        s.parallel.reset();
    } else if (ok) {
        s.z.next_in = nullptr;
        s.z.avail_in = 0;
        for (;;) {
            const int rc = deflate(&s.z, Z_FINISH);
            if (rc == Z_STREAM_END) break;
            // Anything but "more room needed" is zlib refusing the state it is in.
            if ((rc != Z_OK && rc != Z_BUF_ERROR) || s.z.avail_out != 0 || !s.FlushOut(*this)) {
                ok = false;
                break;
            }
        }
    }
    if (ok && !parallel) {
        if (s.z.avail_out < kTrailerSize) ok = s.FlushOut(*this);
        PutLE32(s.z.next_out, s.crc);
        PutLE32(s.z.next_out + 4, static_cast<std::uint32_t>(s.consumed));
        s.z.next_out += kTrailerSize;
        s.z.avail_out -= kTrailerSize;
        ok = ok && s.FlushOut(*this);
    }
    if (!parallel) deflateEnd(&s.z);
    s.open = false;
    TKrStream* target = s.target;
    s.target = nullptr;
    if (getOptions() & optCloseSource) ok = target->Close() && ok;
    return ok;
}

streamsize_t TKrGZipWriter::Write(const void* buf, streamsize_t n) {
    if (n > kMaxBlock)
        throw TKrMessage("@virtual streamsize_t TKrGZipWriter::Write(const void *, streamsize_t): Write "
                         "block size too large");
    TState& s = *m_state;
    if (!s.open) {
        AddState(stWriteError);
        return invalid_value;
    }
    if ((getOptions() & optFailWritesAfterError) && (getState() & stWriteError)) return invalid_value;
    if (s.failed) {
        AddState(stWriteError);
        return invalid_value;
    }
    if (n == 0) return 0;
    if (s.parallel) {
        if (!s.parallel->Write(static_cast<const unsigned char*>(buf), n)) {
            s.failed = true;
            AddState(stWriteError);
            return invalid_value;
        }
        s.consumed += n;
        return n;
    }
    s.z.next_in = const_cast<Bytef*>(static_cast<const Bytef*>(buf));
    s.z.avail_in = static_cast<uInt>(n);
    while (s.z.avail_in > 0) {
        const int rc = deflate(&s.z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            s.failed = true;
            AddState(stWriteError);
            return invalid_value;
        }
        if (s.z.avail_out == 0 && !s.FlushOut(*this)) return invalid_value;
    }
    s.crc = KrCrc32(s.crc, buf, n);
    s.consumed += n;
    return n;
}

void TKrGZipWriter::SetThreads(std::size_t threads) noexcept {
    m_state->threads = threads;
}

std::size_t TKrGZipWriter::GetThreads() const noexcept {
    return m_state->threads;
}

streamsize_t TKrGZipWriter::Read(void*, streamsize_t) {
    throw std::logic_error("@TKrGZipWriter::Read() not applicable");
}

streamsize_t TKrGZipWriter::getPosition64() {
    return m_state->consumed;
}

streamsize_t TKrGZipWriter::getSize64() {
    return m_state->consumed;
}

bool TKrGZipWriter::setSize(streamsize_t) {
    throw std::logic_error("@TKrGZipWriter::setSize() not applicable");
}

bool TKrGZipWriter::setSize64(streamsize_t n) {
    return setSize(n);
}

bool TKrGZipWriter::setPosition(streamsize_t) {
    throw std::logic_error("@TKrGZipWriter::setPosition() not applicable");
}

bool TKrGZipWriter::setPosition64(streamsize_t p) {
    return setPosition(p);
}
