// The process-wide log: byte-exact records, the owner thread and its queue, redirect filtering,
// counting, the writer object and the Qt bridge.
#include "Core/KrLog.h"
#include "Core/KrLogParser.h"
#include "Core/KrMessage.h"
#include "Core/KrQtLogBridge.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrStringStream.h"

#include <QtGlobal>
#include <gtest/gtest.h>

#include <regex>
#include <thread>

namespace {

/// Replaces each record's time field by "T" so that records compare byte for byte.
std::string WithoutTimes(const std::string& log) {
    return std::regex_replace(log, std::regex("(^|\n)[^\t\n]+\t([EWI][0-5])"), "$1T\t$2");
}

/// Logging up for one test, with a string stream as the global log.
class KrLogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        KrLogInitialize();
        KrLogSetLogV(m_log);
    }
    void TearDown() override { KrLogFinalize(); }
    std::string Log() const { return WithoutTimes(m_log->str()); }

    var_a<TKrStringStream*> m_log = new_a<TKrStringStream>();
};

TEST(KrLogRecord, ByteExactFormat) {
    TKrStringStream s;
    KrLogWriteRecord(&s, "src", "a\nb", TE_KrLogMsgType::lmtInfo, 3, 0, "2026-01-02T03:04:05.678");
    EXPECT_EQ(s.str(), "\n2026-01-02T03:04:05.678\tI3\tsrc\ta\n\t\t\tb\n");

    TKrStringStream w;
    KrLogWriteRecord(&w, std::string(150, 's') + "\tx", "t", TE_KrLogMsgType::lmtWarning, 3, 7, "t\ti\nme");
    EXPECT_EQ(w.str(), "\nt_i_me\tW3,7\t" + std::string(100, 's') + "\tt\n");

    TKrStringStream tab;
    KrLogWriteWarning(&tab, "a\tb", nullptr, 2, -1);
    EXPECT_EQ(WithoutTimes(tab.str()), "\nT\tW2,-1\ta_b\t\n");
    // Without a given time the record carries the current one as an ISO text.
    EXPECT_TRUE(std::regex_match(
        tab.str(), std::regex("\n\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[^\t]*\tW2,-1\ta_b\t\n")))
        << tab.str();
}

TEST_F(KrLogFixture, ManagerWritesMessagesWithTheirTraces) {
    TKrMessage m("@top %1%");
    m << 1;
    m.AppendMsg(TKrMessage("@detail"));
    KrLogWriteError(m, 3, 0);
    KrLogWriteInfo("source", "text", 4, 2);
    EXPECT_EQ(Log(), "\nT\tE3\t\t@top 1\n\nT\tE5\t\t@detail\n\nT\tI4,2\tsource\ttext\n");
}

TEST_F(KrLogFixture, WorkerRecordsWaitForTheOwnerAndKeepTheirTime) {
    std::thread worker([] {
        EXPECT_EQ(KrLog(), nullptr); // only the owner sees the stream
        KrLogWriteWarning("worker", "queued");
        KrLogSetLogV(var_a<TKrStream*>()); // ignored off the owner thread
    });
    worker.join();
    EXPECT_EQ(m_log->str(), "");
    KrLogWriteInfo("owner", "now");
    EXPECT_EQ(Log(), "\nT\tW3\tworker\tqueued\n\nT\tI3\towner\tnow\n");

    std::thread second([] { KrLogWriteError("late"); });
    second.join();
    KrLogWriteQueue();
    EXPECT_EQ(Log(), "\nT\tW3\tworker\tqueued\n\nT\tI3\towner\tnow\n\nT\tE3\t\tlate\n");
}

TEST_F(KrLogFixture, ExtraSinkSeesRecordsAlsoWithoutAStream) {
    struct TSink : TKrLog {
        std::string seen;
        bool Write(const std::string& s, const std::string& t, TKrLogMsgType type, TKrLogMsgLevel l,
                   int) override {
            seen += s + ":" + t + ":" + static_cast<char>(type) + std::to_string(l) + ";";
            return true;
        }
    } sink;
    KrLogSetLog(&sink);
    KrLogSetLogV(var_a<TKrStream*>());
    KrLogWriteInfo("a", "b");
    { TKrLogWriter(TE_KrLogMsgType::lmtWarning, 2)("x")(std::string("y"))(nullptr); }
    { TKrLogWriter("quiet", TE_KrLogMsgType::lmtError); } // nothing collected: nothing sent
    EXPECT_EQ(sink.seen, "a:b:I3;:xy:W2;");
}

TEST(KrLogLifecycle, OffUntilInitialisedAndCounted) {
    KrLogWriteInfo("nobody listens"); // no manager: nothing happens
    EXPECT_EQ(KrLog(), nullptr);
    auto s = new_a<TKrStringStream>();
    KrLogSetLogV(s); // ignored before initialisation
    KrLogInitialize();
    KrLogInitialize();
    KrLogSetLogV(s);
    KrLogFinalize();
    EXPECT_EQ(KrLog(), s.get());
    KrLogFinalize();
    EXPECT_EQ(KrLog(), nullptr);
    EXPECT_EQ(s.use_count(), 1); // the last finalisation released the stream
}

/// Records what the parser reports, for checking its states on arbitrary input.
class TParserProbe : public TKrLogParser {
public:
    std::string events;
    void DoHeaderParsed(bool recordStart) override {
        events += recordStart ? std::string("[") + HeaderType() + std::to_string(HeaderLevel()) + "," +
                                    std::to_string(HeaderExtra()) + "]"
                              : std::string("[+]");
    }
    void RawWrite(const void* data, unsigned long n, bool isHeader) override {
        events += (isHeader ? "h:" : "t:") + std::string(static_cast<const char*>(data), n) + "|";
    }
};

TEST(KrLogParser, RecordsContinuationsAndMalformedHeadersInAnyPieces) {
    const std::string input = "\ntime\tW3,7\tsrc\ttext\n\t\t\tmore\n\nx\tX3\ts\tbad\nno tabs\n";
    const std::string expected = "[W3,7]h:time\tW3,7\tsrc\t|t:text\n|[+]h:\t\t\t|t:more\n|"
                                 "[E0,0]t:~|t:x\tX3\ts\t|t:bad\n|[E0,0]t:~|t:no tabs|t:\n|";
    TParserProbe whole;
    whole.Parse(input.data(), input.size());
    EXPECT_EQ(whole.events, expected);

    // Byte by byte, the same headers arrive in the same order; only the text is in more pieces.
    TParserProbe bytes;
    for (char c : input)
        bytes.Parse(&c, 1);
    auto headers = [](const std::string& events) {
        std::string h;
        for (std::size_t i = events.find('['); i != std::string::npos; i = events.find('[', i + 1))
            h += events.substr(i, events.find(']', i) - i + 1);
        return h;
    };
    EXPECT_EQ(headers(bytes.events), "[W3,7][+][E0,0][E0,0]");
    EXPECT_EQ(headers(whole.events), headers(bytes.events));

    // A header that never ends is cut at 1023 bytes and passed on as an error record.
    TParserProbe longHeader;
    const std::string big(3000, 'a');
    longHeader.Parse(big.data(), big.size());
    EXPECT_EQ(longHeader.events.substr(0, 12), "[E0,0]t:~|t:");
    EXPECT_EQ(std::count(longHeader.events.begin(), longHeader.events.end(), 'a'), 3000);
}

TEST(KrLogRedirect, FiltersPerTargetAndChannel) {
    TKrStringStream all, errorsUpTo2, channel7TextOnly;
    TKrLogRedirect redirect;
    redirect.AddStream(&all, TKrLogRedirect::GetAllFilter(), false);
    redirect.AddStream(&errorsUpTo2, {0, 2, -1, -1, 2, -1, -1}, false);
    redirect.AddStream(&channel7TextOnly, {7, 5, 5, 5, -1, -1, -1}, true);
    redirect.AddStream(nullptr, TKrLogRedirect::GetAllFilter(), false);

    for (int level = 0; level <= 3; ++level)
        KrLogWriteError(&redirect, "", ("e" + std::to_string(level)).c_str(), level, 0);
    KrLogWriteInfo(&redirect, "", "on seven\nsecond line", 5, 7);
    const std::string junk = "Z3\tjunk\n";
    redirect.Write(junk.data(), junk.size());

    // Targets get each record as one line: the line feed that opens a record is not passed on.
    EXPECT_EQ(WithoutTimes(errorsUpTo2.str()), "T\tE0\t\te0\nT\tE1\t\te1\nT\tE2\t\te2\n~Z3\tjunk\n");
    EXPECT_EQ(channel7TextOnly.str(), "on seven\nsecond line\n");
    EXPECT_EQ(WithoutTimes(all.str()), "T\tE0\t\te0\nT\tE1\t\te1\nT\tE2\t\te2\nT\tE3\t\te3\n"
                                       "T\tI5,7\t\ton seven\n\t\t\tsecond line\n~Z3\tjunk\n");
    EXPECT_EQ(redirect.getSize(), redirect.getPosition());
    EXPECT_GT(redirect.getSize(), 0u);
    char c;
    EXPECT_EQ(redirect.Read(&c, 1), 0u);
    EXPECT_TRUE(redirect.Flush());
}

TEST(KrLogCounter, CountsHeadersAndRecordsAndPassesBytesOn) {
    TKrStringStream inner;
    TKrLogCounter counter(&inner);
    KrLogWriteInfo(&counter, "s", "one\ntwo\nthree");
    KrLogWriteWarning(&counter, "s", "single");
    EXPECT_EQ(counter.RecordCount(), 2u);
    EXPECT_EQ(counter.HeaderCount(), 4u); // two records and two continuation lines
    EXPECT_EQ(inner.getSize(), counter.getSize());
    TKrLogCounter alone;
    EXPECT_EQ(alone.Write("abc", 3), 3u);
    EXPECT_TRUE(static_cast<bool>(alone));
}

TEST_F(KrLogFixture, QtMessagesBecomeErrorRecordsAboveTheMinimumSeverity) {
    TKrQLogMessageHandler& bridge = TKrQLogMessageHandler::instance();
    EXPECT_EQ(bridge.MinimumSeverity(), 2);
    qDebug("dropped");
    qWarning("careful %d", 5);
    qCritical("broken");
    bridge.Uninstall();
    const std::string log = Log();
    EXPECT_EQ(log.find("dropped"), std::string::npos);
    EXPECT_NE(log.find("\tE5\t"), std::string::npos);
    EXPECT_NE(log.find("[QT Warning]: careful 5\n"), std::string::npos) << log;
    EXPECT_NE(log.find("[QT Critical]: broken\n"), std::string::npos) << log;
}

} // namespace
