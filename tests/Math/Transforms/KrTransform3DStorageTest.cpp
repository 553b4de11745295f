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

var_a<TKrXIniTree*> Tree(const std::string& items) {
    // items: "name=value;..." as double items inside one section "a".
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter w(tree);
    w.BeginSectionSE("a");
    std::size_t start = 0;
    while (start < items.size()) {
        std::size_t end = items.find(';', start);
        if (end == std::string::npos) end = items.size();
        const std::string item = items.substr(start, end - start);
        const std::size_t eq = item.find('=');
        if (item.substr(eq + 1) == "text")
            w.WriteSE(item.substr(0, eq), std::string("text"));
        else
            w.WriteSE(item.substr(0, eq), std::stod(item.substr(eq + 1)));
        start = end + 1;
    }
    w.EndSectionE();
    w.WriteSE("plain", 1.0);
    return tree;
}

} // namespace

TEST(KrAnglesStorage, RoundTripAndLoadForms) {
    const angles_aok a(0.1, -1.5707963267948966, 3.1);
    auto tree = new_a<TKrXIniTree>();
    {
        TKrXIniTreeWriter w(tree);
        a.SaveSE(&w, "rot");
        EXPECT_TRUE(angles_aok(1, 2, 3).SaveS(&w, "other"));
    }
    TKrXIniTreeReader r(tree);
    angles_aok b;
    b.LoadSE(&r, "rot");
    EXPECT_EQ(b, a);
    EXPECT_TRUE(b.LoadS(&r, "other"));
    EXPECT_EQ(b, angles_aok(1, 2, 3));
    XIniLoadSE(&r, "rot", b);
    EXPECT_EQ(b, a);
    EXPECT_FALSE(b.LoadS(&r, "absent"));
    EXPECT_THROW(b.LoadSE(&r, "absent"), TKrMessage);
    EXPECT_EQ(b, a);

    // A section missing "omega" and holding text for "kappa".
    auto damaged = Tree("alpha=0.5;kappa=text");
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
    std::string items;
    for (int i = 0; i < 15; ++i)
        items += "m" + std::to_string(i / 4) + std::to_string(i % 4) + "=" + (i % 5 == 0 ? "1" : "0") + ";";
    TKrXIniTreeReader missing(Tree(items));
    EXPECT_THROW(XIniLoadE(&missing, 0, loaded), TKrMessage);
    EXPECT_EQ(missing.ItemName(1), "plain");
    TKrXIniTreeReader infinite(Tree(items + "m33=inf"));
    EXPECT_THROW(XIniLoadE(&infinite, 0, loaded), TKrMessage);
    TKrXIniTreeReader whole(Tree(items + "m33=1"));
    XIniLoadE(&whole, 0, loaded);
    EXPECT_NE(dynamic_cast<TUnity3DTransform*>(loaded.get()), nullptr);
}

TEST(KrAnglesTool, ToMatrixAndBackUnderAGermanLocale) {
    const std::string krtool = KrFsTest::Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    KrFsTest::TScratchDir dir;
    int status = -1;
    const std::string env = "LC_ALL=de_DE.UTF-8 ";
    const std::string m =
        KrFsTest::RunShell(dir.path, env + krtool + "angles to-matrix 0.1 0.2 -0.3", &status);
    EXPECT_EQ(status, 0);
    double want[9];
    AlphaOmegaKappaToMatrix(0.1, 0.2, -0.3, want);
    std::string expected;
    for (int i = 0; i < 9; ++i) {
        char buf[64];
        expected +=
            std::string(buf, std::to_chars(buf, buf + sizeof buf, want[i]).ptr) + (i % 3 == 2 ? "\n" : " ");
    }
    EXPECT_EQ(m, expected);
    std::string flat = m;
    for (char& c : flat)
        if (c == '\n') c = ' ';
    const std::string back =
        KrFsTest::RunShell(dir.path, env + krtool + "angles from-matrix " + flat, &status);
    EXPECT_EQ(status, 0);
    double a[3] = {0, 0, 0};
    const char* p = back.data();
    for (double& v : a) {
        p = std::from_chars(p, back.data() + back.size(), v).ptr;
        p += *p == ' ';
    }
    EXPECT_EQ(std::string(p), "\n") << back;
    EXPECT_NEAR(a[0], 0.1, 1e-15);
    EXPECT_NEAR(a[1], 0.2, 1e-15);
    EXPECT_NEAR(a[2], -0.3, 1e-15);
    KrFsTest::RunShell(dir.path, krtool + "angles from-matrix 2 0 0 0 1 0 0 0 1 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    KrFsTest::RunShell(dir.path, krtool + "angles to-matrix 0,1 0 0 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    KrFsTest::RunShell(dir.path, krtool + "angles to-matrix 1 2 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
