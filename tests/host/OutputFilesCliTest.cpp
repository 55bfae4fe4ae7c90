// Where tonefade-host's output goes and what it leaves: outputs whose path holds a named
// pipe, a socket, a folder, a device or links; names at the length limit; an output that
// is the input; temporary files a killed job left. The real program each time. (Every
// signal that ends a job: tests/reliability/HostBadInputTest.cpp.)
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "OutputFiles.h"
#include "alerts/Alerts.h"
#include "support/HostHarness.h"

namespace hosttest {
namespace {

namespace fs = std::filesystem;
using testsupport::WriteText;

enum class Place { Fifo, Socket, Folder, LinkToDevice, LinkToNull, LinkToFile, RelativeLinks, DanglingLink, LinkLoop };
enum class Command { Video, Sequence, Thumbnail, Snapshot };

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

class OutputCliTest : public HostCliTest {
protected:
    void SetUp() override {
        WriteSettings(60, "0.25,0.25,0.75,0.75");
        WriteSequence("ppm", 3, 64, 48);
    }
    // The arguments of a job that makes `output` (a render, a thumbnail or a snapshot).
    std::vector<std::string> Making(Command command, const std::string& output) const {
        switch (command) {
            case Command::Thumbnail: return Job({"thumbnail", "@/in/%04d.ppm", output});
            case Command::Snapshot: return Job({"configure", "@/in/%04d.ppm", "--snapshot", output});
            default: return Job({"render", "@/in/%04d.ppm", output});
        }
    }
};

// ---------------------------------------------------------------------------------------
// Something other than a regular file where the output goes.


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
            case Place::LinkToFile: WriteText(target, "old"), fs::create_symlink(target, at); break;
            case Place::RelativeLinks:
                WriteText(target, "old");
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
    std::vector<std::string> job = Making(c.command, c.command == Command::Sequence ? Path("out/%04d.png") : at.string());
    if (c.command != Command::Snapshot) job.push_back("-y");  // a file at the end of a link is replaced on purpose
    RunResult r = Host(job);
    EXPECT_EQ(Describe(at), before) << "what was at the output path must stay as it was";
    EXPECT_EQ(Describe(dir / "out" / ("hop" + ext)), hop);
    EXPECT_EQ(Describe("/dev/null"), "character device");
    EXPECT_EQ(PartFiles(dir), std::vector<std::string>{});
    if (c.refusal != nullptr) {
        EXPECT_EQ(r.status, 1) << r.err;
        EXPECT_NE(r.err.find(c.refusal), std::string::npos) << r.err;
        EXPECT_EQ(LineCount(r.err), 1) << r.err;
        return;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    if (c.place == Place::LinkToNull) return;
    const fs::path target = dir / "elsewhere" / ("target" + ext);
    const std::string written = testsupport::ReadText(target);
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
    RunResult r = Host(Making(Command::Thumbnail, "/dev/null"));
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
        ASSERT_EQ(Host(Making(Command::Video, Path("clip.mkv"))).status, 0);
    }
    const std::string input = Path(render ? "clip.mkv" : "in/0000.png"), bytes = testsupport::ReadText(input);
    fs::create_symlink(input, dir / "link.png");
    fs::create_hard_link(input, dir / (render ? "hard.mkv" : "hard.png"));
    RunResult r = Host(Job({c.command, input, Path(c.output)}));
    EXPECT_EQ(r.status, 2) << r.err;
    EXPECT_NE(r.err.find("OUTPUT is the same file as INPUT"), std::string::npos) << r.err;
    EXPECT_EQ(testsupport::ReadText(input), bytes);
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
    RunResult r = Host(Making(c.command, Path("out/" + stem + digits + ext)));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string first = c.command == Command::Sequence ? stem + "0000" + ext : stem + ext;
    ASSERT_EQ(first.size(), std::size_t(c.bytes));
    std::vector<std::string> listing = FolderEntries(dir / "out");
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
    WriteSequence("ppm", 60, 64, 48, false, "long");  // a job of some seconds, scaled up
    testsupport::Child killed(HostBinary(), Job({"render", "@/long/%04d.ppm", Path(std::string("out/") + c.killed),
                                                 "--size", "1920x1080"}));
    for (int i = 0; i < 15000 && PartFiles(dir / "out").empty() && !killed.Ended(); ++i) ::usleep(2000);
    ASSERT_FALSE(killed.Ended()) << killed.Wait().err;
    ::kill(killed.Pid(), SIGKILL);
    killed.Wait();
    ASSERT_FALSE(PartFiles(dir / "out").empty());
    // Files that look similar but are not ones a dead job of ours left.
    const std::string dead = std::to_string(killed.Pid()), alive = std::to_string(::getpid());
    const std::vector<std::string> kept{".keep.mkv.part", "keep.mkv." + dead + ".part", ".keep." + alive + ".part",
                                        ".dir." + dead + ".part", ".link." + dead + ".part"};
    for (int i = 0; i < 3; ++i) WriteText(dir / "out" / kept[std::size_t(i)], "x");
    fs::create_directory(dir / "out" / kept[3]);
    fs::create_symlink("nowhere", dir / "out" / kept[4]);

    std::vector<std::string> made{"next.mkv"};
    if (c.next == Command::Sequence) made = {"0000.png", "0001.png", "0002.png"};
    if (c.next == Command::Thumbnail || c.next == Command::Snapshot) made = {"t.png"};
    RunResult r = Host(Making(c.next, Path(c.next == Command::Sequence ? "out/%04d.png" : "out/" + made[0])));
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> expected = made;
    expected.insert(expected.end(), kept.begin(), kept.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderEntries(dir / "out"), expected);
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
// The plug-in's way out, ExitToShell, ends the process at once; the files of the job in
// progress still go.

TEST(ExitToShellDeathTest, RemovesTheTemporaryFilesOfTheJob) {
    GTEST_FLAG_SET(death_test_style, "fast");  // the child must see the folder made here
    testsupport::TempFolder folder;
    const std::string at = folder.path().string();
    auto job = [&] {
        host::PendingFiles video, frames;
        WriteText(video.Add(at + "/x.mkv"), "partial video");
        WriteText(frames.Add(at + "/0000.png"), "frame");
        WriteText(frames.Add(at + "/0001.png"), "frame");
        ExitToShell();
    };
    EXPECT_EXIT(job(), ::testing::ExitedWithCode(toolbox::kExitToShellStatus), "");
    EXPECT_EQ(FolderEntries(folder.path()), std::vector<std::string>{});
}

}  // namespace
}  // namespace hosttest
