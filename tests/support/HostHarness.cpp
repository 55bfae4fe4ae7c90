// The host's end-to-end harness.
#include "support/HostHarness.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "FFmpegUtil.h"
#include "quickdraw/QDPng.h"
#include "support/Frames.h"

namespace hosttest {

namespace fs = std::filesystem;

namespace {

// The tests that use the readers and writers in process want a quiet log too.
const bool kQuietLogs = (host::av::QuietLogs(), true);

// Skips whitespace and comments in a PNM header and reads one token.
std::string Token(std::istream& in) {
    std::string token;
    char c;
    while (in.get(c)) {
        if (c == '#') {
            std::string skip;
            std::getline(in, skip);
        } else if (!std::isspace(static_cast<unsigned char>(c))) {
            token += c;
            break;
        }
    }
    while (in.get(c) && !std::isspace(static_cast<unsigned char>(c))) token += c;
    return token;
}

}  // namespace

// The user's programs are in bin, build steps and test aids in libexec.
std::string ProgramPath(const std::string& name) {
    return (testsupport::BuildDir() / (name == "tonefade-host" ? "bin" : "libexec") / name).string();
}
std::string HostBinary() { return ProgramPath("tonefade-host"); }

RunResult Host(const std::vector<std::string>& args, const RunOptions& options) {
    return RunProgram(HostBinary(), args, options);
}

void Ffmpeg(std::vector<std::string> args) {
    args.insert(args.begin(), {"ffmpeg", "-nostdin", "-v", "error", "-y"});  // the one on the PATH
    RunResult r = RunProgram("/usr/bin/env", args);
    ASSERT_EQ(r.status, 0) << "ffmpeg: " << r.err;
}

void MakeClip(const std::string& path, int width, int height, int frames, bool silent) {
    std::vector<std::string> args{"-f", "lavfi", "-i", "testsrc2=s=" + std::to_string(width) + "x" +
                                  std::to_string(height) + ":r=30"};
    if (!silent) args.insert(args.end(), {"-f", "lavfi", "-i", "sine=f=440:r=44100", "-t",
                                          std::to_string(frames / 30.0 + 0.001), "-c:a", "aac"});
    args.insert(args.end(), {"-frames:v", std::to_string(frames), "-c:v", "libx264", "-preset", "ultrafast",
                             "-pix_fmt", "yuv420p", path});
    Ffmpeg(args);
}

double Rms(const std::vector<int16_t>& samples) {
    double power = 0;
    for (int16_t s : samples) power += double(s) * s;
    return samples.empty() ? 0.0 : std::sqrt(power / double(samples.size()));
}

void WritePpm(const std::string& path, const Image& image) {
    std::ofstream out(path, std::ios::binary);
    out << "P6\n" << image.width << " " << image.height << "\n255\n";
    for (std::size_t i = 0; i < image.argb.size(); i += 4) out.write(reinterpret_cast<const char*>(&image.argb[i + 1]), 3);
}

Image ReadPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Image image;
    std::string magic = Token(in);
    int depth = 3;
    if (magic == "P6") {
        image.width = std::stoi(Token(in));
        image.height = std::stoi(Token(in));
        Token(in);  // maxval
    } else if (magic == "P7") {
        for (std::string key = Token(in); in && key != "ENDHDR"; key = Token(in)) {
            if (key == "WIDTH") image.width = std::stoi(Token(in));
            else if (key == "HEIGHT") image.height = std::stoi(Token(in));
            else if (key == "DEPTH") depth = std::stoi(Token(in));
            else if (key == "MAXVAL" || key == "TUPLTYPE") Token(in);
        }
    } else {
        ADD_FAILURE() << path << ": not a PPM or PAM file";
        return image;
    }
    image.argb.assign(std::size_t(image.width) * std::size_t(image.height) * 4, 255);
    for (std::size_t i = 0; i < image.argb.size(); i += 4) {
        char px[4] = {0, 0, 0, char(255)};
        in.read(px, depth);
        image.argb[i + 1] = UInt8(px[0]), image.argb[i + 2] = UInt8(px[1]), image.argb[i + 3] = UInt8(px[2]);
        image.argb[i] = UInt8(px[3]);
    }
    EXPECT_TRUE(in) << path << ": shorter than its header says";
    return image;
}

void WritePngFile(const std::string& path, const Image& image, bool withAlpha) {
    GWorldPtr world = testsupport::NewTestWorld(image.width, image.height);
    testsupport::FillWorld(world, image.argb);
    Rect area{0, 0, SInt16(image.height), SInt16(image.width)};
    std::string error;
    EXPECT_TRUE(toolbox::WritePixMapPNG(GetGWorldPixMap(world), area, path, withAlpha, &error)) << error;
    DisposeGWorld(world);
}

Image ReadPngFile(const std::string& path) {
    toolbox::ARGBImage png;
    std::string error;
    EXPECT_TRUE(toolbox::ReadPNG(path, &png, &error)) << path << ": " << error;
    return Image{png.width, png.height, png.pixels};
}

Image ReadAny(const std::string& path) {
    return fs::path(path).extension() == ".png" ? ReadPngFile(path) : ReadPnm(path);
}

Image Pattern(int width, int height, int seed, bool alpha) {
    Image image{width, height, testsupport::PatternFrame(width, height, seed)};
    if (!alpha)
        for (std::size_t i = 0; i < image.argb.size(); i += 4) image.argb[i] = 255;
    return image;
}

Image Processed(const Image& in, const Rect& rect, SInt16 amount) {
    return Image{in.width, in.height, testsupport::Processed(in.argb, in.width, in.height, rect, amount)};
}

HostCliTest::HostCliTest() {
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
}

std::vector<std::string> HostCliTest::Job(std::vector<std::string> args) const {
    for (std::string& a : args) a = testsupport::Replaced(a, "@", dir.string());
    args.insert(args.end(), {"--prefs-dir", prefs, "--quiet"});
    return args;
}

void HostCliTest::WriteSettings(int amount, const std::string& rect) {
    RunResult r = RunProgram(ProgramPath("tonefade-write-prefs"), {prefs, "--amount", std::to_string(amount), "--rect", rect});
    ASSERT_EQ(r.status, 0) << r.err;
}

std::vector<Image> HostCliTest::WriteSequence(const std::string& ext, int frames, int width, int height, bool alpha,
                                              const std::string& where) {
    fs::create_directories(dir / where);
    std::vector<Image> images;
    for (int i = 0; i < frames; ++i) {
        images.push_back(Pattern(width, height, i + 1, alpha));
        char name[32];
        std::snprintf(name, sizeof name, "/%04d.%s", i, ext.c_str());
        if (ext == "ppm") WritePpm(Path(where + name), images.back());
        else WritePngFile(Path(where + name), images.back(), alpha);
    }
    return images;
}

void HostCliTest::ExpectCleanFailure(const RunResult& r, int status, const std::string& message,
                                     const fs::path& output, bool anyCase) const {
    auto lower = [anyCase](std::string s) {
        for (char& c : s) c = anyCase ? char(std::tolower(static_cast<unsigned char>(c))) : c;
        return s;
    };
    EXPECT_EQ(r.status, status) << r.err;
    EXPECT_NE(lower(r.err).find(lower(message)), std::string::npos) << "expected \"" << message << "\" in: " << r.err;
    EXPECT_EQ(LineCount(r.err), 1) << "one line: " << r.err;
    EXPECT_EQ(FolderEntries(output), std::vector<std::string>{}) << "nothing may be left in " << output;
}

}  // namespace hosttest
