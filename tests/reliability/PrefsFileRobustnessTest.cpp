// Preferences files that are damaged, cut short, written by another build, or not files
// at all: the plug-in must still load through its entry point, start from the defaults,
// render with them, name the file once in a notice, and leave the file either as it
// found it or holding the defaults. And saves that fail for want of space or permission,
// under the real host: one line naming the file and the reason, status 1.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "Carbon.h"
#include "RenderDriver.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "glue/PlugInMain.h"
#include "support/HostHarness.h"
#include "support/Mounts.h"
#include "support/PluginTestSupport.h"
#include "support/ResourceBytes.h"

namespace {

namespace fs = std::filesystem;
using restest::Bytes;

constexpr int W = 12, H = 8, kFrames = 3;

using testsupport::DefaultSettings;
using testsupport::ReadBytes;
using testsupport::SameSettings;
using testsupport::WriteBytes;

// Settings whose rendering differs from the defaults' wherever a pixel has colour.
pluginDataRec Saved() { return testsupport::SettingsWith(77, relRect{0.0, 0.5, 0.0, 0.5}); }

// What the file must be after the plug-in has loaded with it.
enum class After { Unchanged, HoldsDefaults, StillAFolder, NotTouched };

struct PrefsCase {
    const char* name;
    std::function<void(const fs::path& prefs, const Bytes& valid)> make;
    After after;
};

// A resource file with one 'Pref' 1 resource holding `record`.
void WriteRecordFile(const fs::path& prefs, const Bytes& record) {
    fs::remove(prefs);
    restest::MakeResourceFile(prefs, {{cPrefsType, cConfigResID, cConfigResName, record}}, cPrefsCreator, cPrefsType);
}

// The record a build of the given size and byte order would write for Saved().
Bytes ForeignRecord(UInt32 size, bool bigEndian, UInt32 version = cConfigSaveVersion) {
    Handle h = NewHandleClear(sizeof(configsaverec));
    pluginDataRec saved = Saved();
    Config2Save(&saved, reinterpret_cast<configSaveH>(h));
    Bytes b = restest::HandleBytes(h);
    DisposeHandle(h);
    b.resize(size);
    for (std::size_t at : {0, 4}) {
        const UInt32 value = at == 0 ? size : version;
        for (int i = 0; i < 4; ++i) b[at + std::size_t(i)] = UInt8(value >> (8 * (bigEndian ? 3 - i : i)));
    }
    return b;
}

Bytes Truncated(const Bytes& b, std::size_t size) { return Bytes(b.begin(), b.begin() + std::ptrdiff_t(size)); }

class PrefsFileRobustness : public testsupport::PluginTest {
protected:
    fs::path Prefs() const { return prefsDir / "vardo-Prefs"; }

    // A file as the plug-in writes it, holding Saved().
    Bytes ValidFile() {
        pluginDataRec saved = Saved();
        EXPECT_TRUE(SaveConfig(&saved));
        Bytes bytes = ReadBytes(Prefs().string());
        fs::remove(Prefs());
        return bytes;
    }

    // Loads a fresh plug-in and renders the clip; the frames must be the defaults' (the
    // defaults process the whole frame by 0 percent: every frame comes back unchanged).
    void LoadAndRenderWithDefaults(const std::string& context) {
        ResetPlugInForTesting(host::HostDisposePtrProc());
        EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK) << context;
        ASSERT_NE(gEffectData, nullptr) << context;
        EXPECT_TRUE(SameSettings(*gEffectData, DefaultSettings())) << context << ": did not start from the defaults";
        testsupport::CollectingSink sink;
        host::PassOptions options;
        ASSERT_TRUE(host::RunRenderPass(&PlugInMain, session, options, sink).ok()) << context;
        ASSERT_EQ(sink.frames.size(), std::size_t(kFrames)) << context;
        for (int f = 0; f < kFrames; ++f)
            EXPECT_EQ(sink.frames[std::size_t(f)], clip.Pixels(f)) << context << ", frame " << f;
    }

    void CheckAfter(After after, const Bytes& before, const std::string& context) {
        switch (after) {
            case After::Unchanged:
                EXPECT_EQ(ReadBytes(Prefs().string()), before) << context << ": the file was changed";
                break;
            case After::HoldsDefaults: {
                pluginDataRec stored = Saved();
                EXPECT_TRUE(ReadConfig(&stored)) << context << ": no readable record";
                EXPECT_TRUE(SameSettings(stored, DefaultSettings())) << context << ": the record is not the defaults";
                break;
            }
            case After::StillAFolder:
                EXPECT_TRUE(fs::is_directory(Prefs())) << context;
                break;
            case After::NotTouched: {  // for what is too large or endless to compare
                struct stat now {};
                ASSERT_EQ(::lstat(Prefs().c_str(), &now), 0) << context;
                EXPECT_EQ(std::tie(now.st_ino, now.st_size, now.st_mtim.tv_nsec),
                          std::tie(made_.st_ino, made_.st_size, made_.st_mtim.tv_nsec)) << context;
                break;
            }
        }
    }

    // Loads a fresh plug-in as LoadAndRenderWithDefaults does, and answers the number of
    // lines of standard error that name the preferences file.
    int LoadAndCountNotices(const std::string& context) {
        ::testing::internal::CaptureStderr();
        LoadAndRenderWithDefaults(context);
        std::istringstream err(::testing::internal::GetCapturedStderr());
        int lines = 0;
        for (std::string line; std::getline(err, line);) lines += line.find(Prefs().string()) != std::string::npos;
        return lines;
    }

    struct stat made_ {};

    host::MemoryClip clip = testsupport::PatternClip(W, H, kFrames);
    host::HostSession session{clip, W, H};
};

// Files cut, damaged, of another build or not files at all; `valid` is a whole file.
std::vector<PrefsCase> DamageCases() {
    auto bytes = [](Bytes b) {
        return [b](const fs::path& prefs, const Bytes&) { WriteBytes(prefs.string(), b); };
    };
    auto record = [](Bytes r) { return [r](const fs::path& prefs, const Bytes&) { WriteRecordFile(prefs, r); }; };
    // The valid file cut to `size` bytes, or to its length times `share` when size is 0.
    auto cut = [](std::size_t size, double share) {
        return [size, share](const fs::path& prefs, const Bytes& valid) {
            const std::size_t keep = size > 0 ? size : std::size_t(double(valid.size()) * share);
            WriteBytes(prefs.string(), Truncated(valid, keep));
        };
    };
    return {
        {"zero bytes", bytes({}), After::Unchanged},
        {"random bytes", bytes(testsupport::PatternFrame(32, 32, 5)), After::Unchanged},
        {"text", bytes(Bytes(300, 'x')), After::Unchanged},
        {"cut to 16 bytes", cut(16, 0), After::Unchanged},
        {"cut to a quarter", cut(0, 0.25), After::Unchanged},
        {"cut in half", cut(0, 0.5), After::Unchanged},
        {"one byte short", [](const fs::path& prefs, const Bytes& valid) {
             WriteBytes(prefs.string(), Truncated(valid, valid.size() - 1));
         }, After::Unchanged},
        {"map offset past the end", [](const fs::path& prefs, const Bytes& valid) {
             Bytes b = valid;
             restest::PutBE(b, 4, UInt32(b.size() + 1000), 4);
             WriteBytes(prefs.string(), b);
         }, After::Unchanged},
        {"PowerPC record (390 bytes, big-endian)", record(ForeignRecord(390, true)), After::HoldsDefaults},
        {"390-byte record in this byte order", record(ForeignRecord(390, false)), After::HoldsDefaults},
        {"record of version 4", record(ForeignRecord(392, false, 4)), After::HoldsDefaults},
        {"record shorter than its header says", record(Truncated(ForeignRecord(392, false), 200)),
         After::HoldsDefaults},
        {"empty record", record({}), After::HoldsDefaults},
        {"a folder named vardo-Prefs", [](const fs::path& prefs, const Bytes&) { fs::create_directory(prefs); },
         After::StillAFolder},
        {"a folder with a file in it", [](const fs::path& prefs, const Bytes&) {
             fs::create_directory(prefs);
             WriteBytes((prefs / "x").string(), Bytes(10, 1));
         }, After::StillAFolder},
        {"a link to /dev/zero", [](const fs::path& prefs, const Bytes&) { fs::create_symlink("/dev/zero", prefs); },
         After::NotTouched},
        {"a valid file made 40 MiB long", [](const fs::path& prefs, const Bytes& valid) {
             WriteBytes(prefs.string(), valid);
             fs::resize_file(prefs, 40u << 20);
         }, After::NotTouched},
    };
}

TEST_F(PrefsFileRobustness, DamagedForeignOrMisplacedFilesLoadWithTheDefaults) {
    const Bytes valid = ValidFile();
    for (const PrefsCase& c : DamageCases()) {
        fs::remove_all(Prefs());
        c.make(Prefs(), valid);
        ASSERT_EQ(::lstat(Prefs().c_str(), &made_), 0);
        const bool small = c.after != After::NotTouched && fs::is_regular_file(Prefs());
        const Bytes before = small ? ReadBytes(Prefs().string()) : Bytes{};
        EXPECT_EQ(LoadAndCountNotices(c.name), 1) << c.name << ": the file must be named once";
        CheckAfter(c.after, before, c.name);
        // Once the defaults have replaced a foreign record, the file is a good one.
        EXPECT_EQ(LoadAndCountNotices(std::string(c.name) + ", loaded again"), c.after == After::HoldsDefaults ? 0 : 1);
    }
}

// A link to nowhere loads with the defaults, twice; a missing folder too, and is not made.
TEST_F(PrefsFileRobustness, ADanglingLinkOrAMissingPreferencesFolderLoadsWithTheDefaults) {
    fs::create_symlink(prefsDir / "nowhere" / "vardo-Prefs", Prefs());
    LoadAndRenderWithDefaults("a link to nowhere");
    LoadAndRenderWithDefaults("a link to nowhere, loaded again");
    fs::remove_all(prefsDir);
    LoadAndRenderWithDefaults("no Preferences folder");
    EXPECT_FALSE(fs::exists(prefsDir));
}

TEST_F(PrefsFileRobustness, AnUnreadableFileLoadsWithTheDefaults) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const Bytes valid = ValidFile();
    WriteBytes(Prefs().string(), valid);
    ::chmod(Prefs().c_str(), 0);
    LoadAndRenderWithDefaults("a file without read permission");
    ::chmod(Prefs().c_str(), 0600);
    EXPECT_EQ(ReadBytes(Prefs().string()), valid);
}

// A named pipe where the file should be must not hang the host: loading ends, with the
// defaults, within the time given (the child is killed by its alarm otherwise).
TEST_F(PrefsFileRobustness, ANamedPipeDoesNotHangTheHost) {
    ASSERT_EQ(::mkfifo(Prefs().c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            ::alarm(10);
            int result = PlugInMain(0, &session.Params());
            std::_Exit(result == kPluginOK && gEffectData && SameSettings(*gEffectData, DefaultSettings()) ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

// Saves that fail under the real host for want of space or permission: configure with
// OK says so in one line naming the file and the reason, and fails; the file keeps the
// settings it held. Loading before it needs no write, as the file holds what it reads.
struct StorageCase {
    const char* name;
    testsupport::ScopedMount::Kind kind;
    bool withFile;  // a file holding other settings is there before the mount is made read-only or full
    const char* reason;
};

class PrefsStorage : public hosttest::HostCliTest, public ::testing::WithParamInterface<StorageCase> {};

TEST_P(PrefsStorage, AFailedSaveIsOneLineAndStatus1) {
    const StorageCase& c = GetParam();
    WriteSequence("ppm", 2, 96, 64);
    using Kind = testsupport::ScopedMount::Kind;
    // A bind keeps what the folder holds, so the file is written first; a tmpfs starts empty.
    if (c.kind == Kind::ReadOnlyBind && c.withFile) WriteSettings(30, "0,0,1,1");
    testsupport::ScopedMount mount(prefs, c.kind, 64);
    if (!mount.Ok()) GTEST_SKIP() << "cannot mount on " << prefs << " here (" << mount.Error() << ")";
    if (c.kind == Kind::SmallTmpfs) {
        if (c.withFile) WriteSettings(30, "0,0,1,1");
        std::ofstream filler(fs::path(prefs) / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size())) && filler.flush()) {}
    }
    const fs::path file = fs::path(prefs) / "vardo-Prefs";
    const Bytes before = c.withFile ? ReadBytes(file.string()) : Bytes{};
    std::ofstream(Path("ok.txt")) << "slider Sldr 1 60\ncommand \"ok  \"\n";
    hosttest::RunResult r =
        hosttest::Host({"configure", Path("in/%04d.ppm"), "--prefs-dir", prefs, "--events", Path("ok.txt")});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.err, "tonefade-host: " + file.string() + ": the settings could not be saved: " + c.reason + "\n");
    if (c.withFile) {
        EXPECT_EQ(ReadBytes(file.string()), before);
    } else {
        EXPECT_FALSE(fs::exists(file));
    }
}

const StorageCase kStorageCases[] = {
    {"FullDisk", testsupport::ScopedMount::Kind::SmallTmpfs, true, "no space left on device"},
    {"FullDiskWithoutAFile", testsupport::ScopedMount::Kind::SmallTmpfs, false, "no space left on device"},
    {"ReadOnlyFolder", testsupport::ScopedMount::Kind::ReadOnlyBind, true, "permission denied"},
    {"ReadOnlyEmptyFolder", testsupport::ScopedMount::Kind::ReadOnlyTmpfs, false, "permission denied"},
};

INSTANTIATE_TEST_SUITE_P(Cases, PrefsStorage, ::testing::ValuesIn(kStorageCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
