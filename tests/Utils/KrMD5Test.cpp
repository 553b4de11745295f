// KrMD5 against the system md5sum; krtool md5 line for line with md5sum.
#include "Utils/KrMD5.h"

#include "Core/KrMessage.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

using namespace KrFsTest;

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

TEST(KrMD5, AgreesWithMd5sumOnRealFiles) {
    TScratchDir dir;
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
    EXPECT_EQ(Digest("abc").substr(0, 2), "\x90\x01"); // the byte form, first byte first
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
    const std::string md5 = Krtool() + "md5";
    if (md5 == "md5") GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    // Names md5sum escapes (backslash, line feed, carriage return), and input over several blocks.
    for (const char* name : {"plain", "back\\slash", "line\nfeed", "carriage\rreturn", "with space"})
        dir.Write(name, RandomBytes(std::string(name).size() * 1000, 1));
    dir.Write("large", RandomBytes((5 << 20) + 3, 2));
    int ours = -1, theirs = -1;
    EXPECT_EQ(RunShell(dir.path, md5 + " *", &ours), RunShell(dir.path, "md5sum *", &theirs));
    EXPECT_EQ(ours, theirs);
    // Standard input twice over (the second time at its end); unreadable inputs are skipped.
    EXPECT_EQ(RunShell(dir.path, md5 + " - - < large"), RunShell(dir.path, "md5sum - - < large"));
    EXPECT_EQ(RunShell(dir.path, md5 + " missing . plain 2>/dev/null", &ours),
              RunShell(dir.path, "md5sum plain"));
    EXPECT_EQ(ours, 1);
}
