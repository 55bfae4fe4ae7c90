// The preferences file: exact bytes of the saved record, round trips, records that
// must be refused, failures that must change nothing, the caller's resource file
// restored, and a saving process killed at random moments.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <tuple>

#include "Carbon.h"
#include "effect/EffectBridge.h"
#include "effect/PrefsLoader.h"
#include "files/AtomicFile.h"
#include "resources/ResourceFormat.h"
#include "support/PluginTestSupport.h"
#include "support/Processes.h"
#include "support/ResourceBytes.h"

namespace {

using restest::Bytes;

using testsupport::DistinctSettings;
using testsupport::SameSettings;

void PutLE(Bytes& b, std::size_t at, UInt32 value, int width) {
    for (int i = 0; i < width; ++i) b[at + std::size_t(i)] = UInt8(value >> (8 * i));
}

void PutDouble(Bytes& b, std::size_t at, double d) { std::memcpy(&b[at], &d, 8); }

// The record as it must lie on an Intel build, laid out from the documented offsets.
Bytes ExpectedRecord(const pluginDataRec& r) {
    Bytes b(392, 0);
    PutLE(b, 0, 392, 4);
    PutLE(b, 4, 3, 4);
    const relRect* rects[] = {&r.startRel, &r.endRel};
    for (std::size_t k = 0; k < 2; ++k) {
        PutDouble(b, 8 + 32 * k, rects[k]->left);
        PutDouble(b, 16 + 32 * k, rects[k]->right);
        PutDouble(b, 24 + 32 * k, rects[k]->top);
        PutDouble(b, 32 + 32 * k, rects[k]->bottom);
    }
    auto putColor = [&](std::size_t at, RGBColor c) {
        PutLE(b, at, c.red, 2), PutLE(b, at + 2, c.green, 2), PutLE(b, at + 4, c.blue, 2);
    };
    for (std::size_t i = 0; i < 6; ++i) putColor(72 + 6 * i, r.colors[i]);
    for (std::size_t i = 0; i < 6; ++i) PutLE(b, 108 + 2 * i, UInt16(r.sliders[i]), 2);
    putColor(120, r.frameStartColor);
    putColor(126, r.frameEndColor);
    PutLE(b, 132, UInt16(r.mediaType), 2);
    const std::string misc = "Config save for Qorvel iMovie plug-in";
    b[134] = UInt8(misc.size());
    std::memcpy(&b[135], misc.data(), misc.size());
    return b;
}

class PrefsLoader : public ::testing::Test {
protected:
    void SetUp() override {
        toolbox::SetPreferencesFolder(folder.path());
        live_ = toolbox::LivePtrCount();
    }
    void TearDown() override {
        toolbox::FailAtomicWriteForTesting(toolbox::AtomicWriteStep::None);
        toolbox::ArmFault(toolbox::FaultSite::Memory, 0);
        EXPECT_TRUE(toolbox::OpenResFiles().empty()) << "a resource file was left open";
        for (ResFileRefNum refNum : toolbox::OpenResFiles()) CloseResFile(refNum);
        toolbox::SetPreferencesFolder("");
        EXPECT_EQ(toolbox::LivePtrCount(), live_) << "handles leaked";
    }

    std::string PrefsPath() const { return folder / "vardo-Prefs"; }

    // The file as an independent parse sees it.
    toolbox::resfork::Image StoredImage() const {
        toolbox::resfork::Image image;
        EXPECT_EQ(toolbox::resfork::Parse(testsupport::ReadBytes(PrefsPath()), &image), noErr);
        return image;
    }

    // The 'Pref' 1 resource's bytes; empty when there is none.
    Bytes StoredRecord() const {
        for (const auto& type : StoredImage().types)
            if (type.type == cPrefsType)
                for (const auto& r : type.resources)
                    if (r.id == 1) return r.data;
        return {};
    }

    // A preferences file holding `resources`, written with the Resource Manager.
    void MakePrefsFile(const std::vector<restest::Resource>& resources) {
        restest::MakeResourceFile(PrefsPath(), resources, cPrefsCreator, cPrefsType);
    }

    testsupport::TempFolder folder;
    long live_ = 0;
};

prefsStatusRec PrefsStatus() {
    prefsStatusRec status;
    GetPrefsStatus(&status);
    return status;
}

// Saved twice, the file holds one record, the second, named and laid out byte for byte;
// reading it gives every field back exactly, -0.0 too.
TEST_F(PrefsLoader, TheFileHoldsOneNamedRecordLaidOutByteForByteAndReadsBackExactly) {
    pluginDataRec first = DistinctSettings(1), saved = DistinctSettings(0), read = DistinctSettings(2);
    ASSERT_TRUE(SaveConfig(&first));
    ASSERT_TRUE(SaveConfig(&saved));
    ASSERT_TRUE(ReadConfig(&read));
    EXPECT_TRUE(SameSettings(read, saved));
    EXPECT_TRUE(std::signbit(read.startRel.top)) << "-0.0 must come back as -0.0";
    auto image = StoredImage();
    ASSERT_EQ(image.types.size(), 1u);
    EXPECT_EQ(image.types[0].type, FOUR_CHAR_CODE("Pref"));
    ASSERT_EQ(image.types[0].resources.size(), 1u);
    const auto& r = image.types[0].resources[0];
    EXPECT_EQ(std::tie(r.id, r.name), std::make_tuple(ResID(1), std::string("Config Settings")));
    EXPECT_EQ(r.data, TONEFADE_BIG_ENDIAN_BUILD ? r.data : ExpectedRecord(saved)) << "the layout is the Intel one";
    FSSpec fileSpec;
    FInfo info{};
    ASSERT_EQ(toolbox::PathToFSSpec(PrefsPath(), &fileSpec), noErr);
    ASSERT_EQ(FSpGetFInfo(&fileSpec, &info), noErr);
    if (info.fdType != 0) {  // where the file system keeps extended attributes
        EXPECT_EQ(std::make_pair(info.fdType, info.fdCreator),
                  std::make_pair(FOUR_CHAR_CODE("Pref"), FOUR_CHAR_CODE("qvl ")));
    }
}

TEST_F(PrefsLoader, OtherResourcesOfTheFileAreLeftAsTheyWere) {
    MakePrefsFile({{FOUR_CHAR_CODE("TEXT"), 128, "keep me", {1, 2, 3}},
                   {cPrefsType, 2, "", Bytes(50, 0xAA)},
                   {cPrefsType, 1, "old", Bytes(392, 0)}});
    pluginDataRec saved = DistinctSettings(4);
    ASSERT_TRUE(SaveConfig(&saved));
    auto image = StoredImage();
    std::map<std::pair<ResType, ResID>, toolbox::resfork::Resource> found;
    for (const auto& t : image.types)
        for (const auto& r : t.resources) found[{t.type, r.id}] = r;
    ASSERT_EQ(found.size(), 3u);
    const auto &text = found[{FOUR_CHAR_CODE("TEXT"), 128}], &other = found[{cPrefsType, 2}],
               &record = found[{cPrefsType, 1}];
    EXPECT_EQ(std::tie(text.name, text.data), std::make_tuple(std::string("keep me"), Bytes{1, 2, 3}));
    EXPECT_EQ(std::tie(other.hasName, other.data), std::make_tuple(false, Bytes(50, 0xAA)));
    EXPECT_EQ(std::tie(record.name, record.data),
              std::make_tuple(std::string("Config Settings"), ExpectedRecord(saved)));
}

TEST_F(PrefsLoader, RecordsOfAnotherBuildVersionOrLengthAreRefused) {
    const Bytes good = ExpectedRecord(DistinctSettings(5));
    auto with = [&](std::size_t at, UInt32 value) {
        Bytes b = good;
        PutLE(b, at, value, 4);
        return b;
    };
    struct Case {
        const char* what;
        Bytes record;
        bool accepted;
    } cases[] = {
        {"PowerPC size 390", with(0, 390), false},
        {"size 0", with(0, 0), false},
        {"size 393", with(0, 393), false},
        {"big-endian 392", with(0, 0x88010000), false},
        {"version 2", with(4, 2), false},
        {"version 4", with(4, 4), false},
        {"one byte short", Bytes(good.begin(), good.end() - 1), false},
        {"header only", Bytes(good.begin(), good.begin() + 8), false},
        {"half a header", Bytes(good.begin(), good.begin() + 4), false},
        {"empty", Bytes{}, false},
        {"any miscString", [&] { Bytes b = good; b[134] = 3, b[135] = 'x'; return b; }(), true},
        {"longer than the record", [&] { Bytes b = good; b.resize(400, 0x55); return b; }(), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(PrefsPath());
        MakePrefsFile({{cPrefsType, 1, "Config Settings", c.record}});
        pluginDataRec settings = DistinctSettings(9), before = settings;
        EXPECT_EQ(bool(ReadConfig(&settings)), c.accepted);
        if (c.accepted) {
            Bytes back = ExpectedRecord(settings);
            EXPECT_TRUE(std::equal(back.begin() + 8, back.begin() + 134, good.begin() + 8));
        } else {
            EXPECT_TRUE(SameSettings(settings, before));
        }
    }
}

// Neither a missing folder nor a missing file is made by reading; saving makes the file
// but not the folder. (A damaged file: PrefsFileRobustness and ConfigureUnusablePrefs.)
TEST_F(PrefsLoader, ReadingMakesNothingAndSavingMakesTheFileButNotTheFolder) {
    for (bool folderThere : {false, true}) {
        if (!folderThere) toolbox::SetPreferencesFolder(folder / "absent");
        pluginDataRec settings = DistinctSettings(1), before = settings;
        EXPECT_FALSE(ReadConfig(&settings));
        EXPECT_TRUE(SameSettings(settings, before));
        EXPECT_FALSE(std::filesystem::exists(folderThere ? PrefsPath() : folder / "absent"));
        EXPECT_EQ(bool(SaveConfig(&settings)), folderThere);
        EXPECT_FALSE(std::filesystem::exists(folder / "absent"));
        EXPECT_EQ(folderThere ? StoredRecord() : Bytes{}, folderThere ? ExpectedRecord(settings) : Bytes{});
        toolbox::SetPreferencesFolder(folder.path());
    }
}

TEST_F(PrefsLoader, ANilRecordGivesFalseWithoutTouchingTheFile) {
    EXPECT_FALSE(SaveConfig(nullptr));
    EXPECT_FALSE(std::filesystem::exists(PrefsPath())) << "no file may be created";
    pluginDataRec saved = DistinctSettings(1);
    ASSERT_TRUE(SaveConfig(&saved));
    struct stat before {}, after {};
    ASSERT_EQ(::stat(PrefsPath().c_str(), &before), 0);
    Bytes bytes = testsupport::ReadBytes(PrefsPath());
    EXPECT_FALSE(SaveConfig(nullptr));
    EXPECT_FALSE(ReadConfig(nullptr));
    ASSERT_EQ(::stat(PrefsPath().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(testsupport::ReadBytes(PrefsPath()), bytes);
}

TEST_F(PrefsLoader, TheCallersCurrentResourceFileIsCurrentAgainAfterEveryOutcome) {
    FSSpec otherSpec = restest::MakeResourceFile(folder / "other.rsrc", {});
    ResFileRefNum other = FSpOpenResFile(&otherSpec, fsRdPerm);
    pluginDataRec settings = DistinctSettings(1);
    auto expectRestored = [&](const char* what) {
        EXPECT_EQ(CurResFile(), other) << what;
        EXPECT_EQ(toolbox::OpenResFiles(), std::vector<ResFileRefNum>{other}) << what;
    };
    EXPECT_TRUE(SaveConfig(&settings));
    expectRestored("save");
    EXPECT_TRUE(ReadConfig(&settings));
    expectRestored("read");
    testsupport::WriteBytes(PrefsPath(), Bytes(40, 1));
    EXPECT_FALSE(ReadConfig(&settings));
    EXPECT_FALSE(SaveConfig(&settings));
    expectRestored("damaged file");
    CloseResFile(other);
}

TEST_F(PrefsLoader, EveryFailedAllocationLeavesTheOldRecordOrTheNew) {
    pluginDataRec oldSettings = DistinctSettings(1), newSettings = DistinctSettings(2);
    for (int n = 1;; ++n) {
        std::filesystem::remove(PrefsPath());
        ASSERT_TRUE(SaveConfig(&oldSettings));
        toolbox::ResetFaultCounters();
        toolbox::ArmFault(toolbox::FaultSite::Memory, n);
        bool saved = SaveConfig(&newSettings);
        bool faultFired = toolbox::FaultSiteCalls(toolbox::FaultSite::Memory) >= n;
        toolbox::ArmFault(toolbox::FaultSite::Memory, 0);
        Bytes stored = StoredRecord();
        EXPECT_EQ(stored, ExpectedRecord(saved ? newSettings : oldSettings)) << "allocation " << n;
        if (!faultFired) break;
        ASSERT_LT(n, 100);
    }
}

TEST_F(PrefsLoader, AWriteThatFailsKeepsTheOldRecordAndOneRetryIsEnough) {
    using Step = toolbox::AtomicWriteStep;
    pluginDataRec oldSettings = DistinctSettings(1), newSettings = DistinctSettings(2);
    for (Step step : {Step::CreateTemporary, Step::WriteData, Step::SyncData, Step::Publish}) {
        SCOPED_TRACE(int(step));
        ASSERT_TRUE(SaveConfig(&oldSettings));
        toolbox::FailAtomicWriteForTesting(step, 2);  // the update and closing's retry
        const UInt32 failedBefore = PrefsStatus().failedSaves;
        EXPECT_FALSE(SaveConfig(&newSettings));
        EXPECT_EQ(StoredRecord(), ExpectedRecord(oldSettings));
        EXPECT_EQ(PrefsStatus().failedSaves, failedBefore + 1);
        EXPECT_EQ(restest::FromPascal(PrefsStatus().saveProblem),
                  PrefsPath() + ": the settings could not be saved: input/output error");
        toolbox::FailAtomicWriteForTesting(step, 1);  // closing writes what the update could not
        EXPECT_TRUE(SaveConfig(&newSettings));
        EXPECT_EQ(StoredRecord(), ExpectedRecord(newSettings));
        EXPECT_EQ(testsupport::FolderEntries(folder.path()), std::vector<std::string>{"vardo-Prefs"});
    }
}

TEST_F(PrefsLoader, ConversionsRefuseNilArgumentsAndShortHandles) {
    pluginDataRec settings = DistinctSettings(1);
    Handle record = NewHandleClear(sizeof(configsaverec)), shortRecord = NewHandleClear(sizeof(configsaverec) - 1);
    auto h = reinterpret_cast<configSaveH>(record);
    EXPECT_FALSE(Config2Save(nullptr, h) || Config2Save(&settings, nullptr) || Save2Config(nullptr, h) ||
                 Save2Config(&settings, nullptr) || Config2Save(&settings, reinterpret_cast<configSaveH>(shortRecord)));
    EXPECT_EQ(restest::HandleBytes(shortRecord), Bytes(sizeof(configsaverec) - 1, 0)) << "written into";
    ASSERT_TRUE(Config2Save(&settings, h));
    pluginDataRec back{};
    ASSERT_TRUE(Save2Config(&back, h));
    EXPECT_TRUE(SameSettings(back, settings));
    DisposeHandle(shortRecord);
    DisposeHandle(record);
}

// A load that finds the record it would save back writes nothing: not even a disk that
// refuses every write makes it fail, and the file is the same file as before.
TEST_F(PrefsLoader, ALoadThatFindsItsOwnRecordWritesNothing) {
    pluginDataRec saved = DistinctSettings(1);
    ASSERT_TRUE(SaveConfig(&saved));
    struct stat before {}, after {};
    ASSERT_EQ(::stat(PrefsPath().c_str(), &before), 0);
    const UInt32 failedBefore = PrefsStatus().failedSaves;
    toolbox::FailAtomicWriteForTesting(toolbox::AtomicWriteStep::CreateTemporary, 100);
    pluginDataRec settings{};
    InitPluginData(&settings);
    EXPECT_TRUE(SameSettings(settings, saved));
    EXPECT_EQ(PrefsStatus().failedSaves, failedBefore);
    ASSERT_EQ(::stat(PrefsPath().c_str(), &after), 0);
    EXPECT_EQ(std::tie(after.st_ino, after.st_mtim.tv_nsec), std::tie(before.st_ino, before.st_mtim.tv_nsec));
}

// The loader process's ends of the pipes that hold it between its read and its save.
int gToTest = -1, gToLoader = -1;

void HoldLoader() {
    char c = 'r';
    if (::write(gToTest, &c, 1) != 1 || ::read(gToLoader, &c, 1) != 1) std::_Exit(3);
}

// A process loading the plug-in is held after reading the settings while a second
// process saves others: the second save must be what the file holds in the end,
// whatever the loader found and saves back.
TEST_F(PrefsLoader, ASaveMadeWhileALoaderIsBetweenItsReadAndItsSaveBackSurvives) {
    const pluginDataRec first = DistinctSettings(1), other = DistinctSettings(2);
    Bytes version4 = ExpectedRecord(first);
    PutLE(version4, 4, 4, 4);
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"the file holds a record", [&] { pluginDataRec r = first; ASSERT_TRUE(SaveConfig(&r)); }},
        {"there is no file yet", [] {}},
        {"the file holds a record of another version", [&] { MakePrefsFile({{cPrefsType, 1, "", version4}}); }},
    };
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove(PrefsPath());
        make();
        int toTest[2], toLoader[2];
        ASSERT_EQ(::pipe(toTest), 0);
        ASSERT_EQ(::pipe(toLoader), 0);
        testsupport::Child loader([&] {
            gToTest = toTest[1], gToLoader = toLoader[0];
            SetReadConfigHookForTesting(HoldLoader);
            pluginDataRec settings{};
            InitPluginData(&settings);
            return 0;
        });
        char c = 0;
        ASSERT_EQ(::read(toTest[0], &c, 1), 1) << "the loader never read";
        testsupport::Child saver([&] {
            pluginDataRec r = other;
            return SaveConfig(&r) ? 0 : 1;
        });
        // Unless something holds it back, the saver is done long before the loader goes on.
        saver.Ended(std::chrono::milliseconds(300));
        ASSERT_EQ(::write(toLoader[1], "g", 1), 1);
        EXPECT_EQ(loader.Wait(std::chrono::seconds(20)).status, 0);
        EXPECT_EQ(saver.Wait(std::chrono::seconds(20)).status, 0);
        EXPECT_EQ(StoredRecord(), ExpectedRecord(other)) << "the other process's save was undone";
        for (int fd : {toTest[0], toTest[1], toLoader[0], toLoader[1]}) ::close(fd);
    }
}

// A process saving in a loop is killed at random moments; whenever it dies, the file
// must parse and hold the record from before or the one being written.
TEST_F(PrefsLoader, AKilledSaveLeavesTheOldRecordOrTheNewOne) {
    const int kills = testsupport::CountFromEnvironment("TONEFADE_CRASH_KILLS", 200);
    pluginDataRec a = DistinctSettings(1), b = DistinctSettings(2);
    ASSERT_TRUE(SaveConfig(&a));
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 5; ++i) ASSERT_TRUE(SaveConfig(i % 2 ? &a : &b));
    auto perSave = (std::chrono::steady_clock::now() - start) / 5;
    const Bytes recordA = ExpectedRecord(a), recordB = ExpectedRecord(b);
    int sawA = 0, sawB = 0;
    testsupport::KillRepeatedly(
        kills, std::chrono::duration_cast<std::chrono::microseconds>(perSave * 4) + std::chrono::microseconds(200),
        20240611,
        [&] {
            SaveConfig(&b);
            SaveConfig(&a);
        },
        [&] {
            Bytes stored = StoredRecord();
            ASSERT_TRUE(stored == recordA || stored == recordB) << "the file holds neither record";
            (stored == recordA ? sawA : sawB)++;
        });
    std::printf("%d kills: %d left the first record, %d the second; %zu stray files\n", kills, sawA, sawB,
                testsupport::FolderEntries(folder.path()).size() - 1);
    if (kills >= 50) {
        EXPECT_GT(sawB, 0) << "the child never completed a save";
    }
}

}  // namespace
