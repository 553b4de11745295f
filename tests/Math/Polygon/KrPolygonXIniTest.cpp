// Contours, domains and planar sets saved to XIni and loaded back.
#include "Core/KrMessage.h"
#include "Core/KrModuleStartup.h"
#include "Math/Polygon/KrPolygonXIni.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>

namespace {

class PolygonXIni : public ::testing::Test {
protected:
    void SetUp() override { Init_KrStd(); }
    void TearDown() override { Deinit_KrStd(); }
};

} // namespace

TEST_F(PolygonXIni, RegionsRoundTripExactlyUnderAnyLocale) {
    const TKrPlanarSet set{
        {{{0.1, -2.5e-300, 3}, {1e300, 7, -0.0}, {-5, 1.0 / 3, 2}}, {}, {{1, 2, 3}}},
        {},
        {{{4, 4, 4}}},
    };
    for (const char* locale : {"C", "de_DE.UTF-8", "tr_TR.UTF-8"}) {
        SCOPED_TRACE(locale);
        std::setlocale(LC_ALL, locale);
        auto tree = new_a<TKrXIniTree>();
        TKrXIniTreeWriter writer(tree);
        writer.BeginSectionSE("Region");
        XIniSaveE(&writer, set);
        writer.EndSectionE();
        writer.BeginSectionSE("Outline");
        XIniSaveE(&writer, set[0]);
        writer.EndSectionE();
        TKrXIniTreeReader reader(tree);
        TKrPlanarSet back{{{{9, 9, 9}}}};
        XIniLoadSE(&reader, "Region", back);
        EXPECT_EQ(back, set);
        TKrDomain domain;
        XIniLoadSE(&reader, "Outline", domain);
        EXPECT_EQ(domain, set[0]);
        TKrContour contour;
        EXPECT_THROW(XIniLoadSE(&reader, "Missing", contour), TKrMessage);
    }
    std::setlocale(LC_ALL, "C");
}

TEST_F(PolygonXIni, NonFiniteVerticesAreRefusedAndTheTargetKept) {
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    writer.BeginSectionSE("Ring");
    XIniSaveE(&writer, TKrContour{{0, 0, 0}, {std::numeric_limits<double>::quiet_NaN(), 1, 0}});
    writer.EndSectionE();
    TKrXIniTreeReader reader(tree);
    TKrContour c{{1, 2, 3}};
    EXPECT_THROW(XIniLoadSE(&reader, "Ring", c), TKrMessage);
    EXPECT_EQ(c, (TKrContour{{1, 2, 3}}));
    // The reader is back at the root afterwards.
    EXPECT_NE(reader.FindF("Ring", 0), TKrXIniReader::npos);
}
