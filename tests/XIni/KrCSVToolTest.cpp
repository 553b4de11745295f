// krtool csv: dump raw and typed records, convert between dialects, a bad number's line.
#include "System/KrFsTestUtils.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace KrFsTest;

TEST(KrCSVTool, DumpRawAndThroughTemplate) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    dir.Write("t.csv", "id;x;name\r\n1;1,5;\"a;b\"\r\n2;-2,25;\"two\nlines\"\r\n3;oops;c\r\n");
    dir.Write("t.xini", "<krini><s n=\"separator\" v=\";\"/><i n=\"decimal_comma\" v=\"1\"/><x n=\"items\">"
                        "<x n=\"item\"><s n=\"type\" v=\"int\"/><s n=\"name\" v=\"id\"/></x>"
                        "<x n=\"item\"><s n=\"type\" v=\"double\"/><s n=\"name\" v=\"X\"/></x>"
                        "<x n=\"item\"><s n=\"type\" v=\"text\"/><s n=\"name\" v=\"name\"/></x></x></krini>");
    int status = -1;
    EXPECT_EQ(RunShell(dir.path, krtool + "csv dump t.csv | head -2", &status),
              "1: 1 fields: \"id;x;name\"\n2: 2 fields: \"1;1\" \"5;\\\"a;b\\\"\"\n");
    EXPECT_EQ(RunShell(dir.path, krtool + "csv dump t.csv --template t.xini 2>&1", &status),
              "1: header, 3 columns\n2: id=1 X=1.5 name=\"a;b\"\n3: id=2 X=-2.25 name=\"two\\nlines\"\n"
              "krtool csv: CSV line 5, field 2 (\"oops\"): not a number.\n");
    EXPECT_NE(status, 0);
}

TEST(KrCSVTool, ConvertWritesTheTemplateDialectOrNothing) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    dir.Write("de.csv", "name;x;id\r\n\"a;b\";1,5;1\r\nc;-2,25;2\r\n");
    dir.Write("de.xini",
              "<krini><s n=\"separator\" v=\";\"/><i n=\"decimal_comma\" v=\"1\"/><x n=\"items\">"
              "<x n=\"item\"><s n=\"type\" v=\"text\"/><s n=\"name\" v=\"name\"/></x></x></krini>");
    dir.Write("en.xini",
              "<krini><s n=\"separator\" v=\",\"/><i n=\"decimal_limit\" v=\"2\"/>"
              "<i n=\"use_decimal_limit\" v=\"1\"/><x n=\"items\">"
              "<x n=\"item\"><s n=\"type\" v=\"int\"/><s n=\"name\" v=\"id\"/></x>"
              "<x n=\"item\"><s n=\"type\" v=\"double\"/><s n=\"name\" v=\"x\"/></x>"
              "<x n=\"item\"><s n=\"type\" v=\"text\"/><s n=\"name\" v=\"name\"/></x></x></krini>");
    int status = -1;
    RunShell(dir.path, krtool + "csv convert de.csv en.csv --template en.xini --from de.xini", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir.path + "/en.csv"), "id,x,name\r\n1,1.50,\"a;b\"\r\n2,-2.25,\"c\"\r\n");

    dir.Write("bad.csv", "name;x;id\r\na;1,5;1\r\nb;oops;2\r\n");
    RunShell(dir.path, krtool + "csv convert bad.csv out.csv --template en.xini --from de.xini 2>/dev/null",
             &status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(std::ifstream(dir.path + "/out.csv").good()) << "a failed conversion leaves no half file";
}
