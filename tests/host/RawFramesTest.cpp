// Uncompressed 32-bit clips as ffmpeg writes them come into worlds exactly as ffmpeg's own
// decoding gives them, in any order, in every container, at sizes that end mid-band; a
// file cut inside a frame fails at that frame.
#include <gtest/gtest.h>

#include <filesystem>

#include "VideoReader.h"
#include "quickdraw/QuickDraw.h"
#include "support/Frames.h"
#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

struct RawCase {
    const char* file;
    const char* pixelFormat;
    int width, height;
    const char* filters = "";  // after the picture's own
};

// ffmpeg's own reading of the clip, as A,R,G,B frames one after another.
std::vector<UInt8> FfmpegArgb(const std::string& clip, const std::string& out) {
    Ffmpeg({"-i", clip, "-f", "rawvideo", "-pix_fmt", "argb", out});
    return testsupport::ReadBytes(out);
}

std::vector<UInt8> Frame(host::FrameSource& clip, int index, std::string* error) {
    GWorldPtr world = testsupport::NewTestWorld(clip.Width(), clip.Height());
    std::vector<UInt8> pixels;
    if (clip.ReadFrame(index, world, error)) pixels = testsupport::WorldPixels(world);
    DisposeGWorld(world);
    return pixels;
}

// Every byte of a pixel differs from its neighbours', alpha too, so that a byte moved to
// the wrong place shows.
const std::string kVaryingAlpha = "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='mod(X*7+Y*13+N*29,256)'";

class RawClips : public HostCliTest {};

TEST_F(RawClips, FramesMatchFfmpegsDecodingInAnyOrder) {
    // 1000 pixels a row: 65 rows to a band, so 300 rows end in a short band. AVI's index
    // points at each frame's chunk header, 8 bytes before its pixels, which must show
    // even when frame 0 is nothing but zero bytes; A,B,G,R is not one of the reordered
    // formats.
    const char* zeroFirst = ",fade=in:0:2,fade=in:0:2:alpha=1";
    const RawCase cases[] = {{"a.mov", "bgra", 1000, 300}, {"b.mov", "rgba", 33, 17}, {"c.mov", "argb", 64, 48},
                             {"d.nut", "bgra", 33, 17},    {"e.mkv", "rgba", 34, 18}, {"f.avi", "bgra", 34, 18},
                             {"g.avi", "bgra", 34, 18, zeroFirst}, {"h.mov", "bgra", 34, 18, zeroFirst},
                             {"i.mov", "abgr", 32, 16}};
    constexpr int kFrames = 6;
    for (const RawCase& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = Path(std::string("in/") + c.file);
        const std::string size = std::to_string(c.width) + ":" + std::to_string(c.height);
        Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=1024x768:rate=30,scale=" + size + "," + kVaryingAlpha + c.filters,
                "-frames:v", std::to_string(kFrames), "-pix_fmt", c.pixelFormat, "-c:v", "rawvideo", path});
        const std::vector<UInt8> reference = FfmpegArgb(path, Path("out/ref.argb"));
        const std::size_t frameBytes = std::size_t(c.width) * std::size_t(c.height) * 4;
        ASSERT_EQ(reference.size(), frameBytes * kFrames);
        std::string error;
        std::unique_ptr<host::FrameSource> clip = host::OpenClip(path, host::ReaderOptions{1, {30, 1}}, &error);
        ASSERT_TRUE(clip) << error;
        ASSERT_EQ(clip->FrameCount(), kFrames);
        for (int i : {5, 0, 3, 4, 1, 2, 2}) {
            const std::vector<UInt8> got = Frame(*clip, i, &error);
            ASSERT_EQ(got.size(), frameBytes) << "frame " << i << ": " << error;
            EXPECT_TRUE(std::equal(got.begin(), got.end(), reference.begin() + std::ptrdiff_t(frameBytes) * i))
                << "frame " << i;
        }
    }
}

TEST_F(RawClips, AFileCutInsideAFrameFailsAtThatFrame) {
    const std::string path = Path("in/cut.mov");
    Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30", "-frames:v", "4", "-pix_fmt", "bgra", "-c:v",
            "rawvideo", "-movflags", "+faststart", path});
    const std::vector<UInt8> reference = FfmpegArgb(path, Path("out/ref.argb"));
    fs::resize_file(path, fs::file_size(path) - 64 * 4 * 10);  // the last frame's last 10 rows
    std::string error;
    std::unique_ptr<host::FrameSource> clip = host::OpenClip(path, {}, &error);
    ASSERT_TRUE(clip) << error;
    ASSERT_EQ(clip->FrameCount(), 4);
    EXPECT_TRUE(Frame(*clip, 3, &error).empty());
    EXPECT_EQ(error, path + ": frame 3 cannot be decoded (the file ends before it)");
    const std::vector<UInt8> two = Frame(*clip, 2, &error);
    EXPECT_TRUE(std::equal(two.begin(), two.end(), reference.begin() + 64 * 48 * 4 * 2)) << error;
}

}  // namespace
}  // namespace hosttest
