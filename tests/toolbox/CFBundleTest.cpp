// Bundles and file URLs: registration from Info.plist and its failures, resource
// lookup that stays inside the bundle, the bundle's resource file in the chain, and
// the plug-in bundle as the build made it.
#include <gtest/gtest.h>

#include <cstdlib>

#include "Carbon.h"
#include "support/ResourceBytes.h"

namespace {

using restest::Pascal;

std::string Plist(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n" + entries +
           "</dict>\n</plist>\n";
}

void WriteText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    testsupport::WriteBytes(path, restest::Bytes(text.begin(), text.end()));
}

std::string UTF8(CFTypeRef value) { return toolbox::CFStringToUTF8(static_cast<CFStringRef>(value)); }

class Bundle : public ::testing::Test {
protected:
    void TearDown() override {
        for (ResFileRefNum refNum : toolbox::OpenResFiles()) CloseResFile(refNum);
    }
    // A bundle folder whose Info.plist holds `entries`.
    std::string MakeBundle(const std::string& name, const std::string& entries) {
        std::string path = folder / name;
        WriteText(path + "/Contents/Info.plist", Plist(entries));
        return path;
    }
    testsupport::TempFolder folder;
};

TEST_F(Bundle, RegistrationReadsTheIdentifierAndStringValues) {
    std::string path = MakeBundle("X.bundle",
                                  "<key>CFBundleIdentifier</key><string>test.bundle.one</string>\n"
                                  "<key>CFBundleVersion</key>\n<string>2.5 &amp; more</string>\n"
                                  "<key>Count</key><integer>3</integer>\n");
    std::string error;
    CFBundleRef bundle = toolbox::RegisterBundle(path, &error);
    ASSERT_NE(bundle, nullptr) << error;
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("test.bundle.one")), bundle);
    EXPECT_EQ(UTF8(CFBundleGetIdentifier(bundle)), "test.bundle.one");
    EXPECT_EQ(UTF8(CFBundleGetValueForInfoDictionaryKey(bundle, kCFBundleVersionKey)), "2.5 & more");
    EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(bundle, CFSTR("Count")), nullptr);
    EXPECT_EQ(toolbox::BundleExecutableName(bundle), "X");
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("test.bundle.other")), nullptr);
    EXPECT_EQ(CFBundleGetMainBundle(), nullptr);
}

TEST_F(Bundle, BrokenBundlesAreRefusedWithAReason) {
    WriteText(folder / "Bad.bundle/Contents/Info.plist", "<plist><dict><key>CFBundleIdentifier</key><string>x");
    WriteText(folder / "Array.bundle/Contents/Info.plist", "<plist><array/></plist>");
    std::filesystem::create_directories(folder / "Empty.bundle");
    struct Case {
        const char* what;
        std::string path;
    } cases[] = {
        {"no folder", folder / "Missing.bundle"},
        {"no Info.plist", folder / "Empty.bundle"},
        {"malformed XML", folder / "Bad.bundle"},
        {"no identifier", MakeBundle("NoId.bundle", "<key>CFBundleName</key><string>n</string>")},
        {"empty identifier", MakeBundle("EmptyId.bundle", "<key>CFBundleIdentifier</key><string></string>")},
        {"not a dictionary", folder / "Array.bundle"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(toolbox::RegisterBundle(c.path, &error), nullptr) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
    }
}

TEST_F(Bundle, ResourceURLsAreFoundInResourcesAndLprojAndNeverOutside) {
    std::string path = MakeBundle("R.bundle", "<key>CFBundleIdentifier</key><string>test.bundle.r</string>");
    WriteText(path + "/Contents/Resources/manual.pdf", "%PDF");
    WriteText(path + "/Contents/Resources/English.lproj/about.nib", "nib");
    WriteText(path + "/Contents/Resources/sub/x.txt", "x");
    WriteText(path + "/Contents/secret.pdf", "no");
    CFBundleRef bundle = toolbox::RegisterBundle(path, nullptr);
    ASSERT_NE(bundle, nullptr);
    struct Case {
        const char *name, *type, *subDir, *found;
    } cases[] = {
        {"manual", "pdf", nullptr, "Contents/Resources/manual.pdf"},
        {"manual.pdf", nullptr, nullptr, "Contents/Resources/manual.pdf"},
        {"about", "nib", nullptr, "Contents/Resources/English.lproj/about.nib"},
        {"x", "txt", "sub", "Contents/Resources/sub/x.txt"},
        {"manual", "txt", nullptr, nullptr},
        {"../secret", "pdf", nullptr, nullptr},
        {"secret", "pdf", "..", nullptr},
    };
    for (const auto& c : cases) {
        CFStringRef name = CFSTR(c.name), type = c.type ? CFSTR(c.type) : nullptr;
        CFStringRef subDir = c.subDir ? CFSTR(c.subDir) : nullptr;
        const long live = toolbox::LiveCFObjectCount();
        CFURLRef url = CFBundleCopyResourceURL(bundle, name, type, subDir);
        if (c.found == nullptr) {
            EXPECT_EQ(url, nullptr) << c.name;
            continue;
        }
        ASSERT_NE(url, nullptr) << c.name;
        EXPECT_EQ(toolbox::CFURLToPath(url), std::filesystem::canonical(path).string() + "/" + c.found);
        CFRelease(url);
        EXPECT_EQ(toolbox::LiveCFObjectCount(), live) << "the URL was not freed";
    }
}

TEST(FileURL, TextAndPathsOfAFileURL) {
    const char* path = "/tmp/a b/caf\xC3\xA9.pdf";
    CFURLRef url = CFURLCreateFromFileSystemRepresentation(nullptr, reinterpret_cast<const UInt8*>(path),
                                                           CFIndex(std::strlen(path)), false);
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(toolbox::CFStringToUTF8(CFURLGetString(url)), "file:///tmp/a%20b/caf%C3%A9.pdf");
    CFStringRef copied = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    EXPECT_EQ(toolbox::CFStringToUTF8(copied), path);
    CFRelease(copied);
    UInt8 buffer[64];
    EXPECT_TRUE(CFURLGetFileSystemRepresentation(url, true, buffer, CFIndex(std::strlen(path) + 1)));
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), path);
    EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, buffer, CFIndex(std::strlen(path))));
    FSRef ref;
    EXPECT_FALSE(CFURLGetFSRef(url, &ref)) << "no such file";
    CFRelease(url);
    CFURLRef dir = toolbox::CreateFileURL("/tmp/", true);
    EXPECT_EQ(toolbox::CFStringToUTF8(CFURLGetString(dir)), "file:///tmp/");
    EXPECT_TRUE(CFURLGetFSRef(dir, &ref));
    CFRelease(dir);
}

TEST_F(Bundle, TheBundleResourceFileJoinsTheChainReadOnly) {
    std::string path = MakeBundle("S.bundle", "<key>CFBundleIdentifier</key><string>test.bundle.s</string>"
                                              "<key>CFBundleExecutable</key><string>Exe</string>");
    std::filesystem::create_directories(path + "/Contents/Resources");
    FSSpec fileSpec;
    toolbox::PathToFSSpec(path + "/Contents/Resources/Exe.rsrc", &fileSpec);
    FSpCreateResFile(&fileSpec, 0, 0, smSystemScript);
    ResFileRefNum writer = FSpOpenResFile(&fileSpec, fsRdWrPerm);
    AddResource(restest::MakeHandle(*toolbox::BuildStringList({"hello"})), kStringListResourceType, 500, nullptr);
    CloseResFile(writer);
    CFBundleRef bundle = toolbox::RegisterBundle(path, nullptr);
    ASSERT_NE(bundle, nullptr);
    ResFileRefNum refNum = toolbox::OpenBundleResourceFile(bundle);
    ASSERT_NE(refNum, -1);
    EXPECT_EQ(CurResFile(), refNum);
    Str255 text;
    GetIndString(text, 500, 1);
    EXPECT_EQ(restest::FromPascal(text), "hello");
    Handle h = restest::MakeHandle({1});
    AddResource(h, kStringListResourceType, 501, nullptr);
    EXPECT_EQ(ResError(), wrPermErr);
    DisposeHandle(h);
    std::filesystem::remove(path + "/Contents/Resources/Exe.rsrc");
    CloseResFile(refNum);
    EXPECT_EQ(toolbox::OpenBundleResourceFile(bundle), -1);
    EXPECT_EQ(ResError(), fnfErr);
}

// The bundle the build produced: its identity and the texts the host is shown.
TEST_F(Bundle, TheBuiltPlugInBundleDescribesItselfWithinTheHostsFields) {
    const char* buildDir = std::getenv("TONEFADE_BUILD_DIR");
    if (buildDir == nullptr) GTEST_SKIP() << "TONEFADE_BUILD_DIR is not set";
    std::string error;
    CFBundleRef bundle = toolbox::RegisterBundle(std::string(buildDir) + "/Tonefade.bundle", &error);
    ASSERT_NE(bundle, nullptr) << error;
    EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.qorvel.lumiset.tonefade")), bundle);
    EXPECT_EQ(UTF8(CFBundleGetValueForInfoDictionaryKey(bundle, kCFBundleVersionKey)), "1.0");
    EXPECT_EQ(UTF8(CFBundleGetValueForInfoDictionaryKey(bundle, kCFBundleNameKey)), "Tonefade");
    EXPECT_EQ(toolbox::BundleExecutableName(bundle), "Tonefade");
    ASSERT_NE(toolbox::OpenBundleResourceFile(bundle), -1) << ResError();
    struct List {
        SInt16 id, count;
        std::size_t limit;
    } lists[] = {{128, 3, 127}, {129, 6, 127}, {130, 1, 31}, {17000, 1, 127}};
    for (const auto& list : lists) {
        Str255 text;
        for (SInt16 i = 1; i <= list.count; ++i) {
            GetIndString(text, list.id, i);
            EXPECT_GT(text[0], 0) << list.id << "/" << i;
            EXPECT_LE(std::size_t(text[0]), list.limit) << list.id << "/" << i;
        }
        GetIndString(text, list.id, SInt16(list.count + 1));
        EXPECT_EQ(text[0], 0) << "list " << list.id << " has more entries than the host reads";
    }
}

}  // namespace
