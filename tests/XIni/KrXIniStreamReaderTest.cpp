// The lazy stream reader and the full parse: loading, values, lazy scanning, errors, parallel reading.
#include "Core/KrMessage.h"
#include "KrRecordingProgress.h"
#include "KrXIniFakes.h"
#include "Core/KrExceptions.h"
#include "Core/KrMessageParameters.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrStringStream.h"
#include "System/KrThreads.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriteTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <unistd.h>

using I = TE_KrXIniItemType;
using R = TKrXIniStreamReader;

namespace {

var_a<TKrStream*> Text(const std::string& text, const std::string& name = std::string()) {
    auto s = new_a<TKrStringStream>(text);
    if (!name.empty()) s->SetInfoName(name);
    return s;
}

std::string Doc(const std::string& body) {
    return "<?xml version=\"1.0\"?>\n<krini>\n" + body + "</krini>\n";
}

std::string Gzip(const std::string& text) {
    auto out = new_a<TKrStringStream>();
    {
        TKrGZipWriter w;
        EXPECT_TRUE(w.Open(out.get(), 6));
        EXPECT_TRUE(w.WriteAll(text.data(), text.size()));
        EXPECT_TRUE(w.Close());
    }
    return out->str();
}

// The parameter texts of a message (the item path is the first of a read error).
std::vector<std::string> Params(const TKrMessage& m) {
    std::vector<std::string> out;
    if (m.body())
        for (auto* p : m.body()->m_parameters)
            out.push_back(p->GetString(""));
    return out;
}

template <class F> std::string ErrorPath(F&& f) {
    try {
        f();
    } catch (const TKrMessage& m) {
        const auto p = Params(m);
        return p.empty() ? "<no parameters>" : p[0];
    }
    return "<no exception>";
}

// Reads everything through the lazy reader in a random order of sections, so scans resume
// inside partly scanned sections and pending sub-sections, and rebuilds the tree.
var_a<TKrXIniTree*> ReadLazily(R& r, std::mt19937& gen) {
    auto out = new_a<TKrXIniTree>();
    struct TFrame {
        TKrXIniTree* tree;
        std::size_t next = 0;
        std::size_t level;
    };
    std::vector<TFrame> frames{{out.get(), 0, 0}};
    while (!frames.empty()) {
        TFrame& f = frames.back();
        const std::size_t i = f.next++;
        if (!r.Exists(i)) {
            if (f.level) {
                EXPECT_EQ(r.ExitSectionE(f.level), f.level - 1);
            }
            frames.pop_back();
            continue;
        }
        if (gen() % 8 == 0) r.FindF(r.ItemName(i), i); // searches may scan ahead
        const TKrXIniItemType type = r.ItemTypeE(i);
        if (type == I::Section) {
            TKrXIniTree* child = f.tree->AddSection(r.ItemNameE(i)).get();
            const std::size_t level = r.EnterSectionE(i);
            frames.push_back({child, 0, level});
        } else if (type == I::Binary) {
            f.tree->AddItem(type, r.ItemNameE(i), KrEncodeStringBase64(r.ReadBinaryE(i)));
        } else {
            std::size_t len = 0;
            const char* v = r.ItemValueRaw(i, &len);
            f.tree->AddItem(type, r.ItemNameE(i), std::string(v, len));
        }
    }
    return out;
}

} // namespace

TEST(XIniStreamReader, RoundTripsRandomTreesThroughBothReaders) {
    std::mt19937 gen(11);
    // Names and values of every byte value.
    auto text = [&](std::size_t maxLen) {
        std::string s;
        for (std::size_t n = gen() % maxLen; n > 0; --n)
            s += char(gen() % 4 ? 'a' + gen() % 26 : gen() % 256);
        return s;
    };
    for (int round = 0; round < 20; ++round) {
        const auto tree = krtest::RandomTree(gen, 1 + round * 40, text);
        auto out = new_a<TKrStringStream>();
        ASSERT_TRUE(WriteKrXIniTree(out.get(), tree.get(), round % 3 == 0 ? 0x601 : 0, true, nullptr));
        const std::string text = out->str();

        const auto full = ReadKrXIniTree(Text(text).get(), true, nullptr);
        ASSERT_TRUE(full);
        EXPECT_TRUE(tree->EqualContent(*full)) << round;

        R lazy(Text(text), true, nullptr);
        EXPECT_TRUE(tree->EqualContent(*ReadLazily(lazy, gen))) << round;
        EXPECT_FALSE(lazy.ParseError());
        R whole(Text(text), true, nullptr);
        EXPECT_TRUE(tree->EqualContent(*whole.ReadXIniTreeE())) << round;

        // text -> tree -> text is stable.
        auto again = new_a<TKrStringStream>();
        ASSERT_TRUE(WriteKrXIniTree(again.get(), full.get(), 0, true, nullptr));
        if (round % 3) {
            EXPECT_EQ(again->str(), text);
        }
    }
}

TEST(XIniStreamReader, LoadsGzipLayersEmptyRootsAndRejectsOtherRoots) {
    const std::string plain = Doc("<i n=\"a\" v=\"7\"/>");
    R twice(Text(Gzip(Gzip(plain))), true, nullptr);
    EXPECT_EQ(twice.ReadE<int>(0), 7);

    R empty(Text("<?xml version=\"1.0\"?><!-- c --><krini/>"), true, nullptr);
    EXPECT_EQ(empty.CountE(), 0u);
    EXPECT_FALSE(empty.ParseError());
    EXPECT_EQ(ReadKrXIniTree(Text("<krini/>").get(), true, nullptr)->Count(), 0u);

    EXPECT_THROW(R(Text("<other/>"), TE_KrXIniErrorMode::Throw, nullptr), TKrMessage);
    R logged(Text("<other/>"), TE_KrXIniErrorMode::Log, nullptr);
    EXPECT_TRUE(logged.ParseError());
    EXPECT_EQ(logged.Count(), 0u);
    EXPECT_FALSE(ReadKrXIniTree(Text("junk").get(), false, nullptr));
    EXPECT_THROW(ReadKrXIniTree(Text(std::string("\x1f\x8b\x08\0garbage", 11)).get(), true, nullptr),
                 TKrMessage);
    try {
        R named(Text("<x/>", "p.x-ini"), TE_KrXIniErrorMode::Throw, nullptr);
        ADD_FAILURE();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(Params(m).at(0), "p.x-ini"); // "Err_Read_name_msg" around the format error
    }
}

// Number conversions and type errors are checked on both readers in KrXIniTreeReaderWriterTest.cpp.
TEST(XIniStreamReader, DecodesReferencesBinaryTextAndCoordinates) {
    R r(Text(Doc("<s v=\"a&lt;&#x41;&#10;\"/><b>QUJD<![CDATA[\n  REVG]]>\n  R0g=</b>"
                 "<x><d v=\"1\"/><d v=\"2\"/><s v=\"zz\"/></x><i v=\"1\"/>")),
        true, nullptr);
    EXPECT_EQ(r.ReadE<std::string>(0), "a<A\n");
    EXPECT_EQ(r.ReadBinaryE(1), "ABCDEFGH");
    double x = 0, y = 0, z = 0;
    EXPECT_EQ(r.ReadDouble3(2, &x, &y, &z), 2u);
    r.ReadDouble2E(2, &x, &y);
    EXPECT_EQ(x + y, 3.0);
    EXPECT_THROW(r.ReadDouble3E(2, &x, &y, &z), TKrMessage);
    EXPECT_EQ(r.ReadLongString(2, "def"), "def");
    // Without names the path shows the item letter and index only.
    EXPECT_EQ(ErrorPath([&] { r.ReadE<double>(3); }), "<i#3>");
    EXPECT_EQ(ErrorPath([&] { r.ReadE<int>(99); }), "<#99>");
}

TEST(XIniStreamReader, ScansOnlyAsFarAsAsked) {
    std::string body;
    for (int i = 0; i < 10000; ++i)
        body += "<i n=\"k" + std::to_string(i) + "\" v=\"" + std::to_string(i) + "\"/>";
    // The broken tail is reached only by a scan to the end.
    R r(Text("<krini><x n=\"big\">" + body + "<bad/></x></krini>"), true, nullptr);
    const std::size_t level = r.EnterSectionSE("big");
    EXPECT_EQ(r.ReadE<int>(0), 0);
    EXPECT_EQ(r.FindFE("k1234", 0), 1234u);
    EXPECT_EQ(r.ReadE<int>(1234), 1234);
    EXPECT_FALSE(r.ParseError());
    EXPECT_EQ(r.Count(), 10000u);
    EXPECT_TRUE(r.ParseError());
    r.ExitSectionE(level);
    // The root was scanning inside "big" when the error came, so it ends there too.
    EXPECT_EQ(r.Count(), 1u);
    EXPECT_THROW(r.CountE(), TKrMessage);
}

// File streams are mapped instead of read: a document ending exactly on a page boundary still
// reads as if a NUL followed it, values unescaped in place never reach the file, and a file
// that is not XIni text fails as from any other stream.
TEST(XIniStreamReader, ReadsMappedFilesWithoutChangingThem) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("krstd-xini-map-" + std::to_string(::getpid()) + ".xml"))
            .string();
    const std::string head = "<krini><x n=\"s\"><s n=\"t\" v=\"a&amp;b\"/><i n=\"k\" v=\"7\"/>";
    const std::string tail = "</x></krini>";
    for (const std::size_t size : {std::size_t(4096), std::size_t(8192 + 5)}) {
        std::string text = head;
        while (text.size() + tail.size() + 7 <= size)
            text += "<!---->";
        text += std::string(size - text.size() - tail.size(), ' ') + tail;
        ASSERT_EQ(text.size(), size);
        std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));

        R r(TKrFileStream::VCreate(TKrPath(path), krOpenRead), true, nullptr);
        const std::size_t level = r.EnterSectionSE("s");
        EXPECT_EQ(r.ReadE_x_string(0), "a&b");
        EXPECT_EQ(r.ReadE<int>(1), 7);
        r.ExitSectionE(level);
        EXPECT_FALSE(r.ParseError());
        var_a<TKrXIniTree*> tree =
            ReadKrXIniTree(TKrFileStream::VCreate(TKrPath(path), krOpenRead).get(), true, nullptr);
        ASSERT_TRUE(tree);
        EXPECT_EQ(tree->FindItem(0)->child->FindItem(0)->value, "a&b");

        std::ifstream in(path, std::ios::binary);
        const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(after, text);
    }
    std::ofstream(path, std::ios::binary) << "<other/>";
    EXPECT_THROW(R(TKrFileStream::VCreate(TKrPath(path), krOpenRead), true, nullptr), TKrMessage);
    std::remove(path.c_str());
}

TEST(XIniStreamReader, FormatErrorsKeepEarlierItemsAndNameTheirPlace) {
    const char* broken[] = {
        "<i n=\"c\" v=\"3\" t=\"1\"/>", "<x n=\"c\" v=\"1\"/>",        "<i n=\"c\"/>",   "<q n=\"c\"/>",
        "<i n=\"c\" n=\"d\" v=\"1\"/>", "<s v=\"1\"><i v=\"2\"/></s>", "<x n=\"c\"></i>"};
    for (const char* item : broken) {
        const std::string text = Doc("<x n=\"s\"><i n=\"a\" v=\"1\"/><i n=\"b\" v=\"2\"/>" +
                                     std::string(item) + "<i n=\"d\" v=\"4\"/></x><i n=\"after\" v=\"5\"/>");
        R r(Text(text, "f.x-ini"), true, nullptr);
        r.EnterSectionE(0);
        EXPECT_EQ(r.Read<int>(1, 0), 2) << item;
        EXPECT_EQ(r.FindF("d", 0), TKrXIniReader::npos) << item;
        EXPECT_TRUE(r.ParseError()) << item;
        EXPECT_EQ(r.Read<int>(0, 0), 1);
        EXPECT_EQ(ErrorPath([&] { r.ReadE<int>(0); }), "f.x-ini:<x#0 \"s\">") << item;
        EXPECT_FALSE(ReadKrXIniTree(Text(text).get(), false, nullptr)) << item;
    }
    // Unterminated documents and sections.
    R open(Text("<krini><x n=\"s\"><i v=\"1\"/>"), true, nullptr);
    EXPECT_EQ(open.EnterSectionE(0), 1u);
    EXPECT_EQ(open.Count(), 1u);
    EXPECT_TRUE(open.ParseError());
}

TEST(XIniReadTree, FormatErrorsTellTheirPlaceInTheLoadedText) {
    // "line:column@offset" of the failure, and the message, which must not depend on the place.
    auto failure = [](const std::string& bytes, std::string* text = nullptr) {
        TKrXIniFormatPlace place{7, 7, 7}; // reset by the call
        try {
            ReadKrXIniTree(Text(bytes).get(), true, nullptr, &place);
        } catch (const TKrMessage& m) {
            if (text) *text = m.std_str() + "|" + Params(m).at(0);
        }
        return std::to_string(place.line) + ":" + std::to_string(place.column) + "@" +
               std::to_string(place.offset);
    };
    // The start of the refused tag, columns in characters ("Ã¤" is one).
    const std::string bad = Doc("<x n=\"a\">\n  <i n=\"k\" v=\"1\"/>\n \xC3\xA4 <q n=\"c\"/>\n</x>\n");
    std::string withPlace, without;
    EXPECT_EQ(failure(bad, &withPlace), "5:4@" + std::to_string(bad.find("<q")));
    try {
        ReadKrXIniTree(Text(bad).get(), true, nullptr);
    } catch (const TKrMessage& m) {
        without = m.std_str() + "|" + Params(m).at(0);
    }
    EXPECT_EQ(withPlace, without);
    // Counted in the text after gzip, with CR LF as one line break.
    EXPECT_EQ(failure(Gzip("<krini>\r\n<x>\r\n</i></x></krini>")), "3:1@14");
    EXPECT_EQ(failure("<krini>\n<x><i v=\"1\"/></x><!DOCTYPE d>"), "2:18@25");
    EXPECT_EQ(failure("<krini>\n<x n=\"s\"><i v=\"1\"/>"), "2:20@27"); // ends inside the root
    EXPECT_EQ(failure("<krini><x/><?pi "), "1:12@11");                 // unterminated instruction
    EXPECT_EQ(failure("<krini><x/></krini>"), "0:0@0");
    EXPECT_EQ(failure("<other/>"), "0:0@0"); // load failures have no place
    TKrXIniFormatPlace logged;
    EXPECT_FALSE(ReadKrXIniTree(Text("<krini></x>").get(), false, nullptr, &logged));
    EXPECT_EQ(logged.offset, 7u);
}

TEST(XIniStreamReader, ReportsSearchesAndLevelsInErrorPaths) {
    R r(Text(Doc("<x n=\"a\"><x><s n=\"t\" v=\"v\"/></x></x>"), "n.x-ini"), true, nullptr);
    r.EnterSectionSE("a");
    r.EnterSectionE(0);
    EXPECT_EQ(ErrorPath([&] { r.FindFE("zz", 0); }), "n.x-ini:<x#0 \"a\"> <x#0> <#0+ \"zz\">");
    EXPECT_FALSE(r.ExitSection(0));
    EXPECT_TRUE(r.ExitSection(1));
    EXPECT_EQ(r.Level(), 0u);

    std::map<std::string, std::string> flat;
    R strings(Text(Doc("<s n=\"a\" v=\"1\"/><x n=\"b\"><s n=\"c\" v=\"2\"/></x>")), true, nullptr);
    ReadKrXIniToLinearStringList(&strings, &flat, "p.");
    EXPECT_EQ(flat, (std::map<std::string, std::string>{{"p.a", "1"}, {"p.b.c", "2"}}));
    R ints(Text(Doc("<i n=\"a\" v=\"1\"/>")), true, nullptr);
    EXPECT_THROW(ReadKrXIniToLinearStringList(&ints, &flat, ""), TKrMessage);
}

TEST(XIniStreamReader, CopiesSectionsAsDocumentsAndTrees) {
    const std::string body =
        "<x n=\"s\"><i n=\"a\" v=\"1\"/><s n=\"q\" v=\"&quot;&#xA;\"/><b n=\"b\">QUJD</b>"
        "<x n=\"e\"/></x>";
    R r(Text(Doc(body)), true, nullptr);
    const std::string copy = r.ReadXIniE(0);
    R again(Text(copy), true, nullptr);
    EXPECT_EQ(again.ReadE<std::string>(1), "\"\n");
    EXPECT_EQ(again.ReadBinaryE(2), "ABC");
    EXPECT_EQ(again.ItemTypeE(3), I::Section);
    EXPECT_EQ(r.ReadXIniTreeE(0)->Count(), 4u);
    EXPECT_FALSE(r.ReadXIniTree(5, TKrXIniReader::NullIfAbsent));
    EXPECT_EQ(r.ReadXIniTree(5, TKrXIniReader::EmptyIfAbsent)->Count(), 0u);
}

TEST(XIniStreamReader, ReadArrayMTHandsEveryIndexToOneWorker) {
    for (const std::size_t n : {std::size_t(20), std::size_t(5000)}) {
        std::string body = "<x n=\"arr\">";
        for (std::size_t i = 0; i < n; ++i)
            body += "<x><i n=\"v\" v=\"" + std::to_string(i) + "\"/><s n=\"w\" v=\"t\"/></x>";
        TKrXIniStreamReaderMT r(Text(Doc(body + "</x>")), true, nullptr);
        r.EnterSectionSE("arr");
        std::vector<std::atomic<int>> seen(n);
        std::mutex mutex;
        std::set<std::thread::id> threads;
        std::function<void(TKrXIniReader*, std::size_t)> fn = [&](TKrXIniReader* w, std::size_t i) {
            const std::size_t level = w->EnterSectionE(0);
            if (std::size_t(w->ReadE<int>(w->FindFE("v", 0))) == i) ++seen[i];
            w->ExitSectionE(level);
            std::lock_guard<std::mutex> lock(mutex);
            threads.insert(std::this_thread::get_id());
        };
        r.ReadArrayMT(fn, nullptr);
        for (std::size_t i = 0; i < n; ++i)
            ASSERT_EQ(seen[i].load(), 1) << i;
        EXPECT_LE(threads.size(), std::min<std::size_t>((n + 15) / 16, KrGetThreadsCount()));
        EXPECT_FALSE(r.ParseError());
    }
    // A worker's exception reaches the caller.
    TKrXIniStreamReaderMT r(Text(Doc("<i v=\"1\"/><i v=\"2\"/>")), true, nullptr);
    std::function<void(TKrXIniReader*, std::size_t)> fail = [](TKrXIniReader* w, std::size_t) {
        w->ReadE<double>(0);
    };
    EXPECT_THROW(r.ReadArrayMT(fail, nullptr), TKrMessage);
}

TEST(XIniStreamReader, ProgressRisesAndABreakAbandonsReadingAndWriting) {
    using krtest::TRecordingProgress;
    TKrXIniTree tree;
    for (int i = 0; i < 5000; ++i)
        tree.AddSection("s")->AddItem(I::Integer, "v", std::to_string(i));
    for (const bool breaks : {false, true}) {
        auto writing = new_a<TRecordingProgress>();
        writing->breakAfterFirst = breaks;
        auto out = new_a<TKrStringStream>();
        if (breaks) {
            EXPECT_ANY_THROW(WriteKrXIniTree(out.get(), &tree, 0, true, writing.get()));
            continue;
        }
        ASSERT_TRUE(WriteKrXIniTree(out.get(), &tree, 0, true, writing.get()));
        auto reading = new_a<TRecordingProgress>();
        ASSERT_TRUE(ReadKrXIniTree(Text(out->str()).get(), true, reading.get()));
        for (const auto* p : {&writing->positions, &reading->positions}) {
            ASSERT_GE(p->size(), 2u);
            EXPECT_TRUE(std::is_sorted(p->begin(), p->end()));
            EXPECT_LE(p->back(), 1.0);
        }
        reading->positions.clear();
        reading->breakAfterFirst = true;
        EXPECT_ANY_THROW(ReadKrXIniTree(Text(out->str()).get(), true, reading.get()));
    }
}

// Whole members (single or many, with a true or lying size in the last trailer) load as the
// streaming path loads them; damage gives the streaming reader's message.
TEST(XIniStreamReader, LoadsGzipMembersWhatEverTheirSizesClaim) {
    std::string body;
    for (int i = 0; i < 30000; ++i)
        body += "<i n=\"k" + std::to_string(i) + "\" v=\"" + std::to_string(i) + "\"/>\n";
    // A comment that packs a thousandfold: the text outgrows any guess from the packed size, and
    // the parallel writer makes a dozen members of it.
    const std::string plain = Doc("<x n=\"s\"><!--" + std::string(12 << 20, ' ') + "-->" + body + "</x>");
    auto out = new_a<TKrStringStream>();
    {
        using W = TKrXIniStreamWriter;
        W w(out, W::CompressionWord(6, 0) | W::CompressParallel, W::RootOnly);
        w.WriteRawBuffer(plain.data() + plain.find("<x "), plain.size() - plain.find("<x ") - 9);
        EXPECT_TRUE(w.Close());
    }
    const std::string many = out->str();
    const std::string one = Gzip(plain);
    auto claim = [](std::string gz, std::uint32_t size) {
        for (int i = 0; i < 4; ++i)
            gz[gz.size() - 4 + i] = char(size >> (8 * i));
        return gz;
    };
    for (const std::string& gz : {one, many, claim(one, 17), claim(one, 0xFFFFFFFF), Gzip(Gzip(plain))}) {
        R r(Text(gz), true, nullptr);
        const std::size_t level = r.EnterSectionSE("s");
        EXPECT_EQ(r.CountE(), 30000u);
        EXPECT_EQ(r.ReadE<int>(29999), 29999);
        r.ExitSectionE(level);
    }
    std::string badCrc = one;
    badCrc[badCrc.size() - 7] ^= 1;
    for (const std::string& gz : {badCrc, one + "junk" + one, one.substr(0, one.size() - 2)}) {
        std::string text;
        try {
            R r(Text(gz), true, nullptr);
        } catch (const TKrMessage& m) {
            text = m.std_str();
        }
        EXPECT_EQ(text, KrMsg_helper("Err_GZip_Read").std_str());
    }
}

// Another process cutting a mapped document short: the lost pages read as zeros (a format
// error at worst), never a SIGBUS.
TEST(XIniStreamReader, MappedFileCutShortWhileOpenDoesNotCrash) {
    const std::string path =
        (std::filesystem::temp_directory_path() / ("krstd-xini-cut-" + std::to_string(::getpid()) + ".xml"))
            .string();
    std::string body;
    for (int i = 0; i < 20000; ++i)
        body += "<i n=\"k" + std::to_string(i) + "\" v=\"" + std::to_string(i) + "\"/>\n";
    const std::string text = Doc(body);
    std::ofstream(path, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    {
        R r(TKrFileStream::VCreate(TKrPath(path), krOpenRead), TE_KrXIniErrorMode::Log, nullptr);
        EXPECT_EQ(r.ReadE<int>(0), 0);
        ASSERT_EQ(::truncate(path.c_str(), 5000), 0);
        EXPECT_LT(r.Count(), 20000u);
        EXPECT_TRUE(r.ParseError());
    }
    std::remove(path.c_str());
}
