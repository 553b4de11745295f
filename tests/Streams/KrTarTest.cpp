// Tar writer and reader: exact layout, GNU tar and bsdtar as referees both ways, tarballs,
// a split file of 8 GiB on sparse files, and damaged archives.
#include "Core/KrBaseProgress.h"
#include "KrThrownText.h"
#include "Streams/KrCrc32Stream.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemTarBall.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrStringStream.h"
#include "Streams/KrTarBall.h"
#include "System/KrFsTestUtils.h"
#include "Utils/KrCrc32.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <stdexcept>
#include <vector>

using namespace KrFsTest;

namespace {
const TKrTarWriter::TFormatOptions kWriteFmt;
const TKrTarReader::TFormatOptions kReadFmt;
const TKrDateTime kTime = TKrDateTime::FromUnixTime(1700000000);

struct TEntry {
    std::string name, data;
};

std::string Name(std::size_t length, char fill = 'n') {
    std::string s;
    for (std::size_t i = 0; s.size() < length; ++i)
        s += (i % 40 == 39) ? '/' : fill; // folders on the way, as real long paths have
    if (s.back() == '/') s.back() = 'z';
    return s;
}

std::string WriteTar(const std::vector<TEntry>& entries) {
    TKrStringStream out;
    TKrTarWriter writer(&out, kWriteFmt, 0);
    for (const TEntry& e : entries)
        EXPECT_TRUE(writer.WriteFile({e.name, e.data.size(), kTime}, e.data.data(), nullptr)) << e.name;
    EXPECT_TRUE(writer.Close());
    return out.str();
}

/// Every entry through the memory form, in order.
std::vector<TEntry> ReadAll(TKrTarReader& reader) {
    std::vector<TEntry> out;
    TTarFileRecord r;
    var_a<char*> data;
    while (reader.ReadFile(&r, &data))
        out.push_back({r.name, std::string(data.get(), r.size)});
    return out;
}

std::vector<TEntry> ReadTar(const std::string& bytes) {
    TKrFixedMemStream in(bytes.data(), bytes.size());
    TKrTarReader reader(&in, kReadFmt);
    return ReadAll(reader);
}

bool operator==(const TEntry& a, const TEntry& b) {
    return a.name == b.name && a.data == b.data;
}

/// Records every position; "cancels" by throwing once it has seen `breakAfter` of them.
struct TRecordingProgress : TBaseProgress {
    std::vector<double> positions;
    std::size_t breakAfter = ~std::size_t(0);
    void SetPosNB(double p) override {
        positions.push_back(p);
        TBaseProgress::SetPosNB(p);
    }
    void UserBreakE() override {
        if (positions.size() >= breakAfter) throw TKrMessage("@cancelled");
    }
    bool RisesToOne() const {
        return !positions.empty() && positions.back() > 1 - 1e-9 &&
               std::is_sorted(positions.begin(), positions.end());
    }
};

/// Names of 1 to 511 bytes, a directory, an empty file and sizes around the record size.
std::vector<TEntry> Sample() {
    return {{"a.txt", "hello\n"},
            {"dir/", ""},
            {"dir/empty", ""},
            {Name(99), RandomBytes(511, 1)},
            {Name(100), RandomBytes(512, 2)},
            {Name(101, 'm') + "/", ""},
            {Name(300), RandomBytes(513, 3)},
            {Name(511), RandomBytes(100000, 4)}};
}

/// The checksum field a header must carry: "%06o " and a zero byte over the other 504 bytes.
std::string SumField(const char* h) {
    unsigned sum = 256;
    for (int i = 0; i < 512; ++i)
        sum += (i >= 148 && i < 156) ? 0 : static_cast<unsigned char>(h[i]);
    char field[9];
    std::snprintf(field, sizeof field, "%06o ", sum);
    return std::string(field, 8);
}

/// Checks that `folder` holds the entries with their bytes (and the sample time for files).
void ExpectExtracted(const std::string& folder, const std::vector<TEntry>& entries) {
    for (const TEntry& e : entries) {
        struct stat st {};
        ASSERT_EQ(::stat((folder + "/" + e.name).c_str(), &st), 0) << e.name;
        if (e.name.back() == '/') continue;
        EXPECT_EQ(ReadFile(folder + "/" + e.name), e.data) << e.name;
        EXPECT_EQ(st.st_mtime, 1700000000) << e.name;
    }
}

/// Checks that the entries read hold every one expected; others may only be folders.
void ExpectEntries(const std::vector<TEntry>& read, const std::vector<TEntry>& expected) {
    std::map<std::string, std::string> got;
    for (const TEntry& e : read)
        got[e.name] = e.data;
    for (const TEntry& e : expected) {
        ASSERT_EQ(got.count(e.name), 1u) << e.name;
        EXPECT_EQ(got[e.name], e.data) << e.name;
        got.erase(e.name);
    }
    for (const auto& extra : got) // the folders on the way of long paths
        EXPECT_EQ(extra.first.back(), '/') << extra.first;
}

/// Creates the sample as files under `root` with the sample time.
void WriteTree(const TScratchDir& dir, const std::vector<TEntry>& entries) {
    for (const TEntry& e : entries) {
        if (e.name.back() == '/')
            std::filesystem::create_directories(dir / e.name);
        else
            dir.Write(e.name, e.data);
    }
}
} // namespace

TEST(TarWriter, RecordLayoutIsExact) {
    const std::string one = WriteTar({{"f", std::string(513, 'x')}});
    ASSERT_EQ(one.size(), 512u + 1024 + 1024);
    const char* h = one.data();
    EXPECT_STREQ(h, "f");
    auto z = [](const char* text) { return std::string(text) + '\0'; };
    EXPECT_EQ(std::string(h + 100, 24), z("000777 ") + z("000000 ") + z("000000 "));
    EXPECT_EQ(std::string(h + 124, 12), z("00000001001"));
    EXPECT_EQ(std::string(h + 136, 12), z("14524770400")); // 1700000000
    EXPECT_EQ(h[156], '0');
    EXPECT_EQ(std::string(h + 148, 8), SumField(h));
    EXPECT_EQ(std::count(h + 157, h + 512, '\0'), 355);
    EXPECT_EQ(one.substr(512 + 513), std::string(511 + 1024, '\0')); // padding, end marker

    const std::string empty = WriteTar({{"e", ""}, {"d/", ""}});
    ASSERT_EQ(empty.size(), 512u * 2 + 1024);
    EXPECT_EQ(empty[512 + 156], '5');

    const std::string longName = Name(100);
    const std::string ln = WriteTar({{longName, "y"}});
    ASSERT_EQ(ln.size(), 512u * 4 + 1024);
    EXPECT_STREQ(ln.data(), "././@LongLink");
    EXPECT_EQ(ln[156], 'L');
    EXPECT_EQ(std::string(ln.data() + 124, 11), "00000000145"); // 101
    EXPECT_EQ(std::string(ln.data() + 512), longName);
    EXPECT_EQ(std::string(ln.data() + 1024, 100), longName.substr(0, 99) + '\0');
}

TEST(TarWriter, RefusesWhatItCannotStore) {
    TKrStringStream out;
    TKrTarWriter writer(&out, kWriteFmt, 0);
    EXPECT_FALSE(writer.WriteFile({"", 0, kTime}, "", nullptr));
    EXPECT_NE(krtest::ThrownText([&] {
                  writer.WriteFile({Name(512), 0, kTime}, "", nullptr);
              }).find("File name is too long: 512 bytes of 511 max"),
              std::string::npos);
    TKrTarWriter::TFormatOptions bad;
    bad.filename_encoding = 2;
    TKrTarWriter badWriter(&out, bad, 0);
    EXPECT_THROW(badWriter.WriteFile({"x", 0, kTime}, "", nullptr), std::logic_error);
    TKrTarReader::TFormatOptions badRead;
    badRead.filename_encoding = 7;
    const std::string tar = WriteTar({{"x", "1"}});
    TKrFixedMemStream in(tar.data(), tar.size());
    TKrTarReader reader(&in, badRead);
    EXPECT_THROW(reader.ReadFile(static_cast<TTarFileRecord*>(nullptr), nullptr), std::logic_error);
}

TEST(TarWriter, SourcesAgreeFailuresLeaveNoEndMarkerProgressRuns) {
    const std::string data = RandomBytes(3 << 20, 9);
    TKrStringStream viaString(data);
    TKrMemoryStream viaMemory;
    viaMemory.WriteAllE(data.data(), data.size());
    viaMemory.setPosition(0);
    std::string results[2];
    int i = 0;
    for (TKrStream* source : {static_cast<TKrStream*>(&viaString), static_cast<TKrStream*>(&viaMemory)}) {
        TKrStringStream out;
        TKrTarWriter writer(&out, kWriteFmt, 0);
        EXPECT_TRUE(writer.WriteFile({"f", data.size(), kTime}, source, nullptr));
        EXPECT_EQ(source->getPosition64(), data.size());
        EXPECT_TRUE(writer.Close());
        results[i++] = out.str();
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0], WriteTar({{"f", data}}));
    // A short source or a full target fails the entry; Close then writes no end marker.
    TKrStringStream shortSource("abc");
    char buf[1536];
    TKrFixedMemStream small(buf, sizeof buf, krOpenWrite);
    TKrTarWriter writer(&small, kWriteFmt, 0);
    EXPECT_FALSE(writer.WriteFile({"f", 4, kTime}, &shortSource, nullptr));
    EXPECT_FALSE(writer.WriteFile({"b", 2000, kTime}, data.data(), nullptr));
    const streamsize_t end = small.getPosition64();
    EXPECT_TRUE(writer.Close());
    EXPECT_EQ(small.getPosition64(), end);

    // Copying through the buffer reports every block; cancelling leaves the archive unfinished.
    TRecordingProgress progress;
    viaString.setPosition(0);
    TKrStringStream out2;
    TKrTarWriter writer2(&out2, kWriteFmt, 0);
    EXPECT_TRUE(writer2.WriteFile({"f", data.size(), kTime}, &viaString, &progress));
    EXPECT_EQ(progress.positions.size(), 12u);
    EXPECT_TRUE(progress.RisesToOne());
    TRecordingProgress cancel;
    cancel.breakAfter = 2;
    viaString.setPosition(0);
    EXPECT_THROW(writer2.WriteFile({"g", data.size(), kTime}, &viaString, &cancel), TKrMessage);
    const streamsize_t at = out2.getPosition64();
    EXPECT_TRUE(writer2.Close());
    EXPECT_EQ(out2.getPosition64(), at);
}

TEST(TarReader, ReadsOwnArchivesBothWays) {
    const auto sample = Sample();
    const std::string tar = WriteTar(sample);
    EXPECT_EQ(ReadTar(tar), sample);
    // The callback form reads a part of each entry only; the next entry must still be found.
    TKrFixedMemStream in(tar.data(), tar.size());
    TKrTarReader reader(&in, kReadFmt);
    std::vector<std::string> seen;
    auto callback = [](const TTarFileRecord& r, TKrStream* data, void* user) {
        char first[7] = {};
        const streamsize_t got = data->Read(first, 6);
        static_cast<std::vector<std::string>*>(user)->push_back(r.name + ":" + std::string(first, got));
        EXPECT_EQ(r.time.ToUnixTime(), 1700000000);
        EXPECT_EQ(data->getSize64(), r.size);
    };
    while (reader.ReadFile(callback, &seen)) {
    }
    ASSERT_EQ(seen.size(), sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i)
        EXPECT_EQ(seen[i], sample[i].name + ":" + sample[i].data.substr(0, 6));
}

TEST(TarReader, GnuTarAndBsdtarReadOurArchives) {
    TScratchDir dir;
    const auto sample = Sample();
    dir.Write("our.tar", WriteTar(sample));
    for (const char* tool : {"tar", "bsdtar"}) {
        if (std::string(tool) == "bsdtar" && std::system("command -v bsdtar >/dev/null") != 0) continue;
        SCOPED_TRACE(tool);
        int status = -1;
        const std::string listing = RunShell(dir.path, std::string(tool) + " -tf our.tar", &status);
        EXPECT_EQ(status, 0);
        std::string expected;
        for (const TEntry& e : sample)
            expected += e.name + "\n";
        EXPECT_EQ(listing, expected);
        std::filesystem::create_directory(dir / "x");
        RunShell(dir / "x", std::string(tool) + " -xf ../our.tar", &status);
        EXPECT_EQ(status, 0);
        ExpectExtracted(dir / "x", sample);
        std::filesystem::remove_all(dir / "x");
    }
    int status = -1;
    const std::string verbose = RunShell(dir.path, "TZ=UTC tar -tvf our.tar | head -n 1", &status);
    EXPECT_NE(verbose.find("6 2023-11-14 22:13 a.txt"), std::string::npos) << verbose;
}

TEST(TarReader, ReadsArchivesOfGnuTarAndBsdtar) {
    TScratchDir dir;
    // ustar holds 255 bytes through its prefix field; gnu and pax take any length.
    const std::vector<TEntry> tree = {{"t/", ""},
                                      {"t/empty", ""},
                                      {"t/sub/", ""},
                                      {"t/sub/data.bin", RandomBytes(70000, 5)},
                                      {"t/" + Name(150, 'p') + "/", ""},
                                      {"t/" + Name(150, 'p') + "/" + Name(90, 'q'), "deep\n"}};
    WriteTree(dir, tree);
    struct TCase {
        const char* command;
        bool available;
    };
    const bool bsd = std::system("command -v bsdtar >/dev/null") == 0;
    for (const TCase& c :
         {TCase{"tar --format=gnu -cf a.tar t", true}, TCase{"tar --format=ustar -cf a.tar t", true},
          TCase{"tar --format=pax -cf a.tar t", true}, TCase{"bsdtar -cf a.tar t", bsd}}) {
        if (!c.available) continue;
        SCOPED_TRACE(c.command);
        int status = -1;
        RunShell(dir.path, std::string(c.command) + " 2>&1", &status);
        ASSERT_EQ(status, 0);
        ExpectEntries(ReadTar(ReadFile(dir / "a.tar")), tree);
    }
}

TEST(TarBall, RoundTripsWithGnuTar) {
    TScratchDir dir;
    const auto sample = Sample();
    {
        TKrFileStream file(dir / "our.tar.gz", krCreate);
        TKrTarBallWriter ball(&file, kWriteFmt, 6);
        for (const TEntry& e : sample)
            ASSERT_TRUE(ball.WriteFile({e.name, e.data.size(), kTime}, e.data.data(), nullptr));
        ASSERT_TRUE(ball.Close());
    }
    int status = -1;
    std::filesystem::create_directory(dir / "x");
    RunShell(dir / "x", "tar -xzf ../our.tar.gz", &status);
    EXPECT_EQ(status, 0);
    ExpectExtracted(dir / "x", sample);

    RunShell(dir / "x", "tar -czf ../their.tar.gz *", &status);
    ASSERT_EQ(status, 0);
    TKrFileStream theirs(dir / "their.tar.gz", krOpenRead);
    TKrTarBallReader reader(&theirs, kReadFmt);
    const std::vector<TEntry> theirEntries = ReadAll(reader);
    ExpectEntries(theirEntries, sample);

    // GNU tar's tarball in memory, and one with a repeated name: the later entry wins.
    TKrFileStream theirsAgain(dir / "their.tar.gz", krOpenRead);
    TKrMemTarBall mem(&theirsAgain);
    EXPECT_EQ(mem.GetCount(), theirEntries.size());
    const TKrMemTarBall::TFile* big = mem.GetFile(Name(511));
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(std::string(big->first.get(), big->second), sample.back().data);
    {
        TKrFileStream file(dir / "dup.tar.gz", krCreate);
        TKrTarBallWriter ball(&file, kWriteFmt, 1);
        ASSERT_TRUE(ball.WriteFile({"a.txt", 5, kTime}, "first", nullptr));
        ASSERT_TRUE(ball.WriteFile({"a.txt", 6, kTime}, "second", nullptr));
    } // the destructor finishes the tarball
    TKrFileStream dup(dir / "dup.tar.gz", krOpenRead);
    mem.Load(&dup);
    EXPECT_EQ(mem.GetCount(), 1u);
    const TKrMemTarBall::TFile* a = mem.GetFile("a.txt");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(std::string(a->first.get(), a->second), "second");
    EXPECT_EQ(mem.GetFile("missing"), nullptr);
    TKrStringStream notGzip("plain");
    EXPECT_THROW(mem.Load(&notGzip), TKrMessage);
}

namespace {
/// A file stream that turns written runs of zeros into holes, and reads holes as zeros without
/// asking the kernel for them: an archive of 8 GiB of zeros then costs neither disk space nor
/// the time of copying 8 GiB of zeros out of the kernel.
class TSparseFile : public TKrFileStream {
public:
    TSparseFile(const std::string& path, krOpenMode mode)
        : TKrFileStream(path, mode), m_fd(::open(path.c_str(), O_RDONLY)) {}
    ~TSparseFile() override { ::close(m_fd); }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        const char* p = static_cast<const char*>(buf);
        if (n >= 512 && p[0] == 0 && std::memcmp(p, p + 1, n - 1) == 0) {
            if (!setPosition64(getPosition64() + n)) return invalid_value;
            m_end = std::max<streamsize_t>(m_end, getPosition64());
            return n;
        }
        const streamsize_t put = TKrFileStream::Write(buf, n);
        m_end = std::max<streamsize_t>(m_end, getPosition64());
        return put;
    }
    streamsize_t Read(void* buf, streamsize_t n) override {
        const off_t pos = static_cast<off_t>(getPosition64());
        const off_t data = ::lseek(m_fd, pos, SEEK_DATA);
        if (data == pos) {
            const off_t hole = ::lseek(m_fd, pos, SEEK_HOLE);
            return TKrFileStream::Read(buf, std::min<streamsize_t>(n, static_cast<streamsize_t>(hole - pos)));
        }
        const streamsize_t end = data < 0 ? getSize64() : static_cast<streamsize_t>(data);
        const streamsize_t k = std::min<streamsize_t>(n, end - static_cast<streamsize_t>(pos));
        std::memset(buf, 0, k);
        setPosition64(pos + k);
        return k;
    }
    bool Finish() { return setSize64(m_end); }

private:
    int m_fd;
    streamsize_t m_end = 0;
};

} // namespace

TEST(TarWriter, FilesOf8GiBAreSplitAndReadBack) {
    TScratchDir dir;
    constexpr streamsize_t kSize = (streamsize_t(1) << 33) + 1000;
    {
        // Holes but at the start, across the first part boundary and at the end.
        TKrFileStream big(dir / "big.bin", krCreate);
        ASSERT_TRUE(big.setSize64(kSize));
        for (streamsize_t at : {streamsize_t(0), (streamsize_t(1) << 32) - 3, kSize - 6}) {
            big.setPosition64(at);
            big.WriteAllE("marker", 6);
        }
    }
    TLogCapture log;
    unsigned long writtenCrc = 0;
    {
        TKrCrc32Stream summed(new_a<TSparseFile>(dir / "big.bin", krOpenRead), &writtenCrc, 0);
        TSparseFile out(dir / "big.tar", krCreate);
        TKrTarWriter writer(&out, kWriteFmt, 0);
        TRecordingProgress progress;
        ASSERT_TRUE(writer.WriteFile({Name(120), kSize, kTime}, &summed, &progress));
        EXPECT_TRUE(progress.RisesToOne()); // over the three parts, one sub-range each
        ASSERT_TRUE(writer.Close());
        ASSERT_TRUE(out.Finish());
    }
    EXPECT_EQ(log.Count("big.tar"), 1u) << log.Text();

    struct TSeen {
        std::vector<std::uint64_t> sizes;
        unsigned long crc = 0;
        std::uint64_t bytes = 0;
    } seen;
    TSparseFile in(dir / "big.tar", krOpenRead);
    TKrTarReader reader(&in, kReadFmt);
    auto callback = [](const TTarFileRecord& r, TKrStream* data, void* user) {
        auto* s = static_cast<TSeen*>(user);
        EXPECT_EQ(r.name, Name(120));
        s->sizes.push_back(r.size);
        std::vector<char> block(4 << 20);
        for (streamsize_t got;
             (got = data->Read(block.data(), block.size())) > 0 && got != TKrStream::invalid_value;)
            s->crc = KrCrc32(static_cast<std::uint32_t>(s->crc), block.data(), got), s->bytes += got;
    };
    while (reader.ReadFile(callback, &seen)) {
    }
    EXPECT_EQ(seen.sizes, (std::vector<std::uint64_t>{1ull << 32, 1ull << 32, 1000}));
    EXPECT_EQ(seen.bytes, kSize);
    EXPECT_EQ(seen.crc, writtenCrc);

    int status = -1;
    const std::string listing = RunShell(dir.path, "tar -tvf big.tar | awk '{print $3}'", &status);
    EXPECT_EQ(listing, "4294967296\n4294967296\n1000\n");
}

TEST(TarReader, DamagedArchivesEndOrThrowCleanly) {
    const std::string good = WriteTar({{"a", std::string(600, 'a')}, {"b", "bb"}});
    auto patched = [&](std::size_t at, const std::string& bytes) {
        std::string s = good;
        s.replace(at, bytes.size(), bytes);
        return s;
    };
    auto fixSum = [](std::string s, std::size_t header) {
        return s.replace(header + 148, 8, SumField(&s[header]));
    };
    std::string chain; // long-name records only, each announcing the next, never an entry
    for (int i = 0; i < 3; ++i)
        chain += WriteTar({{Name(200), ""}}).substr(0, 1024);
    struct TCase {
        const char* what;
        std::string bytes;
        std::size_t entries; // read before the end
        const char* error;   // expected in the message, or null when reading just ends
    } cases[] = {
        {"header cut", good.substr(0, 300), 0, nullptr},
        {"data cut", good.substr(0, 700), 0, "claims 600 bytes"},
        {"no end marker", good.substr(0, 512 * 5), 2, nullptr},
        {"bad checksum", patched(148, "000001 "), 0, nullptr},
        {"second checksum", patched(1536 + 148, "7"), 1, nullptr},
        {"size not octal", fixSum(patched(124, "0000000x600"), 0), 0, "not an octal number"},
        {"size beyond stream", fixSum(patched(124, "77777777777"), 0), 0, "claims 8589934591 bytes"},
        {"long names only", chain, 0, nullptr},
        {"long name too long", fixSum(chain.substr(0, 1024).replace(124, 11, "01000000000"), 0), 0,
         "long name record of 134217728 bytes"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.what);
        TKrFixedMemStream in(c.bytes.data(), c.bytes.size());
        TKrTarReader reader(&in, kReadFmt);
        std::size_t n = 0;
        try {
            TTarFileRecord r;
            var_a<char*> data;
            while (reader.ReadFile(&r, &data))
                ++n;
            EXPECT_EQ(c.error, nullptr);
        } catch (const TKrMessage& m) {
            ASSERT_NE(c.error, nullptr) << m.what();
            EXPECT_NE(std::string(m.what()).find(c.error), std::string::npos) << m.what();
        }
        EXPECT_EQ(n, c.entries);
    }
}

TEST(KrtoolTar, CreatesListsAndExtractsButNeverOutsideTheTarget) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "krtool is not built";
    TScratchDir dir;
    WriteTree(dir, {{"in/a.txt", "alpha\n"}, {"in/sub/", ""}, {"in/sub/" + Name(150), "long\n"}});
    int status = -1;
    RunShell(dir.path, krtool + "tar create t.tar.gz in && " + krtool + "tar extract t.tar.gz out", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / ("out/in/sub/" + Name(150))), "long\n");
    const std::string listing = RunShell(dir.path, krtool + "tar list t.tar.gz", &status);
    EXPECT_NE(listing.find("d            0 "), std::string::npos) << listing;
    EXPECT_NE(listing.find("-            6 "), std::string::npos) << listing;
    EXPECT_EQ(RunShell(dir.path, "tar -tzf t.tar.gz | wc -l"), "7\n"); // with the folders on the long path

    // Names that step out, and a link that points out followed by an entry through it.
    dir.Write("evil.tar",
              WriteTar({{"../escaped", "x"}, {"/tmp/krstd-absolute-escape", "x"}, {"ok.txt", "ok"}}));
    RunShell(dir.path,
             "mkdir -p l && ln -s ../../.. l/up && tar -cf links.tar -C l up && "
             "mkdir -p l2/up && echo x > l2/up/through && tar -rf links.tar -C l2 up/through",
             &status);
    ASSERT_EQ(status, 0);
    // A link already in the target folder must not lead a later entry out either.
    std::filesystem::create_directories(dir / "deep/x/y/t");
    std::filesystem::create_directory_symlink("../..", dir / "deep/x/y/t/up");
    for (const char* archive : {"evil.tar", "links.tar"}) {
        SCOPED_TRACE(archive);
        const std::string err =
            RunShell(dir / "deep/x/y", krtool + "tar extract ../../../" + archive + " t 2>&1", &status);
        EXPECT_EQ(status, 1) << err;
        EXPECT_NE(err.find("refusing"), std::string::npos) << err;
    }
    EXPECT_EQ(ReadFile(dir / "deep/x/y/t/ok.txt"), "ok");
    EXPECT_FALSE(std::filesystem::exists(dir / "deep/x/escaped"));
    EXPECT_FALSE(std::filesystem::exists("/tmp/krstd-absolute-escape"));
    EXPECT_FALSE(std::filesystem::exists(dir / "deep/x/through"));
    EXPECT_EQ(std::filesystem::read_symlink(dir / "deep/x/y/t/up"), "../..");
}
