// tonefade-host (and the project's other programs) used wrongly or given what they cannot
// use: wrong usage, files that are not what their names say, paths that are not regular
// files or cannot be looked up, a video cut short, a folder it cannot write, a disk that
// fills up, a signal mid-job. The real binary must answer with one line on standard error
// and the job's exit status, and leave nothing behind that could pass for finished
// output: no file under its final name and no temporary file either.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "support/HostHarness.h"
#include "support/Mounts.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;
using testsupport::ScopedMount;

constexpr int kHangSeconds = 20;  // far more than any refusal takes; a hang is killed then

// ---------------------------------------------------------------------------------------
// Refusals: one line naming the file and the problem, status 2 for wrong usage and 1 for
// a job that cannot be done, at once (a named pipe must not hang the job, a device must
// not be read for ever, a name too long or a loop of links must not end the process with
// an exception), and nothing in out/.

struct RefusalCase {
    const char* name;
    std::vector<std::string> args;  // "@" is the test's folder, "LONG" a 300-character name
    int status;
    const char* message;
    const char* program = "tonefade-host";
};

class HostRefusals : public HostCliTest, public ::testing::WithParamInterface<RefusalCase> {
protected:
    void SetUp() override {
        fs::create_directories(prefs);
        WriteSequence("ppm", 4, 64, 48);
        auto frames = [&](const std::string& folder, std::initializer_list<int> which) {
            fs::create_directories(dir / folder);
            for (int i : which) fs::copy_file(Path("in/000" + std::to_string(i % 4) + ".ppm"),
                                              Path(folder + "/000" + std::to_string(i) + ".ppm"));
        };
        for (const char* folder : {"bad", "zerofirst", "zeromiddle", "pipefirst", "pipemiddle", "devfirst"})
            frames(folder, {0, 1, 2, 3});
        frames("late", {5, 6, 7});  // a sequence that starts too late to be found
        testsupport::WriteText(dir / "bad/0002.ppm", "P6\n64 48\n255\nshort");
        fs::create_directories(dir / "mixed");  // frame 1 of another size
        for (int i = 0; i < 4; ++i)
            WritePpm(Path("mixed/000" + std::to_string(i) + ".ppm"),
                     Pattern(64 - 32 * (i == 1), 48 - 16 * (i == 1), i));
        for (const char* name :
             {"zero.mp4", "zero.mkv", "zero.mov", "zero.ppm", "zerofirst/0000.ppm", "zeromiddle/0001.ppm"})
            testsupport::WriteText(dir / name, "");
        testsupport::WriteText(dir / "note.mp4", "this is a text file, not a video\n");
        testsupport::WriteText(dir / "note.mkv", "Meeting notes\n- cut the intro\n- fade out at 1:20\n");
        testsupport::WriteText(dir / "note.mov", "x");
        testsupport::WriteText(dir / "list.r.txt", "resource 'STR#' 128 \"Names\" max 31\n    \"one\"\nend\n");
        for (const char* pipe : {"pipe.mp4", "script.fifo", "pipefirst/0000.ppm", "pipemiddle/0001.ppm"}) {
            fs::remove(dir / pipe);
            ASSERT_EQ(::mkfifo(Path(pipe).c_str(), 0644), 0) << pipe << ": " << std::strerror(errno);
        }
        fs::remove(dir / "devfirst/0000.ppm");
        for (const char* link : {"devzero.mp4", "devzero.txt", "devfirst/0000.ppm"})
            fs::create_symlink("/dev/zero", dir / link);
        fs::create_symlink("loop", dir / "loop");
        // A frame bigger than any frame file may be: sparse, it takes no room.
        testsupport::WriteText(dir / "huge/0000.ppm", "P6\n64 48\n255\n");
        fs::resize_file(dir / "huge/0000.ppm", (std::uintmax_t(3) << 29) + 1);
    }
};

TEST_P(HostRefusals, OneLineAndNoOutput) {
    const RefusalCase& c = GetParam();
    std::vector<std::string> args;
    for (const std::string& a : c.args)
        args.push_back(testsupport::Replaced(
            testsupport::Replaced(testsupport::Replaced(a, "LONG", std::string(300, 'a')), "@", dir.string()), "BUNDLE",
            testsupport::BuiltBundle()));
    // The host's own preferences folder, unless the case names one (or is another program).
    const bool ownPrefs = std::find(args.begin(), args.end(), "--prefs-dir") != args.end();
    if (c.program == std::string("tonefade-host") && args.size() > 1 && !ownPrefs)
        args.insert(args.begin() + 1, {"--prefs-dir", prefs});
    RunResult r = RunProgram(ProgramPath(c.program), args, RunOptions{kHangSeconds, {}});
    ASSERT_FALSE(r.timedOut) << "hung for " << kHangSeconds << " s: " << r.err;
    ExpectCleanFailure(r, c.status, c.message, dir / "out");
    EXPECT_FALSE(fs::exists(dir / "nofolder"));
}

const RefusalCase kRefusals[] = {
    // Wrong usage.
    {"NegativeFade", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-in", "-1"}, 2, "--fade-in takes"},
    {"FadeNotANumber", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-out", "3x"}, 2, "--fade-out takes"},
    {"SliderAboveOne", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--sliders", "0.5,2,0"}, 2, "--sliders"},
    {"TwoSliders", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--sliders", "0.5,0.5"}, 2, "three numbers"},
    {"SizeBeyond16Bits", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "32768x100"}, 2, "32767"},
    {"SizeWithoutX", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "640"}, 2, "WIDTHxHEIGHT"},
    {"TooManyPixels", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--size", "32767x32767"}, 2, "more pixels"},
    {"StartPastEnd", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--start", "4"}, 2, "past the end"},
    {"SegmentPastEnd", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--start", "2", "--frames", "3"}, 2,
     "reaches past the end"},
    {"NoFrames", {"render", "@/in/%04d.ppm", "@/out/%04d.ppm", "--frames", "0"}, 2, "--frames takes"},
    {"UnknownOutputType", {"render", "@/in/%04d.ppm", "@/out/x.xyz"}, 2, "unknown type of output"},
    {"LossySequence", {"render", "@/in/%04d.ppm", "@/out/%04d.jpg"}, 2, ".png, .ppm or .pam"},
    {"OutputIsInput", {"render", "@/in/0000.ppm", "@/in/0000.ppm"}, 2, "same file"},
    {"UnknownOption", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--bogus"}, 2, "unknown option --bogus"},
    {"MissingValue", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--start"}, 2, "--start needs a value"},
    {"MissingOutput", {"render", "@/in/%04d.ppm"}, 2, "render: missing OUTPUT ("},
    {"MissingInputAndOutput", {"render"}, 2, "missing INPUT and OUTPUT"},
    {"ThumbnailMissingOutput", {"thumbnail", "@/in/%04d.ppm"}, 2, "thumbnail: missing OUTPUT.png ("},
    {"ConfigureMissingInput", {"configure"}, 2, "configure: missing INPUT ("},
    {"ValueMissingBeforeOption", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--fade-in", "--prefs-dir", "@/p1"}, 2,
     "--fade-in needs a value"},
    {"ValueMissingBeforeSwitch", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--start", "--quiet"}, 2,
     "--start needs a value"},
    {"ProgressAndStreamOnStdout", {"render", "@/in/%04d.ppm", "-", "--progress", "-"}, 2,
     "--progress - and OUTPUT - would both write to standard output"},
    {"UnknownCommand", {"transcode", "@/in/%04d.ppm"}, 2, "unknown command transcode"},
    {"ThumbnailPastEnd", {"thumbnail", "@/in/%04d.ppm", "@/out/t.png", "--frame", "4"}, 2, "past the end"},
    {"ThumbnailNotAnImage", {"thumbnail", "@/in/%04d.ppm", "@/out/t.mkv"}, 2, "one .png"},
    {"OnePng", {"render", "@/in/%04d.ppm", "@/out/one.png"}, 2, "one.png: one image file cannot hold a clip"},
    {"OneJpg", {"render", "@/in/%04d.ppm", "@/out/one.jpg"}, 2, "one image file cannot hold a clip"},
    {"OneBmp", {"render", "@/in/%04d.ppm", "@/out/one.bmp"}, 2, "one image file cannot hold a clip"},
    {"OneTiff", {"render", "@/in/%04d.ppm", "@/out/one.tiff"}, 2, "one image file cannot hold a clip"},
    {"OnePpm", {"render", "@/in/%04d.ppm", "@/out/one.ppm"}, 2, "one image file cannot hold a clip"},
    {"OnePam", {"render", "@/in/%04d.ppm", "@/out/one.pam"}, 2, "one image file cannot hold a clip"},
    {"PatternTooWide", {"render", "@/in/%04d.ppm", "@/out/f%010d.png"}, 2, "f%010d.png: not a frame pattern"},
    {"PatternTwice", {"render", "@/in/%04d.ppm", "@/out/f%d_%d.png"}, 2, "not a frame pattern"},
    {"PatternHex", {"render", "@/in/%04d.ppm", "@/out/f%03x.png"}, 2, "not a frame pattern"},
    {"Hls", {"render", "@/in/%04d.ppm", "@/out/list.m3u8"}, 2, "list.m3u8: the hls output writes several files"},
    {"Dash", {"render", "@/in/%04d.ppm", "@/out/manifest.mpd"}, 2, "the dash output writes several files"},
    {"Wav", {"render", "@/in/%04d.ppm", "@/out/sound.wav"}, 2, "sound.wav: this type of file holds no video"},
    {"Mp3", {"render", "@/in/%04d.ppm", "@/out/sound.mp3"}, 2, "this type of file holds no video"},
    {"Gif", {"render", "@/in/%04d.ppm", "@/out/anim.gif"}, 2, "anim.gif: the gif encoder writes no more than 256 colours"},
    {"H261", {"render", "@/in/%04d.ppm", "@/out/clip.h261"}, 1,
     "clip.h261: the h261 encoder refused these frames (invalid argument)"},
    // Files that are missing or not what their names say.
    {"MissingInput", {"render", "@/in/nothere.mp4", "@/out/x.mkv"}, 1, "in/nothere.mp4: no such file"},
    {"DashReadsStandardInput", {"render", "-", "@/out/x.mkv"}, 1, "-: nothing came on standard input"},
    {"FolderAsInput", {"render", "@/in", "@/out/x.mkv"}, 1, "is a folder"},
    {"OutputFolderMissing", {"render", "@/in/%04d.ppm", "@/nofolder/x.mkv"}, 1, "does not exist"},
    {"SequenceFolderMissing", {"render", "@/in/%04d.ppm", "@/nofolder/%04d.png"}, 1, "does not exist"},
    {"MissingBundle", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--plugin", "@/none.bundle"}, 1, "no plug-in bundle"},
    {"MissingPrefsFolder", {"info", "--prefs-dir", "@/noprefs"}, 1, "noprefs: the preferences folder does not exist"},
    {"DamagedFrame", {"render", "@/bad/%04d.ppm", "@/out/%04d.ppm"}, 1, "bad/0002.ppm"},
    {"DamagedFrameNamesTheCall", {"render", "@/bad/%04d.ppm", "@/out/x.mkv"}, 1, "kPlugDoFrame with kPlugin"},
    {"ThumbnailDamagedFrame", {"thumbnail", "@/bad/%04d.ppm", "@/out/t.png", "--frame", "2"}, 1, "bad/0002.ppm"},
    {"ConfigureDamagedFrame", {"configure", "@/bad/%04d.ppm", "--frame", "2", "--no-display"}, 1,
     "bad/0002.ppm: not a readable PPM image"},
    {"ConfigureDamagedFrameNamesTheCall", {"configure", "@/bad/%04d.ppm", "--frame", "2", "--no-display"}, 1,
     "; the plug-in answered kPlugDoFrame with kPlugin"},
    {"FrameOfAnotherSize", {"render", "@/mixed/%04d.ppm", "@/out/%04d.ppm"}, 1, "mixed/0001.ppm: 32x32, but"},
    {"ZeroByteMp4", {"render", "@/zero.mp4", "@/out/x.mkv"}, 1, "zero.mp4: not a video file"},
    {"ZeroByteMkv", {"render", "@/zero.mkv", "@/out/x.mp4"}, 1, "zero.mkv: not a video file"},
    {"ZeroByteMov", {"render", "@/zero.mov", "@/out/%04d.png"}, 1, "zero.mov: not a video file"},
    {"ZeroBytePpm", {"render", "@/zero.ppm", "@/out/x.mkv"}, 1, "zero.ppm: not a video file"},
    {"ZeroByteThumbnail", {"thumbnail", "@/zero.mp4", "@/out/t.png"}, 1, "zero.mp4: not a video file"},
    {"ZeroByteFirstFrame", {"render", "@/zerofirst/%04d.ppm", "@/out/x.mkv"}, 1, "zerofirst/0000.ppm: not a readable"},
    {"ZeroByteMiddleFrame", {"render", "@/zeromiddle/%04d.ppm", "@/out/%04d.ppm"}, 1,
     "zeromiddle/0001.ppm: not a readable"},
    {"ZeroByteMiddleFrameToVideo", {"render", "@/zeromiddle/%04d.ppm", "@/out/x.mkv"}, 1, "zeromiddle/0001.ppm"},
    {"TextNamedMp4", {"render", "@/note.mp4", "@/out/x.mkv"}, 1, "note.mp4: not a video file"},
    {"TextNamedMkv", {"render", "@/note.mkv", "@/out/%04d.ppm"}, 1, "note.mkv: not a video file"},
    {"OneByteNamedMov", {"render", "@/note.mov", "@/out/x.mov"}, 1, "note.mov: not a video file"},
    {"TextThumbnail", {"thumbnail", "@/note.mkv", "@/out/t.png"}, 1, "note.mkv: not a video file"},
    {"PatternNoSuchName", {"render", "@/in/none_%04d.ppm", "@/out/x.mkv"}, 1, "no file matches the pattern"},
    {"PatternOtherExtension", {"render", "@/in/%04d.png", "@/out/x.mkv"}, 1, "no file matches the pattern"},
    {"PatternStartsTooLate", {"render", "@/late/%04d.ppm", "@/out/%04d.png"}, 1, "no file matches the pattern"},
    {"PatternInMissingFolder", {"render", "@/nodir/%04d.ppm", "@/out/x.mkv"}, 1, "no file matches the pattern"},
    {"PatternThumbnail", {"thumbnail", "@/in/none_%04d.ppm", "@/out/t.png"}, 1, "no file matches the pattern"},
    // Paths that are not regular files, or that cannot be looked up.
    {"PipeToRender", {"render", "@/pipe.mp4", "@/out/x.mkv"}, 1, "pipe.mp4: is a named pipe, not a regular file"},
    {"PipeToInfo", {"info", "@/pipe.mp4"}, 1, "pipe.mp4: is a named pipe"},
    {"PipeToConfigure", {"configure", "@/pipe.mp4", "--no-display"}, 1, "pipe.mp4: is a named pipe"},
    {"PipeToThumbnail", {"thumbnail", "@/pipe.mp4", "@/out/t.png"}, 1, "pipe.mp4: is a named pipe"},
    {"PipeAsFirstFrame", {"render", "@/pipefirst/%04d.ppm", "@/out/x.mkv"}, 1, "pipefirst/0000.ppm: is a named pipe"},
    {"PipeAsMiddleFrame", {"render", "@/pipemiddle/%04d.ppm", "@/out/%04d.ppm"}, 1,
     "pipemiddle/0001.ppm: is a named pipe"},
    {"PipeAsFrameOfConfigure", {"configure", "@/pipemiddle/%04d.ppm", "--frame", "1", "--no-display"}, 1,
     "pipemiddle/0001.ppm: is a named pipe"},
    {"DevZeroAsClip", {"info", "@/devzero.mp4"}, 1, "devzero.mp4: is a device, not a regular file"},
    {"DevZeroAsFrame", {"render", "@/devfirst/%04d.ppm", "@/out/x.mkv"}, 1, "devfirst/0000.ppm: is a device"},
    {"StandardInput", {"info", "/dev/stdin"}, 1, "/dev/stdin: is a device"},
    {"HugeFrame", {"render", "@/huge/%04d.ppm", "@/out/x.mkv"}, 1, "huge/0000.ppm: 1610612737 bytes, more than"},
    {"LongClipName", {"render", "@/LONG.mp4", "@/out/x.mkv"}, 1, "cannot be looked up (File name too long)"},
    {"LongPattern", {"render", "@/in/LONG%04d.ppm", "@/out/x.mkv"}, 1,
     "0000.ppm: cannot be looked up (File name too long)"},
    {"LongPatternToInfo", {"info", "@/in/LONG%04d.ppm"}, 1, "cannot be looked up (File name too long)"},
    {"LoopClip", {"info", "@/loop/x.mp4"}, 1, "loop/x.mp4: cannot be looked up (Too many levels of symbolic links)"},
    {"LoopPattern", {"render", "@/loop/%04d.ppm", "@/out/x.mkv"}, 1, "loop/0000.ppm: cannot be looked up (Too many"},
    {"LoopPatternToConfigure", {"configure", "@/loop/%04d.ppm", "--no-display"}, 1,
     "Too many levels of symbolic links"},
    {"LongPluginName", {"info", "--plugin", "@/LONG.bundle"}, 1, "no plug-in bundle there (File name too long)"},
    {"LoopPlugin", {"render", "@/in/%04d.ppm", "@/out/x.mkv", "--plugin", "@/loop/Tonefade.bundle"}, 1,
     "no plug-in bundle there (Too many levels of symbolic links)"},
    {"PipeAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/script.fifo"}, 1,
     "script.fifo: event script: is a named pipe, not a regular file"},
    {"FolderAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/in"}, 1, "event script: is a folder, not a file"},
    {"DevZeroAsScript", {"configure", "@/in/%04d.ppm", "--events", "@/devzero.txt"}, 1, "event script: is a device"},
    {"LongScriptName", {"configure", "@/in/%04d.ppm", "--events", "@/LONG.txt"}, 1, "(File name too long)"},
    // The other programs of the project: never an exception that ends them (status 134).
    {"RezLongOutput", {"@/list.r.txt", "@/LONG.rsrc"}, 1, "cannot name", "tonefade-rez"},
    {"RezLoopOutput", {"@/list.r.txt", "@/loop/x.rsrc"}, 1, "cannot name", "tonefade-rez"},
    {"WritePrefsLongFolder", {"@/LONG"}, 1, "cannot write the preferences", "tonefade-write-prefs"},
    {"WritePrefsLoop", {"@/loop/prefs"}, 1, "cannot write the preferences", "tonefade-write-prefs"},
    {"DialogPictureLongFolder", {"BUNDLE", "@/LONG/x.png"}, 1, "File name too long", "tonefade-dialog-picture"},
    {"DialogPictureLoop", {"BUNDLE", "@/loop/x.png"}, 1, "Too many levels of symbolic links", "tonefade-dialog-picture"},
    {"DialogPictureLongBundle", {"@/LONG.bundle", "@/out/x.png"}, 1, "no plug-in bundle there", "tonefade-dialog-picture"},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostRefusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// A video the host wrote itself, cut short. Either the job fails with one line and
// leaves nothing, or every frame of the whole clip is still there and is rendered: what
// must never happen is a shorter clip reported as done.

struct CutCase {
    const char* container;       // "mkv", "mp4", "mov"
    int numerator, denominator;  // the share of the file kept; 0/0: the file less one byte
    long bytes;                  // or this many bytes, when not 0
};

class HostTruncatedVideo : public HostCliTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(HostTruncatedVideo, FailsCleanlyOrRendersTheWholeClip) {
    const CutCase& c = GetParam();
    constexpr int kClipFrames = 45;
    WriteSettings(60, "0.25,0.25,0.75,0.75");
    WriteSequence("ppm", kClipFrames, 96, 72);
    const std::string clip = Path(std::string("clip.") + c.container), cut = Path(std::string("cut.") + c.container);
    RunResult made = Host(Job({"render", "@/in/%04d.ppm", clip}));
    ASSERT_EQ(made.status, 0) << made.err;
    const std::string whole = testsupport::ReadText(clip);
    const std::size_t keep = c.bytes ? std::size_t(c.bytes)
                             : c.denominator ? whole.size() * std::size_t(c.numerator) / std::size_t(c.denominator)
                                             : whole.size() - 1;
    ASSERT_LT(keep, whole.size());
    testsupport::WriteText(cut, whole.substr(0, keep));
    RunResult r = Host(Job({"render", cut, "@/out/%04d.ppm"}));
    if (r.status != 0) return ExpectCleanFailure(r, 1, std::string("cut.") + c.container, dir / "out");
    EXPECT_EQ(FolderEntries(dir / "out").size(), std::size_t(kClipFrames))
        << cut << " kept " << keep << " of " << whole.size() << " bytes; a shorter clip was reported as done";
}

const CutCase kCuts[] = {
    {"mkv", 0, 0, 16}, {"mkv", 1, 8, 0}, {"mkv", 1, 4, 0}, {"mkv", 1, 2, 0}, {"mkv", 3, 4, 0},
    {"mkv", 7, 8, 0},  {"mkv", 0, 0, 0}, {"mp4", 0, 0, 16}, {"mp4", 1, 8, 0}, {"mp4", 1, 2, 0},
    {"mp4", 3, 4, 0},  {"mp4", 7, 8, 0}, {"mp4", 0, 0, 0},  {"mov", 1, 2, 0}, {"mov", 0, 0, 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, HostTruncatedVideo, ::testing::ValuesIn(kCuts), [](const auto& info) {
    const CutCase& c = info.param;
    return std::string(c.container) + "_" +
           (c.bytes ? std::to_string(c.bytes) + "Bytes"
            : c.denominator ? std::to_string(c.numerator) + "Of" + std::to_string(c.denominator)
                            : std::string("AllButOneByte"));
});

// ---------------------------------------------------------------------------------------
// An output folder that cannot be written, and a disk that fills up mid-job.

struct OutputCase {
    const char* name;
    ScopedMount::Kind kind;
    int kilobytes;  // the tmpfs's size
    const char* command;
    const char* output;  // inside the mounted folder
    const char* message;
};

class HostOutputFolder : public HostCliTest, public ::testing::WithParamInterface<OutputCase> {};

TEST_P(HostOutputFolder, OneLineAndNothingLeft) {
    const OutputCase& c = GetParam();
    WriteSettings(60, "0.25,0.25,0.75,0.75");
    WriteSequence("ppm", 12, 160, 120);  // 57 KB each, not compressible: more than the small disks hold
    const fs::path target = dir / "mnt";
    ScopedMount mount(target, c.kind, c.kilobytes);
    if (!mount.Ok()) {
        // Without the privilege to mount, a folder without write permission is the same
        // fault for a user that permissions bind.
        if (c.kind == ScopedMount::Kind::SmallTmpfs || ::geteuid() == 0)
            GTEST_SKIP() << "cannot mount on " << target << " here (" << mount.Error() << ")";
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_exec);
    }
    std::vector<std::string> args{c.command, "@/in/%04d.ppm", std::string("@/mnt/") + c.output};
    if (std::string(c.command) == "thumbnail") args.insert(args.end(), {"--frame", "3"});
    ExpectCleanFailure(Host(Job(args)), 1, c.message, target, true);
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
// Every signal that ends a job, sent while it runs: while it runs its output has only
// hidden temporary names; then it stops (a render between frames), removes what it wrote,
// says so in one line and exits with 128 + the signal, having handled it.

enum class Kind { Render, Demo, Thumbnail };

struct SignalCase {
    const char* name;
    int signal;
    Kind job;
    const char* output = "";  // of a render, in out/
};

class JobSignals : public HostCliTest, public ::testing::WithParamInterface<SignalCase> {};

// Waits (30 s at most) until the job catches `signal`; false when it ended first.
bool WaitForHandler(testsupport::Child& job, int signal) {
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
         std::chrono::steady_clock::now() < deadline && !job.Ended(std::chrono::milliseconds(1));) {
        std::ifstream status("/proc/" + std::to_string(job.Pid()) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1))
                return true;
    }
    return false;
}

TEST_P(JobSignals, StopTheJobAndLeaveNothing) {
    const SignalCase& c = GetParam();
    WriteSettings(60, "0.25,0.25,0.75,0.75");
    const fs::path watched = dir / "out" / (c.job == Kind::Demo ? "demo/frames" : "");
    std::vector<std::string> args;
    if (c.job == Kind::Demo) {
        args = {"demo", "--out", Path("out/demo"), "--frames", "90", "--prefs-dir", prefs, "--quiet"};
    } else if (c.job == Kind::Thumbnail) {  // some seconds in one call of the plug-in
        WriteSequence("ppm", 3, 64, 48);
        args = Job({"thumbnail", "@/in/%04d.ppm", "@/out/t.png", "--size", "3000x3000"});
    } else {  // a job of some seconds: 60 small frames scaled up to 1920x1080
        WriteSequence("ppm", 60, 64, 48);
        args = Job({"render", "@/in/%04d.ppm", std::string("@/out/") + c.output, "--size", "1920x1080"});
    }
    testsupport::Child job(HostBinary(), args);
    fs::create_directories(watched);
    if (c.job == Kind::Thumbnail) {
        ASSERT_TRUE(WaitForHandler(job, c.signal)) << job.Wait().err;
    } else {
        for (int i = 0; i < 15000 && FolderEntries(watched).empty() && !job.Ended(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_FALSE(job.Ended()) << "the job ended before the signal: " << job.Wait().err;
        ASSERT_FALSE(FolderEntries(watched).empty()) << "no output appeared within 30 s";
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well into the frames
        for (const std::string& name : FolderEntries(watched))
            EXPECT_TRUE(name[0] == '.' && name.ends_with(".part")) << name << ": not a temporary name while running";
    }
    ::kill(job.Pid(), c.signal);
    const RunResult r = job.Wait();
    EXPECT_FALSE(r.signaled) << "the signal was handled, not fatal";
    ExpectCleanFailure(r, 128 + c.signal, "interrupted", watched);
    EXPECT_EQ(FolderEntries(dir / "out"), c.job == Kind::Demo ? std::vector<std::string>{"demo"}
                                                              : std::vector<std::string>{});
    for (const char* name : {"demo.mp4", "contact-sheet.png"}) EXPECT_FALSE(fs::exists(dir / "out/demo" / name));
}

const SignalCase kSignals[] = {
    {"VideoHup", SIGHUP, Kind::Render, "x.mkv"},         {"VideoInt", SIGINT, Kind::Render, "x.mkv"},
    {"VideoQuit", SIGQUIT, Kind::Render, "x.mkv"},       {"VideoPipe", SIGPIPE, Kind::Render, "x.mkv"},
    {"VideoAlrm", SIGALRM, Kind::Render, "x.mkv"},       {"VideoTerm", SIGTERM, Kind::Render, "x.mkv"},
    {"VideoUsr1", SIGUSR1, Kind::Render, "x.mkv"},       {"VideoUsr2", SIGUSR2, Kind::Render, "x.mkv"},
    {"VideoXcpu", SIGXCPU, Kind::Render, "x.mkv"},       {"VideoXfsz", SIGXFSZ, Kind::Render, "x.mkv"},
    {"VideoVtalrm", SIGVTALRM, Kind::Render, "x.mkv"},   {"Mp4Int", SIGINT, Kind::Render, "x.mp4"},
    {"MovInt", SIGINT, Kind::Render, "x.mov"},           {"PngSequenceHup", SIGHUP, Kind::Render, "%04d.png"},
    {"PngSequenceQuit", SIGQUIT, Kind::Render, "%04d.png"}, {"PngSequencePipe", SIGPIPE, Kind::Render, "%04d.png"},
    {"PngSequenceInt", SIGINT, Kind::Render, "%04d.png"}, {"PpmSequenceInt", SIGINT, Kind::Render, "%04d.ppm"},
    {"PamSequenceTerm", SIGTERM, Kind::Render, "%04d.pam"}, {"DemoInt", SIGINT, Kind::Demo},
    {"DemoHup", SIGHUP, Kind::Demo},                     {"DemoQuit", SIGQUIT, Kind::Demo},
    {"DemoTerm", SIGTERM, Kind::Demo},                   {"DemoPipe", SIGPIPE, Kind::Demo},
    {"ThumbnailHup", SIGHUP, Kind::Thumbnail},           {"ThumbnailInt", SIGINT, Kind::Thumbnail},
    {"ThumbnailTerm", SIGTERM, Kind::Thumbnail},
};

INSTANTIATE_TEST_SUITE_P(Cases, JobSignals, ::testing::ValuesIn(kSignals),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace hosttest
