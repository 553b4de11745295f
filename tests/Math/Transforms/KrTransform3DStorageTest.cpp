// Angles and space transforms in settings: round trips through XIni text, the load forms' defaults and
// failures on damaged sections; the angles command of krtool under a foreign locale.
#include "Math/Transforms/Kr3DProjectiveTransform.h"
#include "Math/Transforms/KrAffineTransform3D.h"
#include "Math/Transforms/KrAnglesAOK.h"
#include "Math/Transforms/KrCombinedTransform3D.h"
#include "Math/Transforms/KrSimple3DTransforms.h"
#include "System/KrFsTestUtils.h"
#include "XIni/KrXIniFakes.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>

namespace {

// A section "a" of double items ("text" makes a string item), followed by the double item "plain".
var_a<TKrXIniTree*> Tree(const std::vector<std::pair<std::string, std::string>>& items) {
    auto tree = new_a<TKrXIniTree>();
    auto section = tree->AddSection("a");
    for (const auto& [name, value] : items)
        section->AddItem(value == "text" ? TE_KrXIniItemType::String : TE_KrXIniItemType::Double, name,
                         value);
    tree->AddItem(TE_KrXIniItemType::Double, "plain", "1");
    return tree;
}

} // namespace

TEST(KrAnglesStorage, RoundTripAndLoadForms) {
    const angles_aok a(0.1, -1.5707963267948966, 3.1);
    auto tree = new_a<TKrXIniTree>();
    {
        TKrXIniTreeWriter w(tree);
        a.SaveSE(&w, "rot");
    }
    TKrXIniTreeReader r(tree);
    angles_aok b;
    b.LoadSE(&r, "rot");
    EXPECT_EQ(b, a);
    XIniLoadSE(&r, "rot", b);
    EXPECT_EQ(b, a);
    EXPECT_FALSE(b.LoadS(&r, "absent"));
    EXPECT_THROW(b.LoadSE(&r, "absent"), TKrMessage);
    EXPECT_EQ(b, a);

    // A section missing "omega" and holding text for "kappa".
    auto damaged = Tree({{"alpha", "0.5"}, {"kappa", "text"}});
    TKrXIniTreeReader d(damaged);
    angles_aok c(9, 9, 9);
    EXPECT_TRUE(c.Load(&d, 0));
    EXPECT_EQ(c, angles_aok(0.5, 0, 0));
    EXPECT_TRUE(c.Load(&d, 0, angles_aok(7, 8, 9)));
    EXPECT_EQ(c, angles_aok(0.5, 8, 9));
    EXPECT_FALSE(c.Load(&d, 1)); // an item, not a section
    EXPECT_FALSE(c.Load(&d, 5));
    EXPECT_THROW(c.LoadE(&d, 0), TKrMessage);
    EXPECT_THROW(c.LoadE(&d, 1), TKrMessage);
    EXPECT_EQ(c, angles_aok(0.5, 8, 9));
    // The reader is back in the root section after every load, failed ones included.
    EXPECT_EQ(d.ItemName(1), "plain");

    krtest::TRecordingWriter failing;
    failing.failing = true;
    EXPECT_FALSE(a.SaveS(&failing, "rot"));
    EXPECT_THROW(a.SaveSE(&failing, "rot"), TKrMessage);
}

TEST(KrTransform3DStorage, MatrixRoundTripGivesTheSimplestClass) {
    TCombinedTransform3D chain(false);
    chain.AddL(TShift3DTransform(1, 2, 3));
    chain.AddL(TSwapXY3DTransform());
    const TKr3DProjectiveTransform proj(1, 0.1, 0, 5, 0, 1, 0.2, 6, 0, 0, 1, 7, 1e-4, 0, 0, 2);
    const std::vector<const TKr3DTransform*> stored = {&chain, &proj, new TShift3DTransform(0.5, 0, 0)};
    auto tree = new_a<TKrXIniTree>();
    {
        TKrXIniTreeWriter w(tree);
        for (const TKr3DTransform* t : stored) {
            w.BeginSectionSE("t");
            XIniSaveE(&w, *t);
            w.EndSectionE();
        }
    }
    TKrXIniTreeReader r(tree);
    var_a<TKr3DTransform*> loaded;
    XIniLoadE(&r, 0, loaded);
    EXPECT_NE(dynamic_cast<TKrAffineTransform3D*>(loaded.get()), nullptr);
    EXPECT_EQ(loaded->GetTraCoord(vec3d(1, 1, 1)), chain.GetTraCoord(vec3d(1, 1, 1)));
    XIniLoadE(&r, 1, loaded);
    ASSERT_NE(dynamic_cast<TKr3DProjectiveTransform*>(loaded.get()), nullptr);
    EXPECT_EQ(loaded->GetTraCoord(vec3d(4, 5, 6)), proj.GetTraCoord(vec3d(4, 5, 6)));
    XIniLoadE(&r, 2, loaded);
    EXPECT_NE(dynamic_cast<TShift3DTransform*>(loaded.get()), nullptr);
    delete stored[2];

    // Damaged: a missing element, a non-finite one.
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 0; i < 15; ++i)
        items.emplace_back("m" + std::to_string(i / 4) + std::to_string(i % 4), i % 5 ? "0" : "1");
    TKrXIniTreeReader missing(Tree(items));
    EXPECT_THROW(XIniLoadE(&missing, 0, loaded), TKrMessage);
    EXPECT_EQ(missing.ItemName(1), "plain");
    items.emplace_back("m33", "inf");
    TKrXIniTreeReader infinite(Tree(items));
    EXPECT_THROW(XIniLoadE(&infinite, 0, loaded), TKrMessage);
    items.back().second = "1";
    TKrXIniTreeReader whole(Tree(items));
    XIniLoadE(&whole, 0, loaded);
    EXPECT_NE(dynamic_cast<TUnity3DTransform*>(loaded.get()), nullptr);
}

namespace {
// The numbers of a text, read in the "C" notation.
std::vector<double> Numbers(const std::string& text) {
    std::vector<double> v;
    for (const char* p = text.data(); p < text.data() + text.size(); ++p)
        if (*p != ' ' && *p != '\n') p = std::from_chars(p, text.data() + text.size(), v.emplace_back()).ptr;
    return v;
}
} // namespace

TEST(KrAnglesTool, ToMatrixAndBackUnderAGermanLocale) {
    const std::string krtool = KrFsTest::Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    KrFsTest::TScratchDir dir;
    int status = -1;
    const std::string run = "LC_ALL=de_DE.UTF-8 " + krtool + "angles ";
    std::string m = KrFsTest::RunShell(dir.path, run + "to-matrix 0.1 0.2 -0.3", &status);
    EXPECT_EQ(status, 0);
    double want[9];
    AlphaOmegaKappaToMatrix(0.1, 0.2, -0.3, want);
    EXPECT_EQ(Numbers(m), std::vector<double>(want, want + 9)) << m;
    for (char& c : m)
        c = c == '\n' ? ' ' : c;
    const std::vector<double> back = Numbers(KrFsTest::RunShell(dir.path, run + "from-matrix " + m, &status));
    EXPECT_EQ(status, 0);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_NEAR(back[0], 0.1, 1e-15);
    EXPECT_NEAR(back[1], 0.2, 1e-15);
    EXPECT_NEAR(back[2], -0.3, 1e-15);
    for (const auto& [args, code] : {std::pair<const char*, int>{"from-matrix 2 0 0 0 1 0 0 0 1", 1},
                                     {"to-matrix 0,1 0 0", 1},
                                     {"to-matrix 1 2", 2}}) {
        KrFsTest::RunShell(dir.path, run + args + " 2>/dev/null", &status);
        EXPECT_EQ(status, code) << args;
    }
}
