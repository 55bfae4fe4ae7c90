// Memory Manager blocks and faults, Mac Roman text, Pascal strings and standard alerts.
#include <gtest/gtest.h>

#include <cstring>

#include "Carbon.h"

namespace {

TEST(Memory, BlocksKnowTheirSizeAndFaultsFailTheChosenCall) {
    const long live = toolbox::LivePtrCount();
    Ptr p = NewPtrClear(37);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(GetPtrSize(p), 37);
    EXPECT_EQ(std::count(p, p + 37, 0), 37);
    toolbox::ArmFault(toolbox::FaultSite::Memory, 2);
    Ptr first = NewPtr(8);
    Ptr second = NewPtr(8);
    EXPECT_NE(first, nullptr);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(MemError(), memFullErr);
    EXPECT_EQ(NewPtr(-1), nullptr);
    EXPECT_EQ(MemError(), paramErr);
    Handle h = NewHandleClear(4);
    SetHandleSize(h, 10);
    EXPECT_EQ(GetHandleSize(h), 10);
    DisposeHandle(h);
    DisposePtr(first);
    DisposePtr(p);
    EXPECT_EQ(toolbox::LivePtrCount(), live);
}

TEST(Text, MacRomanRoundTripsAndPascalStrings) {
    unsigned char roman[256];
    for (int i = 0; i < 256; ++i) roman[i] = UInt8(i);
    std::string utf8 = toolbox::MacRomanToUTF8(roman + 1, 255);
    bool lossless = false;
    std::string back = toolbox::UTF8ToMacRoman(utf8, &lossless);
    EXPECT_TRUE(lossless);
    EXPECT_EQ(back, std::string(reinterpret_cast<char*>(roman + 1), 255));
    EXPECT_EQ(toolbox::MacRomanToUTF8(reinterpret_cast<const unsigned char*>("\xA5\xD5"), 2), "•’");
    EXPECT_EQ(toolbox::UTF8ToMacRoman("a€\xFF"), "a\xDB?");

    Str255 p;
    CopyCStringToPascal(std::string(300, 'x').c_str(), p);
    EXPECT_EQ(p[0], 255);
    CFStringRef s = CFStringCreateWithPascalString(nullptr, p, kCFStringEncodingMacRoman);
    EXPECT_EQ(CFStringGetLength(s), 255);
    char small[10];
    EXPECT_FALSE(CFStringGetCString(s, small, sizeof small, kCFStringEncodingUTF8));
    CFRelease(s);
    NumToString(-2147483647 - 1, p);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(p + 1), p[0]), "-2147483648");
    SInt32 n;
    StringToNum(p, &n);
    EXPECT_EQ(n, -2147483647 - 1);
}

TEST(Alerts, PresenterSeesTextsAndButtonsAndAnswerIsChecked) {
    std::vector<toolbox::StandardAlert> seen;
    auto old = toolbox::SetAlertPresenter([&](const toolbox::StandardAlert& a) {
        seen.push_back(a);
        return DialogItemIndex(seen.size() == 1 ? 2 : 9);
    });
    AlertStdCFStringAlertParamRec param;
    GetStandardAlertDefaultParams(&param, kStdCFStringAlertVersionOne);
    param.cancelText = CFSTR("Stop");
    DialogRef alert;
    ASSERT_EQ(CreateStandardAlert(kAlertCautionAlert, CFSTR("Head"), CFSTR("Body"), &param, &alert), noErr);
    DialogItemIndex hit = 0;
    RunStandardAlert(alert, nullptr, &hit);
    EXPECT_EQ(hit, 2);
    ASSERT_EQ(CreateStandardAlert(kAlertStopAlert, CFSTR("H"), nullptr, nullptr, &alert), noErr);
    RunStandardAlert(alert, nullptr, &hit);
    EXPECT_EQ(hit, 1);  // an answer that names no button counts as the default
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].headline, "Head");
    EXPECT_EQ(seen[0].text, "Body");
    EXPECT_EQ(seen[0].buttons, (std::vector<std::string>{"OK", "Stop"}));
    EXPECT_EQ(seen[1].buttons, (std::vector<std::string>{"OK"}));
    toolbox::SetAlertPresenter(old);
}

}  // namespace
