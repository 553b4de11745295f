#include "Core/KrStringEncode.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

namespace {
std::string AllBytes() {
    std::string s;
    for (int c = 0; c < 256; ++c)
        s += static_cast<char>(c);
    return s;
}
} // namespace

TEST(KrEncodeString, EscapesControlsBangAndQuote) {
    EXPECT_EQ(KrEncodeString(std::string("\0", 1), false), "!/");
    EXPECT_EQ(KrEncodeString("a!b\"c d", false), "a!Pb!Qc d");
    EXPECT_EQ(KrEncodeString("", true), "\"\"");
    EXPECT_EQ(KrEncodeString("x\ty", true), "\"x!8y\"");
}

TEST(KrEncodeString, RoundTripsEveryByteQuotedAndNot) {
    const std::string all = AllBytes();
    for (bool quote : {false, true}) {
        const std::string enc = KrEncodeString(all, quote);
        for (std::size_t i = quote ? 1 : 0; i + (quote ? 1 : 0) < enc.size(); ++i) {
            ASSERT_GE(static_cast<unsigned char>(enc[i]), 32u) << i;
            ASSERT_NE(enc[i], '"') << i;
        }
        EXPECT_EQ(KrDecodeString(enc, quote), all);
    }
}

TEST(KrDecodeString, OddInputIsCopied) {
    EXPECT_EQ(KrDecodeString("a!", false), "a!");        // "!" at the end
    EXPECT_EQ(KrDecodeString("!z!R!O", false), "!z!R "); // R - 47 is 35: no escape; O gives a blank
    EXPECT_EQ(KrDecodeString("\"", true), "");
    EXPECT_EQ(KrDecodeString("\"abc", true), "abc");   // no closing quote
    EXPECT_EQ(KrDecodeString("abc\"", true), "abc\""); // not quoted: nothing dropped
    EXPECT_EQ(KrDecodeString("\"ab\"", false), "\"ab\"");
}

TEST(KrBase64, KnownVectorsAndAlphabet) {
    const char* const plain[] = {"", "f", "fo", "foo", "foob", "fooba", "foobar"};
    const char* const coded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(KrEncodeStringBase64(plain[i]), coded[i]);
        EXPECT_EQ(KrDecodeStringBase64(coded[i]), plain[i]);
    }
    EXPECT_EQ(KrEncodeStringBase64("\xFB\xFF"), "+/8=");
    for (char c : {'+', '/', '9', 'a', 'Z'})
        EXPECT_TRUE(IsBase64Char(c)) << c;
    for (char c : {'=', '-', '_', '\xC3'})
        EXPECT_FALSE(IsBase64Char(c)) << c;
}

TEST(KrBase64, RandomRoundTrips) {
    std::mt19937 rng(7);
    for (std::size_t len = 0; len < 200; ++len) {
        std::string s(len, '\0');
        for (char& c : s)
            c = static_cast<char>(rng());
        const std::string enc = KrEncodeStringBase64(s);
        ASSERT_EQ(enc.size() % 4, 0u);
        ASSERT_EQ(KrDecodeStringBase64(enc), s) << len;
    }
}

TEST(KrBase64, LenientDecodingStaysInsideTheInput) {
    EXPECT_EQ(KrDecodeStringBase64("Zm8"), "fo");                  // unpadded
    EXPECT_EQ(KrDecodeStringBase64("Zm9vY"), "foo");               // a lone final character gives nothing
    EXPECT_EQ(KrDecodeStringBase64("===="), std::string(1, '\0')); // two pads, then "==" as 0 bits
    EXPECT_EQ(KrDecodeStringBase64("Z!==").size(), 1u);
    EXPECT_EQ(KrDecodeStringBase64(nullptr, 10), "");
    // Exactly sized heap buffers without a terminator: ASan reports any read past them.
    for (const std::string text : {"Zm9vYmFy", "Zm9vYg=", "Zm", "=", "Z"}) {
        std::unique_ptr<char[]> exact(new char[text.size()]);
        std::copy(text.begin(), text.end(), exact.get());
        EXPECT_EQ(KrDecodeStringBase64(exact.get(), text.size()), KrDecodeStringBase64(text));
    }
}

TEST(KrHtmlIri, Encoders) {
    EXPECT_EQ(KrEncodeStringHtml("a<b>&\"c\""), "a&lt;b&gt;&amp;\"c\"");
    EXPECT_EQ(KrEncodeStringIriQueryParam("a b&c"), "a%20b%26c");
    EXPECT_EQ(KrEncodeStringIriQueryParam("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(KrEncodeStringIriQueryParam("!$'()*+,-./09:;=?@AZ_az~"), "!$'()*+,-./09:;=?@AZ_az~");
    EXPECT_EQ(KrEncodeStringIriQueryParam(std::string("\0#%\x7F", 4)), "%00%23%25%7F");
}

TEST(KrHtmlIri, IriDecodingInvertsEncodingAndKeepsStrayPercents) {
    const std::string all = AllBytes();
    EXPECT_EQ(KrDecodeStringIri(KrEncodeStringIriQueryParam(all)), all);
    EXPECT_EQ(KrDecodeStringIri("%2f%2F%zz%4"), "//%zz%4");
    EXPECT_EQ(KrDecodeStringIri("%"), "%");
    EXPECT_EQ(KrDecodeStringIri("a+b"), "a+b");
    EXPECT_EQ(KrHexDecode('f'), 15);
    EXPECT_EQ(KrHexDecode('G'), -1);
}
