// KrMD5 against RFC 1321's examples and the system md5sum; krtool md5 line for line with md5sum.
#include "Utils/KrMD5.h"

#include "Core/KrMessage.h"
#include "KrChecksumTestUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace KrChecksumTest;

namespace {
std::string Finish(KrMD5::md5_state_s& state) {
    unsigned char digest[16];
    KrMD5::md5_finish(&state, digest);
    return std::string(reinterpret_cast<const char*>(digest), 16);
}
std::string Digest(std::string_view text) {
    unsigned char digest[16];
    KrMD5::md5(text, digest);
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
    EXPECT_EQ(Digest("abc").substr(0, 2), "\x90\x01"); // the byte form, first byte first
    EXPECT_NE(KrMD5::md5(std::string("a\0b", 3)), KrMD5::md5("ab"));
}

TEST(KrMD5, AgreesWithMd5sumOnRealFiles) {
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    // Every length around the padding boundaries of one and two blocks, and a few large files.
    std::map<std::string, std::string> files;
    for (std::size_t n = 0; n <= 130; ++n)
        files["f" + std::to_string(n)] = RandomBytes(n, unsigned(n));
    files["odd"] = RandomBytes(1000003, 8);
    files["zeros"] = std::string(3 << 20, '\0');
    for (const auto& [name, bytes] : files)
        dir.Write(name, bytes);
    int status = -1;
    std::istringstream lines(RunShell(dir.path, "md5sum *", &status));
    ASSERT_EQ(status, 0);
    std::size_t checked = 0;
    for (std::string hex, name; lines >> hex >> name; ++checked)
        EXPECT_EQ(KrMD5::md5(files[name]), hex) << name;
    EXPECT_EQ(checked, files.size());
}

TEST(KrMD5, AppendInAnyPiecesEqualsOneShot) {
    const std::string text = RandomBytes(1000, 11);
    const std::string whole = Digest(text);
    KrMD5::md5_state_s state;
    for (std::size_t cut = 0; cut <= text.size(); ++cut) {
        KrMD5::md5_init(&state);
        KrMD5::md5_append(&state, text.data(), int(cut));
        KrMD5::md5_append(&state, text.data() + cut, int(text.size() - cut));
        ASSERT_EQ(Finish(state), whole) << "cut " << cut;
    }
    KrMD5::md5_init(&state);
    for (char c : text)
        KrMD5::md5_append(&state, &c, 1);
    EXPECT_EQ(Finish(state), whole);
}

TEST(KrMD5, BadArgumentsThrowAndLeaveTheStateUsable) {
    KrMD5::md5_state_s state;
    KrMD5::md5_init(&state);
    KrMD5::md5_append(&state, "ab", 2);
    EXPECT_THROW(KrMD5::md5_append(&state, "c", -1), TKrMessage);
    EXPECT_THROW(KrMD5::md5_append(&state, nullptr, 1), TKrMessage);
    EXPECT_THROW(KrMD5::md5_append(nullptr, "c", 1), TKrMessage);
    KrMD5::md5_append(&state, nullptr, 0);
    KrMD5::md5_append(&state, "c", 1);
    EXPECT_EQ(Finish(state), Digest("abc"));
}

TEST(KrMD5, KrtoolLinesAreThoseOfMd5sum) {
    const auto tool = std::filesystem::path(KRSTD_LIBRARY_FILE).parent_path() / "tools/krtool/krtool";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    // Names md5sum escapes (backslash, line feed, carriage return), and input over several blocks.
    for (const char* name : {"plain", "back\\slash", "line\nfeed", "carriage\rreturn", "with space"})
        dir.Write(name, RandomBytes(std::string(name).size() * 1000, 1));
    dir.Write("large", RandomBytes((5 << 20) + 3, 2));
    const std::string md5 = "'" + tool.string() + "' md5";
    int ours = -1, theirs = -1;
    EXPECT_EQ(RunShell(dir.path, md5 + " *", &ours), RunShell(dir.path, "md5sum *", &theirs));
    EXPECT_EQ(ours, theirs);
    // Standard input twice over (the second time at its end); unreadable inputs are skipped.
    EXPECT_EQ(RunShell(dir.path, md5 + " - - < large"), RunShell(dir.path, "md5sum - - < large"));
    EXPECT_EQ(RunShell(dir.path, md5 + " missing . plain 2>/dev/null", &ours),
              RunShell(dir.path, "md5sum plain"));
    EXPECT_EQ(ours, 1);
}
