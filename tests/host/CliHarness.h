// Helpers of the host's end-to-end tests: running the real programs, a scratch folder
// per test, and small PPM/PAM/PNG readers and writers to set up and check pixels.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MacTypes.h"

namespace hosttest {

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out, err;
    bool timedOut = false;  // killed for running past RunOptions::timeout
};

struct RunOptions {
    // A program that hangs is killed after this long, so that a hang fails the test
    // instead of stopping the suite.
    int timeoutSeconds = 120;
    std::vector<std::string> environment;  // "NAME=value" sets, a plain "NAME" unsets
};

std::filesystem::path BuildDir();
std::string HostBinary();
std::string WritePrefsBinary();

// Runs `program` with `args`; standard output and error are captured, standard input is
// /dev/null.
RunResult Run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});
RunResult Host(const std::vector<std::string>& args, const RunOptions& options = {});

// An image as 32-bit A,R,G,B pixels, rows without padding.
struct Image {
    int width = 0, height = 0;
    std::vector<UInt8> argb;
};
void WritePpm(const std::string& path, const Image& image);  // alpha dropped
Image ReadPnm(const std::string& path);                       // P6 or P7 (alpha kept)
void WritePngFile(const std::string& path, const Image& image, bool withAlpha);
Image ReadPngFile(const std::string& path);
Image ReadAny(const std::string& path);  // by extension
// A reproducible test picture; alpha 255 unless `alpha`.
Image Pattern(int width, int height, int seed, bool alpha = false);

// The tonefade kernel applied to `in` over `rect` with the amount, per its definition.
Image Processed(const Image& in, const Rect& rect, SInt16 amount);

// Names in `folder` (files of a listing, sorted).
std::vector<std::string> Listing(const std::filesystem::path& folder);

// A scratch folder, with a preferences folder holding known settings.
class HostCliTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const { return (dir / name).string(); }
    // Writes prefs/vardo-Prefs through the plug-in's own code.
    void WriteSettings(int amount, const std::string& rect);
    // in/0000.EXT .. frames of Pattern(width, height, i + 1).
    std::vector<Image> WriteSequence(const std::string& ext, int frames, int width, int height, bool alpha = false);
    std::filesystem::path dir;
    std::string prefs;
};

}  // namespace hosttest
