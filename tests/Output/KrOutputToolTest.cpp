// krtool palette, dem, export and report on the samples and on bad input.
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <string>

using namespace KrFsTest;

namespace {
const std::string kSamples = std::string(KRSTD_TEST_SOURCE_DIR) + "/../samples/";
}

TEST(KrOutputTool, ReportOfTheSampleInEnglish) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    int status = -1;
    const std::string out = RunShell(dir.path,
                                     krtool + "report '" + kSamples + "report.tmpl' '" + kSamples +
                                         "report-data.x-ini' --lang en",
                                     &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "Point report: Survey north field\n"
                   "Operator: A. Tester\n"
                   "Point     |    Height| Status\n"
                   "TP-101    |   412.250| ok\n"
                   "TP-102-NOR|   398.125| measure again\n"
                   "TP-103    |     401.5| ok\n"
                   "Survey north field: 1 of 3 points to be measured again.\n");
}

TEST(KrOutputTool, ImagesAndWktExport) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    int status = -1;
    RunShell(dir.path, krtool + "palette render elev ramp.png --width 64 --height 4", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir / "ramp.png").substr(1, 3), "PNG");
    RunShell(dir.path, krtool + "dem colorize '" + kSamples + "terrain.raw' 128 128 dem.png --palette std",
             &status);
    EXPECT_EQ(status, 0);
    // a grid of the wrong size, an unknown palette
    RunShell(dir.path,
             krtool + "dem colorize '" + kSamples + "terrain.raw' 128 64 x.png --palette std 2>/dev/null",
             &status);
    EXPECT_EQ(status, 1);
    RunShell(dir.path, krtool + "palette render nosuch x.png 2>/dev/null", &status);
    EXPECT_EQ(status, 1);

    dir.Write("in.wkt",
              "POLYGON((0 0,2 0,2 1,0 0))\n\nMULTIPOLYGON(((5 5,6 5,6 6,5 5)),((7 7,8 7,8 8,7 7)))\n");
    EXPECT_EQ(RunShell(dir.path, krtool + "export polygons in.wkt out.txt --layer W --precision 1", &status),
              "out.txt: 3 polygons, 3 rings\n");
    const std::string text = ReadFile(dir / "out.txt");
    const std::string head = "C \"W\" 0 9 4 \"W\"\nOBJECT_NAME=wkt_Dmn_00_Cnt_00\nOBJECT_COLOR=0\n"
                             "OBJECT_SYMBOL=\nOBJECT_SIZE=1\n0.0,0.0,0.0\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("OBJECT_NAME=wkt_Dmn_02_Cnt_00\n"), std::string::npos);
    dir.Write("bad.wkt", "POLYGON((0 0,1 1\n");
    RunShell(dir.path, krtool + "export polygons bad.wkt out.txt 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
}
