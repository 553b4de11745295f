#include "Core/KrCopyName.h"
#include "Core/KrSquareHelix.h"
#include "Core/KrStringList.h"

#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>

using Strings = std::vector<std::string>;

TEST(KrStringList, SplitKeepsEmptyPieces) {
    Strings out{"stale"};
    KrSplitString("a,,b,", ',', out);
    EXPECT_EQ(out, (Strings{"a", "", "b", ""}));
    KrSplitString("", ',', out);
    EXPECT_EQ(out, Strings{""});
    KrSplitString("abc", ',', out);
    EXPECT_EQ(out, Strings{"abc"});
}

TEST(KrStringList, ParseSetTrimsAndDeduplicates) {
    std::set<std::string> out{"kept"};
    KrParseStringSet(out, " b ;; a; b\t;;", ";;");
    EXPECT_EQ(out, (std::set<std::string>{"", "a; b", "b", "kept"}));
    KrParseStringSet(out, "", ";");
    KrParseStringSet(out, "zz", "");
    KrParseStringSet(out, "zz", nullptr);
    EXPECT_EQ(out.size(), 4u);
}

TEST(KrStringList, MergeAndTrim) {
    EXPECT_EQ(KrMergeStrings(std::set<std::string>{"b", "a"}, ", "), "a, b");
    EXPECT_EQ(KrMergeStrings(Strings{"x", "", "y"}, "/"), "x//y");
    EXPECT_EQ(KrMergeStrings(Strings{}, "/"), "");
    EXPECT_EQ(KrMergeStrings(Strings{"x", "y"}, nullptr), "xy");
    EXPECT_EQ(trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(trim_left("  a "), "a ");
    EXPECT_EQ(trim_right("  a "), "  a");
    EXPECT_EQ(trim(" \n "), "");
    EXPECT_EQ(trim("--a--", "-"), "a");
}

TEST(KrStringList, SplitCmdLineFollowsShellQuoting) {
    EXPECT_EQ(SplitCmdLine("  prog  -x   file "), (Strings{"prog", "-x", "file"}));
    EXPECT_EQ(SplitCmdLine("a\"b c\"'d e' \"\" ''"), (Strings{"ab cd e", "", ""}));
    EXPECT_EQ(SplitCmdLine(R"(a\ b "q\"x\n" 'l\t')"), (Strings{"a b", "q\"x\\n", "l\\t"}));
    EXPECT_EQ(SplitCmdLine("\"unterminated arg"), Strings{"unterminated arg"});
    EXPECT_EQ(SplitCmdLine("end\\"), Strings{"end\\"});
    EXPECT_TRUE(SplitCmdLine(" \t\n").empty());
}

TEST(KrCopyName, IndicesAndSuffixFamilies) {
    EXPECT_EQ(MakeCopyNameIndex("log", 2), "log [2]");
    EXPECT_EQ(MakeCopyNameIndex("log", 0), "log");
    EXPECT_EQ(MakeCopyName("Plan", ""), "Plan [2]");
    EXPECT_EQ(MakeCopyName("Plan [2]", ""), "Plan [3]");
    EXPECT_EQ(MakeCopyName("Plan [09]", ""), "Plan [10]");
    EXPECT_EQ(MakeCopyName("Plan", " copy"), "Plan copy");
    EXPECT_EQ(MakeCopyName("Plan copy", " copy"), "Plan copy [2]");
    EXPECT_EQ(MakeCopyName("Plan copy [7]", " copy"), "Plan copy [8]");
    EXPECT_EQ(MakeCopyName("Plan [2]", " copy"), "Plan [2] copy");
    // Not an index: no blank, no digits, zero, too long.
    EXPECT_EQ(MakeCopyName("Plan[2]", ""), "Plan[2] [2]");
    EXPECT_EQ(MakeCopyName("Plan []", ""), "Plan [] [2]");
    EXPECT_EQ(MakeCopyName("Plan [0]", ""), "Plan [0] [2]");
    EXPECT_EQ(MakeCopyName("[5]", ""), "[5] [2]");
    EXPECT_EQ(MakeCopyName("P [18446744073709551615]", ""), "P [18446744073709551615] [2]");
    EXPECT_EQ(MakeCopyName("P [18446744073709551616]", ""), "P [18446744073709551616] [2]");
}

TEST(KrCopyName, SkipsTakenNames) {
    const std::set<std::string> taken{"Plan copy", "Plan copy [2]", "Plan copy [3]"};
    auto isTaken = [&](const std::string& s) { return taken.count(s) != 0; };
    EXPECT_EQ(MakeCopyName("Plan", " copy", isTaken), "Plan copy [4]");
    EXPECT_EQ(MakeCopyName("Other", " copy", isTaken), "Other copy");
}

namespace {
// Every step of the spiral, inside the grid or not, filtered afterwards.
std::vector<std::pair<long, long>> NaiveSpiral(long w, long h) {
    std::vector<std::pair<long, long>> cells;
    long x = (w - 1) / 2, y = (h - 1) / 2;
    const long dx[4] = {1, 0, -1, 0}, dy[4] = {0, 1, 0, -1};
    auto visit = [&] {
        if (x >= 0 && x < w && y >= 0 && y < h) cells.emplace_back(x, y);
    };
    visit();
    for (long len = 1, dir = 0; static_cast<long>(cells.size()) < w * h; ++len)
        for (int k = 0; k < 2; ++k, dir = (dir + 1) % 4)
            for (long i = 0; i < len && static_cast<long>(cells.size()) < w * h; ++i) {
                x += dx[dir];
                y += dy[dir];
                visit();
            }
    return cells;
}
} // namespace

TEST(KrSquareHelix, VisitsEveryCellOnceInSpiralOrder) {
    for (long w : {1, 2, 3, 4, 7, 1, 13})
        for (long h : {1, 2, 5, 6, 1, 31}) {
            std::vector<std::pair<long, long>> seen;
            EXPECT_TRUE(square_helix_loop(w, h, [&](long x, long y) {
                seen.emplace_back(x, y);
                return true;
            }));
            EXPECT_EQ(seen, NaiveSpiral(w, h)) << w << "x" << h;
        }
}

TEST(KrSquareHelix, StopsEarlyAndHandlesDegenerateGrids) {
    int calls = 0;
    EXPECT_FALSE(square_helix_loop(100, 100, [&](long, long) { return ++calls < 10; }));
    EXPECT_EQ(calls, 10);
    EXPECT_TRUE(square_helix_loop(0, 5, [&](long, long) { return ++calls, true; }));
    EXPECT_TRUE(square_helix_loop(-3, 5, nullptr));
    EXPECT_EQ(calls, 10);
    // A long strip: far more spiral steps outside the grid than cells in it.
    long count = 0;
    EXPECT_TRUE(square_helix_loop(1, 2000000, [&](long, long) { return ++count, true; }));
    EXPECT_EQ(count, 2000000);
}
