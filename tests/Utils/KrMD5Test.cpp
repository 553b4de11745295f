// KrMD5 against RFC 1321's examples, against the system md5sum on real files, and in pieces.
#include "Utils/KrMD5.h"

#include "Core/KrMessage.h"
#include "KrChecksumTestUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

using namespace KrChecksumTest;

namespace {
std::string RandomText(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (auto& c : s)
        c = static_cast<char>(gen());
    return s;
}

std::string Finish(KrMD5::md5_state_s& state) {
    unsigned char digest[16];
    KrMD5::md5_finish(&state, digest);
    return std::string(reinterpret_cast<const char*>(digest), 16);
}
} // namespace

TEST(KrMD5, DigestsOfTheRfcExamples) {
    const std::pair<const char*, const char*> examples[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& [text, hex] : examples)
        EXPECT_EQ(KrMD5::md5(text), hex) << '"' << text << '"';

    // The byte form holds what the text form spells, first byte first; embedded zeros count.
    unsigned char digest[16];
    KrMD5::md5(std::string("a\0b", 3), digest);
    char spelled[33];
    for (int i = 0; i < 16; ++i)
        std::snprintf(spelled + 2 * i, 3, "%02x", digest[i]);
    EXPECT_EQ(KrMD5::md5(std::string("a\0b", 3)), spelled);
    EXPECT_NE(KrMD5::md5(std::string("a\0b", 3)), KrMD5::md5("ab"));
}

TEST(KrMD5, AgreesWithMd5sumOnRealFiles) {
    TScratchDir dir;
    ASSERT_FALSE(dir.path().empty());
    // Every length around the padding boundaries of one and two blocks, and a few large files.
    std::map<std::string, std::string> files;
    for (std::size_t n = 0; n <= 130; ++n)
        files["f" + std::to_string(n)] = RandomText(n, static_cast<unsigned>(n));
    files["block64k"] = RandomText(65536, 7);
    files["odd"] = RandomText(1000003, 8);
    files["zeros"] = std::string(3 << 20, '\0');
    for (const auto& [name, bytes] : files)
        WriteFile(dir / name, bytes);

    int status = -1;
    std::istringstream lines(RunShell("cd " + Quote(dir.path()) + " && md5sum *", &status));
    ASSERT_EQ(status, 0) << "md5sum failed";
    std::size_t checked = 0;
    for (std::string hex, name; lines >> hex >> name; ++checked) {
        ASSERT_TRUE(files.count(name)) << name;
        EXPECT_EQ(KrMD5::md5(ReadFile(dir / name)), hex) << name;
    }
    EXPECT_EQ(checked, files.size());
}

TEST(KrMD5, AppendInAnyPiecesEqualsOneShot) {
    const std::string text = RandomText(1000, 11);
    unsigned char whole[16];
    KrMD5::md5(text, whole);
    const std::string expected(reinterpret_cast<const char*>(whole), 16);
    KrMD5::md5_state_s state;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        KrMD5::md5_init(&state);
        KrMD5::md5_append(&state, text.data(), static_cast<int>(cut));
        KrMD5::md5_append(&state, text.data() + cut, static_cast<int>(text.size() - cut));
        ASSERT_EQ(Finish(state), expected) << "cut " << cut;
    }
    KrMD5::md5_init(&state);
    for (char c : text)
        KrMD5::md5_append(&state, &c, 1);
    EXPECT_EQ(Finish(state), expected);

    // The state is plain data: a copy taken midway finishes on its own.
    KrMD5::md5_init(&state);
    KrMD5::md5_append(&state, text.data(), 100);
    KrMD5::md5_state_s fork = state;
    KrMD5::md5_append(&fork, text.data() + 100, 900);
    EXPECT_EQ(Finish(fork), expected);
    std::string hex;
    for (unsigned char b : Finish(state)) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    EXPECT_EQ(hex, KrMD5::md5(text.substr(0, 100)));
}

TEST(KrMD5, BadArgumentsThrowAndLeaveTheStateUsable) {
    KrMD5::md5_state_s state;
    KrMD5::md5_init(&state);
    KrMD5::md5_append(&state, "ab", 2);
    EXPECT_THROW(KrMD5::md5_append(&state, "c", -1), TKrMessage);
    EXPECT_THROW(KrMD5::md5_append(&state, nullptr, 1), TKrMessage);
    EXPECT_THROW(KrMD5::md5_append(nullptr, "c", 1), TKrMessage);
    EXPECT_THROW(KrMD5::md5_init(nullptr), TKrMessage);
    KrMD5::md5_append(&state, nullptr, 0);
    KrMD5::md5_append(&state, "c", 1);
    unsigned char abc[16];
    KrMD5::md5("abc", abc);
    EXPECT_EQ(Finish(state), std::string(reinterpret_cast<const char*>(abc), 16));
    try {
        KrMD5::md5_append(&state, "c", -5);
    } catch (const TKrMessage& m) {
        EXPECT_NE(std::string(m.c_str()).find("md5_append"), std::string::npos) << m.c_str();
    }
}
