// Text, number, command-code, file-reference and nib-window utilities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "dialog/CarbonMacros.h"
#include "effect/CommonProcsText.h"
#include "support/ResourceBytes.h"
#include "support/Toolbox.h"

namespace {

using restest::FromPascal;
using restest::Pascal;

TEST(String2RealTest, ReadsWhatFitsAndStopsAtTheFirstCharacterThatDoesNot) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"12.5", 12.5},   {"-0,25", -0.25}, {".5", 0.5},     {"7kg", 7},     {"kg7", 0},      {"", 0},
                 {"abc", 0},       {"-", 0},         {"1,5", 1.5},    {"3.", 3},      {".25", 0.25},   {"12.34.56", 12.34},
                 {"-12", -12},     {"007", 7},       {"1-2", 1},      {",75", 0.75},  {"2147483648", 2147483648.0}};
    for (const auto& c : cases) {
        double v = 99;
        String2Real(Pascal(c.text), v);
        EXPECT_DOUBLE_EQ(v, c.value) << '"' << c.text << '"';
        EXPECT_FALSE(std::signbit(v) && v == 0) << "negative zero for " << c.text;
    }
}

TEST(Real2StringTest, WritesFourDecimalsByTruncation) {
    const struct {
        double value;
        const char* text;
    } cases[] = {{0, "0"},          {0.5, "0.5000"},     {-0.5, "-0.5000"}, {1.23456, "1.2345"}, {10, "10"},
                 {2.5, "2.5000"},   {0.0625, "0.0625"},  {-2.25, "-2.2500"}, {1.00004, "1"},     {0.3, "0.3000"},
                 {-0.00005, "0"},   {0.0001, "0.0001"},  {-7, "-7"},        {0.99999, "0.9999"},
                 {2147483647.5, "2147483647.5000"}};
    for (const auto& c : cases) {
        Str255 s;
        Real2String(c.value, s);
        EXPECT_EQ(FromPascal(s), c.text) << c.value;
    }
}

// Values beyond 32 bits and NaN give no fraction and no crash.
TEST(Real2StringTest, ValuesBeyond32BitsAndNaNGiveNoFractionAndNoCrash) {
    for (auto [value, text] : {std::pair{1e12, "2147483647"}, {-1e12, "-2147483648"}, {std::nan(""), "0"}}) {
        Str255 s;
        Real2String(value, s);
        EXPECT_EQ(FromPascal(s), text);
    }
}

// Command codes and their texts: the first character is the most significant byte on
// every processor, and only the first four characters count.
TEST(CommandCodeTest, FirstCharacterIsTheMostSignificantByteOnEveryProcessor) {
    EXPECT_EQ(String2Command(Pascal("ok  ")), 0x6F6B2020u);
    EXPECT_EQ(String2Command(Pascal("Medium")), FOUR_CHAR_CODE("Medi"));
    Str32 back;
    Command2String(String2Command(Pascal("Info")), back);
    EXPECT_EQ(FromPascal(back), "Info");
    Command2String(0x6F6B2020u, back);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(back), 5), "\x04ok  ");
    Str255 s;
    CommandID2Str(0x6F6B2020, s);
    EXPECT_EQ(FromPascal(s), "ok  ");
    CommandID2Str(FOUR_CHAR_CODE("Info"), s);
    EXPECT_EQ(FromPascal(s), "Info");
}

TEST(ZeroDelimitStringTest, PutsTheZeroAfterTheTextOrOnTheLastCharacter) {
    const struct {
        int length;
        int zeroAt;
    } cases[] = {{0, 1}, {3, 4}, {253, 254}, {254, 255}, {255, 255}};
    for (const auto& c : cases) {
        Str255 s;
        std::memset(s, 'x', sizeof s);
        s[0] = UInt8(c.length);
        ZeroDelimitString(s);
        EXPECT_EQ(s[0], c.length);
        EXPECT_EQ(s[c.zeroAt], 0) << c.length;
        if (c.zeroAt > 1) {
            EXPECT_EQ(s[c.zeroAt - 1], 'x');
        }
    }
}

TEST(CF2PStringTest, MacRomanOrEmpty) {
    Pascal s("junk");
    CF2PString(nullptr, s.text);
    EXPECT_EQ(s.text[0], 0);
    // Mac Roman where it can be; a character outside it or a text too long gives "".
    for (auto [utf8, text] : {std::pair<std::string, std::string>{"caf\xC3\xA9", "caf\x8E"}, {"\xE6\x97\xA5", ""},
                              {std::string(256, 'a'), ""}}) {
        CFStringRef cf = CFStringCreateWithCString(nullptr, utf8.c_str(), kCFStringEncodingUTF8);
        CF2PString(cf, s.text);
        EXPECT_EQ(FromPascal(s.text), text);
        CFRelease(cf);
    }
}

TEST(CloneObjectTest, CopiesHeapBlocksAndRefusesWhatItCannot) {
    EXPECT_EQ(CloneObject(nullptr), nullptr);
    Ptr block = NewPtr(16);
    for (int i = 0; i < 16; ++i) block[i] = char(i * 3);
    Ptr copy = CloneObject(block);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, block);
    EXPECT_EQ(GetPtrSize(copy), 16);
    EXPECT_EQ(std::memcmp(copy, block, 16), 0);
    DisposePtr(copy);
    toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
    EXPECT_EQ(CloneObject(block), nullptr);
    toolbox::ArmFault(toolbox::FaultSite::Memory, 0);
    DisposePtr(block);
}

std::vector<HICommand> gPosted;
OSStatus RecordPosted(EventHandlerCallRef, EventRef event, void*) {
    HICommand command{};
    GetEventParameter(event, kEventParamDirectObject, typeHICommand, nullptr, sizeof command, nullptr, &command);
    gPosted.push_back(command);
    return noErr;
}

TEST(PostCommandTest, SendsAnHICommandToTheApplicationAndFreesItsRecord) {
    gPosted.clear();
    EventTypeSpec fileSpec{kEventClassCommand, kEventCommandProcess};
    EventHandlerRef handler = nullptr;
    InstallEventHandler(GetApplicationEventTarget(), RecordPosted, 1, &fileSpec, nullptr, &handler);
    const long before = toolbox::LivePtrCount();
    PostCommand(Pascal("Rset"));
    EXPECT_EQ(toolbox::LivePtrCount(), before);
    RemoveEventHandler(handler);
    ASSERT_EQ(gPosted.size(), 1u);
    EXPECT_EQ(gPosted[0].commandID, FOUR_CHAR_CODE("Rset"));
    EXPECT_EQ(gPosted[0].attributes, 0u);
    EXPECT_EQ(gPosted[0].menu.menuRef, nullptr);
    EXPECT_EQ(gPosted[0].menu.menuItemIndex, 0);
}

TEST(PostCommandDeathTest, FailedAllocationEndsWithTheAssertionAlert) {
    EXPECT_EXIT(
        {
            toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
            PostCommand(Pascal("Rset"));
        },
        ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
        "Assertion Failure: Assertion failed in: Allocating HICommand from post command");
}

TEST(FileReferenceTest, ConversionsNamesAndFolders) {
    namespace fs = std::filesystem;
    testsupport::TempFolder folder;
    fs::path dir = folder.path() / "cptext dir";
    fs::create_directories(dir);
    fs::path file = dir / "notes.txt";
    std::ofstream(file) << "x";
    FSRef fileRef{}, dirRef{};
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &fileRef, nullptr), noErr);
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(dir.c_str()), &dirRef, nullptr), noErr);
    Str255 name;
    GetNameFromFSRef(fileRef, name);
    EXPECT_EQ(FromPascal(name), "notes.txt");
    FSRef back = FSSpec2FSRef(FSRef2FSSpec(fileRef));
    UInt8 path[1024];
    ASSERT_EQ(FSRefMakePath(&back, path, sizeof path), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), file.string());
    CFStringRef url = FSRef2CFString(fileRef);
    EXPECT_EQ(toolbox::CFStringToUTF8(url), "file://" + testsupport::Replaced(dir.string(), " ", "%20") + "/notes.txt");
    CFRelease(url);
    EXPECT_TRUE(!IsFileAFolder(fileRef) && IsFileAFolder(dirRef));
}

TEST(OpenNibWindowTest, EmptyNibNameOpensTheWindowFromThePlugInsOwnNib) {
    testsupport::RegisterDialogKit();
    WindowRef window = OpenNibWindowFromCFBundle("org.tonefade.test.dialogkit", "", "macros");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(toolbox::WindowName(window), "macros");
    EXPECT_FALSE(IsWindowVisible(window));  // the caller shows it
    DisposeWindow(window);
}

TEST(OpenNibWindowDeathTest, FailuresEndTheProcessWithTheirAlertOrExitStatus) {
    testsupport::RegisterDialogKit();
    EXPECT_EXIT(OpenNibWindowFromCFBundle("org.nowhere.bundle", "tonefade", "macros"),
                ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
                "Assertion Failure: Assertion failed in:  Cannot allocate bundle for ID = org.nowhere.bundle");
    EXPECT_EXIT(OpenNibWindowFromCFBundle("org.tonefade.test.dialogkit", "nonib", "macros"),
                ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
                "OpenNibWindow Failed: Unable to CreateNibReferenceWithCFBundle for \"org.tonefade.test.dialogkit/nonib\" "
                "as it returned errcode #-10960\\.");
    // -10962 (no such window) ends with its low byte, 0x2E; -10961 (malformed) with 0x2F.
    EXPECT_EXIT(OpenNibWindowFromCFBundle("org.tonefade.test.dialogkit", "dialogkit", "absent"),
                ::testing::ExitedWithCode(0x2E), "");
    EXPECT_EXIT(OpenNibWindowFromCFBundle("org.tonefade.test.dialogkit", "dialogkit", "broken"),
                ::testing::ExitedWithCode(0x2F), "");
    EXPECT_EXIT(OpenNibWindow("", "main"), ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
                "OpenNibWindow Failed: Unable to CreateNibReference for \"main\" as it returned errcode #-10960\\.");
}

}  // namespace
