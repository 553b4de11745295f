// Named options of the command line: both value forms, what counts as a value, this process's line.
#include "Core/KrCmdLineParams.h"

#include <gtest/gtest.h>

using TArgs = std::vector<std::string>;

TEST(KrCmdLineParams, ValueFormsAndWhatCountsAsAValue) {
    // The value found for "--level", "absent" when the option is not there.
    const auto level = [](const TArgs& args) {
        std::string value = "untouched";
        return TKrCmdLineParams::get(args, "--level", &value) ? value : "absent";
    };
    const std::pair<TArgs, std::string> cases[] = {
        {{"prog", "--level=3"}, "3"},
        {{"prog", "x", "--level", "3", "y"}, "3"},
        {{"prog", "--level", "-3"}, "-3"},      // one dash starts a value
        {{"prog", "--level", "--other=1"}, ""}, // two dashes start the next option
        {{"prog", "--level"}, ""},              // present without a value
        {{"prog", "--level="}, ""},
        {{"prog", "--level=a=b", "--level=2"}, "a=b"}, // the first occurrence counts
        {{"prog", "--levels=3", "--lev", "-level=3"}, "absent"},
        {{"--level=3"}, "absent"}, // the program name is no option
        {{}, "absent"},
    };
    for (const auto& [args, expected] : cases)
        EXPECT_EQ(level(args), expected) << ::testing::PrintToString(args);
    EXPECT_TRUE(TKrCmdLineParams::get(TArgs{"prog", "--level"}, "--level", nullptr));
}

TEST(KrCmdLineParams, ProcessArgumentsAreTheProgramsOwn) {
    // The test framework keeps the arguments main() was given.
    const TArgs args = TKrCmdLineParams::arguments();
    EXPECT_EQ(args, ::testing::internal::GetArgvs());
    std::string filter, viaList;
    EXPECT_EQ(TKrCmdLineParams::get("--gtest_filter", &filter),
              TKrCmdLineParams::get(args, "--gtest_filter", &viaList));
    EXPECT_EQ(filter, viaList);
}
