// Preferences files that are damaged, cut short, written by another build, or not files
// at all: the plug-in must still load through its entry point, start from the defaults,
// render with them, and leave the file either as it found it or holding the defaults.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "Carbon.h"
#include "RenderDriver.h"
#include "effect/DataHandling.h"
#include "effect/PrefsLoader.h"
#include "glue/PlugInMain.h"
#include "support/PluginTestSupport.h"
#include "toolbox/ResTestSupport.h"

namespace {

namespace fs = std::filesystem;
using restest::Bytes;

constexpr int W = 12, H = 8, kFrames = 3;

pluginDataRec Defaults() {
    pluginDataRec r{};
    ResetConfig(&r);
    return r;
}

// Settings whose rendering differs from the defaults' wherever a pixel has colour.
pluginDataRec Saved() {
    pluginDataRec r = Defaults();
    r.sliders[0] = 77;
    r.startRel = relRect{0.0, 0.5, 0.0, 0.5};
    return r;
}

bool Same(const pluginDataRec& a, const pluginDataRec& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

struct KeepAll : host::FrameSink {
    std::vector<std::vector<UInt8>> frames;
    bool Consume(int, GWorldPtr frame, const std::vector<int16_t>&, std::string*) override {
        frames.push_back(testsupport::WorldPixels(frame));
        return true;
    }
};

// What the file must be after the plug-in has loaded with it.
enum class After { Unchanged, HoldsDefaults, StillAFolder };

struct PrefsCase {
    const char* name;
    std::function<void(const fs::path& prefs, const Bytes& valid)> make;
    After after;
};

// A resource file with one 'Pref' 1 resource holding `record`.
void WriteRecordFile(const fs::path& prefs, const Bytes& record) {
    fs::remove(prefs);
    FSSpec fileSpec;
    toolbox::PathToFSSpec(prefs.string(), &fileSpec);
    FSpCreateResFile(&fileSpec, cPrefsCreator, cPrefsType, smSystemScript);
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    ASSERT_NE(refNum, -1);
    AddResource(restest::MakeHandle(record), cPrefsType, cConfigResID, restest::Pascal(cConfigResName));
    CloseResFile(refNum);
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
        Bytes bytes = restest::ReadFile(Prefs().string());
        fs::remove(Prefs());
        return bytes;
    }

    // Loads a fresh plug-in and renders the clip; the frames must be the defaults' (the
    // defaults process the whole frame by 0 percent: every frame comes back unchanged).
    void LoadAndRenderWithDefaults(const std::string& context) {
        ResetPlugInForTesting(host::HostDisposePtrProc());
        EXPECT_EQ(host::CallPlugin(&PlugInMain, session, kPlugGetInfo), kPluginOK) << context;
        ASSERT_NE(gEffectData, nullptr) << context;
        EXPECT_TRUE(Same(*gEffectData, Defaults())) << context << ": did not start from the defaults";
        KeepAll sink;
        host::PassOptions options;
        ASSERT_TRUE(host::RunRenderPass(&PlugInMain, session, options, sink).ok()) << context;
        ASSERT_EQ(sink.frames.size(), std::size_t(kFrames)) << context;
        for (int f = 0; f < kFrames; ++f)
            EXPECT_EQ(sink.frames[std::size_t(f)], clip.Pixels(f)) << context << ", frame " << f;
    }

    void CheckAfter(After after, const Bytes& before, const std::string& context) {
        switch (after) {
            case After::Unchanged:
                EXPECT_EQ(restest::ReadFile(Prefs().string()), before) << context << ": the file was changed";
                break;
            case After::HoldsDefaults: {
                pluginDataRec stored = Saved();
                EXPECT_TRUE(ReadConfig(&stored)) << context << ": no readable record";
                EXPECT_TRUE(Same(stored, Defaults())) << context << ": the record is not the defaults";
                break;
            }
            case After::StillAFolder:
                EXPECT_TRUE(fs::is_directory(Prefs())) << context;
                break;
        }
    }

    host::MemoryClip clip = testsupport::PatternClip(W, H, kFrames);
    host::HostSession session{clip, W, H};
};

// Files cut, damaged, of another build or not files at all; `valid` is a whole file.
std::vector<PrefsCase> DamageCases() {
    auto bytes = [](Bytes b) {
        return [b](const fs::path& prefs, const Bytes&) { restest::WriteFile(prefs.string(), b); };
    };
    auto record = [](Bytes r) { return [r](const fs::path& prefs, const Bytes&) { WriteRecordFile(prefs, r); }; };
    // The valid file cut to `size` bytes, or to its length times `share` when size is 0.
    auto cut = [](std::size_t size, double share) {
        return [size, share](const fs::path& prefs, const Bytes& valid) {
            const std::size_t keep = size > 0 ? size : std::size_t(double(valid.size()) * share);
            restest::WriteFile(prefs.string(), Truncated(valid, keep));
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
             restest::WriteFile(prefs.string(), Truncated(valid, valid.size() - 1));
         }, After::Unchanged},
        {"map offset past the end", [](const fs::path& prefs, const Bytes& valid) {
             Bytes b = valid;
             restest::PutBE(b, 4, UInt32(b.size() + 1000), 4);
             restest::WriteFile(prefs.string(), b);
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
             restest::WriteFile((prefs / "x").string(), Bytes(10, 1));
         }, After::StillAFolder},
    };
}

TEST_F(PrefsFileRobustness, DamagedForeignOrMisplacedFilesLoadWithTheDefaults) {
    const Bytes valid = ValidFile();
    for (const PrefsCase& c : DamageCases()) {
        fs::remove_all(Prefs());
        c.make(Prefs(), valid);
        const Bytes before = fs::is_regular_file(Prefs()) ? restest::ReadFile(Prefs().string()) : Bytes{};
        LoadAndRenderWithDefaults(c.name);
        CheckAfter(c.after, before, c.name);
        LoadAndRenderWithDefaults(std::string(c.name) + ", loaded again");
    }
}

TEST_F(PrefsFileRobustness, AMissingPreferencesFolderLoadsWithTheDefaultsAndIsNotCreated) {
    fs::remove_all(prefsDir);
    LoadAndRenderWithDefaults("no Preferences folder");
    EXPECT_FALSE(fs::exists(prefsDir));
    fs::create_directories(prefsDir);
}

TEST_F(PrefsFileRobustness, ADanglingLinkLoadsWithTheDefaults) {
    fs::create_symlink(prefsDir / "nowhere" / "vardo-Prefs", Prefs());
    LoadAndRenderWithDefaults("a link to nowhere");
    LoadAndRenderWithDefaults("a link to nowhere, loaded again");
}

TEST_F(PrefsFileRobustness, AnUnreadableFileLoadsWithTheDefaults) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    const Bytes valid = ValidFile();
    restest::WriteFile(Prefs().string(), valid);
    ::chmod(Prefs().c_str(), 0);
    LoadAndRenderWithDefaults("a file without read permission");
    ::chmod(Prefs().c_str(), 0600);
    EXPECT_EQ(restest::ReadFile(Prefs().string()), valid);
}

// A named pipe where the file should be must not hang the host: loading ends, with the
// defaults, within the time given (the child is killed by its alarm otherwise).
TEST_F(PrefsFileRobustness, ANamedPipeDoesNotHangTheHost) {
    ASSERT_EQ(::mkfifo(Prefs().c_str(), 0600), 0);
    EXPECT_EXIT(
        {
            ::alarm(10);
            int result = PlugInMain(0, &session.Params());
            std::_Exit(result == kPluginOK && gEffectData && Same(*gEffectData, Defaults()) ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
