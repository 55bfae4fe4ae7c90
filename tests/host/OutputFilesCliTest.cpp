// Where tonefade-host's output goes and what it leaves: outputs whose path holds a named
// pipe, a socket, a folder, a device or links; names at the length limit; an output that
// is the input; temporary files a killed job left; and every signal that ends a job. The
// real program each time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "CliHarness.h"
#include "OutputFiles.h"
#include "alerts/Alerts.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void Put(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// Temporary names anywhere under `folder`.
std::vector<std::string> PartFiles(const fs::path& folder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (it->path().extension() == ".part") found.push_back(it->path().lexically_relative(folder).string());
    return found;
}

// What a file system entry is, as far as a job may change it: its type and, for a link,
// where it points.
std::string Describe(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return "nothing";
    if (S_ISLNK(st.st_mode)) return "link to " + fs::read_symlink(path).string();
    if (S_ISFIFO(st.st_mode)) return "named pipe";
    if (S_ISSOCK(st.st_mode)) return "socket";
    if (S_ISCHR(st.st_mode)) return "character device";
    if (S_ISDIR(st.st_mode)) return "folder";
    return "regular file";
}

// A job started in the background, its standard error kept in a file.
struct Job {
    pid_t pid = -1;
    std::string errPath;
    RunResult Wait() const {
        int status = 0;
        ::waitpid(pid, &status, 0);
        RunResult r;
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        r.out = WIFSIGNALED(status) ? "killed by the signal" : "";
        r.err = Slurp(errPath);
        return r;
    }
};

Job Start(const std::vector<std::string>& args, const std::string& errPath) {
    const std::string program = HostBinary();
    Job job{::fork(), errPath};
    if (job.pid == 0) {
        int e = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::dup2(e, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return job;
}

// Waits (30 s at most) until a temporary file appears under `folder`; false when the
// job ended or nothing appeared.
bool WaitForPartFile(const Job& job, const fs::path& folder) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!PartFiles(folder).empty()) return true;
        if (::waitpid(job.pid, nullptr, WNOHANG) == job.pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

// Waits (30 s at most) until the job catches `signal`; false when it ended first.
bool WaitForHandler(const Job& job, int signal) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream status("/proc/" + std::to_string(job.pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("SigCgt:", 0) == 0 && (std::stoull(line.substr(7), nullptr, 16) >> (signal - 1) & 1))
                return true;
        if (::waitpid(job.pid, nullptr, WNOHANG) == job.pid) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class OutputCliTest : public HostCliTest {
protected:
    void SetUp() override {
        HostCliTest::SetUp();
        WriteSettings(60, "0.25,0.25,0.75,0.75");
        WriteSequence("ppm", 3, 64, 48);
    }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        args.insert(args.end(), {"--prefs-dir", prefs, "--quiet"});
        return args;
    }
    // A job of some seconds: 60 small frames scaled up to 1920x1080.
    void WriteLongInput() {
        fs::create_directories(dir / "long");
        for (int i = 0; i < 60; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "long/%04d.ppm", i);
            WritePpm(Path(name), Pattern(64, 48, i + 1));
        }
    }
    std::vector<std::string> LongRender(const std::string& output) const {
        return Args({"render", Path("long/%04d.ppm"), output, "--size", "1920x1080"});
    }
};

// ---------------------------------------------------------------------------------------
// Something other than a regular file where the output goes.

enum class Place { Fifo, Socket, Folder, LinkToDevice, LinkToNull, LinkToFile, RelativeLinks, DanglingLink, LinkLoop };
enum class Command { Video, Sequence, Thumbnail, Snapshot };

struct PlaceCase {
    const char* name;
    Command command;
    Place place;
    const char* refusal;  // nullptr: the job succeeds
};

class OutputPlaces : public OutputCliTest, public ::testing::WithParamInterface<PlaceCase> {
protected:
    // Makes `place` at `at`; a link to a file points into the folder "elsewhere".
    void Make(Place place, const fs::path& at, const std::string& ext) {
        const fs::path target = dir / "elsewhere" / ("target" + ext);
        fs::create_directories(dir / "elsewhere");
        switch (place) {
            case Place::Fifo: ASSERT_EQ(::mkfifo(at.c_str(), 0644), 0); break;
            case Place::Socket: {  // bound under a short name (the limit is 107 bytes), then moved
                int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                sockaddr_un address{};
                address.sun_family = AF_UNIX;
                const std::string bound = (dir / "s").string();
                ASSERT_LT(bound.size(), sizeof address.sun_path);
                std::strcpy(address.sun_path, bound.c_str());
                ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
                ::close(fd);
                fs::rename(bound, at);
                break;
            }
            case Place::Folder: fs::create_directory(at); break;
            case Place::LinkToDevice: fs::create_symlink("/dev/full", at); break;
            case Place::LinkToNull: fs::create_symlink("/dev/null", at); break;
            case Place::LinkToFile: Put(target, "old"), fs::create_symlink(target, at); break;
            case Place::RelativeLinks:
                Put(target, "old");
                fs::create_symlink("hop" + ext, at);
                fs::create_symlink("../elsewhere/target" + ext, at.parent_path() / ("hop" + ext));
                break;
            case Place::DanglingLink: fs::create_symlink(target, at); break;
            case Place::LinkLoop:
                fs::create_symlink("loop" + ext, at);
                fs::create_symlink(at.filename(), at.parent_path() / ("loop" + ext));
                break;
        }
    }
};

TEST_P(OutputPlaces, RefusedOrWrittenThrough) {
    const PlaceCase& c = GetParam();
    const std::string ext = c.command == Command::Video ? ".mkv" : ".png";
    const fs::path at = dir / "out" / (c.command == Command::Sequence ? "0001.png" : "x" + ext);
    Make(c.place, at, ext);
    // Not one of the sequence's names (too many digits): passed over.
    if (c.command == Command::Sequence) fs::create_directory(dir / "out" / "00000000000001.png");
    const std::string before = Describe(at), hop = Describe(dir / "out" / ("hop" + ext));
    std::vector<std::string> args;
    switch (c.command) {
        case Command::Video: args = {"render", Path("in/%04d.ppm"), at.string()}; break;
        case Command::Sequence: args = {"render", Path("in/%04d.ppm"), Path("out/%04d.png")}; break;
        case Command::Thumbnail: args = {"thumbnail", Path("in/%04d.ppm"), at.string()}; break;
        case Command::Snapshot: args = {"configure", Path("in/%04d.ppm"), "--snapshot", at.string()}; break;
    }
    RunResult r = Host(Args(args));
    EXPECT_EQ(Describe(at), before) << "what was at the output path must stay as it was";
    EXPECT_EQ(Describe(dir / "out" / ("hop" + ext)), hop);
    EXPECT_EQ(Describe("/dev/null"), "character device");
    EXPECT_EQ(PartFiles(dir), std::vector<std::string>{});
    if (c.refusal != nullptr) {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        return;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    if (c.place == Place::LinkToNull) return;
    const fs::path target = dir / "elsewhere" / ("target" + ext);
    const std::string written = Slurp(target);
    if (ext == ".mkv")
        EXPECT_EQ(written.substr(0, 4), "\x1A\x45\xDF\xA3") << "the link's target holds the new video";
    else
        EXPECT_EQ(ReadPngFile(target.string()).height, c.command == Command::Snapshot ? 570 : 48);
}

const PlaceCase kPlaces[] = {
    {"VideoFifo", Command::Video, Place::Fifo, "x.mkv: is a named pipe"},
    {"VideoSocket", Command::Video, Place::Socket, "x.mkv: is a socket"},
    {"VideoFolder", Command::Video, Place::Folder, "x.mkv: is a folder"},
    {"VideoLinkToDevice", Command::Video, Place::LinkToDevice, "x.mkv: links to /dev/full, a device"},
    {"VideoLinkToNull", Command::Video, Place::LinkToNull, nullptr},
    {"VideoLinkToFile", Command::Video, Place::LinkToFile, nullptr},
    {"VideoRelativeLinks", Command::Video, Place::RelativeLinks, nullptr},
    {"VideoDanglingLink", Command::Video, Place::DanglingLink, nullptr},
    {"VideoLinkLoop", Command::Video, Place::LinkLoop, "x.mkv: Too many levels of symbolic links"},
    {"SequenceFifo", Command::Sequence, Place::Fifo, "0001.png: is a named pipe"},
    {"SequenceFolder", Command::Sequence, Place::Folder, "0001.png: is a folder"},
    {"SequenceLinkToDevice", Command::Sequence, Place::LinkToDevice, "0001.png: links to /dev/full, a device"},
    {"SequenceLinkToNull", Command::Sequence, Place::LinkToNull, nullptr},
    {"SequenceLinkToFile", Command::Sequence, Place::LinkToFile, nullptr},
    {"ThumbnailFifo", Command::Thumbnail, Place::Fifo, "x.png: is a named pipe"},
    {"ThumbnailSocket", Command::Thumbnail, Place::Socket, "x.png: is a socket"},
    {"ThumbnailLinkToDevice", Command::Thumbnail, Place::LinkToDevice, "x.png: links to /dev/full, a device"},
    {"ThumbnailLinkToNull", Command::Thumbnail, Place::LinkToNull, nullptr},
    {"ThumbnailLinkToFile", Command::Thumbnail, Place::LinkToFile, nullptr},
    {"ThumbnailDanglingLink", Command::Thumbnail, Place::DanglingLink, nullptr},
    {"SnapshotFifo", Command::Snapshot, Place::Fifo, "x.png: is a named pipe"},
    {"SnapshotLinkToDevice", Command::Snapshot, Place::LinkToDevice, "x.png: links to /dev/full, a device"},
    {"SnapshotLinkToNull", Command::Snapshot, Place::LinkToNull, nullptr},
    {"SnapshotLinkToFile", Command::Snapshot, Place::LinkToFile, nullptr},
    {"SnapshotRelativeLinks", Command::Snapshot, Place::RelativeLinks, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, OutputPlaces, ::testing::ValuesIn(kPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

// /dev/null itself takes a thumbnail as it takes a render. Not tried as the superuser:
// a host that renamed over /dev/null would replace the machine's.
TEST_F(OutputCliTest, DevNullTakesAThumbnail) {
    if (::geteuid() == 0) GTEST_SKIP() << "not run as the superuser";
    RunResult r = Host(Args({"thumbnail", Path("in/%04d.ppm"), "/dev/null"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Describe("/dev/null"), "character device");
}

// ---------------------------------------------------------------------------------------
// An output that is the input, however it is named.

struct SameFileCase {
    const char* name;
    const char* command;
    const char* output;  // the input is in/0000.png (a thumbnail) or clip.mkv (a render)
};

class OutputIsInput : public OutputCliTest, public ::testing::WithParamInterface<SameFileCase> {};

TEST_P(OutputIsInput, RefusedAndTheInputKept) {
    const SameFileCase& c = GetParam();
    const bool render = std::string(c.command) == "render";
    WritePngFile(Path("in/0000.png"), Pattern(64, 48, 7), false);
    if (render) {
        ASSERT_EQ(Host(Args({"render", Path("in/%04d.ppm"), Path("clip.mkv")})).status, 0);
    }
    const std::string input = Path(render ? "clip.mkv" : "in/0000.png"), bytes = Slurp(input);
    fs::create_symlink(input, dir / "link.png");
    fs::create_hard_link(input, dir / (render ? "hard.mkv" : "hard.png"));
    RunResult r = Host(Args({c.command, input, Path(c.output)}));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("OUTPUT is the same file as INPUT"), std::string::npos) << r.err;
    EXPECT_EQ(Slurp(input), bytes);
    EXPECT_EQ(fs::hard_link_count(input), 2u);
}

const SameFileCase kSameFiles[] = {
    {"ThumbnailSamePath", "thumbnail", "in/0000.png"},
    {"ThumbnailThroughDotDot", "thumbnail", "out/../in/0000.png"},
    {"ThumbnailThroughLink", "thumbnail", "link.png"},
    {"ThumbnailHardLink", "thumbnail", "hard.png"},
    {"RenderHardLink", "render", "hard.mkv"},
};

INSTANTIATE_TEST_SUITE_P(Cases, OutputIsInput, ::testing::ValuesIn(kSameFiles),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Output names up to NAME_MAX (255 bytes): the temporary name must fit as well.

struct LongNameCase {
    const char* name;
    Command command;
    int bytes;  // of the final file name
    bool utf8;  // made of two-byte characters where it can be
};

class LongOutputNames : public OutputCliTest, public ::testing::WithParamInterface<LongNameCase> {};

TEST_P(LongOutputNames, AreWrittenUnderTheirName) {
    const LongNameCase& c = GetParam();
    const std::string ext = c.command == Command::Video ? ".mkv" : ".png";
    const std::string digits = c.command == Command::Sequence ? "%04d" : "";
    std::string stem;
    const int stemBytes = c.bytes - int(ext.size()) - (digits.empty() ? 0 : 4);
    while (int(stem.size()) + (c.utf8 ? 2 : 1) <= stemBytes) stem += c.utf8 ? "\xC3\xA9" : "a";
    stem.append(std::size_t(stemBytes) - stem.size(), 'b');
    const std::string output = Path("out/" + stem + digits + ext);
    std::vector<std::string> args{"render", Path("in/%04d.ppm"), output};
    if (c.command == Command::Thumbnail) args[0] = "thumbnail";
    if (c.command == Command::Snapshot) args = {"configure", Path("in/%04d.ppm"), "--snapshot", output};
    RunResult r = Host(Args(args));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = c.command == Command::Sequence ? stem + "0000" + ext : stem + ext;
    ASSERT_EQ(first.size(), std::size_t(c.bytes));
    std::vector<std::string> listing = Listing(dir / "out");
    ASSERT_FALSE(listing.empty());
    EXPECT_EQ(listing.front(), first);
    EXPECT_EQ(listing.size(), c.command == Command::Sequence ? 3u : 1u);
}

const LongNameCase kLongNames[] = {
    {"Video240", Command::Video, 240, false},   {"Video246", Command::Video, 246, false},
    {"Video255", Command::Video, 255, false},   {"Video255Utf8", Command::Video, 255, true},
    {"Sequence255", Command::Sequence, 255, false}, {"Thumbnail255", Command::Thumbnail, 255, false},
    {"Snapshot255", Command::Snapshot, 255, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, LongOutputNames, ::testing::ValuesIn(kLongNames),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// A job killed outright (SIGKILL) leaves its temporary files; the next job that writes
// into the same folder removes them, and only them.

struct StaleCase {
    const char* name;
    const char* killed;  // the output of the killed render
    Command next;        // the next job, into the same folder
};

class StalePartFiles : public OutputCliTest, public ::testing::WithParamInterface<StaleCase> {};

TEST_P(StalePartFiles, GoWithTheNextJobIntoTheFolder) {
    const StaleCase& c = GetParam();
    WriteLongInput();
    Job killed = Start(LongRender(Path(std::string("out/") + c.killed)), Path("killed.txt"));
    ASSERT_TRUE(WaitForPartFile(killed, dir / "out")) << Slurp(Path("killed.txt"));
    ::kill(killed.pid, SIGKILL);
    killed.Wait();
    ASSERT_FALSE(PartFiles(dir / "out").empty());
    // Files that look similar but are not ones a dead job of ours left.
    const std::string dead = std::to_string(killed.pid), alive = std::to_string(::getpid());
    const std::vector<std::string> kept{".keep.mkv.part", "keep.mkv." + dead + ".part", ".keep." + alive + ".part",
                                        ".dir." + dead + ".part", ".link." + dead + ".part"};
    Put(dir / "out" / kept[0], "x"), Put(dir / "out" / kept[1], "x"), Put(dir / "out" / kept[2], "x");
    fs::create_directory(dir / "out" / kept[3]);
    fs::create_symlink("nowhere", dir / "out" / kept[4]);

    std::vector<std::string> args{"render", Path("in/%04d.ppm"), Path("out/next.mkv")}, made{"next.mkv"};
    if (c.next == Command::Sequence) args[2] = Path("out/%04d.png"), made = {"0000.png", "0001.png", "0002.png"};
    if (c.next == Command::Thumbnail) args = {"thumbnail", Path("in/%04d.ppm"), Path("out/t.png")}, made = {"t.png"};
    if (c.next == Command::Snapshot)
        args = {"configure", Path("in/%04d.ppm"), "--snapshot", Path("out/s.png")}, made = {"s.png"};
    RunResult r = Host(Args(args));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected = made;
    expected.insert(expected.end(), kept.begin(), kept.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Listing(dir / "out"), expected);
}

const StaleCase kStale[] = {
    {"VideoThenVideo", "x.mkv", Command::Video},
    {"SequenceThenSequence", "%04d.png", Command::Sequence},
    {"VideoThenThumbnail", "x.mkv", Command::Thumbnail},
    {"SequenceThenSnapshot", "%04d.ppm", Command::Snapshot},
};

INSTANTIATE_TEST_SUITE_P(Cases, StalePartFiles, ::testing::ValuesIn(kStale),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// Every signal that ends a job, sent while it runs: the job stops (a render between
// frames), removes what it wrote, says so in one line and exits with 128 + the signal.

enum class Kind { Video, Sequence, Demo, Thumbnail };

struct SignalCase {
    const char* name;
    int signal;
    Kind job;
};

class JobSignals : public OutputCliTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(JobSignals, StopTheJobAndLeaveNothing) {
    const SignalCase& c = GetParam();
    std::vector<std::string> args;
    fs::path watched = dir / "out";
    if (c.job == Kind::Demo) {
        args = {"demo", "--out", Path("out/demo"), "--frames", "90", "--prefs-dir", prefs, "--quiet"};
        watched = dir / "out" / "demo" / "frames";
    } else if (c.job == Kind::Thumbnail) {  // some seconds in one call of the plug-in
        args = Args({"thumbnail", Path("in/%04d.ppm"), Path("out/t.png"), "--size", "3000x3000"});
    } else {
        WriteLongInput();
        args = LongRender(Path(c.job == Kind::Video ? "out/x.mkv" : "out/%04d.png"));
    }
    Job job = Start(args, Path("stderr.txt"));
    fs::create_directories(watched);
    if (c.job == Kind::Thumbnail) {
        ASSERT_TRUE(WaitForHandler(job, c.signal)) << Slurp(Path("stderr.txt"));
    } else {
        ASSERT_TRUE(WaitForPartFile(job, watched)) << Slurp(Path("stderr.txt"));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));  // well into the frames
    }
    ::kill(job.pid, c.signal);
    RunResult r = job.Wait();
    EXPECT_EQ(r.out, "") << "the signal was handled, not fatal";
    EXPECT_EQ(r.status, 128 + c.signal) << r.err;
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(PartFiles(dir / "out"), std::vector<std::string>{});
    if (c.job != Kind::Demo) {
        EXPECT_EQ(Listing(dir / "out"), std::vector<std::string>{});
        return;
    }
    EXPECT_EQ(Listing(watched), std::vector<std::string>{}) << "no frame of a demo that did not finish";
    for (const char* name : {"demo.mp4", "contact-sheet.png"}) EXPECT_FALSE(fs::exists(dir / "out/demo" / name));
}

const SignalCase kSignals[] = {
    {"VideoHup", SIGHUP, Kind::Video},       {"VideoInt", SIGINT, Kind::Video},
    {"VideoQuit", SIGQUIT, Kind::Video},     {"VideoPipe", SIGPIPE, Kind::Video},
    {"VideoAlrm", SIGALRM, Kind::Video},     {"VideoTerm", SIGTERM, Kind::Video},
    {"VideoUsr1", SIGUSR1, Kind::Video},     {"VideoUsr2", SIGUSR2, Kind::Video},
    {"VideoXcpu", SIGXCPU, Kind::Video},     {"VideoXfsz", SIGXFSZ, Kind::Video},
    {"VideoVtalrm", SIGVTALRM, Kind::Video}, {"SequenceHup", SIGHUP, Kind::Sequence},
    {"SequenceQuit", SIGQUIT, Kind::Sequence}, {"SequencePipe", SIGPIPE, Kind::Sequence},
    {"DemoInt", SIGINT, Kind::Demo},         {"DemoHup", SIGHUP, Kind::Demo},
    {"DemoQuit", SIGQUIT, Kind::Demo},       {"DemoTerm", SIGTERM, Kind::Demo},
    {"DemoPipe", SIGPIPE, Kind::Demo},       {"ThumbnailHup", SIGHUP, Kind::Thumbnail},
    {"ThumbnailInt", SIGINT, Kind::Thumbnail}, {"ThumbnailTerm", SIGTERM, Kind::Thumbnail},
};

INSTANTIATE_TEST_SUITE_P(Cases, JobSignals, ::testing::ValuesIn(kSignals),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------
// The plug-in's way out, ExitToShell, ends the process at once; the files of the job in
// progress still go.

TEST(ExitToShellDeathTest, RemovesTheTemporaryFilesOfTheJob) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must see the folder made here
    char folder[] = "/tmp/tonefade-exit-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string at = folder;
    auto job = [&] {
        host::PendingFiles video, frames;
        Put(video.Add(at + "/x.mkv"), "partial video");
        Put(frames.Add(at + "/0000.png"), "frame");
        Put(frames.Add(at + "/0001.png"), "frame");
        ExitToShell();
    };
    EXPECT_EXIT(job(), ::testing::ExitedWithCode(toolbox::kExitToShellStatus), "");
    EXPECT_EQ(Listing(folder), std::vector<std::string>{});
    fs::remove_all(folder);
}

}  // namespace
}  // namespace hosttest
