// tonefade-host the way ffmpeg users drive it: streams through pipes between ffmpeg
// processes, encoder choices read back with ffprobe, 1001-based image sequences, and the
// exact frame rate of NTSC clips carried from input to output.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

// `command` run by sh in the test's folder; its standard output.
std::string Shell(const std::string& folder, const std::string& command) {
    RunResult r = RunProgram("/bin/sh", {"-c", "cd '" + folder + "' && " + command});
    EXPECT_EQ(r.status, 0) << command << "\n" << r.err;
    return r.out;
}

std::string Bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// ffprobe's view of the first video stream: "codec_name=h264|pix_fmt=yuv420p|...".
std::string Probe(const std::string& path) {
    RunResult r = RunProgram("/usr/bin/env", {"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                         "stream=codec_name,pix_fmt,r_frame_rate,width,height", "-of",
                                         "compact=p=0:nk=0", path});
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

class StreamTest : public HostCliTest {
protected:
    void SetUp() override {
        MakeClip(Path("in/clip.mp4"), 96, 64, 12, true);
        WriteSettings(90, "0.1,0.2,0.8,0.9");
    }
    // The render line of the host for the shell, with the test's settings.
    std::string HostLine(const std::string& args) const {
        std::string line = "'";
        line.append(HostBinary()).append("' render ").append(args);
        return line.append(" --prefs-dir prefs --quiet --fade-in 3 --fade-out 2");
    }
};

// ffmpeg | tonefade-host render - - | ffmpeg gives the frames of a render from file to file,
// in each stream format; raw RGB on standard output is exactly the pixels of a PPM render.
TEST_F(StreamTest, PipeFromFfmpegThroughTheHostIntoFfmpegGivesTheFramesOfFileToFile) {
    struct Case {
        const char* format;  // -f of both sides
        const char* ext;     // the same as a file
    };
    for (const Case c : {Case{"nut", "nut"}, Case{"y4m", "y4m"}}) {
        SCOPED_TRACE(c.format);
        const std::string f = c.format == std::string("y4m") ? "yuv4mpegpipe" : c.format;
        Shell(dir, "ffmpeg -v error -y -i in/clip.mp4 -f " + f + " in/clip." + c.ext);
        Shell(dir, HostLine("in/clip." + std::string(c.ext) + " out/file." + c.ext));
        const std::string files = Shell(dir, "ffmpeg -v error -i out/file." + std::string(c.ext) + " -f framemd5 -");
        const std::string piped = Shell(dir, "ffmpeg -v error -i in/clip.mp4 -f " + f + " - | " +
                                                 HostLine("- - -f " + std::string(c.format)) +
                                                 " | ffmpeg -v error -i - -f framemd5 -");
        EXPECT_EQ(LineCount(piped), LineCount(files));
        EXPECT_EQ(piped, files);
    }
    // Without -f, a stream to standard output is NUT, as ffplay - and ffmpeg -i - take it.
    EXPECT_EQ(Shell(dir, "cat in/clip.nut | " + HostLine("- -") + " | ffmpeg -v error -i - -f framemd5 -"),
              Shell(dir, "ffmpeg -v error -i out/file.nut -f framemd5 -"));
    Shell(dir, HostLine("in/clip.mp4 'out/%02d.ppm'"));
    std::string expected;
    for (int i = 0; i < 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%02d.ppm", i);
        std::string ppm = Bytes(dir / "out" / name);
        expected += ppm.substr(ppm.size() - 96 * 64 * 3);  // the pixels after the header
    }
    const std::string raw =
        Shell(dir, "cat in/clip.mp4 | " + HostLine("- - -f rawvideo --pix-fmt rgb24"));
    EXPECT_TRUE(raw == expected) << raw.size() << " bytes, expected " << expected.size();
    // Raw frames in need their format, size and rate; here ffmpeg's decoding of the clip.
    const std::string rawBoth = Shell(dir, "ffmpeg -v error -i in/clip.mp4 -f rawvideo -pix_fmt rgb24 - | " +
                                               HostLine("- - --input-pix-fmt rgb24 --size 96x64 --rate 30 "
                                                        "-f rawvideo --pix-fmt rgb24"));
    EXPECT_TRUE(rawBoth == expected) << rawBoth.size() << " bytes, expected " << expected.size();
}

TEST_F(StreamTest, StreamsNeedAFormatAndFilesTakeTheirs) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    for (const Case& c : {Case{{"render", "@/in/clip.mp4", "@/out/a.mkv", "-f", "nut"}, "-f names the format"},
                          Case{{"render", "@/in/clip.mp4", "-", "-f", "hls"}, "-f hls: not a format"},
                          Case{{"render", "@/in/clip.mp4", "-", "-f", "nosuch"}, "writes no such format"},
                          Case{{"render", "@/in/clip.mp4", "-", "-f", "nut", "--input-pix-fmt", "rgb24"},
                               "need their size: --size WxH"}}) {
        ExpectCleanFailure(Host(Job(c.args)), 2, c.says, dir / "out");
    }
}

// What the encoder flags ask for is what ffprobe finds; what cannot be done is refused,
// with a hint, and an odd frame size is never quietly made 4:4:4.
TEST_F(StreamTest, EncoderFlagsAreRespected) {
    struct Case {
        std::vector<std::string> flags;
        const char* output;
        const char* probe;  // part of ffprobe's line
    };
    const Case cases[] = {
        {{}, "a.mp4", "codec_name=h264|width=96|height=64|pix_fmt=yuv420p"},
        {{"--codec", "libx265", "--crf", "30"}, "b.mkv", "codec_name=hevc|width=96|height=64|pix_fmt=yuv420p"},
        {{"--codec", "ffv1", "--pix-fmt", "yuv444p"}, "c.mkv", "codec_name=ffv1|width=96|height=64|pix_fmt=yuv444p"},
        {{"--codec", "h264", "--pix-fmt", "yuv422p"}, "d.mov", "codec_name=h264|width=96|height=64|pix_fmt=yuv422p"},
        {{"--codec", "mpeg4", "--bitrate", "300k"}, "e.mkv", "codec_name=mpeg4|width=96|height=64|pix_fmt=yuv420p"},
        {{"--codec", "prores_ks"}, "f.mov", "codec_name=prores|width=96|height=64|pix_fmt=yuv422p10le"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"render", "@/in/clip.mp4", std::string("@/out/") + c.output};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        RunResult r = Host(Job(args));
        ASSERT_EQ(r.status, 0) << c.output << ": " << r.err;
        EXPECT_NE(Probe(Path(std::string("out/") + c.output)).find(c.probe), std::string::npos)
            << Probe(Path(std::string("out/") + c.output));
    }
    // Quality decides the size: --crf 8 keeps far more than --crf 45.
    for (const char* crf : {"8", "45"}) Host(Job({"render", "@/in/clip.mp4", "@/out/q" + std::string(crf) + ".mp4", "--crf", crf}));
    EXPECT_GT(fs::file_size(dir / "out/q8.mp4"), 2 * fs::file_size(dir / "out/q45.mp4"));

    fs::remove_all(dir / "out");
    fs::create_directories(dir / "out");
    Ffmpeg({"-f", "lavfi", "-i", "testsrc=size=65x49:rate=25", "-frames:v", "3", "-c:v", "ffv1", Path("in/odd.mkv")});
    struct Refusal {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    for (const Refusal& c : {
             Refusal{{"render", "@/in/odd.mkv", "@/out/o.mp4"}, 1, "give --size 66x50, or --pix-fmt yuv444p"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--codec", "mpeg4", "--crf", "5"}, 1, "give --bitrate"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--codec", "ffv1"}, 1, "cannot hold ffv1"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--codec", "nosuch"}, 1, "no video encoder nosuch"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--pix-fmt", "pal8"}, 1, "takes no pal8"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--crf", "20", "--bitrate", "1M"}, 2, "not both"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/o.mp4", "--bitrate", "fast"}, 2, "--bitrate takes"},
             Refusal{{"render", "@/in/clip.mp4", "@/out/%03d.png", "--codec", "libx264"}, 2, "--codec applies"},
         }) {
        ExpectCleanFailure(Host(Job(c.args)), c.status, c.says, dir / "out");
    }
    ASSERT_EQ(Host(Job({"render", "@/in/odd.mkv", "@/out/o.mp4", "--pix-fmt", "yuv444p"})).status, 0);
    EXPECT_NE(Probe(Path("out/o.mp4")).find("width=65|height=49|pix_fmt=yuv444p"), std::string::npos);
}

// A VFX sequence numbered from 1001 is read from there and written from there; a segment
// keeps the clip's numbering; without --start-number the first of 0 to 4 is looked for.
TEST_F(HostCliTest, StartNumberReadsAndWrites1001BasedSequences) {
    WriteSettings(100, "0,0,0.5,1");
    std::vector<Image> frames = WriteSequence("ppm", 6, 48, 32);
    fs::create_directories(dir / "vfx");
    for (int i = 0; i < 6; ++i) {
        char from[16], to[16];
        std::snprintf(from, sizeof from, "%04d.ppm", i);
        std::snprintf(to, sizeof to, "%04d.ppm", 1001 + i);
        fs::rename(dir / "in" / from, dir / "vfx" / to);
    }
    ExpectCleanFailure(Host(Job({"render", "@/vfx/%04d.ppm", "@/out/%04d.ppm"})), 1, "looked for", dir / "out");
    ASSERT_EQ(Host(Job({"render", "@/vfx/%04d.ppm", "@/out/%04d.ppm", "--start-number", "1001"})).status, 0);
    std::vector<std::string> names;
    for (int i = 1001; i <= 1006; ++i) names.push_back(std::to_string(i) + ".ppm");
    EXPECT_EQ(FolderEntries(dir / "out"), names);
    const Image first = ReadAny(Path("out/1001.ppm"));
    EXPECT_NE(first.argb, frames[0].argb);  // the effect is on it
    EXPECT_EQ(ReadAny(Path("vfx/1006.ppm")).argb, frames[5].argb);

    fs::create_directories(dir / "seg");
    ASSERT_EQ(Host(Job({"render", "@/vfx/%04d.ppm", "@/seg/%04d.ppm", "--start-number", "1001", "--start", "2",
                        "--frames", "2"}))
                  .status,
              0);
    EXPECT_EQ(FolderEntries(dir / "seg"), (std::vector<std::string>{"1003.ppm", "1004.ppm"}));
    EXPECT_EQ(Bytes(dir / "seg/1003.ppm"), Bytes(dir / "out/1003.ppm"));
    ExpectCleanFailure(Host(Job({"render", "@/vfx/%04d.ppm", "@/out2/%04d.ppm", "--start-number", "999"})), 1,
                       "looked for " + Path("vfx/0999.ppm"), dir / "out2");
}

// 30000/1001 stays 30000/1001: in info, in a rendered file, and from a sequence's --rate.
TEST_F(StreamTest, TheExactFrameRateIsCarriedThrough) {
    Ffmpeg({"-f", "lavfi", "-i", "testsrc2=size=64x48:rate=30000/1001", "-frames:v", "4", Path("in/ntsc.mkv")});
    RunResult info = Host(Job({"info", "@/in/ntsc.mkv"}));
    EXPECT_NE(info.out.find("rate     30000/1001 frames/s (29.97)\n"), std::string::npos) << info.out;
    RunResult json = Host(Job({"info", "@/in/ntsc.mkv", "--json"}));
    EXPECT_NE(json.out.find("\"frameRateExact\": \"30000/1001\""), std::string::npos) << json.out;
    ASSERT_EQ(Host(Job({"render", "@/in/ntsc.mkv", "@/out/ntsc.mp4"})).status, 0);
    EXPECT_NE(Probe(Path("out/ntsc.mp4")).find("r_frame_rate=30000/1001"), std::string::npos);
    ASSERT_EQ(Host(Job({"render", "@/in/ntsc.mkv", "@/out/%02d.png"})).status, 0);
    for (const char* rate : {"30000/1001", "24000/1001", "25", "29.97"}) {
        ASSERT_EQ(Host(Job({"render", "@/out/%02d.png", "@/out/seq.mkv", "--rate", rate})).status, 0) << rate;
        const std::string expected = rate == std::string("29.97") ? "2997/100" : rate == std::string("25") ? "25/1" : rate;
        EXPECT_NE(Probe(Path("out/seq.mkv")).find("r_frame_rate=" + expected), std::string::npos)
            << rate << ": " << Probe(Path("out/seq.mkv"));
        fs::remove(dir / "out/seq.mkv");
    }
    ExpectCleanFailure(Host(Job({"render", "@/out/%02d.png", "@/x/seq.mkv", "--rate", "30/0"})), 2, "--rate takes",
                       dir / "x");
}

}  // namespace
}  // namespace hosttest
