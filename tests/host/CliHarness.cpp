// The end-to-end harness.
#include "CliHarness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "FFmpegUtil.h"
#include "quickdraw/QDPng.h"
#include "support/PluginTestSupport.h"

namespace hosttest {

namespace fs = std::filesystem;

fs::path BuildDir() {
    const char* dir = std::getenv("TONEFADE_BUILD_DIR");
    return dir ? fs::path(dir) : fs::current_path();
}
std::string HostBinary() { return (BuildDir() / "bin" / "tonefade-host").string(); }
std::string WritePrefsBinary() { return (BuildDir() / "libexec" / "tonefade-write-prefs").string(); }

namespace {

// The tests that use the readers and writers in process want a quiet log too.
const bool kQuietLogs = (host::av::QuietLogs(), true);

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

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

RunResult Run(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    std::string out = (fs::temp_directory_path() / ("tf-run-out-" + std::to_string(::getpid()))).string();
    std::string err = out + ".err";
    pid_t pid = ::fork();
    if (pid == 0) {
        int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(::open("/dev/null", O_RDONLY), 0);  // never the test's own input
        ::dup2(o, 1);
        ::dup2(e, 2);
        for (const std::string& v : options.environment) {
            std::size_t eq = v.find('=');
            if (eq == std::string::npos) ::unsetenv(v.c_str());
            else ::setenv(v.substr(0, eq).c_str(), v.c_str() + eq + 1, 1);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    RunResult r;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(options.timeoutSeconds);
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            r.timedOut = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = Slurp(out);
    r.err = Slurp(err);
    fs::remove(out);
    fs::remove(err);
    return r;
}

RunResult Host(const std::vector<std::string>& args, const RunOptions& options) {
    return Run(HostBinary(), args, options);
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
    Image out = in;
    testsupport::ReferenceTonefade(in.argb.data(), out.argb.data(), in.width, in.height, rect, amount);
    return out;
}

std::vector<std::string> Listing(const fs::path& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder, ec)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void HostCliTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '-';
    dir = fs::temp_directory_path() / ("tonefade-host-" + std::to_string(::getpid()) + "-" + name);
    fs::remove_all(dir);
    fs::create_directories(dir / "in");
    fs::create_directories(dir / "out");
    prefs = (dir / "prefs").string();
}

void HostCliTest::TearDown() { fs::remove_all(dir); }

void HostCliTest::WriteSettings(int amount, const std::string& rect) {
    RunResult r = hosttest::Run(WritePrefsBinary(), {prefs, "--amount", std::to_string(amount), "--rect", rect});
    ASSERT_EQ(r.status, 0) << r.err;
}

std::vector<Image> HostCliTest::WriteSequence(const std::string& ext, int frames, int width, int height, bool alpha) {
    std::vector<Image> images;
    for (int i = 0; i < frames; ++i) {
        images.push_back(Pattern(width, height, i + 1, alpha));
        char name[32];
        std::snprintf(name, sizeof name, "in/%04d.%s", i, ext.c_str());
        if (ext == "ppm") WritePpm(Path(name), images.back());
        else WritePngFile(Path(name), images.back(), alpha);
    }
    return images;
}

}  // namespace hosttest
