// Loading an XIni document into memory (gzip layers undone, root found) and the tag rules of the format.
#include "XIni/KrXIniLoad.h"

#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrStringEncode.h"
#include "Core/KrProgressHandler.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipFormat.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWhole.h"
#include "Streams/KrStreamContent.h"
#include "Streams/KrStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace KrXIniInternal {

namespace {

constexpr std::size_t ReadChunk = std::size_t(16) << 20;

// Stops at the first element tag and remembers what it was.
class TRootFinder : public TKrXmlColl {
public:
    bool AddSTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                 const std::vector<TKrXmlAttrData>&) override {
        return Found(end, nameBegin, nameEnd, false);
    }
    bool AddEmptyElemTag(const char*, const char* end, const char* nameBegin, const char* nameEnd,
                         const std::vector<TKrXmlAttrData>&) override {
        return Found(end, nameBegin, nameEnd, true);
    }
    bool AddETag(const char*, const char*, const char*, const char*) override { return false; }

    const char* tagEnd = nullptr;
    bool isRoot = false;
    bool empty = false;

private:
    bool Found(const char* end, const char* nameBegin, const char* nameEnd, bool isEmpty) {
        tagEnd = end;
        isRoot = nameEnd - nameBegin == 5 && std::memcmp(nameBegin, "krini", 5) == 0;
        empty = isEmpty;
        return false;
    }
};

TKrMessage Wrap(const std::string& infoName, const TKrMessage& inner) {
    if (infoName.empty()) return inner;
    TKrMessage m = KrMsg_helper("Err_Read_name_msg");
    m << infoName << inner;
    return m;
}

void SetPos(TKrProgressHandler* progress, double pos) {
    if (progress) progress->SetPosNB(pos);
}

// Reads the whole of `stream` into a new buffer with one spare byte; progress from..to.
bool ReadWhole(TKrStream* stream, TKrBigBuffer& buffer, std::size_t& length, TKrProgressHandler* progress,
               double from, double to) {
    if (!stream->setPosition64(0)) return false;
    const streamsize_t size = stream->getSize64();
    if (size == TKrStream::invalid_value64 || size >= std::size_t(-1) / 2) return false;
    buffer = TKrBigBuffer(size + 1);
    length = size;
    for (std::size_t done = 0; done < size;) {
        const std::size_t n = std::min<std::size_t>(ReadChunk, size - done);
        if (!stream->ReadAll(buffer.get() + done, n)) return false;
        done += n;
        SetPos(progress, from + (to - from) * double(done) / double(size));
    }
    buffer[size] = '\0';
    return true;
}

// A file stream's content mapped instead of read, so that opening a large document costs only
// what is looked at; false (nothing done) for other streams and when mapping is not possible.
// The mapping goes through a descriptor of its own on the stream's path, checked to be the same
// file of the same size as the stream's.
bool MapWhole(TKrStream* stream, TKrBigBuffer& buffer, std::size_t& length) {
    auto* file = dynamic_cast<TKrFileStream*>(stream);
    if (!file || !file->IsOpen()) return false;
    const streamsize_t size = stream->getSize64();
    if (size == TKrStream::invalid_value64 || size == 0 || size >= std::size_t(-1) / 2) return false;
    const int fd = ::open(file->GetPath().toSysStr().c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool mapped = false;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        std::uint64_t(info.st_size) == std::uint64_t(size)) {
        buffer = TKrBigBuffer::MapFile(fd, std::size_t(size));
        mapped = static_cast<bool>(buffer);
    }
    ::close(fd);
    if (!mapped) return false;
    length = std::size_t(size);
    stream->setPosition64(size); // where reading the whole stream would have left it
    return true;
}

bool StartsWithGZip(const char* data, std::size_t length) {
    const std::size_t n = KrGZipSignatureSize();
    return length >= n && std::memcmp(data, KrGZipSignatureData(), n) == 0;
}

// The content of a stream that keeps it in one piece of memory when it is not compressed;
// false, nothing done, otherwise.
bool ViewWhole(TKrStream* stream, const char*& view, std::size_t& length) {
    const char* content = KrStreamInternal::ContiguousContent(stream);
    const streamsize_t size = stream->getSize64();
    if (!content || size == 0 || size == TKrStream::invalid_value64 || size >= std::size_t(-1) / 2)
        return false;
    if (StartsWithGZip(content, std::size_t(size))) return false;
    view = content;
    length = std::size_t(size);
    stream->setPosition64(size); // where reading the whole stream would have left it
    return true;
}

// Deflate expands at most about 1032 times: a larger size claim is not believed.
std::size_t PlausibleSize(std::size_t packed) {
    return packed > (std::size_t(-1) / 4) / 1032 ? std::size_t(-1) / 4 : packed * 1032 + 4096;
}

std::size_t PhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0 ? std::size_t(pages) * std::size_t(pageSize) : std::size_t(-1);
}

// Decompresses one gzip layer whole, member by member, into a buffer sized from the last
// trailer's size claim and grown when the members turn out larger (several members, or a claim
// that lies low). False, with `buffer` untouched, when the data is damaged in any way or the
// claim does not fit in memory: the streaming reader then goes over it and says what is wrong.
bool InflateWhole(TKrBigBuffer& buffer, std::size_t& length, TKrProgressHandler* progress, double to) {
    if (!KrGZipWholeAvailable()) return false;
    const auto* in = reinterpret_cast<const unsigned char*>(buffer.get());
    const std::size_t claim = KrGZipSizeHint(in, length);
    const std::size_t limit = std::min(PlausibleSize(length), PhysicalMemory() / 2);
    if (claim > limit) return false;
    // Reserving more than the claim costs address space only (pages are touched as they fill),
    // and saves growing when a file of many members claims the size of its last one.
    std::size_t capacity = std::max({claim, std::min(limit, length * 8), std::size_t(4096)});
    try {
        TKrBigBuffer out(capacity + 1);
        TKrGZipWholeCursor cursor;
        for (;;) {
            const TE_KrGZipWhole rc = KrGZipInflateMembers(
                in, length, reinterpret_cast<unsigned char*>(out.get()), capacity, cursor);
            if (rc == TE_KrGZipWhole::Done) break;
            if (rc == TE_KrGZipWhole::Failed || capacity >= limit) return false;
            capacity = std::min(limit, capacity * 2);
            out.Grow(capacity + 1);
        }
        if (buffer.Damaged()) return false; // the mapped file shrank under us
        out[cursor.out] = '\0';
        buffer = std::move(out);
        length = cursor.out;
    } catch (const std::bad_alloc&) {
        return false;
    }
    SetPos(progress, to);
    return true;
}

// Decompresses one gzip layer of [data, data + length) into a new buffer.
TKrMessage Inflate(const std::string& infoName, TKrBigBuffer& buffer, std::size_t& length,
                   TKrProgressHandler* progress, double from, double to) {
    if (InflateWhole(buffer, length, progress, to)) return TKrMessage();
    TKrFixedMemStream packed(buffer.get(), length, infoName);
    TKrGZipReader reader;
    if (!reader.Open(&packed)) return KrMsg_helper("Err_GZip_Format");
    const streamsize_t size = reader.getSize64();
    if (size == TKrStream::invalid_value64) return KrMsg_helper("Err_GZip_Format");
    // The trailer's size is a hint modulo 4 GiB (and may lie); deflate expands at most about
    // 1032 times, so a larger claim is not believed up front. Read until the data really ends.
    const std::size_t plausible = PlausibleSize(length);
    std::size_t capacity = std::max<std::size_t>(std::min<std::size_t>(size, plausible), 4096);
    TKrBigBuffer out(capacity + 1);
    std::size_t produced = 0;
    for (;;) {
        if (produced == capacity) {
            const std::size_t grown = capacity + capacity / 2;
            TKrBigBuffer bigger(grown + 1);
            std::memcpy(bigger.get(), out.get(), produced);
            out = std::move(bigger);
            capacity = grown;
        }
        const std::size_t want = std::min<std::size_t>(ReadChunk, capacity - produced);
        const streamsize_t got = reader.Read(out.get() + produced, want);
        if (got == TKrStream::invalid_value || (reader.getState() & TKrStream::stReadError))
            return KrMsg_helper("Err_GZip_Read");
        produced += got;
        SetPos(progress, from + (to - from) * std::min(1.0, double(produced) /
                                                                double(std::max<streamsize_t>(size, 1))));
        if (got < want) break;
    }
    out[produced] = '\0';
    buffer = std::move(out);
    length = produced;
    return TKrMessage();
}

} // namespace

TKrMessage LoadXIniText(TKrStream* stream, TKrProgressHandler* progress, TKrXIniText& out, bool mayView) {
    out = TKrXIniText();
    if (!stream) return KrMsg_helper("Err_ReadStream");
    out.infoName = stream->GetInfoName();
    if (!mayView || !ViewWhole(stream, out.view, out.length)) {
        if (MapWhole(stream, out.buffer, out.length)) {
            SetPos(progress, 0.5);
        } else if (!ReadWhole(stream, out.buffer, out.length, progress, 0.0, 0.5)) {
            out.buffer.reset();
            out.length = 0;
            if (out.infoName.empty()) return KrMsg_helper("Err_ReadStream");
            return KrMsg_helper("Err_Read_name") << out.infoName;
        }
        double start = 0.5;
        while (StartsWithGZip(out.buffer.get(), out.length)) {
            const double next = (start + 0.95) / 2;
            TKrMessage failure = Inflate(out.infoName, out.buffer, out.length, progress, start, next);
            if (!failure.empty()) return Wrap(out.infoName, failure);
            start = next;
        }
    }
    TRootFinder finder;
    TKrXmlParserLow parser;
    parser.ReadXml(out.Data(), out.length, nullptr, nullptr, &finder);
    if (out.buffer.Damaged()) // the mapped file was cut short by someone while we looked
        return Wrap(out.infoName, KrMsg_helper("Err_ReadStream"));
    if (!finder.isRoot) return Wrap(out.infoName, KrMsg_helper("Err_XIni_Format"));
    out.body = finder.empty ? nullptr : finder.tagEnd;
    SetPos(progress, 1.0);
    return TKrMessage();
}

void ReportXIniError(const TKrMessage& message, unsigned mode) {
    if (mode == 2) throw message;
    if (mode == 1) KrLogWriteError(std::string("KrXIni"), message.std_str());
}

bool CheckItemTag(const char* nameBegin, const char* nameEnd, const std::vector<TKrXmlAttrData>& attrs,
                  TKrXIniTagParts& out) noexcept {
    if (nameEnd - nameBegin != 1) return false;
    out = TKrXIniTagParts();
    out.type = KrXIniItemTypeFromLetter(*nameBegin);
    if (out.type == TE_KrXIniItemType::Invalid) return false;
    for (const TKrXmlAttrData& a : attrs) {
        if (a.nameEnd - a.nameBegin != 1) return false;
        if (*a.nameBegin == 'n') {
            if (out.nameBegin) return false;
            out.nameBegin = a.valueBegin;
            out.nameEnd = a.valueEnd;
        } else if (*a.nameBegin == 'v') {
            if (out.valueBegin || out.type == TE_KrXIniItemType::Section ||
                out.type == TE_KrXIniItemType::Binary)
                return false;
            out.valueBegin = a.valueBegin;
            out.valueEnd = a.valueEnd;
        } else {
            return false;
        }
    }
    const bool needsValue = out.type == TE_KrXIniItemType::Integer || out.type == TE_KrXIniItemType::Double ||
                            out.type == TE_KrXIniItemType::String;
    return !needsValue || out.valueBegin != nullptr;
}

char* KeepBase64(const char* begin, const char* end, char* out) noexcept {
    for (const char* p = begin; p < end; ++p)
        if (IsBase64Char(*p) || *p == '=') *out++ = *p;
    return out;
}

} // namespace KrXIniInternal
