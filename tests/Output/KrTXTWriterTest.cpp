// Vector text export: every Save form byte for byte against hand-written files, and failures.
#include "Core/KrMessage.h"
#include "Output/KrTXTWriter.h"
#include "Streams/KrProbeStream.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

using namespace KrFsTest;

namespace {

std::string Expected(const char* name) {
    return ReadFile(std::string(KRSTD_TEST_SOURCE_DIR) + "/Output/data/" + name);
}

/// A writer into a string stream; `Text()` is what reached the stream.
struct TStringWriter {
    var_a<TKrStringStream*> stream = new_a<TKrStringStream>();
    TKrTXTWriter writer;
    explicit TStringWriter(int precision) : writer(var_a<TKrStream*>(stream), precision) {}
    const std::string& Text() const { return stream->str(); }
};

/// Formats under a locale with a decimal comma, where one is installed.
struct TCommaLocale {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    TCommaLocale() { std::setlocale(LC_ALL, "de_DE.UTF-8"); }
    ~TCommaLocale() { std::setlocale(LC_ALL, saved.c_str()); }
};

const TKrContour kDot0{vec3d(0, 0, 0)}, kDot1{vec3d(1, 1, 0)}, kDot2{vec3d(2, 2, 0)};

} // namespace

TEST(KrTXTWriter, PointBlocks) {
    TCommaLocale comma;
    TStringWriter w(3);
    const vec2d points[] = {vec2d(1.0005, 2.0005), vec2d(-0.5, 2), vec2d(-0.0001, 1234567.125)};
    EXPECT_TRUE(w.writer.SavePoints(points, 3));
    EXPECT_TRUE(w.writer.SavePoint(vec3d(10, 20, 30.25), "Survey", "TP1", -1));
    EXPECT_TRUE(w.writer.SavePoint(vec2d(5, 6), "Survey", nullptr, 0xFF0000));
    EXPECT_EQ(w.Text(), Expected("txt_points.txt"));
}

TEST(KrTXTWriter, PolylineAndContourBlocks) {
    TStringWriter w(3);
    const vec2d open[] = {vec2d(1, 2), vec2d(3, 4)};
    const vec3d triangle[] = {vec3d(0, 0, 1), vec3d(1, 0, 1), vec3d(0, 1, 1)};
    EXPECT_TRUE(w.writer.SavePolyline(open, 2, false));
    EXPECT_TRUE(w.writer.SavePolyline(triangle, 3, true, nullptr, "tri", 255));
    EXPECT_TRUE(w.writer.SaveContour(triangle, 0, nullptr, "empty"));
    EXPECT_TRUE(w.writer.SaveContour(std::vector<vec2d>{vec2d(7, 8), vec2d(9, 8)}, "Roads", "r"));
    EXPECT_EQ(w.Text(), Expected("txt_polylines.txt"));
}

TEST(KrTXTWriter, ContourListsNamedByIndexOrByArray) {
    TStringWriter w(3);
    const TKrContour contours[] = {{vec3d(1.5, 2.5, 3.5)}, {}};
    const TKrContour* pointers[] = {&contours[0], &contours[1]};
    const char* names[] = {"first", "second"};
    EXPECT_TRUE(w.writer.SaveContours(contours, 2, "K", nullptr, 3));
    EXPECT_TRUE(w.writer.SaveContours(pointers, 2, nullptr, names));
    EXPECT_EQ(w.Text(), Expected("txt_contours.txt"));
}

TEST(KrTXTWriter, DomainsAndPlanarSetsNameTheirContours) {
    TStringWriter w(1);
    const TKrDomain twoRings{kDot0, kDot1};
    const TKrPlanarSet lake{twoRings, TKrDomain{kDot2}};
    const TKrPlanarSet single{TKrDomain{kDot2}};
    const TKrPlanarSet sets[] = {single, single};
    EXPECT_TRUE(w.writer.SaveDomain(twoRings));
    EXPECT_TRUE(w.writer.SavePlanarSet(lake, nullptr, "Lake", 9));
    EXPECT_TRUE(w.writer.SavePlanarSet(single));
    EXPECT_TRUE(w.writer.SavePlanarSets(sets, 2));
    EXPECT_TRUE(w.writer.SavePlanarSet(TKrPlanarSet{}));
    EXPECT_EQ(w.Text(), Expected("txt_domains.txt"));
}

TEST(KrTXTWriter, MeshVerticesAlwaysHaveEightDecimals) {
    TStringWriter w(3);
    const vec3d vertices[] = {vec3d(1, 2, 3), vec3d(0.123456789, -4.5, 0)};
    EXPECT_FALSE(w.writer.SaveMeshBegin(2, 1));
    EXPECT_EQ(w.Text(), "");
    EXPECT_TRUE(w.writer.SaveMeshBegin(2, 0, nullptr, "m", 7));
    EXPECT_TRUE(w.writer.SaveMeshPoints(vertices, 1));
    EXPECT_TRUE(w.writer.SaveMeshPoints(vertices, 0));
    EXPECT_TRUE(w.writer.SaveMeshPoints(vertices + 1, 1));
    EXPECT_TRUE(w.writer.SaveMeshEnd());
    EXPECT_EQ(w.Text(), Expected("txt_mesh.txt"));
}

TEST(KrTXTWriter, FileFormsCreateTruncateAndUsePrecisionEight) {
    TScratchDir dir;
    const std::string file = dir.Write("out.txt", std::string(100000, 'x'));
    const vec3d p(1, 2, 3);
    EXPECT_TRUE(TKrTXTWriter::SavePoint(file, p, "L", "n"));
    EXPECT_EQ(ReadFile(file),
              "P \"L\" 0 6 4 \"L\"\nOBJECT_NAME=n\nOBJECT_COLOR=0\nOBJECT_SYMBOL=\nOBJECT_SIZE=1\n"
              "1.00000000,2.00000000,3.00000000\n*\n");
    const vec3d mesh[] = {vec3d(1, 2, 3), vec3d(0.123456789, -4.5, 0)};
    EXPECT_TRUE(TKrTXTWriter::SaveMesh(file, mesh, 2, nullptr, "m", 7));
    EXPECT_EQ(ReadFile(file), Expected("txt_mesh.txt"));

    TKrTXTWriter w(TKrPath(dir / "a.txt"), 2);
    EXPECT_TRUE(w.IsCreated());
    EXPECT_TRUE(w.Create(dir / "b.txt"));
    EXPECT_TRUE(w.SavePoint(vec2d(1, 2)));
    w.Destroy();
    EXPECT_FALSE(w.IsCreated());
    EXPECT_EQ(ReadFile(dir / "a.txt"), "");
    EXPECT_NE(ReadFile(dir / "b.txt").find("\n1.00,2.00,0.00\n*\n"), std::string::npos);
    EXPECT_THROW(TKrTXTWriter(TKrPath(dir / "missing/c.txt")), TKrMessage);
}

TEST(KrTXTWriter, LongLinesAndExtremeNumbers) {
    TStringWriter w(1100);
    const std::string layer(3000, 'a');
    EXPECT_TRUE(w.writer.SavePoint(vec3d(1e308, -5e-324, 0.1), layer.c_str()));
    const std::string& t = w.Text();
    EXPECT_EQ(t.substr(0, 3005), "P \"" + layer + "\" ");
    const std::size_t vertex = t.find("OBJECT_SIZE=1\n") + 14;
    const std::string line = t.substr(vertex, t.find('\n', vertex) - vertex);
    char expected[4000];
    std::snprintf(expected, sizeof expected, "%.*f,%.*f,%.*f", 1100, 1e308, 1100, -5e-324, 1100, 0.1);
    EXPECT_EQ(line, expected);

    TStringWriter negative(-1); // printf's reading of a negative precision: six decimals
    EXPECT_TRUE(negative.writer.SavePoint(vec3d(0.5, 1, 2)));
    EXPECT_NE(negative.Text().find("\n0.500000,1.000000,2.000000\n"), std::string::npos);
}

TEST(KrTXTWriter, WithoutAUsableStreamEverySaveFails) {
    TKrTXTWriter none;
    const vec3d p(1, 2, 3);
    EXPECT_FALSE(none.IsCreated());
    EXPECT_FALSE(none.SavePoint(p));
    EXPECT_FALSE(none.SaveMeshEnd());
    EXPECT_FALSE(none.SaveDomain(TKrDomain{kDot0}));

    auto closed = new_a<KrStreamTest::TProbeStream>();
    closed->unusable = true;
    EXPECT_FALSE(TKrTXTWriter(var_a<TKrStream*>(closed)).IsCreated());

    // A stream that stops taking bytes fails the Save that met it and every later one.
    auto failing = new_a<KrStreamTest::TProbeStream>();
    TKrTXTWriter w{var_a<TKrStream*>(failing)};
    EXPECT_TRUE(w.SavePoint(p));
    failing->failWrite = true;
    EXPECT_FALSE(w.SavePoint(p));
    failing->failWrite = false;
    EXPECT_FALSE(w.SavePoint(p));
    EXPECT_EQ(failing->writes.size(), 2u);
}
