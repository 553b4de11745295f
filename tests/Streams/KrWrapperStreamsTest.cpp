// Streams over other streams and resources: part windows, pass-through, Qt resources.
#include "KrProbeStream.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrPartStream.h"
#include "Streams/KrPassThroughStream.h"
#include "Streams/KrResourceStream.h"
#include "Streams/KrStringStream.h"

#include <QFile>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

using KrStreamTest::TProbeStream;

TEST(KrPartStream, ReadsOnlyItsWindow) {
    TKrStringStream source("0123456789ABCDEFGHIJKLMNOP");
    source.SetInfoName("src");
    TKrPartStream part(&source, 10, 10, krOpenRead);
    EXPECT_EQ(part.GetInfoName(), "src:part(10,10)");
    EXPECT_EQ(part.getSize(), 10u);
    char buf[32] = {};
    EXPECT_EQ(part.Read(buf, 32), 10u);
    EXPECT_EQ(std::string(buf, 10), "ABCDEFGHIJ");
    EXPECT_EQ(part.getState(), TKrStream::stEndOfData);
    EXPECT_EQ(part.Read(buf, 1), 0u);
    EXPECT_EQ(part.getState(), TKrStream::stEndOfData);

    // The source moved meanwhile: the window repositions it.
    source.setPosition(0);
    part.setPosition(4);
    EXPECT_EQ(part.Read(buf, 2), 2u);
    EXPECT_EQ(std::string(buf, 2), "EF");
    EXPECT_FALSE(part.setPosition64(11));
    EXPECT_EQ(part.Read(buf, 1), TKrStream::invalid_value);
    EXPECT_FALSE(part.setSize(3));
    EXPECT_TRUE(part.setSize(10));
    EXPECT_EQ(part.Write("x", 1), TKrStream::invalid_value);
    EXPECT_THROW(TKrPartStream(&source, 0, 1, krCreateNew), std::logic_error);
}

TEST(KrPartStream, WritesWithinTheWindowAndOwnsNothing) {
    TProbeStream source(std::string(8, '.'));
    {
        TKrPartStream part(&source, 2, 4, krOpenReadWrite);
        EXPECT_EQ(part.Write("abcdef", 6), 4u);
        EXPECT_EQ(source.data, "..abcd..");
        EXPECT_TRUE(part.getState() & TKrStream::stWriteError);
        EXPECT_TRUE(part.Close());
        EXPECT_TRUE(part.Flush());
        part.setOptions(TKrStream::optNoFlushSource);
        EXPECT_TRUE(part.Flush());
    }
    EXPECT_EQ(source.closes, 0);
    EXPECT_EQ(source.flushes, 1);
    {
        TKrPartStream part(&source, 0, 8, krOpenRead);
        part.setOptions(TKrStream::optCloseSource);
        source.failFlush = true;
        EXPECT_FALSE(part.Flush());
        EXPECT_TRUE(part.getState() & TKrStream::stWriteError);
    }
    EXPECT_EQ(source.closes, 1); // closed by the destructor under optCloseSource
}

TEST(KrPassThroughStream, ForwardsEverythingAndHoldsTheSource) {
    auto source = new_a<TKrMemoryStream>("inner");
    TKrPassThroughStream pass(source);
    EXPECT_EQ(source.use_count(), 2);
    EXPECT_EQ(pass.Write("abc", 3), 3u);
    EXPECT_EQ(source->getSize(), 3u);
    pass.setPosition(1);
    char c;
    EXPECT_EQ(pass.Read(&c, 1), 1u);
    EXPECT_EQ(c, 'b');
    pass.setState(0x100);
    EXPECT_EQ(source->getState(), 0x100u);
    pass.SetInfoName("renamed");
    EXPECT_EQ(source->GetInfoName(), "renamed");
    EXPECT_TRUE(static_cast<bool>(pass));

    TKrPassThroughStream empty{var_a<TKrStream*>()};
    EXPECT_FALSE(empty.Close());
    EXPECT_FALSE(static_cast<bool>(empty));
    EXPECT_EQ(empty.Read(&c, 1), TKrStream::invalid_value);
}

TEST(KrResourceStream, ReadsCompiledInResources) {
    QFile original(QStringLiteral(KRSTD_TEST_SOURCE_DIR "/Streams/data/big.txt"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray expected = original.readAll();

    TKrResourceStream big("kr_test/big.txt"); // stored compressed by rcc
    ASSERT_TRUE(static_cast<bool>(big));
    EXPECT_EQ(big.getSize(), static_cast<streamsize_t>(expected.size()));
    std::string all(big.getSize(), '\0');
    EXPECT_TRUE(big.ReadAll(&all[0], all.size()));
    EXPECT_EQ(all, expected.toStdString());

    TKrResourceStream sample("kr_test/sample.txt", "sample");
    EXPECT_EQ(sample.getString(), "line one\r\nline two\n");
    char line[32];
    EXPECT_EQ(sample.getLine(line, sizeof line), 8u);
    EXPECT_STREQ(line, "line one");
    EXPECT_EQ(sample.Write("x", 1), TKrStream::invalid_value);
    EXPECT_FALSE(sample.setSize(1));
    EXPECT_EQ(sample.getState(), TKrStream::stWriteError);
    EXPECT_FALSE(sample.setPosition(sample.getSize() + 1));

    TKrResourceStream missing("kr_test/none");
    EXPECT_FALSE(static_cast<bool>(missing));
    EXPECT_EQ(missing.getData(), "");
}

} // namespace
