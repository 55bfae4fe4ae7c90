// tonefade-host end to end: the real binary loads the real bundle and renders image
// sequences with known settings; every frame is checked pixel for pixel.
#include <gtest/gtest.h>

#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

// Amount 60 on the middle of a 64x48 frame: left 16, right 48, top 12, bottom 36.
constexpr int kAmount = 60;
const char* const kRect = "0.25,0.25,0.75,0.75";
const Rect kPixels{12, 16, 36, 48};

std::string Frame(const std::string& folder, int i, const std::string& ext) {
    char name[32];
    std::snprintf(name, sizeof name, "/%04d.", i);
    return folder + name + ext;
}

// Sum of byte distances between two images of the same size.
long Distance(const Image& a, const Image& b) {
    long d = 0;
    for (std::size_t i = 0; i < a.argb.size(); ++i) d += std::abs(int(a.argb[i]) - int(b.argb[i]));
    return d;
}

Image Opaque(Image image) {
    for (std::size_t i = 0; i < image.argb.size(); i += 4) image.argb[i] = 255;
    return image;
}

struct SequenceCase {
    const char* in;
    const char* out;
    bool alpha;  // input carries alpha (kept only by PAM output)
};

class SequenceRender : public HostCliTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(SequenceRender, ExactPixelsOutsideTheFadesAndBlendsInside) {
    const SequenceCase c = GetParam();
    WriteSettings(kAmount, kRect);
    std::vector<Image> in = WriteSequence(c.in, 8, 64, 48, c.alpha);
    RunResult r = Host(Job({"render", Path("in/%04d.") + c.in, Path("out/%04d.") + c.out, "--fade-in", "4",
                            "--fade-out", "2"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::vector<std::string> expected;
    for (int i = 0; i < 8; ++i) expected.push_back(fs::path(Frame("", i, c.out)).filename().string());
    ASSERT_EQ(FolderEntries(dir / "out"), expected);

    auto shown = [&](const Image& image) { return std::string(c.out) == "pam" ? image : Opaque(image); };
    std::vector<Image> out;
    for (int i = 0; i < 8; ++i) out.push_back(ReadAny(Frame(Path("out"), i, c.out)));
    EXPECT_EQ(out[0].argb, shown(in[0]).argb) << "frame 0 of a fade-in is the unprocessed frame";
    for (int i : {4, 5, 6})
        EXPECT_EQ(out[i].argb, shown(Processed(in[i], kPixels, kAmount)).argb) << "frame " << i;
    // In a fade the unprocessed frame lies over the processed one with an opacity that
    // falls over the fade-in (3/4, 1/2, 1/4) and is back at 1/2 on the last frame of a
    // 2-frame fade-out: the way from processed to output is that share of the whole way.
    const std::pair<int, double> fades[] = {{1, 0.75}, {2, 0.5}, {3, 0.25}, {7, 0.5}};
    for (auto [i, share] : fades) {
        Image processed = shown(Processed(in[i], kPixels, kAmount));
        double whole = double(Distance(shown(in[i]), processed));
        ASSERT_GT(whole, 0);
        EXPECT_NEAR(Distance(out[i], processed) / whole, share, 0.02) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SequenceRender,
                         ::testing::Values(SequenceCase{"ppm", "ppm", false}, SequenceCase{"png", "png", false},
                                           SequenceCase{"png", "pam", true}, SequenceCase{"ppm", "png", false}),
                         [](const auto& info) {
                             return std::string(info.param.in) + "_to_" + info.param.out;
                         });

TEST_F(HostCliTest, SegmentsJoinIntoExactlyTheFullRender) {
    WriteSettings(kAmount, kRect);
    WriteSequence("ppm", 8, 64, 48);
    auto render = [&](const std::string& out, std::vector<std::string> extra) {
        std::vector<std::string> args{"render", "@/in/%04d.ppm", "@/out/" + out, "--fade-in", "3", "--fade-out", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult r = Host(Job(args));
        EXPECT_EQ(r.status, 0) << r.err;
    };
    fs::create_directories(dir / "out/full");
    fs::create_directories(dir / "out/seg");
    render("full/%04d.ppm", {});
    render("seg/%04d.ppm", {"--start", "3", "--frames", "3"});
    EXPECT_EQ(FolderEntries(dir / "out/seg"), (std::vector<std::string>{"0003.ppm", "0004.ppm", "0005.ppm"}));
    render("seg/%04d.ppm", {"--start", "0", "--frames", "3"});
    render("seg/%04d.ppm", {"--start", "6"});
    ASSERT_EQ(FolderEntries(dir / "out/seg"), FolderEntries(dir / "out/full"));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(ReadPnm(Frame(Path("out/seg"), i, "ppm")).argb, ReadPnm(Frame(Path("out/full"), i, "ppm")).argb)
            << "frame " << i;
}

TEST_F(HostCliTest, ThumbnailIsTheProcessedChosenFrame) {
    WriteSettings(kAmount, kRect);
    std::vector<Image> in = WriteSequence("ppm", 8, 64, 48);
    RunResult r = Host({"thumbnail", Path("in/%04d.ppm"), Path("out/thumb.png"), "--frame", "5", "--prefs-dir", prefs});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("frame 5"), std::string::npos) << r.err;
    EXPECT_EQ(ReadPngFile(Path("out/thumb.png")).argb, Processed(in[5], kPixels, kAmount).argb);
    EXPECT_EQ(FolderEntries(dir / "out"), std::vector<std::string>{"thumb.png"});
}

// The description, and the clip's frames, size and rate when one is named.
TEST_F(HostCliTest, InfoPrintsTheDescriptionAndTheClipAsThePluginSeesIt) {
    WriteSequence("ppm", 5, 64, 48);
    for (bool clip : {false, true}) {
        std::vector<std::string> args{"info", "--prefs-dir", Path("out")};
        if (clip) args.insert(args.begin() + 1, Path("in/%04d.ppm"));
        const RunResult text = Host(args);
        args.push_back("--json");
        const RunResult json = Host(args);
        ASSERT_EQ(text.status + json.status, 0) << text.err << json.err;
        for (const char* line :
             {"type     filter (105)", "flags    0x00001380", "memory   50000 bytes", "  1. ", "  3. "})
            EXPECT_NE(text.out.find(line), std::string::npos) << text.out;
        EXPECT_EQ(json.out.rfind("{\"", 0), 0u) << json.out;
        for (const char* field : {"\"typeCode\": 105", "\"flags\": 4992"})
            EXPECT_NE(json.out.find(field), std::string::npos) << json.out;
        std::size_t defaults = 0;
        for (std::size_t at = 0; (at = json.out.find("\"default\": 0.5", at)) != std::string::npos; ++at) ++defaults;
        EXPECT_EQ(defaults, 3u);
        EXPECT_EQ(text.out.find("frames   5\nsize     64x48\nrate     30 frames/s\n") != std::string::npos, clip);
        EXPECT_EQ(json.out.find("\"frames\": 5, \"width\": 64, \"height\": 48") != std::string::npos, clip);
        EXPECT_EQ(json.out.substr(json.out.size() - 3), "}}\n") << "one object, the clip and the settings inside it";
        // A fresh folder: the defaults, on the clip's frames or the media format's.
        EXPECT_NE(json.out.find(clip ? "\"settings\": {\"amount\": 0, \"rect\": {\"left\": 0, \"top\": 0, \"right\": "
                                       "1, \"bottom\": 1}, \"pixels\": {\"left\": 0, \"top\": 0, \"right\": 64, "
                                       "\"bottom\": 48, \"size\": \"64x48\"}"
                                     : "\"size\": \"720x480\"}, \"format\": \"ntsc\""),
                  std::string::npos)
            << json.out;
        EXPECT_NE(text.out.find("settings in force:\n"), std::string::npos) << text.out;
        EXPECT_NE(text.err.find("warning: the amount is 0, so nothing will change"), std::string::npos) << text.err;
    }
}

}  // namespace
}  // namespace hosttest
