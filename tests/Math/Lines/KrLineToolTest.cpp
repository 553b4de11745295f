// krtool line and spline: WKT in and out, the thinning rule at a line's end, tables, bad input.
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

using namespace KrFsTest;

TEST(KrLineTool, ThinThickenAndTabulate) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    dir.Write("l.wkt", "LINESTRING(0 0,1 0.05,2 -0.05,3 0,4 0)\n");
    dir.Write("p.wkt", "POLYGON((0 0,10 0,10 10,0 10,0 0))");
    dir.Write("bad.wkt", "LINESTRING(0 0,1");
    int status = -1;
    // The chord that reaches the last vertex keeps the one before it.
    EXPECT_EQ(RunShell(dir.path, krtool + "line thin l.wkt 0.1 --left 0.1 --right 0.1 2>/dev/null", &status),
              "LINESTRING(0 0,3 0,4 0)\n");
    EXPECT_EQ(RunShell(dir.path, krtool + "line thicken p.wkt 5 --closed 2>/dev/null", &status),
              "POLYGON((0 0,5 0,10 0,10 5,10 10,5 10,0 10,0 5,0 0))\n");
    EXPECT_EQ(RunShell(dir.path, krtool + "spline table 5 0,0 2,3 4,4", &status),
              "0\t0\n1\t2\n2\t3\n3\t4\n4\t4\n");
    for (const char* bad : {"line thin bad.wkt 1", "line thin l.wkt nan", "spline table 5 2,0 1,1"}) {
        RunShell(dir.path, krtool + bad + " 2>/dev/null", &status);
        EXPECT_NE(status, 0) << bad;
    }
}
