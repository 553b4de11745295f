// Sources created on first read: the declared grid and channels before, the created source after.
#include "Core/KrMessage.h"
#include "KrRasterTestUtils.h"
#include "Raster/KrDelayedDibData.h"

#include <gtest/gtest.h>

namespace {

struct TFactoryState {
    std::vector<unsigned char> pixels = krtest::RandomImage<unsigned char>(64, 48, 3, 11);
    TKrDibChannels channels;
    int calls = 0;
    bool give = true;
    TFactoryState() { channels.SetRGB_U8(); }
};

var_a<TKrDibData*> Make(void* a, void* b) {
    auto* s = static_cast<TFactoryState*>(a);
    ++s->calls;
    if (!s->give) return nullptr;
    return krtest::MemSource(s->pixels, 64, 48, *static_cast<TKrDibChannels*>(b));
}

} // namespace

TEST(DelayedDibData, CreatesTheSourceOnTheFirstReadOnly) {
    TFactoryState state;
    state.give = false;
    TKrDelayedDibData dib(TKrDibRect{{0, 0}, {64, 48}, {1, 1}}, state.channels, &Make, &state,
                          &state.channels);
    EXPECT_EQ(dib.Bounds().count, (TKrDibSize{64, 48}));
    const TKrDibRect half{{0.5, 0.5}, {0, 0}, {2, 2}};
    EXPECT_EQ(dib.BoundsEx(half).count, (TKrDibSize{34, 26})); // the stored grid on the coarser lattice
    EXPECT_EQ(state.calls, 0);

    krtest::TGuardedBuffer buf(64, 48, 3);
    const TKrDibRect all{{0, 0}, {64, 48}, {1, 1}};
    EXPECT_EQ(dib.GetRect(buf.Out(), all, GetDisplayInterpolationQuality(), 0, nullptr), grComplete);
    EXPECT_FALSE(dib.IsLoaded());
    state.give = true; // a null result is asked again next time
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(dib.GetRect(buf.Out(), all, GetDisplayInterpolationQuality(), 0, nullptr), grCompleteData);
    EXPECT_EQ(state.calls, 2);
    EXPECT_EQ(0, std::memcmp(buf.Pixel(5, 7, 3), &state.pixels[(7 * 64 + 5) * 3], 3));
    EXPECT_EQ(dib.BoundsEx(half).count, (TKrDibSize{34, 26})); // the memory source agrees

    dib.Unload();
    dib.GetRect(buf.Out(), all, GetDisplayInterpolationQuality(), 0, nullptr);
    EXPECT_EQ(state.calls, 3);
}

TEST(DelayedDibData, ACreatedSourceWithOtherChannelsIsConvertedToTheDeclaredOnes) {
    TFactoryState state;
    TKrDibChannels gray;
    gray.SetGray_U8();
    TKrDelayedDibData dib(TKrDibRect{{0, 0}, {64, 48}, {1, 1}}, state.channels, &Make, &state, &gray);
    krtest::TGuardedBuffer buf(8, 8, 3);
    EXPECT_EQ(dib.GetRect(buf.Out(), TKrDibRect{{0, 0}, {8, 8}, {1, 1}}, GetDisplayInterpolationQuality(), 0,
                          nullptr),
              grCompleteData);
    EXPECT_TRUE(dib.IsLoaded());
    EXPECT_EQ(dib.Channels().size(), 3u);
    const unsigned char g = state.pixels[7 * 64 + 5]; // the created source reads the bytes as gray
    const unsigned char* px = buf.Pixel(5, 7, 3);
    EXPECT_TRUE(px[0] == g && px[1] == g && px[2] == g);
    EXPECT_THROW(TKrDelayedDibData(TKrDibRect(), state.channels, nullptr, nullptr, nullptr), TKrMessage);
}
