// Binary contour and domain records: layout, byte-identical round trips, damaged files.
#include "Output/KrContourBin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

/// A memory-backed FILE holding `bytes`, or an empty one for writing.
struct TMemFile {
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* f = nullptr;
    TMemFile() { f = open_memstream(&buf, &size); }
    explicit TMemFile(const std::string& bytes) {
        f = std::tmpfile();
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::rewind(f);
    }
    ~TMemFile() {
        if (f) std::fclose(f);
        std::free(buf);
    }
    std::string Bytes() {
        std::fflush(f);
        return std::string(buf, size);
    }
};

std::string U64(std::uint64_t v) {
    std::string s(8, '\0');
    for (int i = 0; i < 8; ++i)
        s[i] = char(v >> (8 * i));
    return s;
}

const TKrContour kTriangle{vec3d(1, 2, 3), vec3d(-0.5, 1e300, -0.0), vec3d(4, 5, 6)};

} // namespace

TEST(KrContourBin, ContourRecordLayout) {
    TMemFile out;
    ASSERT_TRUE(SaveContourAsBIN(TKrContour{vec3d(1, -2, 0.5)}, out.f));
    const std::string expected = U64(1) + U64(1) + std::string("\0\0\0\0\0\0\xF0\x3F", 8) +
                                 std::string("\0\0\0\0\0\0\0\xC0", 8) +
                                 std::string("\0\0\0\0\0\0\xE0\x3F", 8);
    EXPECT_EQ(out.Bytes(), expected);
}

TEST(KrContourBin, RecordsRoundTripByteForByte) {
    TKrContour big;
    for (int i = 0; i < 5000; ++i) // more than one read chunk
        big.push_back(vec3d(i, -i * 0.25, i * 1e-7));
    const TKrDomain domain{kTriangle, {}, big};

    TMemFile first;
    ASSERT_TRUE(SaveDomainAsBIN(domain, first.f));
    ASSERT_TRUE(SaveContourAsBIN(kTriangle, first.f));
    const std::string bytes = first.Bytes();
    EXPECT_EQ(bytes.size(), 8 + 3 * 16 + (3 + 5000) * 24 + 16 + 3 * 24u);

    TMemFile in(bytes);
    TKrDomain loadedDomain{kTriangle}; // replaced, not appended to
    TKrContour loadedContour{vec3d()};
    ASSERT_TRUE(LoadDomainAsBIN(loadedDomain, in.f));
    ASSERT_TRUE(LoadContourAsBIN(loadedContour, in.f));
    ASSERT_EQ(loadedDomain.size(), 3u);
    EXPECT_EQ(loadedDomain[2].size(), 5000u);
    EXPECT_EQ(loadedContour.size(), 3u);

    TMemFile second;
    ASSERT_TRUE(SaveDomainAsBIN(loadedDomain, second.f));
    ASSERT_TRUE(SaveContourAsBIN(loadedContour, second.f));
    EXPECT_EQ(second.Bytes(), bytes);

    TMemFile empty(U64(0));
    EXPECT_TRUE(LoadDomainAsBIN(loadedDomain, empty.f));
    EXPECT_TRUE(loadedDomain.empty());
}

TEST(KrContourBin, AnyVersionWordIsAccepted) {
    TMemFile in(U64(7) + U64(0));
    TKrContour c{vec3d(1, 1, 1)};
    EXPECT_TRUE(LoadContourAsBIN(c, in.f));
    EXPECT_TRUE(c.empty());
}

TEST(KrContourBin, TruncatedOrLyingFilesFail) {
    TMemFile whole;
    ASSERT_TRUE(SaveDomainAsBIN(TKrDomain{kTriangle, kTriangle}, whole.f));
    const std::string bytes = whole.Bytes();
    for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
        TMemFile in(bytes.substr(0, cut));
        TKrDomain d;
        ASSERT_FALSE(LoadDomainAsBIN(d, in.f)) << cut;
    }
    // Counts far beyond the data fail at the end of the file without allocating for them.
    const std::uint64_t huge = ~std::uint64_t(0);
    TMemFile contour(U64(1) + U64(huge) + std::string(48, '\0'));
    TKrContour c;
    EXPECT_FALSE(LoadContourAsBIN(c, contour.f));
    EXPECT_EQ(c.size(), 2u);
    TMemFile domain(U64(huge) + U64(1) + U64(0));
    TKrDomain d;
    EXPECT_FALSE(LoadDomainAsBIN(d, domain.f));
    EXPECT_EQ(d.size(), 2u);

    EXPECT_FALSE(LoadContourAsBIN(c, nullptr));
    EXPECT_FALSE(SaveDomainAsBIN(TKrDomain{}, nullptr));
}
