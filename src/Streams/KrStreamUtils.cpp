// Free functions over streams.
#include "Streams/KrStreamUtils.h"
#include "Core/KrExceptions.h"
#include "Core/KrProgressHandler.h"
#include "Core/KrVarA.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrStreamContent.h"
#include "Streams/KrStringStream.h"
#include "Utils/KrCrc32.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <typeinfo>
#include <vector>

void CloseE(TKrStream* stream) {
    if (!stream->Close()) throw KrMsg_helper("Err_Write_name") << stream->GetInfoName();
}

void FlushE(TKrStream* stream) {
    if (!stream->Flush()) throw KrMsg_helper("Err_Write_name") << stream->GetInfoName();
}

void ReadStreamE(TKrStream* stream, void* buf, streamsize_t n, const char* name) {
    if (stream->Read(buf, n) != n) throw KrMsg_helper("Err_Read_name") << name;
}

bool WriteString(TKrStream* stream, const std::string& s) {
    return stream->Write(s.data(), s.size()) == s.size();
}

bool WriteString(TKrStream* stream, const char* s) {
    const streamsize_t n = s ? std::strlen(s) : 0;
    return stream->Write(s ? s : "", n) == n;
}

void WriteStringE(TKrStream* stream, const std::string& s) {
    if (!WriteString(stream, s)) throw KrMsg_helper("Err_WriteStream");
}

void WriteStringE(TKrStream* stream, const char* s) {
    if (!WriteString(stream, s)) throw KrMsg_helper("Err_WriteStream");
}

namespace {
void StartProgress(TKrProgressHandler* progress) {
    if (!progress) return;
    if (!progress->IsStarted()) progress->Start();
    progress->SetPosNB(0);
}

void ReportProgress(TKrProgressHandler* progress, streamsize_t done, streamsize_t total) {
    if (!progress || !progress->IsStarted()) return;
    progress->SetPosNB(static_cast<double>(done) / static_cast<double>(total));
    progress->Tick();
}

} // namespace

const char* KrStreamInternal::ContiguousContent(TKrStream* s) {
    if (typeid(*s) == typeid(TKrMemoryStream)) return static_cast<TKrMemoryStream*>(s)->GetBuffer();
    if (typeid(*s) == typeid(TKrStringStream)) return static_cast<TKrStringStream*>(s)->str().data();
    if (typeid(*s) == typeid(TKrFixedMemStream))
        return static_cast<TKrFixedMemStream*>(s)->GetReadableBuffer();
    return nullptr;
}

bool KrCopyStream(TKrStream* src, TKrStream* dst, TKrProgressHandler* progress) {
    const streamsize_t size = src->getSize64(), start = src->getPosition64();
    if (start >= size) return true;
    const streamsize_t total = size - start;
    const streamsize_t bufSize = std::min<streamsize_t>(total, 0x100000);
    if (const char* content = KrStreamInternal::ContiguousContent(src)) {
        StartProgress(progress);
        for (streamsize_t done = 0; done < total;) {
            const streamsize_t chunk = std::min(total - done, bufSize);
            const streamsize_t put = dst->Write(content + start + done, chunk);
            if (put == TKrStream::invalid_value || put != chunk) return false;
            done += chunk;
            src->setPosition64(start + done);
            ReportProgress(progress, done, total);
        }
        return true;
    }
    var_a<char*> buffer = newarray_a(new char[bufSize]);
    StartProgress(progress);
    for (streamsize_t done = 0; done < total;) {
        const streamsize_t chunk = std::min(total - done, bufSize);
        const streamsize_t got = src->Read(buffer.get(), chunk);
        if (got == TKrStream::invalid_value) return false;
        const streamsize_t put = dst->Write(buffer.get(), got);
        if (put == TKrStream::invalid_value || put != chunk) return false;
        done += chunk;
        ReportProgress(progress, done, total);
    }
    return true;
}

void KrCopyStreamE(TKrStream* src, TKrStream* dst, TKrProgressHandler* progress) {
    const streamsize_t size = src->getSize64(), start = src->getPosition64();
    if (start >= size) return;
    const streamsize_t total = size - start;
    const streamsize_t bufSize = std::min<streamsize_t>(total, 0x800000);
    var_a<char*> buffer = newarray_a(new char[bufSize]());
    StartProgress(progress);
    for (streamsize_t done = 0; done < total;) {
        const streamsize_t chunk = std::min(total - done, bufSize);
        src->ReadAllE(buffer.get(), chunk);
        dst->WriteAllE(buffer.get(), chunk);
        done += chunk;
        ReportProgress(progress, done, total);
    }
}

void KrCmpStream(TKrStream* a, TKrStream* b, bool fromStart) {
    const streamsize_t posA = a->getPosition64(), posB = b->getPosition64();
    if (posA != posB) throw TKrMessage("Difference Pos %1% %2%") << posA << posB;
    const streamsize_t sizeA = a->getSize64(), sizeB = b->getSize64();
    if (sizeA != sizeB) throw TKrMessage("Difference Size %1% %2%") << sizeA << sizeB;
    if (fromStart) {
        a->setPosition64E(0);
        b->setPosition64E(0);
    }
    constexpr streamsize_t kChunk = 0x10000;
    std::vector<char> bufA(kChunk), bufB(kChunk);
    for (streamsize_t pos = a->getPosition64(); pos < sizeA;) {
        const streamsize_t chunk = std::min(kChunk, sizeA - pos);
        if (!a->ReadAll(bufA.data(), chunk) || !b->ReadAll(bufB.data(), chunk) ||
            std::memcmp(bufA.data(), bufB.data(), chunk) != 0)
            throw TKrMessage("Difference Data");
        pos += chunk;
    }
}

std::uint32_t ComputePartialCRC(TKrStream* stream) {
    constexpr streamsize_t kBuffer = 0x100000, kSample = 0x10000;
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kBuffer]());
    const streamsize_t size = stream->getSize64();
    if (size <= 0xFFFFFFFFul && size <= kBuffer) {
        const streamsize_t got = stream->Read(buffer.get(), size);
        const streamsize_t n = got == TKrStream::invalid_value ? 0 : got;
        return KrCrc32(0, buffer.get(), n);
    }
    const streamsize_t step = (size - kSample) >> 4;
    for (streamsize_t k = 0; k < 16; ++k) {
        stream->setPosition64(k * step);
        stream->Read(buffer.get() + k * kSample, kSample);
    }
    return KrCrc32(0, buffer.get(), kBuffer);
}
