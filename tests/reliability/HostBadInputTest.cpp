// tonefade-host given bad input, a folder it cannot write, a disk that fills up, or a
// signal mid-render: the real binary must answer with one line on standard error and the
// job's exit status, and leave nothing behind that could pass for finished output — no
// file under its final name and no temporary file either.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "host/CliHarness.h"
#include "reliability/ReliabilitySupport.h"

namespace {

namespace fs = std::filesystem;
using hosttest::Host;
using hosttest::Image;
using hosttest::Listing;
using hosttest::RunResult;

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// Pictures that do not compress, so that a few frames overflow a small disk.
Image Noise(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Image image{width, height, std::vector<UInt8>(std::size_t(width) * std::size_t(height) * 4)};
    for (std::size_t i = 0; i < image.argb.size(); ++i) image.argb[i] = (i % 4 == 0) ? 255 : UInt8(random());
    return image;
}

void WriteFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

using reliability::ScopedMount;

class HostBadInput : public hosttest::HostCliTest {
protected:
    void SetUp() override {
        HostCliTest::SetUp();
        WriteSettings(60, "0.25,0.25,0.75,0.75");
    }
    // Replaces "@" in every argument by the test's folder; adds the preferences folder
    // and --quiet, so that standard error holds the error line and nothing else.
    std::vector<std::string> Args(const std::vector<std::string>& raw) const {
        std::vector<std::string> args;
        for (std::string a : raw) {
            for (std::size_t at; (at = a.find('@')) != std::string::npos;) a.replace(at, 1, dir.string());
            args.push_back(a);
        }
        args.insert(args.end(), {"--prefs-dir", prefs, "--quiet"});
        return args;
    }
    void WriteFrames(const std::string& folder, int frames, int width, int height, bool noise) {
        fs::create_directories(dir / folder);
        for (int i = 0; i < frames; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%04d.ppm", i);
            hosttest::WritePpm(Path(folder) + name, noise ? Noise(width, height, unsigned(i + 1))
                                                           : hosttest::Pattern(width, height, i + 1));
        }
    }
    // One line, the status, the expected words, and an output folder left empty.
    void ExpectCleanFailure(const RunResult& r, int status, const std::string& message, const fs::path& folder) {
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_NE(Lower(r.err).find(Lower(message)), std::string::npos) << "expected \"" << message << "\" in: " << r.err;
        EXPECT_EQ(Lines(r.err), 1) << "one line: " << r.err;
        EXPECT_EQ(Listing(folder), std::vector<std::string>{}) << "nothing may be left in " << folder;
    }
};

// ---------------------------------------------------------------------------------------
// Inputs that are not what their names say.

struct InputCase {
    const char* name;
    std::vector<std::string> args;  // command, INPUT, OUTPUT; "@" is the test's folder
    const char* message;
};

class HostBadInputFiles : public HostBadInput, public ::testing::WithParamInterface<InputCase> {
protected:
    void SetUp() override {
        HostBadInput::SetUp();
        WriteFrames("in", 3, 64, 48, false);
        for (const char* name : {"zero.mp4", "zero.mkv", "zero.mov", "zero.ppm"}) WriteFile(dir / name, "");
        WriteFile(dir / "note.mp4", "this is a text file, not a video\n");
        WriteFile(dir / "note.mkv", "Meeting notes\n- cut the intro\n- fade out at 1:20\n");
        WriteFile(dir / "note.mov", "x");
        // Sequences with a zero-byte first frame and a zero-byte middle frame.
        for (const char* folder : {"zerofirst", "zeromiddle"}) fs::create_directories(dir / folder);
        for (int i = 0; i < 3; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "/%04d.ppm", i);
            fs::copy_file(Path("in") + name, Path("zerofirst") + name);
            fs::copy_file(Path("in") + name, Path("zeromiddle") + name);
        }
        WriteFile(dir / "zerofirst/0000.ppm", "");
        WriteFile(dir / "zeromiddle/0001.ppm", "");
        // A sequence that starts too late to be found (numbers 5 on).
        fs::create_directories(dir / "late");
        for (int i = 5; i < 8; ++i) fs::copy_file(Path("in/0000.ppm"), Path("late/000" + std::to_string(i) + ".ppm"));
    }
};

TEST_P(HostBadInputFiles, OneLineAndNoOutput) {
    const InputCase& c = GetParam();
    RunResult r = Host(Args(c.args));
    ExpectCleanFailure(r, 1, c.message, dir / "out");
}

const InputCase kInputs[] = {
    {"ZeroByteMp4", {"render", "@/zero.mp4", "@/out/x.mkv"}, "zero.mp4: not a video file"},
    {"ZeroByteMkv", {"render", "@/zero.mkv", "@/out/x.mp4"}, "zero.mkv: not a video file"},
    {"ZeroByteMov", {"render", "@/zero.mov", "@/out/%04d.png"}, "zero.mov: not a video file"},
    {"ZeroBytePpm", {"render", "@/zero.ppm", "@/out/x.mkv"}, "zero.ppm: not a video file"},
    {"ZeroByteThumbnail", {"thumbnail", "@/zero.mp4", "@/out/t.png"}, "zero.mp4: not a video file"},
    {"ZeroByteFirstFrame", {"render", "@/zerofirst/%04d.ppm", "@/out/x.mkv"}, "zerofirst/0000.ppm: not a readable"},
    {"ZeroByteMiddleFrame", {"render", "@/zeromiddle/%04d.ppm", "@/out/%04d.ppm"}, "zeromiddle/0001.ppm: not a readable"},
    {"ZeroByteMiddleFrameToVideo", {"render", "@/zeromiddle/%04d.ppm", "@/out/x.mkv"}, "zeromiddle/0001.ppm"},
    {"TextNamedMp4", {"render", "@/note.mp4", "@/out/x.mkv"}, "note.mp4: not a video file"},
    {"TextNamedMkv", {"render", "@/note.mkv", "@/out/%04d.ppm"}, "note.mkv: not a video file"},
    {"OneByteNamedMov", {"render", "@/note.mov", "@/out/x.mov"}, "note.mov: not a video file"},
    {"TextThumbnail", {"thumbnail", "@/note.mkv", "@/out/t.png"}, "note.mkv: not a video file"},
    {"PatternNoSuchName", {"render", "@/in/none_%04d.ppm", "@/out/x.mkv"}, "no file matches the pattern"},
    {"PatternOtherExtension", {"render", "@/in/%04d.png", "@/out/x.mkv"}, "no file matches the pattern"},
    {"PatternStartsTooLate", {"render", "@/late/%04d.ppm", "@/out/%04d.png"}, "no file matches the pattern"},
    {"PatternInMissingFolder", {"render", "@/nodir/%04d.ppm", "@/out/x.mkv"}, "no file matches the pattern"},
    {"PatternThumbnail", {"thumbnail", "@/in/none_%04d.ppm", "@/out/t.png"}, "no file matches the pattern"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostBadInputFiles, ::testing::ValuesIn(kInputs),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Paths that are not regular files, or that the system cannot look up. Each is refused at
// once with one line: a named pipe must not hang the job, a device must not be read for
// ever, and a name too long or a loop of links must not end the process with an exception.

struct PathCase {
    const char* name;
    std::vector<std::string> args;  // "@" is the test's folder, "LONG" a 300-character name
    const char* message;
};

constexpr int kHangSeconds = 20;  // far more than any refusal takes; a hang is killed then

class HostOddPaths : public HostBadInput, public ::testing::WithParamInterface<PathCase> {
protected:
    void SetUp() override {
        HostBadInput::SetUp();
        WriteFrames("in", 3, 64, 48, false);
        // Sequences with a named pipe, or a link to /dev/zero, first or in the middle.
        for (const char* folder : {"pipefirst", "pipemiddle", "devfirst"}) {
            fs::create_directories(dir / folder);
            for (int i = 0; i < 3; ++i) fs::copy_file(Path("in/000" + std::to_string(i) + ".ppm"),
                                                      Path(std::string(folder) + "/000" + std::to_string(i) + ".ppm"));
        }
        for (const char* pipe : {"pipe.mp4", "script.fifo", "pipefirst/0000.ppm", "pipemiddle/0001.ppm"}) {
            fs::remove(dir / pipe);
            ASSERT_EQ(::mkfifo(Path(pipe).c_str(), 0644), 0) << pipe << ": " << std::strerror(errno);
        }
        fs::remove(dir / "devfirst/0000.ppm");
        for (const char* link : {"zero.mp4", "zero.txt", "devfirst/0000.ppm"}) fs::create_symlink("/dev/zero", dir / link);
        fs::create_symlink("loop", dir / "loop");
        // A frame bigger than any frame file may be: sparse, it takes no room.
        fs::create_directories(dir / "huge");
        std::ofstream(Path("huge/0000.ppm")) << "P6\n64 48\n255\n";
        fs::resize_file(dir / "huge/0000.ppm", (std::uintmax_t(3) << 29) + 1);
    }
};

TEST_P(HostOddPaths, RefusedAtOnceWithOneLine) {
    const PathCase& c = GetParam();
    const std::string longName(300, 'a');
    std::vector<std::string> raw;
    for (std::string a : c.args) {
        for (std::size_t at; (at = a.find("LONG")) != std::string::npos;) a.replace(at, 4, longName);
        raw.push_back(a);
    }
    hosttest::RunOptions options;
    options.timeoutSeconds = kHangSeconds;
    RunResult r = Host(Args(raw), options);
    ASSERT_FALSE(r.timedOut) << "hung for " << kHangSeconds << " s: " << r.err;
    ExpectCleanFailure(r, 1, c.message, dir / "out");
}

const PathCase kPaths[] = {
    {"PipeToRender", {"render", "@/pipe.mp4", "@/out/x.mkv"}, "pipe.mp4: is a named pipe, not a regular file"},
    {"PipeToInfo", {"info", "@/pipe.mp4"}, "pipe.mp4: is a named pipe"},
    {"PipeToConfigure", {"configure", "@/pipe.mp4", "--no-display"}, "pipe.mp4: is a named pipe"},
    {"PipeToThumbnail", {"thumbnail", "@/pipe.mp4", "@/out/t.png"}, "pipe.mp4: is a named pipe"},
    {"PipeAsFirstFrame", {"render", "@/pipefirst/%04d.ppm", "@/out/x.mkv"}, "pipefirst/0000.ppm: is a named pipe"},
    {"PipeAsMiddleFrame", {"render", "@/pipemiddle/%04d.ppm", "@/out/%04d.ppm"}, "pipemiddle/0001.ppm: is a named pipe"},
    {"PipeAsFrameOfConfigure", {"configure", "@/pipemiddle/%04d.ppm", "--frame", "1", "--no-display"},
     "pipemiddle/0001.ppm: is a named pipe"},
    {"DevZeroAsClip", {"info", "@/zero.mp4"}, "zero.mp4: is a device, not a regular file"},
    {"DevZeroAsFrame", {"render", "@/devfirst/%04d.ppm", "@/out/x.mkv"}, "devfirst/0000.ppm: is a device"},
    {"StandardInput", {"info", "/dev/stdin"}, "/dev/stdin: is a device"},
    {"HugeFrame", {"render", "@/huge/%04d.ppm", "@/out/x.mkv"}, "huge/0000.ppm: 1610612737 bytes, more than"},
    {"LongClipName", {"render", "@/LONG.mp4", "@/out/x.mkv"}, "cannot be looked up (file name too long)"},
    {"LongPattern", {"render", "@/in/LONG%04d.ppm", "@/out/x.mkv"}, "0000.ppm: cannot be looked up (file name too long)"},
    {"LongPatternToInfo", {"info", "@/in/LONG%04d.ppm"}, "cannot be looked up (file name too long)"},
    {"LoopClip", {"info", "@/loop/x.mp4"}, "loop/x.mp4: cannot be looked up (too many levels of symbolic links)"},
    {"LoopPattern", {"render", "@/loop/%04d.ppm", "@/out/x.mkv"}, "loop/0000.ppm: cannot be looked up (too many"},
    {"LoopPatternToConfigure", {"configure", "@/loop/%04d.ppm", "--no-display"}, "too many levels of symbolic links"},
    {"LongPluginName", {"info", "--plugin", "@/LONG.bundle"}, "no plug-in bundle there (file name too long)"},
    {"LoopPlugin", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--plugin", "@/loop/Tonefade.bundle"},
     "no plug-in bundle there (too many levels of symbolic links)"},
    {"PipeAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/script.fifo"},
     "script.fifo: event script: is a named pipe, not a regular file"},
    {"FolderAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/in"}, "event script: is a folder, not a file"},
    {"DevZeroAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/zero.txt"}, "event script: is a device"},
    {"LongScriptName", {"configure", "@/in/%04d.ppm", "--events", "@/LONG.txt"}, "(file name too long)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostOddPaths, ::testing::ValuesIn(kPaths),
                         [](const auto& info) { return std::string(info.param.name); });

// Every program of the project, given a path it cannot use: one line and status 1, never
// an exception that ends it (status 134).
struct ProgramCase {
    const char* name;
    const char* program;
    std::vector<std::string> args;  // "@" is the test's folder, "LONG" a 300-character name
    const char* message;
};

class ProgramOddPaths : public HostBadInput, public ::testing::WithParamInterface<ProgramCase> {};

TEST_P(ProgramOddPaths, OneLineAndStatusOne) {
    const ProgramCase& c = GetParam();
    WriteFile(dir / "list.r.txt", "resource 'STR#' 128 \"Names\" max 31\n    \"one\"\nend\n");
    fs::create_symlink("loop", dir / "loop");
    std::vector<std::string> args;
    for (std::string a : c.args) {
        for (std::size_t at; (at = a.find("LONG")) != std::string::npos;) a.replace(at, 4, std::string(300, 'a'));
        for (std::size_t at; (at = a.find('@')) != std::string::npos;) a.replace(at, 1, dir.string());
        for (std::size_t at; (at = a.find("BUNDLE")) != std::string::npos;)
            a.replace(at, 6, (hosttest::BuildDir() / "Tonefade.bundle").string());
        args.push_back(a);
    }
    hosttest::RunOptions options;
    options.timeoutSeconds = kHangSeconds;
    RunResult r = hosttest::Run((hosttest::BuildDir() / "libexec" / c.program).string(), args, options);
    ASSERT_FALSE(r.timedOut) << "hung: " << r.err;
    ExpectCleanFailure(r, 1, c.message, dir / "out");
}

const ProgramCase kPrograms[] = {
    {"RezLongOutput", "tonefade-rez", {"@/list.r.txt", "@/LONG.rsrc"}, "cannot name"},
    {"RezLoopOutput", "tonefade-rez", {"@/list.r.txt", "@/loop/x.rsrc"}, "cannot name"},
    {"WritePrefsLongFolder", "tonefade-write-prefs", {"@/LONG"}, "cannot write the preferences"},
    {"WritePrefsLoop", "tonefade-write-prefs", {"@/loop/prefs"}, "cannot write the preferences"},
    {"DialogPictureLongFolder", "tonefade-dialog-picture", {"BUNDLE", "@/LONG/x.png"}, "file name too long"},
    {"DialogPictureLoop", "tonefade-dialog-picture", {"BUNDLE", "@/loop/x.png"}, "too many levels of symbolic links"},
    {"DialogPictureLongBundle", "tonefade-dialog-picture", {"@/LONG.bundle", "@/out/x.png"}, "no plug-in bundle there"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ProgramOddPaths, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// A video the host wrote itself, cut short. Either the job fails with one line and
// leaves nothing, or every frame of the whole clip is still there and is rendered: what
// must never happen is a shorter clip reported as done.

struct CutCase {
    const char* container;  // "mkv", "mp4", "mov"
    int numerator, denominator;  // the share of the file kept; 0/0: the file less one byte
    long bytes;                  // or this many bytes, when not 0
};

std::string CutName(const ::testing::TestParamInfo<CutCase>& info) {
    const CutCase& c = info.param;
    std::string how = c.bytes ? std::to_string(c.bytes) + "Bytes"
                      : c.denominator ? std::to_string(c.numerator) + "Of" + std::to_string(c.denominator)
                                      : std::string("AllButOneByte");
    return std::string(c.container) + "_" + how;
}

constexpr int kClipFrames = 45;

class HostTruncatedVideo : public HostBadInput, public ::testing::WithParamInterface<CutCase> {};

TEST_P(HostTruncatedVideo, FailsCleanlyOrRendersTheWholeClip) {
    const CutCase& c = GetParam();
    WriteFrames("in", kClipFrames, 96, 72, false);
    const std::string clip = Path(std::string("clip.") + c.container);
    RunResult made = Host(Args({"render", "@/in/%04d.ppm", clip}));
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string whole = ReadFile(clip);
    const std::size_t keep = c.bytes ? std::size_t(c.bytes)
                             : c.denominator ? whole.size() * std::size_t(c.numerator) / std::size_t(c.denominator)
                                             : whole.size() - 1;
    ASSERT_LT(keep, whole.size());
    const std::string cut = Path(std::string("cut.") + c.container);
    WriteFile(cut, whole.substr(0, keep));

    RunResult r = Host(Args({"render", cut, "@/out/%04d.ppm"}));
    if (r.status == 0) {
        EXPECT_EQ(Listing(dir / "out").size(), std::size_t(kClipFrames))
            << cut << " kept " << keep << " of " << whole.size() << " bytes; the host rendered "
            << Listing(dir / "out").size() << " frames and reported success";
        return;
    }
    ExpectCleanFailure(r, 1, std::string("cut.") + c.container, dir / "out");
}

const CutCase kCuts[] = {
    {"mkv", 0, 0, 16},  {"mkv", 1, 8, 0},  {"mkv", 1, 4, 0}, {"mkv", 1, 2, 0},
    {"mkv", 3, 4, 0},   {"mkv", 7, 8, 0},  {"mkv", 0, 0, 0}, {"mp4", 0, 0, 16},
    {"mp4", 1, 8, 0},   {"mp4", 1, 2, 0},  {"mp4", 3, 4, 0}, {"mp4", 7, 8, 0},
    {"mp4", 0, 0, 0},   {"mov", 1, 2, 0},  {"mov", 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostTruncatedVideo, ::testing::ValuesIn(kCuts), CutName);

// ---------------------------------------------------------------------------------------
// An output folder that cannot be written, and a disk that fills up mid-job.

struct OutputCase {
    const char* name;
    ScopedMount::Kind kind;
    int kilobytes;     // the tmpfs's size
    const char* command;
    const char* output;  // inside the mounted folder
    const char* message;
};

class HostOutputFolder : public HostBadInput, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(HostOutputFolder, OneLineAndNothingLeft) {
    const OutputCase& c = GetParam();
    // 12 frames of noise, 57 KB each as PPM: more than the small disks below hold.
    WriteFrames("in", 12, 160, 120, true);
    const fs::path target = dir / "mnt";
    ScopedMount mount(target, c.kind, c.kilobytes);
    bool chmodded = false;
    if (!mount.Ok()) {
        if (c.kind != ScopedMount::Kind::SmallTmpfs && ::geteuid() != 0) {
            // Without the privilege to mount, a folder without write permission is the
            // same fault for a user that permissions bind.
            fs::permissions(target, fs::perms::owner_read | fs::perms::owner_exec);
            chmodded = true;
        } else {
            GTEST_SKIP() << "cannot mount on " << target << " here (" << mount.Error()
                         << "); this case needs a " << (c.kind == ScopedMount::Kind::SmallTmpfs ? "small tmpfs" : "read-only mount");
        }
    }
    std::vector<std::string> args{c.command, "@/in/%04d.ppm", std::string("@/mnt/") + c.output};
    if (std::string(c.command) == "thumbnail") args.insert(args.end(), {"--frame", "3"});
    RunResult r = Host(Args(args));
    ExpectCleanFailure(r, 1, c.message, target);
    if (chmodded) fs::permissions(target, fs::perms::owner_all);  // so that TearDown can remove it
}

using K = ScopedMount::Kind;
const OutputCase kOutputs[] = {
    {"ReadOnlyTmpfsVideo", K::ReadOnlyTmpfs, 1024, "render", "x.mkv", "is not writable"},
    {"ReadOnlyTmpfsSequence", K::ReadOnlyTmpfs, 1024, "render", "%04d.png", "is not writable"},
    {"ReadOnlyTmpfsThumbnail", K::ReadOnlyTmpfs, 1024, "thumbnail", "t.png", "is not writable"},
    {"ReadOnlyBindVideo", K::ReadOnlyBind, 0, "render", "x.mp4", "is not writable"},
    {"ReadOnlyBindSequence", K::ReadOnlyBind, 0, "render", "%04d.pam", "is not writable"},
    {"ReadOnlyBindThumbnail", K::ReadOnlyBind, 0, "thumbnail", "t.ppm", "is not writable"},
    {"FullDiskMkv", K::SmallTmpfs, 64, "render", "x.mkv", "no space left on device"},
    {"FullDiskMp4", K::SmallTmpfs, 64, "render", "x.mp4", "no space left on device"},
    {"FullDiskMov", K::SmallTmpfs, 64, "render", "x.mov", "no space left on device"},
    {"FullDiskPpmSequence", K::SmallTmpfs, 64, "render", "%04d.ppm", "no space left on device"},
    {"FullDiskPngSequence", K::SmallTmpfs, 64, "render", "%04d.png", "no space left on device"},
    {"FullDiskPamSequence", K::SmallTmpfs, 64, "render", "%04d.pam", "no space left on device"},
    {"FullDiskPngThumbnail", K::SmallTmpfs, 16, "thumbnail", "t.png", "no space left on device"},
    {"FullDiskPpmThumbnail", K::SmallTmpfs, 16, "thumbnail", "t.ppm", "no space left on device"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostOutputFolder, ::testing::ValuesIn(kOutputs),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// A signal while the render runs: the status is 128 + the signal, one line says the
// output was not written, and neither the output nor its temporary file remains.

struct SignalCase {
    const char* name;
    int signal;
    const char* output;
};

class HostInterrupted : public HostBadInput, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(HostInterrupted, OneLineAndNothingLeft) {
    const SignalCase& c = GetParam();
    // A long job from small files: 60 frames scaled up to 1920x1080 take seconds.
    WriteFrames("in", 60, 64, 48, false);
    const std::string err = Path("stderr.txt");
    std::vector<std::string> args = Args({"render", "@/in/%04d.ppm", std::string("@/out/") + c.output});
    args.insert(args.end(), {"--size", "1920x1080"});
    const std::string program = hosttest::HostBinary();
    pid_t pid = ::fork();
    if (pid == 0) {
        int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(e, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ASSERT_GT(pid, 0);
    // The temporary output appears once the job has begun writing.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    int status = 0;
    bool exited = false;
    while (Listing(dir / "out").empty() && std::chrono::steady_clock::now() < deadline)
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            exited = true;
            break;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    const std::vector<std::string> during = Listing(dir / "out");
    if (!exited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well into the frames
        ::kill(pid, c.signal);
        ::waitpid(pid, &status, 0);
    }
    RunResult r;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.err = ReadFile(err);
    ASSERT_FALSE(exited) << "the job ended before the signal (status " << r.status << "): " << r.err;
    ASSERT_FALSE(during.empty()) << "no output appeared within 30 s";
    for (const std::string& name : during)
        EXPECT_EQ(name[0], '.') << name << ": while the job runs, output has only temporary names";
    EXPECT_TRUE(WIFEXITED(status)) << "the signal was handled, not fatal";
    ExpectCleanFailure(r, 128 + c.signal, "interrupted", dir / "out");
}

const SignalCase kSignals[] = {
    {"SigintMkv", SIGINT, "x.mkv"},
    {"SigintMp4", SIGINT, "x.mp4"},
    {"SigintMov", SIGINT, "x.mov"},
    {"SigintPngSequence", SIGINT, "%04d.png"},
    {"SigintPpmSequence", SIGINT, "%04d.ppm"},
    {"SigtermMkv", SIGTERM, "x.mkv"},
    {"SigtermPamSequence", SIGTERM, "%04d.pam"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostInterrupted, ::testing::ValuesIn(kSignals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
