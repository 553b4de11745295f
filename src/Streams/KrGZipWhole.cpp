// Whole-member gzip decompression of data held in memory, for loaders that want all of it.
#include "Streams/KrGZipWhole.h"
#include "Streams/KrGZipFormatInternal.h"
#include "Utils/KrCrc32.h"

#include <cstring>
#include <initializer_list>

#ifdef KRSTD_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif

using namespace KrGZipFormat;

namespace {

#ifdef KRSTD_HAVE_LIBDEFLATE
/// Skips a member header at p; the first compressed byte, or null when the header is not valid
/// or does not end before `end`. Accepts what TKrGZipReader accepts.
const unsigned char* SkipHeader(const unsigned char* p, const unsigned char* end) noexcept {
    if (end - p < std::ptrdiff_t(kFixedHeaderSize)) return nullptr;
    if (p[0] != kId1 || p[1] != kId2 || p[2] != kMethodDeflate || p[3] > kFlagsKnown) return nullptr;
    const unsigned flags = p[3];
    p += kFixedHeaderSize;
    if (flags & kFlagExtra) {
        if (end - p < 2) return nullptr;
        const std::size_t length = p[0] | std::size_t(p[1]) << 8;
        p += 2;
        if (std::size_t(end - p) < length) return nullptr;
        p += length;
    }
    for (unsigned field : {kFlagName, kFlagComment}) {
        if (!(flags & field)) continue;
        const void* zero = std::memchr(p, 0, std::size_t(end - p));
        if (!zero) return nullptr;
        p = static_cast<const unsigned char*>(zero) + 1;
    }
    if (flags & kFlagHeaderCrc) {
        if (end - p < 2) return nullptr;
        p += 2;
    }
    return p;
}

struct TInflater {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    ~TInflater() { libdeflate_free_decompressor(d); }
};
#endif

} // namespace

bool KrGZipWholeAvailable() noexcept {
#ifdef KRSTD_HAVE_LIBDEFLATE
    return true;
#else
    return false;
#endif
}

std::uint32_t KrGZipSizeHint(const unsigned char* data, std::size_t length) noexcept {
    return length < 4 ? 0 : GetLE32(data + length - 4);
}

TE_KrGZipWhole KrGZipInflateMembers(const unsigned char* in, std::size_t inLength, unsigned char* out,
                                    std::size_t outCapacity, TKrGZipWholeCursor& cursor) {
#ifdef KRSTD_HAVE_LIBDEFLATE
    // Gzip data holds at least one member: nothing at all is not an empty stream.
    if (cursor.in > inLength || cursor.out > outCapacity || inLength == 0) return TE_KrGZipWhole::Failed;
    TInflater inflater;
    if (!inflater.d) return TE_KrGZipWhole::Failed;
    const unsigned char* end = in + inLength;
    while (cursor.in < inLength) {
        const unsigned char* data = SkipHeader(in + cursor.in, end);
        if (!data) return TE_KrGZipWhole::Failed;
        std::size_t used = 0, produced = 0;
        const libdeflate_result rc =
            libdeflate_deflate_decompress_ex(inflater.d, data, std::size_t(end - data), out + cursor.out,
                                             outCapacity - cursor.out, &used, &produced);
        if (rc == LIBDEFLATE_INSUFFICIENT_SPACE) return TE_KrGZipWhole::NoRoom;
        if (rc != LIBDEFLATE_SUCCESS || std::size_t(end - data) - used < kTrailerSize)
            return TE_KrGZipWhole::Failed;
        const unsigned char* trailer = data + used;
        if (GetLE32(trailer) != KrCrc32(0, out + cursor.out, produced)) return TE_KrGZipWhole::Failed;
        // The member's own size field is not checked, as the streaming reader does not.
        cursor.in = std::size_t(trailer + kTrailerSize - in);
        cursor.out += produced;
    }
    return TE_KrGZipWhole::Done;
#else
    (void)in;
    (void)inLength;
    (void)out;
    (void)outCapacity;
    (void)cursor;
    return TE_KrGZipWhole::Failed;
#endif
}
