// Shared helpers of the plug-in tests: small clips with known pixels, the plain reference
// of the effect, and a fixture that gives each test a fresh plug-in and preferences folder.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "HostSession.h"
#include "effect/PluginDefines.h"

namespace testsupport {

// A pixel of a test clip: every (x, y, frame) gets a different, reproducible colour.
std::vector<UInt8> PatternFrame(int width, int height, int seed);
host::MemoryClip PatternClip(int width, int height, int frames, int audioSamplesPerFrame = 0);

// The effect written out per pixel, straight from its definition, for comparisons.
void ReferenceTonefade(const UInt8* src, UInt8* dst, int width, int height, const Rect& activeRect,
                       SInt16 slider1);
void ReferencePixel(const UInt8 in[4], UInt8 out[4], SInt16 slider1);

// The 32-bit pixels of a world, row after row without padding.
std::vector<UInt8> WorldPixels(GWorldPtr world);
GWorldPtr NewTestWorld(int width, int height);
void FillWorld(GWorldPtr world, const std::vector<UInt8>& argb);

// Gives each test a fresh, uninitialised plug-in and its own preferences folder.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path prefsDir;
};

}  // namespace testsupport
