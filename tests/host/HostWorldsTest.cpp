// The host's worlds: the blend of its Blit against the per-pixel formula it replaced, and
// the frames it lends from its spare worlds.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "Carbon.h"
#include "HostSession.h"
#include "quickdraw/QDBlend.h"
#include "support/Frames.h"

namespace {

// The blend as it was first written, pixel by pixel with a division: the reference.
void ReferenceBlend(const PixMap& src, const PixMap& dst, const Rect& srcRect, const Rect& dstRect, SInt16 opacity) {
    auto at = [](const PixMap& pm, int x, int y) {
        return reinterpret_cast<UInt8*>(pm.baseAddr) + std::ptrdiff_t(y - pm.bounds.top) * pm.rowBytes +
               std::ptrdiff_t(x - pm.bounds.left) * 4;
    };
    int sw = srcRect.right - srcRect.left, sh = srcRect.bottom - srcRect.top;
    int dw = dstRect.right - dstRect.left, dh = dstRect.bottom - dstRect.top;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
    const int a = std::clamp<int>(opacity, 0, 255), inv = 255 - a;
    Rect area;
    if (!SectRect(&dstRect, &dst.bounds, &area)) return;
    for (int y = area.top; y < area.bottom; ++y) {
        int sy = srcRect.top + int(SInt64(y - dstRect.top) * sh / dh);
        if (sy < src.bounds.top || sy >= src.bounds.bottom) continue;
        UInt8* d = at(dst, area.left, y);
        for (int x = area.left; x < area.right; ++x, d += 4) {
            int sx = srcRect.left + int(SInt64(x - dstRect.left) * sw / dw);
            if (sx < src.bounds.left || sx >= src.bounds.right) continue;
            const UInt8* s = at(src, sx, sy);
            for (int c = 0; c < 4; ++c) d[c] = UInt8((s[c] * a + d[c] * inv + 127) / 255);
        }
    }
}

PixMap MapOf(std::vector<UInt8>& bytes, Rect bounds, int rowBytes) {
    PixMap pm{};
    pm.baseAddr = reinterpret_cast<Ptr>(bytes.data());
    pm.rowBytes = rowBytes;
    pm.bounds = bounds;
    pm.pixelSize = 32;
    return pm;
}

// Every (source byte, destination byte) pair at every opacity, and the clamped ones, on
// every instruction set this processor has.
TEST(HostBlend, EveryByteAndOpacityAsTheDivision) {
    std::vector<UInt8> src(65536), dst(65536);
    for (std::size_t i = 0; i < src.size(); ++i) {
        src[i] = UInt8(i >> 8);
        dst[i] = UInt8(i);
    }
    const Rect bounds{0, 0, 128, 128};  // 128 x 128 pixels of 4 bytes: all 65,536 pairs
    for (toolbox::BlendISA isa : {toolbox::BlendISA::kPortable, toolbox::BlendISA::kAVX2, toolbox::BlendISA::kAVX512}) {
        if (!toolbox::SetBlendISAForTesting(isa)) continue;
        for (int opacity = -2; opacity <= 257; ++opacity) {
            std::vector<UInt8> got = dst, want = dst;
            PixMap s = MapOf(src, bounds, 512), g = MapOf(got, bounds, 512), w = MapOf(want, bounds, 512);
            ASSERT_EQ(host::HostSession::BlendPixMaps(s, g, bounds, bounds, SInt16(opacity)), kPluginOK);
            ReferenceBlend(s, w, bounds, bounds, SInt16(opacity));
            ASSERT_EQ(got, want) << "opacity " << opacity << " set " << int(isa);
        }
    }
    toolbox::SetBlendISAForTesting(toolbox::BlendISA::kAuto);
}

// Rectangles moved, cut by either map, scaled, with padded rows and offset bounds.
TEST(HostBlend, RectanglesAsThePerPixelWalk) {
    struct Case {
        Rect srcBounds, dstBounds, srcRect, dstRect;
    } cases[] = {
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}},
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {2, 3, 9, 13}, {0, 0, 7, 10}},      // moved up and left
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {-3, -4, 6, 9}},     // partly off the destination
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {-2, -5, 7, 8}, {0, 0, 9, 13}},     // partly off the source
        {{0, 0, 9, 13}, {0, 0, 11, 20}, {0, 0, 9, 13}, {0, 0, 11, 20}},    // scaled up
        {{0, 0, 9, 13}, {0, 0, 5, 6}, {0, 0, 9, 13}, {0, 0, 5, 6}},        // scaled down
        {{0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 9, 13}, {0, 0, 5, 13}},      // rows scaled only
        {{4, 7, 13, 20}, {-2, 3, 7, 16}, {5, 8, 12, 19}, {-1, 5, 6, 16}},  // bounds not at the origin
    };
    for (const Case& c : cases) {
        const int srcRow = (c.srcBounds.right - c.srcBounds.left) * 4 + 12;
        const int dstRow = (c.dstBounds.right - c.dstBounds.left) * 4 + 20;
        std::vector<UInt8> src(std::size_t(srcRow) * std::size_t(c.srcBounds.bottom - c.srcBounds.top));
        std::vector<UInt8> dst(std::size_t(dstRow) * std::size_t(c.dstBounds.bottom - c.dstBounds.top));
        for (std::size_t i = 0; i < src.size(); ++i) src[i] = UInt8(i * 37 + 11);
        for (std::size_t i = 0; i < dst.size(); ++i) dst[i] = UInt8(i * 101 + 3);
        for (SInt16 opacity : {0, 1, 128, 254, 255}) {
            std::vector<UInt8> got = dst, want = dst;
            PixMap s = MapOf(src, c.srcBounds, srcRow), g = MapOf(got, c.dstBounds, dstRow),
                   w = MapOf(want, c.dstBounds, dstRow);
            host::HostSession::BlendPixMaps(s, g, c.srcRect, c.dstRect, opacity);
            ReferenceBlend(s, w, c.srcRect, c.dstRect, opacity);
            EXPECT_EQ(got, want) << "case " << (&c - cases) << " opacity " << opacity;
        }
    }
}

struct Lent {
    GWorldPtr world = nullptr;
    void* cookie = nullptr;
};

class HostLending : public ::testing::Test {
protected:
    host::MemoryClip clip = testsupport::PatternClip(12, 8, 6);
    host::HostSession session{clip, 12, 8};
    const long before = toolbox::LiveGWorldCount();

    Lent Get(int frame) {
        Lent got;
        SInt16 volume = 0;
        EXPECT_EQ(session.Params().procs->GetFrame(&session, frame, &got.world, 12, 8, kDVHighQuality, &volume,
                                                   &got.cookie),
                  kPluginOK);
        EXPECT_EQ(testsupport::WorldPixels(got.world), clip.Pixels(frame)) << "frame " << frame;
        return got;
    }
    void Release(const Lent& lent) { EXPECT_EQ(session.Params().procs->ReleaseFrame(&session, lent.cookie), kPluginOK); }
};

TEST_F(HostLending, ReleasedWorldsAreLentAgainAndAtMostAFewAreKept) {
    Lent first = Get(0);
    Release(first);
    Lent second = Get(1);
    EXPECT_EQ(second.world, first.world);
    // Locked by the plug-in and released so: lent again unlocked, like a new world.
    LockPixels(GetGWorldPixMap(second.world));
    Release(second);
    EXPECT_EQ(GetPixelsState(GetGWorldPixMap(Get(2).world)), 0u);
    std::vector<Lent> many;
    for (int f = 0; f < 6; ++f) many.push_back(Get(f));
    EXPECT_EQ(toolbox::LiveGWorldCount(), before + 7);
    for (const Lent& l : many) Release(l);
    EXPECT_EQ(session.SpareWorlds(), 4);
    EXPECT_EQ(toolbox::LiveGWorldCount(), before + 1 + 4);
}

// The dialog disposes of each frame after releasing it (or before): the host must never
// lend, keep or dispose of whatever world is made at that address afterwards.
TEST_F(HostLending, AWorldThePlugInDisposedOfIsNeverLentOrDisposedOfAgain) {
    for (bool disposeFirst : {false, true}) {
        SCOPED_TRACE(disposeFirst ? "disposed before release" : "disposed after release");
        Lent lent = Get(0);
        if (disposeFirst) DisposeGWorld(lent.world);
        Release(lent);
        if (!disposeFirst) DisposeGWorld(lent.world);
        // The allocator hands the same address back at once, as it usually does.
        GWorldPtr mine = testsupport::NewTestWorld(12, 8);
        const std::vector<UInt8> pattern = testsupport::PatternFrame(12, 8, 99);
        testsupport::FillWorld(mine, pattern);
        const UInt64 serial = toolbox::GWorldSerial(mine);
        Lent next = Get(3);
        EXPECT_NE(next.world, mine);
        Release(next);
        EXPECT_EQ(testsupport::WorldPixels(mine), pattern);
        EXPECT_EQ(toolbox::GWorldSerial(mine), serial);
        DisposeGWorld(mine);
    }
    // Nor when the session ends with a frame out that was disposed of.
    Lent lent = Get(1);
    DisposeGWorld(lent.world);
    GWorldPtr mine = testsupport::NewTestWorld(12, 8);
    const UInt64 serial = toolbox::GWorldSerial(mine);
    {
        host::MemoryClip other = testsupport::PatternClip(12, 8, 1);
        host::HostSession ending{other, 12, 8};
        Lent out;
        SInt16 volume = 0;
        ASSERT_EQ(ending.Params().procs->GetFrame(&ending, 0, &out.world, 12, 8, kDVHighQuality, &volume, &out.cookie),
                  kPluginOK);
        DisposeGWorld(out.world);
        GWorldPtr again = testsupport::NewTestWorld(12, 8);
        EXPECT_NE(toolbox::GWorldSerial(again), 0u);
        DisposeGWorld(again);
    }
    EXPECT_EQ(toolbox::GWorldSerial(mine), serial);
    DisposeGWorld(mine);
}

TEST(WorldSerials, EveryWorldGetsItsOwnAndADisposedOneHasNone) {
    GWorldPtr a = testsupport::NewTestWorld(4, 4);
    const UInt64 first = toolbox::GWorldSerial(a);
    DisposeGWorld(a);
    EXPECT_EQ(toolbox::GWorldSerial(a), 0u);
    GWorldPtr b = testsupport::NewTestWorld(4, 4);
    EXPECT_NE(toolbox::GWorldSerial(b), 0u);
    EXPECT_NE(toolbox::GWorldSerial(b), first);
    DisposeGWorld(b);
    EXPECT_EQ(toolbox::GWorldSerial(nullptr), 0u);
}

}  // namespace
