// TKrTarReader: header parsing, long names, pax records, and both ways of delivering data.
#include "Streams/KrTarReader.h"
#include "Core/KrMessage.h"
#include "Core/KrProgressHandler.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrPartStream.h"
#include "Streams/KrTarHeader.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace KrTarInternal;

namespace {
/// Long names and pax records beyond these sizes are taken as damage, not as names.
constexpr std::uint64_t kLongNameCap = 64 * 1024;
constexpr std::uint64_t kPaxCap = 1 << 20;
constexpr std::uint64_t kReadChunk = 16u << 20;

std::string FieldText(const char* field, std::size_t width) {
    return std::string(field, strnlen(field, width));
}

/// The pax extended header's records ("LEN key=value\n") that name the next entry.
struct TPaxValues {
    bool hasPath = false, hasLink = false, hasSize = false, hasTime = false;
    std::string path, link;
    std::uint64_t size = 0;
    std::int64_t time = 0;
};

void ParsePax(const std::string& text, TPaxValues& pax) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && *p != '\0') {
        std::uint64_t len = 0;
        auto r = std::from_chars(p, end, len);
        if (r.ec != std::errc() || r.ptr == p || *r.ptr != ' ' || len > std::uint64_t(end - p) ||
            len < std::uint64_t(r.ptr - p) + 2 || p[len - 1] != '\n')
            throw TKrMessage("@TKrTarReader::ReadFile(): malformed pax extended header.");
        const char* kv = r.ptr + 1;
        const char* kvEnd = p + len - 1;
        const char* eq = std::find(kv, kvEnd, '=');
        if (eq == kvEnd) throw TKrMessage("@TKrTarReader::ReadFile(): malformed pax extended header.");
        const std::string key(kv, eq);
        const char* v = eq + 1;
        if (key == "path") {
            pax.path.assign(v, kvEnd);
            pax.hasPath = true;
        } else if (key == "linkpath") {
            pax.link.assign(v, kvEnd);
            pax.hasLink = true;
        } else if (key == "size") {
            pax.hasSize = std::from_chars(v, kvEnd, pax.size).ec == std::errc();
        } else if (key == "mtime") { // fractional seconds are dropped
            pax.hasTime = std::from_chars(v, kvEnd, pax.time).ec == std::errc();
        }
        p += len;
    }
}
} // namespace

TKrTarReader::TKrTarReader(TKrStream* source, const TFormatOptions& format)
    : m_source(source), m_format(format) {
    if (!source) throw std::invalid_argument("@TKrTarReader: the source stream is null.");
}

TKrTarReader::~TKrTarReader() = default;

streamsize_t TKrTarReader::GetFullSrcSize() {
    return m_source->getSize64();
}

void TKrTarReader::SkipTo(streamsize_t position) {
    if (m_source->getPosition64() != position) m_source->setPosition64(position);
}

void TKrTarReader::CheckFits(const TTarFileRecord& record) {
    // A gzip reader knows its size only modulo 4 GiB before its end: no claim can be checked.
    if (dynamic_cast<TKrGZipReader*>(m_source)) return;
    const streamsize_t full = m_source->getSize64();
    const streamsize_t pos = m_source->getPosition64();
    if (full == TKrStream::invalid_value64 || pos == TKrStream::invalid_value64 || pos > full) return;
    if (record.size > full - pos)
        throw TKrMessage("@TKrTarReader::ReadFile(): the entry \"%1%\" claims %2% bytes at offset %3%, "
                         "but the archive ends after %4% bytes.")
            << record.name << record.size << pos << full;
}

void TKrTarReader::ReadMeta(std::string& out, std::uint64_t size, std::uint64_t cap, const char* what) {
    if (size > cap)
        throw TKrMessage("@TKrTarReader::ReadFile(): %1% of %2% bytes, more than the %3% accepted.")
            << what << size << cap;
    out.resize(PaddedSize(size));
    if (!out.empty() && !m_source->ReadAll(&out[0], out.size()))
        throw TKrMessage("@TKrTarReader::ReadFile(): the archive ends inside a %1%.") << what;
    out.resize(size);
}

bool TKrTarReader::ReadHeader(TTarFileRecord& record) {
    std::string longName, longLink;
    bool hasLongName = false, hasLongLink = false;
    TPaxValues pax;
    for (;;) {
        unsigned char rec[kRecordSize];
        if (!m_source->ReadAll(rec, kRecordSize)) return false;
        const char* h = reinterpret_cast<const char*>(rec);
        std::uint64_t sum = 0;
        if (!ParseNumber(h + kOffSum, kLenSum, false, sum)) return false;
        if (sum != HeaderSumUnsigned(rec) && static_cast<std::int64_t>(sum) != HeaderSumSigned(rec))
            return false;

        std::string name = FieldText(h + kOffName, kLenName);
        if (std::memcmp(h + kOffMagic, "ustar\0", 6) == 0 && h[kOffPrefix])
            name = FieldText(h + kOffPrefix, kLenPrefix) + "/" + name;
        std::uint64_t size = 0, unixTime = 0;
        if (!ParseNumber(h + kOffSize, kLenSize, true, size))
            throw TKrMessage("@TKrTarReader::ReadFile(): the size field of \"%1%\" is not an octal number.")
                << name;
        if (!ParseNumber(h + kOffTime, kLenTime, true, unixTime) || unixTime > 0x7FFFFFFFFFFull)
            unixTime = 0; // a damaged time is no reason to give up the data
        const char type = h[kOffType];

        if (name == kLongLinkName && (type == 'L' || type == 'K')) {
            ReadMeta(type == 'L' ? longName : longLink, size, kLongNameCap, "long name record");
            std::string& target = type == 'L' ? longName : longLink;
            target.resize(strnlen(target.c_str(), target.size()));
            (type == 'L' ? hasLongName : hasLongLink) = true;
            continue;
        }
        if (type == 'x' || type == 'g') {
            std::string text;
            ReadMeta(text, size, kPaxCap, "pax extended header");
            if (type == 'x') ParsePax(text, pax); // global records ('g') set defaults we do not keep
            continue;
        }

        if (m_format.filename_encoding != 0 && m_format.filename_encoding != 1 &&
            m_format.filename_encoding != 3)
            throw std::logic_error("@TKrTarReader::ReadFile(): invalid filename_encoding.");
        record.name = hasLongName ? longName : pax.hasPath ? pax.path : name;
        record.link_name = hasLongLink   ? longLink
                           : pax.hasLink ? pax.link
                                         : FieldText(h + kOffLink, kLenLink);
        record.size = pax.hasSize ? pax.size : size;
        record.time =
            TKrDateTime::FromUnixTime64(pax.hasTime ? pax.time : static_cast<std::int64_t>(unixTime));
        record.type = type;
        if (type == '5' && (record.name.empty() || record.name.back() != '/')) record.name += '/';
        CheckFits(record);
        return true;
    }
}

bool TKrTarReader::ReadFile(TCallback callback, void* user) {
    TTarFileRecord record;
    if (!ReadHeader(record)) return false;
    const streamsize_t start = m_source->getPosition64();
    {
        TKrPartStream part(m_source, start, record.size, krOpenRead);
        if (callback) callback(record, &part, user);
    }
    SkipTo(start + PaddedSize(record.size));
    return true;
}

bool TKrTarReader::ReadFile(TTarFileRecord* record, var_a<char*>* data, TKrProgressHandler* progress) {
    TTarFileRecord local;
    TTarFileRecord& r = record ? *record : local;
    if (!ReadHeader(r)) return false;
    const streamsize_t start = m_source->getPosition64();
    if (data) {
        const std::uint64_t n = r.size;
        const streamsize_t full = m_source->getSize64();
        const bool trusted = full != TKrStream::invalid_value64 && full >= start && full - start >= n;
        // Allocated once when the source holds the bytes; otherwise grown as they arrive.
        std::unique_ptr<char[]> buf(trusted ? new char[n ? n : 1] : nullptr);
        std::vector<char> grown;
        for (std::uint64_t done = 0; done < n;) {
            const std::uint64_t k = std::min(n - done, kReadChunk);
            char* to = buf.get() + done;
            if (!trusted) {
                grown.resize(done + k);
                to = grown.data() + done;
            }
            if (!m_source->ReadAll(to, k))
                throw TKrMessage("@TKrTarReader::ReadFile(): the archive ends inside the data of \"%1%\".")
                    << r.name;
            done += k;
            if (progress) {
                progress->SetPosNB(static_cast<double>(done) / static_cast<double>(n));
                progress->UserBreakE();
            }
        }
        if (!trusted) {
            buf.reset(new char[n ? n : 1]);
            if (n) std::memcpy(buf.get(), grown.data(), n);
        }
        *data = newarray_a(buf.release());
    }
    SkipTo(start + PaddedSize(r.size));
    return true;
}
