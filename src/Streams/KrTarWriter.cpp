// TKrTarWriter: headers, long names, padding, split entries and the end marker.
#include "Streams/KrTarWriter.h"
#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrModule.h"
#include "Core/KrProgressHandler.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrTarHeader.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

using namespace KrTarInternal;

namespace {
constexpr std::size_t kCopyBuffer = 256 * 1024;
/// Writes into the target go in pieces of this size, so that progress moves and no single
/// write exceeds what a gzip writer takes at once.
constexpr std::uint64_t kWriteChunk = 16u << 20;

bool ValidEncoding(int e) {
    return e == 0 || e == 1 || e == 3;
}

std::uint32_t HeaderTime(const TKrDateTime& t) {
    const std::int64_t s = t.ToUnixTime64();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(s, 0, 0xFFFFFFFF));
}
} // namespace

TKrTarWriter::TKrTarWriter(TKrStream* target, const TFormatOptions& format, unsigned options)
    : m_target(target), m_format(format), m_options(options) {
    if (!target) throw std::invalid_argument("@TKrTarWriter: the target stream is null.");
}

TKrTarWriter::~TKrTarWriter() {
    if (!m_target || m_closed) return;
    try {
        Close();
    } catch (...) {
        try {
            KrLogWriteError(KrMsg_helper("Err_InFunction_func_msg")
                            << "TKrTarWriter::~TKrTarWriter()/Close()" << KrGetExceptionReason());
        } catch (...) {
        }
    }
}

bool TKrTarWriter::WriteFile(const TTarFileRecord& record, TKrStream* data, TKrProgressHandler* progress) {
    return WriteEntry(record, data, nullptr, progress);
}

bool TKrTarWriter::WriteFile(const TTarFileRecord& record, const char* data, TKrProgressHandler* progress) {
    return WriteEntry(record, nullptr, data, progress);
}

bool TKrTarWriter::WriteLongName(const std::string& name, std::uint32_t unixTime) {
    if (name.size() > kLongNameMax)
        throw TKrMessage("@KrTar::WriteLongName: File name is too long: %1% bytes of %2% max, \"%3%\".")
            << name.size() << kLongNameMax << name;
    char rec[2 * kRecordSize];
    PrepareHeaderRec(rec, kLongLinkName, name.size() + 1, unixTime, 'L');
    std::memset(rec + kRecordSize, 0, kRecordSize);
    std::memcpy(rec + kRecordSize, name.data(), name.size());
    return m_target->WriteAll(rec, sizeof rec);
}

bool TKrTarWriter::WriteData(TKrStream* stream, const char*& memory, std::uint64_t n,
                             TKrProgressHandler* progress) {
    // A memory stream's bytes are written from where they lie: one copy instead of two.
    const char* direct = memory;
    auto* mem = dynamic_cast<TKrMemoryStream*>(stream);
    if (mem) {
        const streamsize_t pos = mem->getPosition64();
        if (pos > mem->getSize64() || mem->getSize64() - pos < n) return false;
        direct = mem->GetBuffer() + pos;
    }
    if (!direct && n > 0 && !m_buffer) m_buffer.reset(new char[kCopyBuffer]);
    std::uint64_t done = 0;
    while (done < n) {
        std::uint64_t k = std::min(n - done, direct ? kWriteChunk : kCopyBuffer);
        const char* from = direct ? direct + done : m_buffer.get();
        if (!direct && !stream->ReadAll(m_buffer.get(), k)) return false;
        if (!m_target->WriteAll(from, k)) return false;
        done += k;
        if (progress) {
            progress->SetPosNB(static_cast<double>(done) / static_cast<double>(n));
            progress->UserBreakE();
        }
    }
    if (mem) mem->setPosition64(mem->getPosition64() + n);
    if (memory) memory += n;
    const std::uint64_t pad = PaddedSize(n) - n;
    return pad == 0 || m_target->WriteAll(kZeroRecord, pad);
}

bool TKrTarWriter::WriteEntry(const TTarFileRecord& record, TKrStream* stream, const char* memory,
                              TKrProgressHandler* progress) {
    if (m_closed) throw std::logic_error("@TKrTarWriter::WriteFile() called after Close().");
    if (record.name.empty()) return false;
    m_lastComplete = false;
    if (!ValidEncoding(m_format.filename_encoding))
        throw std::logic_error("@TKrTarWriter::WriteFile(): invalid filename_encoding.");

    const std::string& name = record.name;
    const bool isDir = name.back() == '/';
    const std::uint64_t size = isDir ? 0 : record.size;
    if (size > 0 && !stream && !memory)
        throw std::invalid_argument("@TKrTarWriter::WriteFile(): no data for \"" + name + "\".");
    const std::uint32_t t = HeaderTime(record.time);
    if (name.size() > kHeaderNameMax && !WriteLongName(name, t)) return false;
    const std::string headerName = name.substr(0, std::min(name.size(), kHeaderNameMax));
    char rec[kRecordSize];

    if (isDir || size < kSplitThreshold) {
        PrepareHeaderRec(rec, headerName, size, t, isDir ? '5' : '0');
        if (!m_target->WriteAll(rec, kRecordSize)) return false;
        if (!isDir && !WriteData(stream, memory, size, progress)) return false;
    } else {
        KrLogWriteWarning(TKrMessage(KrModule_Initializer::instance().get_resource_string(
                              "global.Warn_TarBigFileSplit_file_tar",
                              "The file %1% is 8 GiB or larger: it is stored in %2% as several "
                              "entries of the same name, 4 GiB each at most."))
                          << name << m_target->GetInfoName());
        const std::uint64_t parts = (size + kSplitPart - 1) / kSplitPart;
        for (std::uint64_t i = 0; i < parts; ++i) {
            // Every part but the first repeats the long-name record, so each entry stands alone.
            if (i > 0 && name.size() > kHeaderNameMax && !WriteLongName(name, t)) return false;
            const std::uint64_t part = std::min(size - i * kSplitPart, kSplitPart);
            PrepareHeaderRec(rec, headerName, part, t, '0');
            if (!m_target->WriteAll(rec, kRecordSize)) return false;
            var_a<TKrProgressHandler*> sub;
            if (progress) sub = progress->SubProgress(double(i) / parts, double(i + 1) / parts, 5, 5);
            if (!WriteData(stream, memory, part, sub.get())) return false;
        }
    }
    m_lastComplete = true;
    return true;
}

bool TKrTarWriter::Close() {
    bool ok = true;
    if (!m_closed && m_lastComplete) {
        m_closed = true;
        ok = m_target->WriteAll(kZeroRecord, kRecordSize) && m_target->WriteAll(kZeroRecord, kRecordSize);
    }
    if (m_options & optCloseTarget) {
        const bool closed = CloseTarget();
        ok = ok && closed;
    }
    return ok;
}

bool TKrTarWriter::CloseTarget() {
    return m_target ? m_target->Close() : true;
}
