// Binary contour and domain records: fixed little-endian layout, read in bounded chunks.
#include "Output/KrContourBin.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

constexpr std::uint64_t kContourVersion = 1;
constexpr std::size_t kVertexBytes = 24;
// Vertices read per fread: bounds the memory a lying count can claim before the data runs out.
constexpr std::size_t kChunkVertices = 1024;

void PutU64(unsigned char* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<unsigned char>(v >> (8 * i));
}
std::uint64_t GetU64(const unsigned char* p) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}
void PutDouble(unsigned char* p, double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, 8);
    PutU64(p, bits);
}
double GetDouble(const unsigned char* p) {
    const std::uint64_t bits = GetU64(p);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

bool WriteU64(std::uint64_t v, std::FILE* file) {
    unsigned char b[8];
    PutU64(b, v);
    return std::fwrite(b, 8, 1, file) == 1;
}
bool ReadU64(std::uint64_t& v, std::FILE* file) {
    unsigned char b[8];
    if (std::fread(b, 8, 1, file) != 1) return false;
    v = GetU64(b);
    return true;
}

} // namespace

bool SaveContourAsBIN(const TKrContour& contour, std::FILE* file) {
    if (!file || !WriteU64(kContourVersion, file) || !WriteU64(contour.size(), file)) return false;
    unsigned char buf[kChunkVertices * kVertexBytes];
    for (std::size_t done = 0; done < contour.size();) {
        const std::size_t k = std::min(kChunkVertices, contour.size() - done);
        for (std::size_t i = 0; i < k; ++i) {
            const vec3d& p = contour[done + i];
            PutDouble(buf + i * kVertexBytes, p.x);
            PutDouble(buf + i * kVertexBytes + 8, p.y);
            PutDouble(buf + i * kVertexBytes + 16, p.z);
        }
        if (std::fwrite(buf, kVertexBytes, k, file) != k) return false;
        done += k;
    }
    return true;
}

bool LoadContourAsBIN(TKrContour& contour, std::FILE* file) {
    std::uint64_t version, n;
    if (!file || !ReadU64(version, file)) return false;
    contour.clear();
    if (!ReadU64(n, file)) return false;
    unsigned char buf[kChunkVertices * kVertexBytes];
    for (std::uint64_t done = 0; done < n;) {
        const std::size_t k = static_cast<std::size_t>(std::min<std::uint64_t>(kChunkVertices, n - done));
        const std::size_t got = std::fread(buf, kVertexBytes, k, file);
        for (std::size_t i = 0; i < got; ++i) {
            const unsigned char* p = buf + i * kVertexBytes;
            contour.emplace_back(GetDouble(p), GetDouble(p + 8), GetDouble(p + 16));
        }
        if (got != k) return false;
        done += k;
    }
    return true;
}

bool SaveDomainAsBIN(const TKrDomain& domain, std::FILE* file) {
    if (!file || !WriteU64(domain.size(), file)) return false;
    for (const TKrContour& c : domain)
        if (!SaveContourAsBIN(c, file)) return false;
    return true;
}

bool LoadDomainAsBIN(TKrDomain& domain, std::FILE* file) {
    std::uint64_t n;
    if (!file || !ReadU64(n, file)) return false;
    // Grown contour by contour rather than resized to the count: every contour record takes at
    // least 16 bytes, so a count the file cannot hold ends at the file's end.
    domain.clear();
    for (std::uint64_t i = 0; i < n; ++i) {
        domain.emplace_back();
        if (!LoadContourAsBIN(domain.back(), file)) return false;
    }
    return true;
}
