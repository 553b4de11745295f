// Escaping XML text into a buffered writer.
#include "Xml/KrXmlEscapeInternal.h"

#include "Streams/KrBufferedWriter.h"
#include "Streams/KrStringStream.h"

#include <gtest/gtest.h>

#include <random>

// The writer path must give the bytes of the buffer escaper, whatever the block size.
TEST(XmlEscape, WriterGivesTheBufferEscapersBytesAcrossBlockEnds) {
    std::mt19937 gen(11);
    for (int round = 0; round < 120; ++round) {
        std::string s(gen() % 200, '\0');
        for (char& c : s)
            c = "plain text&<>\"'\x01\n\xC3\xA4"[gen() % 18];
        for (unsigned mode : {55u, 52u, 63u}) {
            TKrStringStream out;
            TKrBufferedWriter w(&out, 1 + round % 9);
            std::size_t written = 0;
            EXPECT_TRUE(KrWriteStringXml(w, s.data(), s.size(), mode, &written));
            EXPECT_TRUE(w.Flush());
            EXPECT_EQ(out.str(), KrEncodeStringXml(s, mode)) << "mode " << mode;
            EXPECT_EQ(written, out.str().size());
        }
    }
}
