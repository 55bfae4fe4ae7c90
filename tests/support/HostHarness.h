// The host's end-to-end harness: the real programs run in a private folder per test,
// clips made by the ffmpeg program, and small PPM/PAM/PNG readers and writers to set up
// and check pixels.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "MacTypes.h"
#include "support/Files.h"
#include "support/Processes.h"

namespace hosttest {

using testsupport::FolderEntries;
using testsupport::LineCount;
using testsupport::RunProgram;
using testsupport::RunOptions;
using testsupport::RunResult;

std::string ProgramPath(const std::string& name);  // bin for tonefade-host, libexec for the rest
std::string HostBinary();
RunResult Host(const std::vector<std::string>& args, const RunOptions& options = {});
// Runs `ffmpeg -nostdin -v error -y ARGS`; a failure of the program fails the test.
void Ffmpeg(std::vector<std::string> args);
// A clip made by ffmpeg as users make them: H.264 (yuv420p) of ffmpeg's moving test
// picture at 30 frames a second, with a 440 Hz tone at 44.1 kHz in AAC unless `silent`.
void MakeClip(const std::string& path, int width, int height, int frames, bool silent = false);
double Rms(const std::vector<int16_t>& samples);

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
// A reproducible picture that does not compress; alpha 255 unless `alpha`.
Image Pattern(int width, int height, int seed, bool alpha = false);
// The tonefade kernel applied to `in` over `rect` with the amount, per its definition.
Image Processed(const Image& in, const Rect& rect, SInt16 amount);

// A private folder with in/ and out/ and a preferences folder prefs/ for the programs.
class HostCliTest : public ::testing::Test {
protected:
    HostCliTest();
    std::string Path(const std::string& name) const { return folder / name; }
    // The arguments with every "@" replaced by the folder, then --prefs-dir and --quiet.
    std::vector<std::string> Job(std::vector<std::string> args) const;
    // Writes prefs/vardo-Prefs through the plug-in's own code.
    void WriteSettings(int amount, const std::string& rect);
    // FOLDER/0000.EXT ... of Pattern(width, height, i + 1).
    std::vector<Image> WriteSequence(const std::string& ext, int frames, int width, int height, bool alpha = false,
                                     const std::string& folder = "in");
    // Exactly one line on standard error holding `message` (in any case when `anyCase`),
    // the status, and nothing left in `output`.
    void ExpectCleanFailure(const RunResult& r, int status, const std::string& message,
                            const std::filesystem::path& output, bool anyCase = false) const;
    testsupport::TempFolder folder;
    const std::filesystem::path dir = folder.path();
    const std::string prefs = folder / "prefs";
};

}  // namespace hosttest
