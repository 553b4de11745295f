// Stored transforms: XIni text round trips byte for byte, the registry's lifecycle and guards, and the
// errors of damaged documents.
#include "Core/KrMessageParameters.h"
#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrCombinedTransform.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrShiftTransform.h"
#include "Math/Transforms/KrUnityTransform.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

class KrTransformStorage : public ::testing::Test {
protected:
    void SetUp() override { U_InitTransforms_Initialize(); }
    void TearDown() override { U_InitTransforms_Finalize(); }
};

std::string SaveText(const TKr2DTransform& t) {
    auto out = new_a<TKrStringStream>();
    {
        TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::RootOnly);
        t.SaveE(&w);
        w.CloseE();
    }
    return out->str();
}

var_a<TKr2DTransform*> LoadText(const std::string& text) {
    TKrXIniStreamReader r(new_a<TKrStringStream>(text), TE_KrXIniErrorMode::Throw, nullptr);
    return TKr2DTransform::LoadE(&r);
}

// What a failed load says: a std::exception's text, or for a reader error the item's
// designation and a literal reason given with it (the reader's own reasons are language texts,
// which depend on what other tests loaded).
std::string LoadError(const std::string& text) {
    try {
        LoadText(text);
    } catch (const TKrMessage& m) {
        std::string s;
        for (const auto* p : m.body()->m_parameters)
            if (!dynamic_cast<const KrMessageHelpers::TParameterKrMessage*>(p))
                s += "[" + p->GetString("") + "]";
        return s;
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(loaded)";
}

std::string Doc(const std::string& items) {
    return "<krini>" + items + "</krini>";
}

} // namespace

TEST_F(KrTransformStorage, LayoutOfAStoredTransform) {
    EXPECT_EQ(SaveText(TShiftTransform(1.5, -2)), "<krini>\n"
                                                  "  <s n=\"name\" v=\"ShiftTransform\"/>\n"
                                                  "  <x n=\"data\">\n"
                                                  "    <d n=\"x\" v=\"1.5000000000000000e+00\"/>\n"
                                                  "    <d n=\"y\" v=\"-2.0000000000000000e+00\"/>\n"
                                                  "  </x>\n"
                                                  "</krini>\n");
}

TEST_F(KrTransformStorage, RoundTripsAreByteIdentical) {
    const TShiftTransform shift(0.1, 1e300);
    const TAffineTransform affine(1.0 / 3, 0.3, -50, -0.1, 0.9, 7e5);
    const TProjectiveTransform proj(1.1, 0.2, 30, -0.15, 0.95, 10, 2e-7, -1e-7, 1);
    TCombinedTransform chain; // three elements that a collapsing chain would merge
    chain.SetEnableCollapse(false);
    chain.AddTransform(shift);
    chain.AddTransform(affine);
    chain.AddTransform(proj);
    TCombinedTransform nested;
    nested.SetEnableCollapse(false);
    nested.AddTransform(chain);
    nested.AddTransform(TShiftTransform(1, 2));
    const TKr2DTransform* all[] = {
        &shift, &affine, &proj, &chain, &nested, new TUnityTransform, new TCombinedTransform};
    for (const TKr2DTransform* t : all) {
        const std::string text = SaveText(*t);
        const var_a<TKr2DTransform*> loaded = LoadText(text);
        EXPECT_STREQ(loaded->GetContentName(), t->GetContentName());
        EXPECT_EQ(SaveText(*loaded), text);
        EXPECT_EQ(loaded->GetTraCoord(vec2d(3, 4)), t->GetTraCoord(vec2d(3, 4))) << text;
    }
    delete all[5];
    delete all[6];
    // The chain comes back with its three elements, not merged.
    const var_a<TKr2DTransform*> reloaded = LoadText(SaveText(chain));
    auto* loaded = dynamic_cast<TCombinedTransform*>(reloaded.get());
    ASSERT_NE(loaded, nullptr);
    ASSERT_EQ(loaded->GetTransformsCount(), 3u);
    EXPECT_STREQ(loaded->GetTransform(1)->GetContentName(), "AffineTransform");
    // A projective matrix is stored as given and normalised on load.
    const auto scaled =
        LoadText(Doc("<s n=\"name\" v=\"ProjectiveTransform\"/><x n=\"data\"><d n=\"m00\" v=\"2\"/>"
                     "<d n=\"m01\" v=\"0\"/><d n=\"m02\" v=\"4\"/><d n=\"m10\" v=\"0\"/><d n=\"m11\" "
                     "v=\"2\"/><d n=\"m12\" v=\"0\"/><d n=\"m20\" v=\"0\"/><d n=\"m21\" v=\"0\"/>"
                     "<d n=\"m22\" v=\"2\"/></x>"));
    EXPECT_EQ(scaled->GetTraCoord(vec2d(1, 1)), vec2d(3, 1));
}

TEST_F(KrTransformStorage, DamagedDocumentsFailWithTheirTexts) {
    const std::string shiftData = "<x n=\"data\"><d n=\"x\" v=\"1\"/><d n=\"y\" v=\"2\"/></x>";
    const std::string singular =
        "<x n=\"data\"><d n=\"m00\" v=\"1\"/><d n=\"m01\" v=\"2\"/><d n=\"m02\" v=\"0\"/>"
        "<d n=\"m10\" v=\"2\"/><d n=\"m11\" v=\"4\"/><d n=\"m12\" v=\"0\"/></x>";
    struct TCase {
        std::string doc;
        std::string error;
    } cases[] = {
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/>" + shiftData), "(loaded)"},
        {Doc("<s n=\"name\" v=\"Warp\"/>" + shiftData),
         R"([<s#0 "name">][@TKr2DTransform::Load: invalid name: Warp])"},
        {Doc(shiftData), R"([<#0+ "name">])"}, // no name: the reader's not-found error
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/>"), R"([<#0+ "data">])"},
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/><x n=\"data\"><d n=\"x\" v=\"1\"/></x>"),
         R"([<x#1 "data"> <#0+ "y">])"},
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/><x n=\"data\"><d n=\"x\" v=\"1\"/><s n=\"y\" "
             "v=\"2\"/></x>"),
         R"([<x#1 "data"> <s#1 "y">])"},
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/><x n=\"data\"><d n=\"x\" v=\"nan\"/><d n=\"y\" "
             "v=\"2\"/></x>"),
         R"([<x#1 "data"> <d#0 "x">])"}, // then the reader's "invalid value" text
        {Doc("<s n=\"name\" v=\"AffineTransform\"/>" + singular), "TAffineTransform::InitInverseE()"},
        {Doc("<s n=\"name\" v=\"CombinedTransform\"/><x n=\"data\"><x n=\"\"><s n=\"name\" "
             "v=\"Warp\"/></x></x>"),
         R"([<x#1 "data"> <x#0> <s#0 "name">][@TKr2DTransform::Load: invalid name: Warp])"},
        {Doc("<s n=\"name\" v=\"ShiftTransform\"/><x n=\"data\"><d n=\"x\" v=\"1\"/>"),
         R"([<x#1 "data">])"}, // cut short
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(LoadError(c.doc).substr(0, c.error.size()), c.error) << c.doc;
    }
    // Chains nested beyond any sensible depth are refused, not followed down the stack.
    std::string deep = "<s n=\"name\" v=\"ShiftTransform\"/>" + shiftData;
    for (int i = 0; i < 300; ++i)
        deep = "<s n=\"name\" v=\"CombinedTransform\"/><x n=\"data\"><x n=\"\">" + deep + "</x></x>";
    EXPECT_EQ(LoadError(Doc(deep)), "@TKr2DTransform::Load: nesting too deep");
}

TEST(KrTransformRegistry, LifecycleAndFirstRegistrationWins) {
    const std::string shift = Doc("<s n=\"name\" v=\"ShiftTransform\"/><x n=\"data\"><d n=\"x\" v=\"1\"/>"
                                  "<d n=\"y\" v=\"2\"/></x>");
    EXPECT_EQ(LoadError(shift), "TKr2DTransform: Unit is not initialized");
    EXPECT_THROW(TKr2DTransform::TSerializer::RegisterName("X", nullptr), std::runtime_error);

    U_InitTransforms_Initialize();
    U_InitTransforms_Initialize(); // nested: counted
    U_InitTransforms_Finalize();
    EXPECT_EQ(LoadError(shift), "(loaded)");

    // A second registration of a name keeps the first factory and needs a second unregistration.
    using TS = TKr2DTransform::TSerializer;
    TS::RegisterName("ShiftTransform", &TKr2DTransform::TRegistrator<TUnityTransform>::CreateNewT);
    EXPECT_STREQ(LoadText(shift)->GetContentName(), "ShiftTransform");
    TS::UnregisterName("ShiftTransform");
    EXPECT_EQ(LoadError(shift), "(loaded)");
    TS::UnregisterName("ShiftTransform");
    EXPECT_NE(LoadError(shift).find("invalid name: ShiftTransform"), std::string::npos);
    TS::RegisterName("ShiftTransform", &TKr2DTransform::TRegistrator<TShiftTransform>::CreateNewT);

    // With every name gone the table goes too.
    for (const char* n :
         {"UnityTransform", "ShiftTransform", "AffineTransform", "ProjectiveTransform", "CombinedTransform"})
        TS::UnregisterName(n);
    EXPECT_EQ(LoadError(shift), "@TKr2DTransform::Load: no serializers");
    TS::UnregisterName("never registered"); // ignored
    U_InitTransforms_Finalize();
    EXPECT_EQ(LoadError(shift), "TKr2DTransform: Unit is not initialized");
    U_InitTransforms_Finalize(); // unmatched: ignored
}

TEST_F(KrTransformStorage, LoadsRunWhileNamesAreRegistered) {
    const std::string text = SaveText(TAffineTransform(1, 2, 3, 4, 5, 7));
    std::atomic<int> failures{0};
    std::vector<std::thread> readers;
    for (int t = 0; t < 3; ++t)
        readers.emplace_back([&] {
            for (int i = 0; i < 300; ++i)
                if (LoadText(text)->GetTraCoord(vec2d(1, 1)) != vec2d(6, 16)) ++failures;
        });
    for (int i = 0; i < 300; ++i) {
        TKr2DTransform::TSerializer::RegisterName("Extra",
                                                  &TKr2DTransform::TRegistrator<TUnityTransform>::CreateNewT);
        TKr2DTransform::TSerializer::UnregisterName("Extra");
    }
    for (std::thread& t : readers)
        t.join();
    EXPECT_EQ(failures, 0);
}
