// Text, number, command-code, file-reference and nib-window utilities.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "effect/CommonProcsText.h"

namespace {

std::string Text(ConstStr255Param s) { return std::string(reinterpret_cast<const char*>(s + 1), s[0]); }

void P(const std::string& text, Str255 out) {
    out[0] = UInt8(text.size());
    std::memcpy(out + 1, text.data(), text.size());
}

std::string SourceDir() {
    const char* dir = std::getenv("TONEFADE_SOURCE_DIR");
    return dir ? dir : ".";
}

void RegisterTestBundle() {
    std::string error;
    ASSERT_NE(toolbox::RegisterBundle(SourceDir() + "/tests/data/dialogkit/DialogKit.bundle", &error), nullptr) << error;
}

TEST(String2RealTest, ReadsWhatFitsAndStopsAtTheFirstCharacterThatDoesNot) {
    const struct {
        const char* text;
        double value;
    } cases[] = {{"12.5", 12.5},   {"-0,25", -0.25}, {".5", 0.5},     {"7kg", 7},     {"kg7", 0},      {"", 0},
                 {"abc", 0},       {"-", 0},         {"1,5", 1.5},    {"3.", 3},      {".25", 0.25},   {"12.34.56", 12.34},
                 {"-12", -12},     {"007", 7},       {"1-2", 1},      {",75", 0.75},  {"2147483648", 2147483648.0}};
    for (const auto& c : cases) {
        Str255 s;
        P(c.text, s);
        double v = 99;
        String2Real(s, v);
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
        EXPECT_EQ(Text(s), c.text) << c.value;
    }
}

TEST(Real2StringTest, ValuesBeyond32BitsAndNaNGiveNoFractionAndNoCrash) {
    Str255 s;
    Real2String(1e12, s);
    EXPECT_EQ(Text(s), "2147483647");
    Real2String(-1e12, s);
    EXPECT_EQ(Text(s), "-2147483648");
    Real2String(std::nan(""), s);
    EXPECT_EQ(Text(s), "0");
}

TEST(Num2TextTest, DecimalWithOptionalMinusAndNoGrouping) {
    const struct {
        SInt32 n;
        const char* text;
    } cases[] = {{0, "0"}, {-1, "-1"}, {1234567, "1234567"}, {2147483647, "2147483647"}, {INT32_MIN, "-2147483648"}};
    for (const auto& c : cases) {
        Str255 s;
        Num2Text(c.n, s);
        EXPECT_EQ(Text(s), c.text);
    }
}

TEST(CommandCodeTest, FirstCharacterIsTheMostSignificantByteOnEveryProcessor) {
    Str255 s;
    P("ok  ", s);
    EXPECT_EQ(String2Command(s), 0x6F6B2020u);
    P("Info", s);
    Str32 back;
    Command2String(String2Command(s), back);
    EXPECT_EQ(back[0], 4);
    EXPECT_EQ(Text(back), "Info");
    Command2String(0x6F6B2020u, back);
    const UInt8 expected[5] = {4, 0x6F, 0x6B, 0x20, 0x20};
    EXPECT_EQ(std::memcmp(back, expected, 5), 0);
    P("Medium", s);  // only the first four characters count
    EXPECT_EQ(String2Command(s), FOUR_CHAR_CODE("Medi"));
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

TEST(WordTest, HiAndLoWordsAreSigned16BitHalves) {
    const struct {
        UInt32 x;
        SInt16 hi, lo;
    } cases[] = {{0xFFFF0001u, -1, 1}, {0x00018000u, 1, -32768}, {0, 0, 0}, {0x7FFFFFFFu, 32767, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(CarbonHiWord(SInt32(c.x)), c.hi);
        EXPECT_EQ(CarbonLoWord(SInt32(c.x)), c.lo);
    }
}

TEST(SgnTest, ZeroCountsAsPositive) {
    EXPECT_EQ(Sgn(0), 1);
    EXPECT_EQ(Sgn(-0.0), 1);
    EXPECT_EQ(Sgn(-1e-300), -1);
    EXPECT_EQ(Sgn(5), 1);
    SInt16 a = 3, b = -4;
    SwapInt(a, b);
    EXPECT_EQ(a, -4);
    EXPECT_EQ(b, 3);
}

TEST(CF2PStringTest, MacRomanOrEmpty) {
    Str255 s;
    P("junk", s);
    CF2PString(nullptr, s);
    EXPECT_EQ(s[0], 0);
    CFStringRef accented = CFStringCreateWithCString(nullptr, "caf\xC3\xA9", kCFStringEncodingUTF8);
    CF2PString(accented, s);
    EXPECT_EQ(Text(s), "caf\x8E");
    CFRelease(accented);
    CFStringRef foreign = CFStringCreateWithCString(nullptr, "\xE6\x97\xA5", kCFStringEncodingUTF8);
    CF2PString(foreign, s);
    EXPECT_EQ(s[0], 0);
    CFRelease(foreign);
    std::string longText(256, 'a');
    CFStringRef tooLong = CFStringCreateWithCString(nullptr, longText.c_str(), kCFStringEncodingUTF8);
    CF2PString(tooLong, s);
    EXPECT_EQ(s[0], 0);
    CFRelease(tooLong);
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

TEST(ModifierTest, EachKeyIsReadFromItsOwnBit) {
    const struct {
        UInt32 mods;
        bool shift, ctrl, option, command;
    } cases[] = {{0, false, false, false, false},
                 {shiftMask, true, false, false, false},
                 {ctrlMask, false, true, false, false},
                 {optionMask, false, false, true, false},
                 {cmdMask, false, false, false, true},
                 {shiftMask | optionMask | alphaLock, true, false, true, false}};
    for (const auto& c : cases) {
        toolbox::SetCurrentKeyModifiers(c.mods);
        EXPECT_EQ(bool(IsShiftDown()), c.shift) << c.mods;
        EXPECT_EQ(bool(IsCtrlDown()), c.ctrl) << c.mods;
        EXPECT_EQ(bool(IsOptionDown()), c.option) << c.mods;
        EXPECT_EQ(bool(IsCommandDown()), c.command) << c.mods;
    }
    toolbox::SetCurrentKeyModifiers(0);
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
    Str255 code;
    P("Rset", code);
    PostCommand(code);
    EXPECT_EQ(toolbox::LivePtrCount(), before);
    RemoveEventHandler(handler);
    ASSERT_EQ(gPosted.size(), 1u);
    EXPECT_EQ(gPosted[0].commandID, FOUR_CHAR_CODE("Rset"));
    EXPECT_EQ(gPosted[0].attributes, 0u);
    EXPECT_EQ(gPosted[0].menu.menuRef, nullptr);
    EXPECT_EQ(gPosted[0].menu.menuItemIndex, 0);
}

TEST(PostCommandDeathTest, FailedAllocationEndsWithTheAssertionAlert) {
    Str255 code;
    P("Rset", code);
    EXPECT_EXIT(
        {
            toolbox::ArmFault(toolbox::FaultSite::Memory, 1);
            PostCommand(code);
        },
        ::testing::ExitedWithCode(toolbox::kExitToShellStatus),
        "Assertion Failure: Assertion failed in: Allocating HICommand from post command");
}

TEST(FileReferenceTest, ConversionsNamesAndFolders) {
    namespace fs = std::filesystem;
    fs::path dir = fs::path(::testing::TempDir()) / "cptext dir";
    fs::create_directories(dir);
    fs::path file = dir / "notes.txt";
    std::ofstream(file) << "x";
    FSRef fileRef{}, dirRef{};
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(file.c_str()), &fileRef, nullptr), noErr);
    ASSERT_EQ(FSPathMakeRef(reinterpret_cast<const UInt8*>(dir.c_str()), &dirRef, nullptr), noErr);
    Str255 name;
    GetNameFromFSRef(fileRef, name);
    EXPECT_EQ(Text(name), "notes.txt");
    FSRef back = FSSpec2FSRef(FSRef2FSSpec(fileRef));
    UInt8 path[1024];
    ASSERT_EQ(FSRefMakePath(&back, path, sizeof path), noErr);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(path)), file.string());
    CFStringRef url = FSRef2CFString(fileRef);
    EXPECT_EQ(toolbox::CFStringToUTF8(url), "file://" + fs::path(dir).string().replace(dir.string().find(' '), 1, "%20") + "/notes.txt");
    CFRelease(url);
    EXPECT_FALSE(IsFileAFolder(fileRef));
    EXPECT_TRUE(IsFileAFolder(dirRef));
}

TEST(OpenNibWindowTest, EmptyNibNameOpensTheWindowFromThePlugInsOwnNib) {
    RegisterTestBundle();
    WindowRef window = OpenNibWindowFromCFBundle("org.tonefade.test.dialogkit", "", "macros");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(toolbox::WindowName(window), "macros");
    EXPECT_FALSE(IsWindowVisible(window));  // the caller shows it
    DisposeWindow(window);
}

TEST(OpenNibWindowDeathTest, FailuresEndTheProcessWithTheirAlertOrExitStatus) {
    RegisterTestBundle();
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
