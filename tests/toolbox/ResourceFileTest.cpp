// The Resource Manager on real files: round trips, the chain of open files, handle
// ownership, damaged files refused and left byte-for-byte alone, failed writes that
// leave the old file, and string lists.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <tuple>

#include "Carbon.h"
#include "files/AtomicFile.h"
#include "resources/ResourceFormat.h"
#include "support/ResourceBytes.h"

namespace {

using restest::Bytes;
using restest::HandleBytes;
using restest::MakeHandle;
using restest::Pascal;

constexpr ResType kText = FOUR_CHAR_CODE("TEXT");
constexpr ResType kPict = FOUR_CHAR_CODE("PICT");

class ResourceFile : public ::testing::Test {
protected:
    void SetUp() override {
        live_ = toolbox::LivePtrCount();
        ASSERT_TRUE(toolbox::OpenResFiles().empty());
    }
    void TearDown() override {
        for (ResFileRefNum refNum : toolbox::OpenResFiles()) CloseResFile(refNum);
        toolbox::FailAtomicWriteForTesting(toolbox::AtomicWriteStep::None);
        EXPECT_EQ(toolbox::LivePtrCount(), live_) << "handles leaked";
    }

    FSSpec SpecFor(const std::string& name) {
        FSSpec fileSpec;
        OSErr err = toolbox::PathToFSSpec(folder / name, &fileSpec);
        EXPECT_TRUE(err == noErr || err == fnfErr) << err;
        return fileSpec;
    }

    // A new file holding 'TEXT' resources named after their ids, closed again.
    FSSpec MakeFile(const std::string& name, const std::vector<std::pair<ResID, Bytes>>& texts) {
        std::vector<restest::Resource> resources;
        for (const auto& [id, bytes] : texts) resources.push_back({kText, id, "text " + std::to_string(id), bytes});
        return restest::MakeResourceFile(folder / name, resources);
    }

    testsupport::TempFolder folder;
    long live_ = 0;
};

TEST_F(ResourceFile, WhatIsAddedComesBackAfterReopening) {
    FSSpec fileSpec = MakeFile("a.rsrc", {{128, {1, 2, 3}}, {-5, {}}, {300, Bytes(70000, 9)}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    ASSERT_NE(refNum, -1);
    EXPECT_EQ(CurResFile(), refNum);
    EXPECT_EQ(Count1Types(), 1);
    EXPECT_EQ(Count1Resources(kText), 3);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 128)), (Bytes{1, 2, 3}));
    EXPECT_EQ(HandleBytes(Get1Resource(kText, -5)), Bytes{});
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 300)), Bytes(70000, 9));
    Handle h = Get1IndResource(kText, 1);
    ResID id = 0;
    ResType type = 0;
    Str255 name;
    GetResInfo(h, &id, &type, name);
    EXPECT_EQ(std::make_tuple(id, type, restest::FromPascal(name)),
              std::make_tuple(ResID(128), kText, std::string("text 128")));
    EXPECT_EQ(Get1Resource(kText, 128), h) << "a loaded resource has one handle";
    EXPECT_EQ(HomeResFile(h), refNum);
    EXPECT_EQ(Get1Resource(kText, 129), nullptr);
    EXPECT_EQ(ResError(), resNotFound);
    CloseResFile(refNum);
    EXPECT_EQ(CurResFile(), 0);
}

// Creating refuses an existing file and leaves it; type and creator survive the file
// being replaced by a write.
TEST_F(ResourceFile, CreatingRefusesAnExistingFileAndTypeAndCreatorSurviveAWrite) {
    testsupport::WriteBytes(folder / "taken", {1, 2, 3});
    FSSpec taken = SpecFor("taken");
    FSpCreateResFile(&taken, FOUR_CHAR_CODE("test"), FOUR_CHAR_CODE("rsrc"), smSystemScript);
    EXPECT_EQ(ResError(), dupFNErr);
    EXPECT_EQ(testsupport::ReadBytes(folder / "taken"), (Bytes{1, 2, 3}));
    FSSpec fileSpec = MakeFile("typed", {{1, {1}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    AddResource(MakeHandle({2}), kText, 2, nullptr);
    CloseResFile(refNum);
    ASSERT_EQ(ResError(), noErr);
    FInfo info{};
    ASSERT_EQ(FSpGetFInfo(&fileSpec, &info), noErr);
    EXPECT_EQ(std::make_pair(info.fdType, info.fdCreator),
              std::make_pair(FOUR_CHAR_CODE("rsrc"), FOUR_CHAR_CODE("test")));
}

TEST_F(ResourceFile, TheChainIsSearchedFromTheCurrentFileTowardsOlderOnes) {
    FSSpec olderSpec = MakeFile("older", {{1, {'o'}}, {2, {'O'}}});
    FSSpec newerSpec = MakeFile("newer", {{1, {'n'}}, {3, {'N'}}});
    ResFileRefNum older = FSpOpenResFile(&olderSpec, fsRdPerm);
    ResFileRefNum newer = FSpOpenResFile(&newerSpec, fsRdPerm);
    EXPECT_EQ(toolbox::OpenResFiles(), (std::vector<ResFileRefNum>{newer, older}));
    EXPECT_EQ(HandleBytes(GetResource(kText, 1)), Bytes{'n'});
    EXPECT_EQ(HandleBytes(GetResource(kText, 2)), Bytes{'O'});
    EXPECT_EQ(Get1Resource(kText, 2), nullptr);
    UseResFile(older);
    EXPECT_EQ(HandleBytes(GetResource(kText, 1)), Bytes{'o'});
    EXPECT_EQ(GetResource(kText, 3), nullptr) << "newer files are not searched";
    UseResFile(newer);
    CloseResFile(newer);
    EXPECT_EQ(CurResFile(), older) << "the next older file becomes current";
    UseResFile(newer);
    EXPECT_EQ(ResError(), resFNotFound);
    EXPECT_EQ(CurResFile(), older);
}

// Opening an open file answers its number without making it current; SaveResFile
// restores the current file on every way out.
TEST_F(ResourceFile, OpeningAnOpenFileKeepsTheCurrentOneAndSaveResFileRestoresIt) {
    FSSpec a = MakeFile("a", {});
    FSSpec b = MakeFile("b", {});
    ResFileRefNum first = FSpOpenResFile(&a, fsRdPerm);
    ResFileRefNum second = FSpOpenResFile(&b, fsRdPerm);
    EXPECT_EQ(FSpOpenResFile(&a, fsRdPerm), first);
    EXPECT_EQ(CurResFile(), second);
    EXPECT_EQ(toolbox::OpenResFiles().size(), 2u);
    try {
        toolbox::SaveResFile keep;
        UseResFile(first);
        Get1Resource(kText, 99);  // fails: ResError must outlive the guard
        throw 1;
    } catch (int) {
    }
    EXPECT_EQ(CurResFile(), second);
    EXPECT_EQ(ResError(), resNotFound);
    {
        toolbox::SaveResFile keep;
        CloseResFile(second);  // a closed file cannot be made current again
    }
    EXPECT_EQ(CurResFile(), first);
}

TEST_F(ResourceFile, AddResourceRefusesWhatWouldMakeTheFileAmbiguous) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    Handle fresh = MakeHandle({2});
    struct Case {
        const char* what;
        Handle h;
        ResID id;
    } cases[] = {{"nil handle", nullptr, 7}, {"same type and id", fresh, 1}, {"already a resource", Get1Resource(kText, 1), 8}};
    for (const auto& c : cases) {
        AddResource(c.h, kText, c.id, nullptr);
        EXPECT_EQ(ResError(), addResFailed) << c.what;
    }
    EXPECT_EQ(Count1Resources(kText), 1);
    DisposeHandle(fresh);
    CloseResFile(refNum);
}

TEST_F(ResourceFile, ARemovedResourceIsGoneAndItsHandleIsTheCallers) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}, {2, {2}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    Handle h = Get1Resource(kText, 1);
    RemoveResource(h);
    EXPECT_EQ(ResError(), noErr);
    EXPECT_EQ(HomeResFile(h), -1);
    CloseResFile(refNum);
    EXPECT_EQ(HandleBytes(h), Bytes{1}) << "closing the file does not dispose of a removed handle";
    DisposeHandle(h);
    refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    EXPECT_EQ(Get1Resource(kText, 1), nullptr);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 2)), Bytes{2});
}

TEST_F(ResourceFile, DetachedHandlesOutliveTheFileAndReleasedOnesAreReloaded) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}, {2, {2}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    Handle detached = Get1Resource(kText, 1);
    DetachResource(detached);
    EXPECT_EQ(ResError(), noErr);
    Handle released = Get1Resource(kText, 2);
    ReleaseResource(released);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 2)), Bytes{2});
    EXPECT_NE(Get1Resource(kText, 1), detached);
    CloseResFile(refNum);
    EXPECT_EQ(HandleBytes(detached), Bytes{1});
    DisposeHandle(detached);
}

TEST_F(ResourceFile, OnlyChangedResourcesAreWritten) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}, {2, {2}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    Handle marked = Get1Resource(kText, 1);
    Handle unmarked = Get1Resource(kText, 2);
    SetHandleSize(marked, 3);
    (*marked)[2] = 7;
    (*unmarked)[0] = 9;
    ChangedResource(marked);
    EXPECT_EQ(GetResAttrs(marked) & resChanged, resChanged);
    ReleaseResource(marked);
    EXPECT_EQ(ResError(), resAttrErr) << "a changed handle holds the only copy of its contents";
    UpdateResFile(refNum);
    ASSERT_EQ(ResError(), noErr);
    CloseResFile(refNum);
    refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 1)), (Bytes{1, 0, 7}));
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 2)), Bytes{2});
}

TEST_F(ResourceFile, OpeningAndReadingNeverWrite) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}});
    struct stat before {}, after {};
    ASSERT_EQ(::stat((folder / "f").c_str(), &before), 0);
    Bytes bytes = testsupport::ReadBytes(folder / "f");
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsCurPerm);
    Get1Resource(kText, 1);
    UpdateResFile(refNum);
    CloseResFile(refNum);
    ASSERT_EQ(::stat((folder / "f").c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the file was replaced";
    EXPECT_EQ(testsupport::ReadBytes(folder / "f"), bytes);
}

TEST_F(ResourceFile, AReadOnlyFileRefusesChanges) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}});
    Bytes bytes = testsupport::ReadBytes(folder / "f");
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    Handle h = MakeHandle({5});
    AddResource(h, kText, 5, nullptr);
    EXPECT_EQ(ResError(), wrPermErr);
    RemoveResource(Get1Resource(kText, 1));
    EXPECT_EQ(ResError(), wrPermErr);
    ChangedResource(Get1Resource(kText, 1));
    EXPECT_EQ(ResError(), wrPermErr);
    CloseResFile(refNum);
    DisposeHandle(h);
    EXPECT_EQ(testsupport::ReadBytes(folder / "f"), bytes);
}

TEST_F(ResourceFile, RunningOutOfMemoryLoadsNothingAndLosesNothing) {
    FSSpec fileSpec = MakeFile("f", {{1, {1}}});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
    EXPECT_EQ(Get1Resource(kText, 1), nullptr);
    EXPECT_EQ(ResError(), memFullErr);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 1)), Bytes{1});
    CloseResFile(refNum);
}

TEST_F(ResourceFile, DamagedFilesAreRefusedAndLeftExactlyAsTheyWere) {
    Bytes cut = restest::HandMadeFile::Make();
    cut.pop_back();
    const std::vector<std::pair<const char*, Bytes>> damaged = {
        {"empty", {}},
        {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!', '!'}},
        {"header only", Bytes(16, 0)},
        {"map cut short", cut},
    };
    FSSpec other = MakeFile("other", {});
    ResFileRefNum current = FSpOpenResFile(&other, fsRdPerm);
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        testsupport::WriteBytes(folder / "bad", bytes);
        FSSpec fileSpec = SpecFor("bad");
        EXPECT_EQ(FSpOpenResFile(&fileSpec, fsCurPerm), -1);
        EXPECT_EQ(ResError(), bytes.empty() ? eofErr : mapReadErr);
        EXPECT_EQ(testsupport::ReadBytes(folder / "bad"), bytes);
        EXPECT_EQ(toolbox::OpenResFiles(), std::vector<ResFileRefNum>{current});
        EXPECT_EQ(CurResFile(), current);
    }
    FSSpec missing = SpecFor("missing");
    EXPECT_EQ(FSpOpenResFile(&missing, fsRdPerm), -1);
    EXPECT_EQ(ResError(), fnfErr);
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    FSSpec pipe = SpecFor("pipe");
    ::alarm(10);  // a reader blocked on the pipe ends the test program instead of hanging it
    EXPECT_EQ(FSpOpenResFile(&pipe, fsCurPerm), -1);
    ::alarm(0);
    EXPECT_NE(ResError(), noErr);
}

// Only a regular file of a resource file's size is read: anything else is refused before
// a byte of it is read (a pipe would hang the reader, /dev/zero would never end), and a
// link to a regular file is read and written through, staying a link.
TEST_F(ResourceFile, OnlyRegularFilesOfAResourceFilesSizeAreOpened) {
    namespace fs = std::filesystem;
    const auto sparse = [](const std::string& path, std::uintmax_t size) {
        testsupport::WriteBytes(path, {});
        fs::resize_file(path, size);
    };
    struct Case {
        const char* what;
        std::function<void(const std::string& path)> make;
        OSErr expected;
    } cases[] = {
        {"a folder", [](const std::string& p) { fs::create_directory(p); }, notAFileErr},
        {"a named pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); }, notAFileErr},
        {"a link to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, notAFileErr},
        {"a link to /dev/null", [](const std::string& p) { fs::create_symlink("/dev/null", p); }, notAFileErr},
        {"one byte over the limit", [&](const std::string& p) { sparse(p, toolbox::resfork::kMaxFileSize + 1); },
         fsDataTooBigErr},
        {"8 GiB", [&](const std::string& p) { sparse(p, std::uintmax_t(8) << 30); }, fsDataTooBigErr},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = "case" + std::to_string(++n), path = folder / name;
        c.make(path);
        const fs::file_status before = fs::symlink_status(path);
        FSSpec fileSpec = SpecFor(name);
        ::alarm(10);  // a reader blocked on the pipe ends the test program instead of hanging it
        for (SInt8 permission : {fsRdPerm, fsCurPerm}) {
            EXPECT_EQ(FSpOpenResFile(&fileSpec, permission), -1);
            EXPECT_EQ(ResError(), c.expected);
        }
        ::alarm(0);
        EXPECT_EQ(fs::symlink_status(path).type(), before.type());
        EXPECT_TRUE(toolbox::OpenResFiles().empty());
    }
    fs::create_directory(folder / "dotfiles");
    MakeFile("dotfiles/real", {{1, {1}}});
    fs::create_symlink(folder / "dotfiles/real", folder / "link");
    FSSpec link = SpecFor("link");
    ResFileRefNum refNum = FSpOpenResFile(&link, fsRdWrPerm);
    ASSERT_NE(refNum, -1);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 1)), Bytes{1});
    AddResource(MakeHandle({2}), kText, 2, nullptr);
    CloseResFile(refNum);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_TRUE(fs::is_symlink(folder / "link"));
    refNum = FSpOpenResFile(&link, fsRdPerm);
    EXPECT_EQ(HandleBytes(Get1Resource(kText, 2)), Bytes{2}) << "written to the link's target";
    CloseResFile(refNum);
}

TEST_F(ResourceFile, AFailedWriteLeavesTheOldFileAndKeepsTheChangesForLater) {
    using Step = toolbox::AtomicWriteStep;
    for (Step step : {Step::CreateTemporary, Step::WriteData, Step::SyncData, Step::Publish}) {
        SCOPED_TRACE(int(step));
        FSSpec fileSpec = MakeFile("f", {{1, {1}}});
        Bytes old = testsupport::ReadBytes(folder / "f");
        ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
        AddResource(MakeHandle({2}), kText, 2, nullptr);
        toolbox::FailAtomicWriteForTesting(step);
        UpdateResFile(refNum);
        EXPECT_EQ(ResError(), ioErr);
        EXPECT_EQ(testsupport::ReadBytes(folder / "f"), old);
        EXPECT_EQ(testsupport::FolderEntries(folder.path()), std::vector<std::string>{"f"}) << "temporary file left";
        CloseResFile(refNum);  // tries again, and now succeeds
        EXPECT_EQ(ResError(), noErr);
        refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
        EXPECT_EQ(HandleBytes(Get1Resource(kText, 2)), Bytes{2});
        CloseResFile(refNum);
        std::filesystem::remove(folder / "f");
    }
}

TEST_F(ResourceFile, AWriteClearsOnlyStaleTemporariesOfItsOwnFile) {
    FSSpec fileSpec = MakeFile("f", {});
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const char* name : {".f.tmp-crashed", ".f.tmp-young", ".g.tmp-other", "f.tmp-visible"}) {
        testsupport::WriteBytes(folder / name, {1});
        if (std::string(name) != ".f.tmp-young") std::filesystem::last_write_time(folder / name, old);
    }
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    AddResource(MakeHandle({1}), kText, 1, nullptr);
    CloseResFile(refNum);
    ASSERT_EQ(ResError(), noErr);
    EXPECT_EQ(testsupport::FolderEntries(folder.path()),
              (std::vector<std::string>{".f.tmp-young", ".g.tmp-other", "f", "f.tmp-visible"}));
}

TEST_F(ResourceFile, AFolderThatVanishedIsReportedAndTheFileStillCloses) {
    std::filesystem::create_directory(folder / "sub");
    FSSpec fileSpec = restest::MakeResourceFile(folder / "sub/f", {});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    AddResource(MakeHandle({1}), kText, 1, nullptr);
    std::filesystem::remove_all(folder / "sub");
    CloseResFile(refNum);
    EXPECT_EQ(ResError(), dirNFErr);
    EXPECT_TRUE(toolbox::OpenResFiles().empty());
}

TEST_F(ResourceFile, GetIndStringReadsEntriesAndNeverPastADamagedList) {
    FSSpec fileSpec = restest::MakeResourceFile(folder / "lists", {});
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    AddResource(MakeHandle(*toolbox::BuildStringList({"one", "", std::string(255, 'z')})), kStringListResourceType,
                128, nullptr);
    AddResource(MakeHandle({0, 3, 1, 'a', 5, 'b'}), kStringListResourceType, 129, nullptr);  // cut short
    AddResource(MakeHandle({0}), kStringListResourceType, 130, nullptr);
    struct Case {
        SInt16 list, index;
        std::string expected;
    } cases[] = {{128, 1, "one"}, {128, 2, ""}, {128, 3, std::string(255, 'z')}, {128, 4, ""}, {128, 0, ""},
                 {128, -1, ""},   {129, 1, ""},  {130, 1, ""},                     {131, 1, ""}};
    for (const auto& c : cases) {
        Str255 text;
        std::memset(text, 0xEE, sizeof text);
        GetIndString(text, c.list, c.index);
        EXPECT_EQ(restest::FromPascal(text), c.expected) << c.list << "/" << c.index;
    }
    CloseResFile(refNum);
}

TEST(StringLists, BuildAndParseAreExactInverses) {
    auto data = toolbox::BuildStringList({"ab", ""});
    ASSERT_TRUE(data);
    EXPECT_EQ(*data, (Bytes{0, 2, 2, 'a', 'b', 0}));
    EXPECT_EQ(*toolbox::ParseStringList(*data), (std::vector<std::string>{"ab", ""}));
    EXPECT_FALSE(toolbox::BuildStringList({std::string(256, 'x')}));
    data->push_back(0);
    EXPECT_FALSE(toolbox::ParseStringList(*data)) << "bytes beyond the last string";
    EXPECT_FALSE(toolbox::ParseStringList(Bytes{0}));
}

}  // namespace
