// File and Folder Managers: specs for present, missing and badly named files, file
// references, Finder information, and where FindFolder puts the Preferences folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <cstdlib>
#include <optional>

#include "Carbon.h"
#include "support/ResourceBytes.h"

namespace {

using restest::Pascal;

SInt32 DirID(const std::string& path) {
    SInt32 id = 0;
    EXPECT_EQ(toolbox::DirIDForPath(path, &id), noErr);
    return id;
}

TEST(Files, FSMakeFSSpecTellsPresentMissingAndBadNamesApart) {
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder / "there", {1});
    SInt32 dir = DirID(folder.path());
    struct Case {
        const char* what;
        SInt16 vRefNum;
        SInt32 dirID;
        std::string name;
        OSErr expected;
    } cases[] = {
        {"present", toolbox::kStandInVolume, dir, "there", noErr},
        {"missing", toolbox::kStandInVolume, dir, "absent", fnfErr},
        {"default volume", 0, dir, "there", noErr},
        {"unknown directory", toolbox::kStandInVolume, 99999, "there", dirNFErr},
        {"unknown volume", 7, dir, "there", paramErr},
        {"slash in name", toolbox::kStandInVolume, dir, "a/b", bdNamErr},
        {"dot dot", toolbox::kStandInVolume, dir, "..", bdNamErr},
        {"64 characters", toolbox::kStandInVolume, dir, std::string(64, 'n'), bdNamErr},
        {"63 characters", toolbox::kStandInVolume, dir, std::string(63, 'n'), fnfErr},
    };
    for (const auto& c : cases) {
        FSSpec fileSpec{};
        EXPECT_EQ(FSMakeFSSpec(c.vRefNum, c.dirID, Pascal(c.name), &fileSpec), c.expected) << c.what;
        if (c.expected == noErr || c.expected == fnfErr) {
            EXPECT_EQ(fileSpec.parID, dir) << c.what;
            EXPECT_EQ(restest::FromPascal(fileSpec.name), c.name) << c.what;
        }
    }
}

TEST(Files, SpecsAndReferencesMapBackToTheirPaths) {
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder / "Caf\xC3\xA9", {1});  // "Café": é is 0x8E in Mac Roman
    FSSpec fileSpec;
    ASSERT_EQ(toolbox::PathToFSSpec(folder / "Caf\xC3\xA9", &fileSpec), noErr);
    EXPECT_EQ(restest::FromPascal(fileSpec.name), "Caf\x8E");
    FSRef ref;
    ASSERT_EQ(FSpMakeFSRef(&fileSpec, &ref), noErr);
    UInt8 path[1024];
    ASSERT_EQ(FSRefMakePath(&ref, path, sizeof path), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), std::filesystem::canonical(folder / "Caf\xC3\xA9"));
    EXPECT_EQ(FSRefMakePath(&ref, path, 4), paramErr) << "buffer too small";
    FSSpec back;
    HFSUniStr255 name;
    FSCatalogInfo info;
    ASSERT_EQ(FSGetCatalogInfo(&ref, kFSCatInfoNodeFlags, &info, &name, &back, nullptr), noErr);
    EXPECT_EQ(back.parID, fileSpec.parID);
    EXPECT_EQ(restest::FromPascal(back.name), "Caf\x8E");
    ASSERT_EQ(name.length, 4);
    EXPECT_EQ(name.unicode[3], 0x00E9);
    EXPECT_EQ(info.nodeFlags & kFSNodeIsDirectoryMask, 0);
    FSSpec missing;
    ASSERT_EQ(toolbox::PathToFSSpec(folder / "nothing", &missing), fnfErr);
    EXPECT_EQ(FSpMakeFSRef(&missing, &ref), fnfErr);
    EXPECT_EQ(toolbox::PathToFSSpec(folder / "no-folder/file", &missing), dirNFErr);
}

TEST(Files, FinderInfoKeepsTypeAndCreatorBigEndian) {
    testsupport::TempFolder folder;
    testsupport::WriteBytes(folder / "f", {});
    FSSpec fileSpec;
    ASSERT_EQ(toolbox::PathToFSSpec(folder / "f", &fileSpec), noErr);
    FInfo info{};
    ASSERT_EQ(FSpGetFInfo(&fileSpec, &info), noErr);
    EXPECT_EQ(info.fdType, 0u) << "a file without the attribute answers zeros";
    info.fdType = FOUR_CHAR_CODE("Pref");
    info.fdCreator = FOUR_CHAR_CODE("qvl ");
    ASSERT_EQ(FSpSetFInfo(&fileSpec, &info), noErr);
    char raw[32];
    ssize_t n = ::getxattr((folder / "f").c_str(), toolbox::kFinderInfoAttribute, raw, sizeof raw);
    if (n < 0) GTEST_SKIP() << "this file system keeps no extended attributes";
    ASSERT_EQ(n, 32);
    EXPECT_EQ(std::string(raw, 8), "Prefqvl ");
    FInfo back{};
    ASSERT_EQ(FSpGetFInfo(&fileSpec, &back), noErr);
    EXPECT_EQ(back.fdCreator, FOUR_CHAR_CODE("qvl "));
}

// Restores the environment and the folder override, whatever the test did.
class PreferencesFolder : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* v = std::getenv("XDG_CONFIG_HOME")) savedXdg_ = v;
        if (const char* v = std::getenv("HOME")) savedHome_ = v;
        toolbox::SetApplicationName("tonefade");
    }
    void TearDown() override {
        toolbox::SetApplicationName("");
        toolbox::SetPreferencesFolder("");
        Restore("XDG_CONFIG_HOME", savedXdg_);
        Restore("HOME", savedHome_);
    }
    static void Restore(const char* name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    OSErr Find(Boolean create, std::string* path) {
        SInt16 vRefNum = 0;
        SInt32 dirID = 0;
        OSErr err = FindFolder(kOnSystemDisk, kPreferencesFolderType, create, &vRefNum, &dirID);
        if (err == noErr) {
            EXPECT_TRUE(toolbox::PathForDirID(vRefNum, dirID, path));
        }
        return err;
    }
    testsupport::TempFolder folder;
    std::optional<std::string> savedXdg_, savedHome_;
};

TEST_F(PreferencesFolder, TheDefaultLivesUnderTheXdgConfigFolderAndIsMadePrivate) {
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    std::string path;
    ASSERT_EQ(Find(kDontCreateFolder, &path), noErr);
    EXPECT_EQ(path, std::filesystem::canonical(folder / "config/tonefade/Preferences").string());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(PreferencesFolder, WithoutAnApplicationNameThereIsNoDefault) {
    ::setenv("XDG_CONFIG_HOME", (folder / "config").c_str(), 1);
    for (const char* name : {"", ".", "..", "a/b"}) {
        toolbox::SetApplicationName(name);
        std::string path;
        EXPECT_EQ(toolbox::PreferencesFolderPath(), "") << name;
        EXPECT_EQ(Find(kCreateFolder, &path), fnfErr) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "config"));
}

TEST_F(PreferencesFolder, ARelativeXdgValueIsIgnoredForHome) {
    ::setenv("XDG_CONFIG_HOME", "relative/config", 1);
    ::setenv("HOME", folder.path().c_str(), 1);
    EXPECT_EQ(toolbox::PreferencesFolderPath(), folder / ".config/tonefade/Preferences");
}

TEST_F(PreferencesFolder, AFolderNamedByTheHostIsNeverCreatedUnlessAsked) {
    toolbox::SetPreferencesFolder(folder / "prefs");
    std::string path;
    EXPECT_EQ(Find(kDontCreateFolder, &path), fnfErr);
    EXPECT_FALSE(std::filesystem::exists(folder / "prefs"));
    testsupport::WriteBytes(folder / "prefs", {});
    EXPECT_EQ(Find(kDontCreateFolder, &path), fnfErr) << "a file is no folder";
    std::filesystem::remove(folder / "prefs");
    ASSERT_EQ(Find(kCreateFolder, &path), noErr);
    EXPECT_TRUE(std::filesystem::is_directory(folder / "prefs"));
    SInt16 vRefNum = 0;
    SInt32 dirID = 0;
    EXPECT_EQ(FindFolder(kOnSystemDisk, FOUR_CHAR_CODE("trsh"), kCreateFolder, &vRefNum, &dirID), fnfErr);
}

}  // namespace
