// Pixel memory with and without guard pages: where blocks start and end, and that a
// step past either end of a guarded world ends the process.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <optional>
#include <utility>

#include "Carbon.h"
#include "quickdraw/PixelMemory.h"

namespace {

UInt8* Base(GWorldPtr world) { return reinterpret_cast<UInt8*>(GetPixBaseAddr(GetGWorldPixMap(world))); }
std::size_t Bytes(GWorldPtr world) {
    Rect r;
    GetPixBounds(GetGWorldPixMap(world), &r);
    return std::size_t(GetPixRowBytes(GetGWorldPixMap(world))) * std::size_t(r.bottom - r.top);
}

GWorldPtr NewWorld(int width, int height) {
    Rect r{0, 0, SInt16(height), SInt16(width)};
    GWorldPtr world = nullptr;
    EXPECT_EQ(NewGWorld(&world, 32, &r, nullptr, nullptr, 0), noErr);
    return world;
}

TEST(PixelMemory, WorldsAreZeroedAndAlignedWithOrWithoutGuardPages) {
    const std::uintptr_t page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    for (bool guarded : {false, true}) {
        std::optional<toolbox::GuardPagesScope> scope;
        if (guarded) scope.emplace();
        ASSERT_EQ(toolbox::GuardPagesOn(), guarded);
        for (auto [w, h] : {std::pair{1, 1}, {5, 3}, {854, 7}, {1024, 2}, {0, 4}}) {
            GWorldPtr world = NewWorld(w, h);
            const auto base = reinterpret_cast<std::uintptr_t>(Base(world));
            EXPECT_EQ(base % (guarded ? 16 : 64), 0u) << w << "x" << h;
            if (guarded) {
                EXPECT_EQ((base + Bytes(world)) % page, 0u) << w << "x" << h << ": not up to a page";
            }
            for (std::size_t i = 0; i < Bytes(world); ++i) ASSERT_EQ(Base(world)[i], 0) << w << "x" << h;
            DisposeGWorld(world);
        }
    }
}

TEST(PixelMemory, AStepPastEitherEndOfAGuardedWorldEndsTheProcess) {
    EXPECT_DEATH(
        {
            toolbox::GuardPagesScope guard;
            GWorldPtr world = NewWorld(854, 3);
            volatile UInt8* end = Base(world) + Bytes(world);
            *end = 1;
        },
        "");
    EXPECT_DEATH(
        {
            toolbox::GuardPagesScope guard;
            GWorldPtr world = NewWorld(5, 3);
            volatile UInt8* before = Base(world) - 1;
            *before = 1;
            DisposeGWorld(world);
        },
        "written 1 bytes before its start");
}

}  // namespace
