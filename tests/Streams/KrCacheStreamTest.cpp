// Cache stream: page loading and eviction, lazy write-back, sizes, failures of the wrapped stream.
#include "KrProbeStream.h"
#include "Core/KrMessage.h"
#include "Streams/KrCacheStream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

using KrStreamTest::TProbeStream;
using TLog = std::vector<std::pair<streamsize_t, streamsize_t>>;

namespace {
const std::string kHex = "0123456789ABCDEF";

struct TCached {
    var_a<TProbeStream*> probe;
    var_a<TKrCacheStream*> cache;
    TCached(std::string bytes, std::uint64_t pageSize, std::uint64_t pages, bool releaseOnFlush = false)
        : probe(new_a<TProbeStream>(std::move(bytes))),
          cache(TKrCacheStream::VCreate(probe, {pageSize, pages}, releaseOnFlush)) {}
    std::string ReadAt(streamsize_t pos, streamsize_t n) {
        std::string out(n, '?');
        cache->setPosition64(pos);
        out.resize(cache->Read(&out[0], n));
        return out;
    }
    streamsize_t WriteAt(streamsize_t pos, const std::string& s) {
        cache->setPosition64(pos);
        return cache->Write(s.data(), s.size());
    }
};
} // namespace

TEST(KrCacheStream, LoadsPagesOnceAndEvictsTheLeastRecentlyUsed) {
    TCached t(kHex, 4, 2);
    EXPECT_EQ(t.ReadAt(0, 1), "0");
    EXPECT_EQ(t.ReadAt(8, 1), "8");
    EXPECT_EQ(t.ReadAt(1, 2), "12"); // served from the page at 0, which becomes the newest
    EXPECT_EQ(t.ReadAt(4, 1), "4");  // evicts the page at 8
    EXPECT_EQ(t.ReadAt(8, 1), "8");  // evicts the page at 0
    EXPECT_EQ(t.ReadAt(5, 1), "5");
    EXPECT_EQ(t.ReadAt(0, 1), "0");
    EXPECT_EQ(t.probe->reads, (TLog{{0, 4}, {8, 4}, {4, 4}, {8, 4}, {0, 4}}));
    EXPECT_TRUE(t.probe->writes.empty()); // nothing changed, so nothing goes back

    // Across pages up to the end: each page read once, then the state says where it stopped.
    TCached u(kHex, 4, 4);
    EXPECT_EQ(u.ReadAt(6, 20), "6789ABCDEF");
    EXPECT_EQ(u.cache->getState(), TKrStream::stEndOfData);
    EXPECT_EQ(u.probe->reads, (TLog{{6, 4}, {10, 4}, {14, 2}}));
    EXPECT_EQ(u.ReadAt(16, 1), "");
    EXPECT_EQ(u.cache->getState(), TKrStream::stEndOfData);
    EXPECT_EQ(u.ReadAt(17, 1), "");
    EXPECT_EQ(u.cache->getState(), TKrStream::stEndOfData | TKrStream::stReadError);
}

TEST(KrCacheStream, NewPagesFitBetweenLoadedOnes) {
    std::string bytes(32, '\0');
    for (int i = 0; i < 32; ++i)
        bytes[i] = char('a' + i % 26);
    // A page from 12 would run into the one at 16: it ends there instead.
    TCached t(bytes, 8, 4);
    EXPECT_EQ(t.ReadAt(16, 1), "q");
    EXPECT_EQ(t.ReadAt(12, 1), "m");
    EXPECT_EQ(t.probe->reads, (TLog{{16, 8}, {8, 8}}));
    // With data ending at 8 and a page at 13, the page for 9 spans exactly the gap.
    TCached u(bytes, 8, 4);
    EXPECT_EQ(u.ReadAt(0, 1), "a");
    EXPECT_EQ(u.ReadAt(13, 1), "n");
    EXPECT_EQ(u.ReadAt(9, 1), "j");
    EXPECT_EQ(u.ReadAt(0, 32), bytes);
    EXPECT_EQ(u.probe->reads, (TLog{{0, 8}, {13, 8}, {8, 5}, {21, 8}, {29, 3}}));
}

TEST(KrCacheStream, WritesStayInPagesUntilFlushAndReadBackAsWritten) {
    TCached t(kHex, 4, 2);
    EXPECT_EQ(t.WriteAt(20, "xyz"), 3u);
    EXPECT_EQ(t.cache->getSize64(), 23u);
    EXPECT_EQ(t.probe->data, kHex);
    EXPECT_TRUE(t.probe->writes.empty());
    EXPECT_EQ(t.ReadAt(14, 9), std::string("EF\0\0\0\0xyz", 9)); // the gap reads as zeros
    EXPECT_TRUE(t.cache->Flush());
    EXPECT_EQ(t.probe->data, kHex + std::string(4, '\0') + "xyz");
    EXPECT_EQ(t.probe->flushes, 1);

    // A write covering a whole page never reads it; a partial one reads the rest first.
    TCached u(kHex, 4, 2);
    EXPECT_EQ(u.WriteAt(4, "abcdefgh"), 8u);
    EXPECT_TRUE(u.probe->reads.empty());
    EXPECT_EQ(u.WriteAt(13, "Z"), 1u); // evicts the page at 4
    EXPECT_EQ(u.probe->reads, (TLog{{13, 3}}));
    EXPECT_EQ(u.probe->writes, (TLog{{4, 4}}));
    EXPECT_EQ(u.probe->data, "0123abcd89ABCDEF");
    u.cache.reset(); // the destructor flushes the rest
    EXPECT_EQ(u.probe->data, "0123abcdefghCZEF");
    // Only changed pages go back, each in one write of its valid bytes.
    EXPECT_EQ(u.probe->writes, (TLog{{4, 4}, {13, 3}, {8, 4}}));
}

TEST(KrCacheStream, SetSizeCutsPagesAndResizesTheSourceAtFlush) {
    TCached t(kHex, 4, 4);
    t.WriteAt(8, "ab");
    EXPECT_EQ(t.ReadAt(12, 2), "CD");
    EXPECT_TRUE(t.cache->setSize64(10));
    EXPECT_EQ(t.cache->getSize64(), 10u);
    EXPECT_EQ(t.probe->data.size(), 16u);
    // The page at 12 is gone, the cut page at 8 now leads the table.
    const auto* pages = t.cache->GetPages();
    EXPECT_EQ(pages[0].pos, 8u);
    EXPECT_EQ(pages[0].valid, 2u);
    EXPECT_EQ(pages[1].valid, 0u);
    EXPECT_EQ(t.ReadAt(8, 8), "ab");
    EXPECT_TRUE(t.cache->Flush());
    EXPECT_EQ(t.probe->data, "01234567ab");
    EXPECT_EQ(t.probe->sizeSets, 1);
    EXPECT_TRUE(t.cache->Flush()); // the size is settled now
    EXPECT_EQ(t.probe->sizeSets, 1);
    EXPECT_TRUE(t.cache->setSize64(12)); // growing reads back zeros
    EXPECT_EQ(t.ReadAt(8, 8), std::string("ab\0\0", 4));
}

TEST(KrCacheStream, FailuresOfTheSourceAreReportedAndDataKept) {
    // Eviction of a dirty page that cannot be written back: the write stops there.
    TCached t(kHex, 4, 1);
    t.WriteAt(0, "a");
    t.probe->failSeek = true;
    EXPECT_EQ(t.WriteAt(4, "bcdefg"), 0u);
    EXPECT_EQ(t.cache->getState(), TKrStream::stWriteError);
    t.probe->failSeek = false;
    t.probe->writeLimit = 2;
    EXPECT_EQ(t.WriteAt(3, "bcdefg"), 1u); // the first chunk fits the dirty page, then a short write
    t.probe->writeLimit = ~streamsize_t(0);
    EXPECT_TRUE(t.cache->Flush());
    EXPECT_EQ(t.probe->data, "a12b456789ABCDEF");
    EXPECT_EQ(t.ReadAt(0, 5), "a12b4");

    // Reads: a failing source gives no page; under optFailReadsAfterError nothing more is asked.
    TCached r(kHex, 4, 2);
    r.probe->failRead = true;
    EXPECT_EQ(r.ReadAt(0, 4), "");
    EXPECT_EQ(r.cache->getState(), TKrStream::stEndOfData | TKrStream::stReadError);
    r.cache->setOptions(TKrStream::optFailReadsAfterError | TKrStream::optFailWritesAfterError);
    r.probe->reads.clear();
    char c;
    EXPECT_EQ(r.cache->Read(&c, 1), TKrStream::invalid_value);
    EXPECT_TRUE(r.probe->reads.empty());
    EXPECT_EQ(r.cache->Write("x", 1), 1u);                  // no write error recorded yet
    r.cache->setPosition64(TKrStream::invalid_value64 - 2); // room for one byte
    EXPECT_EQ(r.cache->Write("yz", 2), 1u);
    EXPECT_EQ(r.cache->Write("x", 1), TKrStream::invalid_value);
    r.probe->failWrite = true; // the byte at the top end cannot go anywhere

    // Flush stops at the first page that fails and does not resize the source after it.
    TCached f(kHex, 4, 3);
    f.WriteAt(0, "a");
    f.WriteAt(4, "b");
    f.WriteAt(20, "c");
    f.probe->failWrite = true;
    EXPECT_FALSE(f.cache->Flush());
    EXPECT_EQ(f.probe->writes, (TLog{{20, 1}}));
    EXPECT_EQ(f.probe->sizeSets, 0);
    EXPECT_EQ(f.probe->flushes, 1);
    f.probe->failWrite = false;
    f.cache->setOptions(TKrStream::optNoFlushSource);
    EXPECT_TRUE(f.cache->Flush());
    EXPECT_EQ(f.probe->flushes, 1);
    EXPECT_EQ(f.probe->data, "a123b567" + std::string("89ABCDEF") + std::string(4, '\0') + "c");
    f.probe->failSetSize = true;
    f.cache->setSize64(3);
    EXPECT_FALSE(f.cache->Flush());
    EXPECT_EQ(f.cache->getState(), TKrStream::stWriteError);
}

TEST(KrCacheStream, UnusableStreamsAndClosing) {
    TKrCacheStream none(var_a<TKrStream*>(), {4, 2}, false);
    char c;
    EXPECT_FALSE(static_cast<bool>(none));
    EXPECT_EQ(none.getSize64(), TKrStream::invalid_value64);
    EXPECT_EQ(none.Read(&c, 1), TKrStream::invalid_value);
    EXPECT_EQ(none.getState(), TKrStream::stReadError);
    EXPECT_EQ(none.Write("x", 1), TKrStream::invalid_value);
    EXPECT_FALSE(none.setPosition64(0));
    EXPECT_FALSE(none.setSize64(0));
    EXPECT_FALSE(none.Flush());
    EXPECT_EQ(none.getState(), TKrStream::stReadError | TKrStream::stWriteError | TKrStream::stSeekError);
    EXPECT_TRUE(none.Close());
    EXPECT_EQ(none.GetInfoName(), "");
    EXPECT_THROW((TKrCacheStream(var_a<TKrStream*>(), {0, 2}, false)), TKrMessage);

    // Close flushes, closes the source under optCloseSource, folds in its state and lets go.
    TCached t(kHex, 4, 2, true);
    t.probe->SetInfoName("probe");
    EXPECT_EQ(t.cache->GetInfoName(), "probe");
    t.WriteAt(2, "xy");
    t.cache->setOptions(TKrStream::optCloseSource);
    t.probe->failClose = true;
    EXPECT_FALSE(t.cache->Close());
    EXPECT_EQ(t.probe->data, "01xy456789ABCDEF");
    EXPECT_EQ(t.probe->closes, 1);
    EXPECT_EQ(t.cache->getState(), TKrStream::stWriteError);
    EXPECT_EQ(t.probe.use_count(), 1);
    EXPECT_TRUE(t.cache->Close());
    EXPECT_EQ(t.cache->Write("x", 1), TKrStream::invalid_value);

    // The destructor flushes and closes too; the released pages are gone after a flush.
    TCached d(kHex, 4, 2, true);
    d.WriteAt(15, "!");
    d.cache->Flush();
    EXPECT_EQ(d.cache->GetPages()[0].data, nullptr);
    d.WriteAt(0, "?");
    d.cache->setOptions(TKrStream::optCloseSource);
    d.cache.reset();
    EXPECT_EQ(d.probe->data, "?123456789ABCDE!");
    EXPECT_EQ(d.probe->closes, 1);
}

TEST(KrCacheStream, CopyKeepsUnflushedBytesInPagesOfItsOwn) {
    TCached t(kHex, 4, 2);
    t.WriteAt(1, "xy");
    TKrCacheStream copy(*t.cache);
    char buf[4];
    copy.setPosition64(0);
    EXPECT_EQ(copy.Read(buf, 4), 4u);
    EXPECT_EQ(std::string(buf, 4), "0xy3");
    copy.Write("!", 1);
    EXPECT_EQ(t.ReadAt(0, 5), "0xy34");
}

TEST(KrCacheStream, RandomOperationsMatchAPlainBuffer) {
    std::mt19937 rng(20240611);
    const std::pair<std::uint64_t, std::uint64_t> shapes[] = {{1, 1}, {3, 2}, {8, 3}, {16, 4}, {64, 2}};
    for (auto [pageSize, pageCount] : shapes) {
        SCOPED_TRACE(testing::Message() << "pages " << pageCount << " x " << pageSize);
        std::string model(100, '\0');
        for (auto& ch : model)
            ch = char(rng());
        TCached t(model, pageSize, pageCount);
        std::uint64_t pos = 0;
        for (int step = 0; step < 3000; ++step) {
            const unsigned op = rng() % 10;
            const std::uint64_t at = rng() % (model.size() + 20);
            const std::uint64_t n = rng() % (3 * pageSize + 2);
            if (op < 4) {
                pos = std::min<std::uint64_t>(at, model.size());
                const std::string got = t.ReadAt(pos, n);
                ASSERT_EQ(got, model.substr(pos, n)) << "step " << step;
                pos += got.size();
                ASSERT_EQ(t.cache->getPosition64(), pos);
            } else if (op < 8) {
                std::string bytes(n, '\0');
                for (auto& ch : bytes)
                    ch = char(rng());
                ASSERT_EQ(t.WriteAt(at, bytes), n);
                if (n && model.size() < at + n) model.resize(at + n, '\0');
                if (n) model.replace(at, n, bytes);
            } else if (op == 8) {
                const std::uint64_t size = rng() % 140;
                ASSERT_TRUE(t.cache->setSize64(size));
                model.resize(size, '\0');
            } else {
                ASSERT_TRUE(t.cache->Flush());
                ASSERT_EQ(t.probe->data, model) << "step " << step;
            }
            ASSERT_EQ(t.cache->getSize64(), model.size())
                << "step " << step << " op " << op << " at " << at << " n " << n;
        }
        t.cache.reset();
        EXPECT_EQ(t.probe->data, model);
    }
}
