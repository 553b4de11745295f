// Residual statistics: accumulation by mask, RMS / mean / maximum, merging, and storage in XIni.
#include "Core/KrMessage.h"
#include "Streams/KrStringStream.h"
#include "Utils/KrDeltas.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

namespace {

std::string Save(const std::function<void(TKrXIniWriter&)>& save) {
    auto out = new_a<TKrStringStream>();
    {
        TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::RootOnly);
        save(w);
        w.CloseE();
    }
    return out->str();
}

TKrXIniStreamReader Reader(const std::string& text) {
    return TKrXIniStreamReader(new_a<TKrStringStream>(text), TE_KrXIniErrorMode::Throw, nullptr);
}

} // namespace

TEST(KrDeltas, ColumnsFollowTheMask) {
    TKrDeltasXYR d;
    d.add_delta(vec2d(3, 4));
    d.add_delta(vec2d(0, 0));
    d.add_delta(vec2d(-6, 99), 1); // x only: r = |x|
    d.calculate();
    EXPECT_DOUBLE_EQ(d.rms.x, std::sqrt(45.0 / 3));
    EXPECT_DOUBLE_EQ(d.rms.y, std::sqrt(16.0 / 2));
    EXPECT_DOUBLE_EQ(d.rms.r, std::sqrt(61.0 / 3));
    EXPECT_DOUBLE_EQ(d.mm.r, 11.0 / 3);
    EXPECT_EQ(d.max.y, 4);
    EXPECT_EQ(d.max.r, 6);
    EXPECT_EQ(d.count.x, 3);
    EXPECT_EQ(d.count.y, 2);
    EXPECT_EQ(d.count.r, 3);

    TKrDeltasXYZP p;
    p.add_delta(vec3d(3, 4, -2));
    p.add_delta(vec3d(1, 1, 5), TKrDeltasXYZP::make_flags(false, false, true)); // z only: no p
    p.calculate();
    EXPECT_EQ(p.count.p, 1);
    EXPECT_EQ(p.max.p, 5);
    EXPECT_EQ(p.count.z, 2);
    EXPECT_DOUBLE_EQ(p.mm.z, 3.5);
    EXPECT_EQ(TKrDeltasXYZP::make_flags(true, false, true), 5);

    TKrDeltasXYR empty;
    empty.calculate();
    EXPECT_EQ(empty.rms.r, 0);
    EXPECT_EQ(empty.mm.x, 0);
}

TEST(KrDeltas, MergeEqualsAccumulatingEverything) {
    const double a[] = {1, -2, 3.5}, b[] = {-7, 0.25};
    TKrDeltas all, left, right, none;
    for (double v : a)
        all.add_delta(v), left.add_delta(v);
    for (double v : b)
        all.add_delta(v), right.add_delta(v);
    all.calculate(), left.calculate(), right.calculate(), none.calculate();
    TKrDeltas merged = left;
    merged.merge(right);
    EXPECT_DOUBLE_EQ(merged.rms, all.rms);
    EXPECT_DOUBLE_EQ(merged.mm, all.mm);
    EXPECT_EQ(merged.max, all.max);
    EXPECT_EQ(merged.count, 5u);
    merged.merge(none); // an empty side changes nothing
    EXPECT_DOUBLE_EQ(merged.rms, all.rms);
    none.merge(TKrDeltas());
    EXPECT_EQ(none.rms, 0);

    TKrDeltasXYR x1, x2, xall;
    for (int i = 0; i < 5; ++i) {
        const vec2d v(i - 2.0, 0.5 * i);
        (i < 2 ? x1 : x2).add_delta(v, i == 3 ? 2 : 3);
        xall.add_delta(v, i == 3 ? 2 : 3);
    }
    x1.calculate(), x2.calculate(), xall.calculate();
    x1.merge(x2);
    EXPECT_DOUBLE_EQ(x1.rms.x, xall.rms.x);
    EXPECT_DOUBLE_EQ(x1.mm.r, xall.mm.r);
    EXPECT_EQ(x1.count.x, 4);
    EXPECT_EQ(x1.count.y, 5);
}

TEST(KrDeltas, StorageRoundTripsAndMissingItems) {
    TKrDeltasXYZP d;
    d.add_delta(vec3d(0.1, -0.2, 1e-3));
    d.add_delta(vec3d(3, 4, 5), 3);
    d.calculate();
    const std::string text = Save([&](TKrXIniWriter& w) { d.SaveSE(&w, "residuals"); });
    EXPECT_NE(text.find("<x n=\"count\">\n      <i n=\"x\" v=\"2\"/>"), std::string::npos) << text;

    TKrDeltasXYZP back;
    TKrXIniStreamReader r = Reader(text);
    back.LoadSE(&r, "residuals");
    EXPECT_EQ(Save([&](TKrXIniWriter& w) { back.SaveSE(&w, "residuals"); }), text);
    EXPECT_EQ(back.rms.p, d.rms.p);
    EXPECT_EQ(back.count.z, 1);

    // Without "mm" and the x count: Load reads the rest, LoadE throws.
    const std::string partial = "<krini><x n=\"r\"><x n=\"rms\"><d n=\"x\" v=\"2\"/><d n=\"y\" v=\"3\"/>"
                                "<d n=\"r\" v=\"4\"/></x><x n=\"count\"><i n=\"y\" v=\"7\"/></x></x></krini>";
    TKrDeltasXYR x;
    x.add_delta(vec2d(9, 9));
    TKrXIniStreamReader pr = Reader(partial);
    x.Load(&pr, 0);
    EXPECT_EQ(x.rms.y, 3);
    EXPECT_EQ(x.mm.x, 0);
    EXPECT_EQ(x.max.r, 0); // cleared, not kept from before
    EXPECT_EQ(x.count.y, 7);
    EXPECT_EQ(x.count.x, 0);
    EXPECT_EQ(pr.Level(), 0u);
    EXPECT_THROW(x.LoadE(&pr, 0), TKrMessage);
    x.LoadS(&pr, "absent"); // a missing section leaves a cleared record
    EXPECT_EQ(x.rms.x, 0);
    EXPECT_THROW(x.LoadSE(&pr, "absent"), TKrMessage);
}
