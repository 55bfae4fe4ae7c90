// Launch Services: documents go to the opener by absolute path; a missing document or a
// missing opener is reported, never hidden.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bundles/LaunchServices.h"
#include "support/Files.h"

namespace {

namespace fs = std::filesystem;

class LaunchServicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(dir_ / "Thing.bundle");
        std::ofstream(dir_ / "manual.pdf") << "%PDF";
        toolbox::SetDocumentOpener([this](const std::string& path) {
            opened_.push_back(path);
            return status_;
        });
    }
    void TearDown() override { toolbox::SetDocumentOpener({}); }

    FSRef Ref(const fs::path& p) {
        FSRef ref{};
        EXPECT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(p.c_str()), &ref, nullptr), noErr);
        return ref;
    }

    testsupport::TempFolder folder_;
    fs::path dir_ = folder_.path() / "ls test";
    std::vector<std::string> opened_;
    OSStatus status_ = noErr;
};

TEST_F(LaunchServicesTest, OpenersGetTheDocumentsPathAndTheirStatusComesBack) {
    FSRef manual = Ref(dir_ / "manual.pdf");
    FSRef launched{};
    EXPECT_EQ(LSOpenFSRef(&manual, &launched), noErr);
    status_ = kLSApplicationNotFoundErr;
    EXPECT_EQ(LSOpenFSRef(&manual, nullptr), kLSApplicationNotFoundErr);
    CFURLRef url = toolbox::CreateFileURL((dir_ / "manual.pdf").string(), false);
    status_ = noErr;
    CFURLRef out = nullptr;
    EXPECT_EQ(LSOpenCFURLRef(url, &out), noErr);
    EXPECT_NE(out, nullptr);
    CFRelease(out);
    CFRelease(url);
    EXPECT_EQ(opened_, std::vector<std::string>(3, (dir_ / "manual.pdf").string()));
}

TEST_F(LaunchServicesTest, MissingDocumentsAndBadArgumentsReachNoOpener) {
    CFURLRef missing = toolbox::CreateFileURL((dir_ / "gone.pdf").string(), false);
    EXPECT_EQ(LSOpenCFURLRef(missing, nullptr), fnfErr);
    CFRelease(missing);
    EXPECT_EQ(LSOpenCFURLRef(nullptr, nullptr), paramErr);
    EXPECT_EQ(LSOpenFSRef(nullptr, nullptr), paramErr);
    EXPECT_TRUE(opened_.empty());
}

TEST_F(LaunchServicesTest, WithoutXdgOpenOnThePathTheDesktopOpenerReportsNoApplication) {
    toolbox::SetDocumentOpener({});
    const char* old = std::getenv("PATH");
    std::string saved = old ? old : "";
    setenv("PATH", dir_.c_str(), 1);
    EXPECT_EQ(toolbox::FindDesktopOpener(), "");
    FSRef manual = Ref(dir_ / "manual.pdf");
    EXPECT_EQ(LSOpenFSRef(&manual, nullptr), kLSApplicationNotFoundErr);
    // A stand-in xdg-open that fails is reported as a failed launch.
    fs::path fake = dir_ / "xdg-open";
    std::ofstream(fake) << "#!/bin/sh\nexit 4\n";
    fs::permissions(fake, fs::perms::owner_all);
    EXPECT_EQ(toolbox::FindDesktopOpener(), fake.string());
    EXPECT_EQ(LSOpenFSRef(&manual, nullptr), kLSUnknownErr);
    std::ofstream(fake) << "#!/bin/sh\ntest \"$1\" = '" << (dir_ / "manual.pdf").string() << "'\n";
    EXPECT_EQ(LSOpenFSRef(&manual, nullptr), noErr);
    setenv("PATH", saved.c_str(), 1);
    fs::remove(fake);
}

TEST_F(LaunchServicesTest, ItemInfoTellsFoldersAndPackagesFromFiles) {
    const struct {
        const char* name;
        LSItemInfoFlags flags;
    } cases[] = {{"manual.pdf", kLSItemInfoIsPlainFile},
                 {"Thing.bundle", kLSItemInfoIsContainer | kLSItemInfoIsPackage},
                 {"", kLSItemInfoIsContainer}};
    for (const auto& c : cases) {
        FSRef ref = Ref(std::string(c.name).empty() ? dir_ : dir_ / c.name);
        LSItemInfoRecord info{};
        EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestBasicFlagsOnly, &info), noErr);
        EXPECT_EQ(info.flags, c.flags) << c.name;
    }
    FSRef ref = Ref(dir_ / "manual.pdf");
    LSItemInfoRecord info{kLSItemInfoIsVolume, 0, 0, nullptr, nullptr, 0};
    EXPECT_EQ(LSCopyItemInfoForRef(&ref, kLSRequestNoInfo, &info), noErr);
    EXPECT_EQ(info.flags, 0u);
}

}  // namespace
