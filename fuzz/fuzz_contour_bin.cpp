// Loading contour and domain records from any bytes never crashes; a record that loads is written
// again byte for byte as it was read (the version word aside, which is always written as 1).
#include "Output/KrContourBin.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
// The input as a read-only FILE; fmemopen reads straight from the fuzzer's buffer.
std::FILE* Open(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t empty = 0;
    return fmemopen(const_cast<std::uint8_t*>(size ? data : &empty), size ? size : 1, "rb");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The first byte picks the record kind; the rest is the record.
    const bool domainRecord = data[0] & 1;
    ++data, --size;
    std::FILE* in = Open(data, size);
    if (!in) return 0;
    TKrDomain domain;
    TKrContour contour;
    const bool loaded = domainRecord ? LoadDomainAsBIN(domain, in) : LoadContourAsBIN(contour, in);
    const long used = std::ftell(in);
    std::fclose(in);
    if (!loaded) return 0;

    char* buf = nullptr;
    std::size_t len = 0;
    std::FILE* out = open_memstream(&buf, &len);
    if (!out) return 0;
    const bool saved = domainRecord ? SaveDomainAsBIN(domain, out) : SaveContourAsBIN(contour, out);
    std::fclose(out);
    if (!saved || len != static_cast<std::size_t>(used)) std::abort();
    // Compare everything but the version words (8 bytes at the start of each contour record).
    std::size_t pos = domainRecord ? 8 : 0;
    const std::size_t contours = domainRecord ? domain.size() : 1;
    bool same = !domainRecord || std::memcmp(buf, data, 8) == 0;
    for (std::size_t i = 0; same && i < contours; ++i) {
        const std::size_t n = domainRecord ? domain[i].size() : contour.size();
        const std::size_t bytes = 8 + 24 * n;
        same = std::memcmp(buf + pos + 8, data + pos + 8, bytes) == 0;
        pos += 8 + bytes;
    }
    std::free(buf);
    if (!same) std::abort();
    return 0;
}
