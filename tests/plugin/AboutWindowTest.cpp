// The dialog's 'Info' and 'Help' commands: the About window over the dialog, and the
// manual handed to Launch Services, with the notices when that cannot be done.
#include <cstring>
#include <filesystem>

#include "ConfigDialogTest.h"
#include "bundles/LaunchServices.h"

namespace configtest {
namespace {

class AboutWindowTest : public ConfigDialogTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AboutWindowTest, ShowsNameAndVersionPassesOtherCommandsOnAndClosesWith) {
    Record().sliders[0] = 42;
    const pluginDataRec before = Record();
    int opened = 0;
    toolbox::DocumentOpener previous = toolbox::SetDocumentOpener([&](const std::string&) { return ++opened, noErr; });
    Press(std::string("command Info\ncommand Help\ncommand \"") + GetParam() + "\"\n");
    toolbox::SetDocumentOpener(previous);
    const DialogState& afterHelp = steps[steps.size() - 3];
    EXPECT_EQ(afterHelp.front, "about");
    EXPECT_EQ(afterHelp.aboutTexts, "Tonefade|Version 3.0.0 (i386 Universal)");
    EXPECT_EQ(opened, 0) << "'Help' reached the dialog behind the About window";
    EXPECT_EQ(Last().front, "configNTSC");
    EXPECT_EQ(std::memcmp(&Last().record, &before, sizeof before), 0);
}

INSTANTIATE_TEST_SUITE_P(Buttons, AboutWindowTest, ::testing::Values("ok  ", "not!"));

struct HelpCase {
    const char* name;
    bool withManual;
    OSStatus openerStatus;
    const char* notice;  // "" for none
};

void PrintTo(const HelpCase& c, std::ostream* os) { *os << c.name; }

class HelpTest : public ConfigDialogTest, public ::testing::WithParamInterface<HelpCase> {};

TEST_P(HelpTest, OpensTheManualOrSaysWhyAndTheDialogGoesOn) {
    if (!GetParam().withManual) {
        std::string error;
        ASSERT_NE(toolbox::RegisterBundle(CopyBundle(scratch, {"manual.pdf"}, [](const std::string& s) { return s; }),
                                          &error),
                  nullptr)
            << error;
    }
    std::vector<std::string> opened;
    toolbox::DocumentOpener previous = toolbox::SetDocumentOpener([&](const std::string& path) {
        opened.push_back(path);
        return GetParam().openerStatus;
    });
    Press(std::string("command Help\n") + (*GetParam().notice ? "answer 1\n" : "") +
          "slider Sldr 1 25\ncommand \"ok  \"\n");
    toolbox::SetDocumentOpener(previous);
    EXPECT_EQ(opened.size(), GetParam().withManual ? 1u : 0u);
    if (!opened.empty()) {
        EXPECT_EQ(std::filesystem::path(opened[0]).filename(), "manual.pdf");
    }
    ASSERT_EQ(alerts.size(), *GetParam().notice ? 1u : 0u);
    if (!alerts.empty()) {
        EXPECT_EQ(alerts[0].headline, "Internal Notification:");
        EXPECT_EQ(alerts[0].text, GetParam().notice);
    }
    EXPECT_EQ(Record().sliders[0], 25);
}

INSTANTIATE_TEST_SUITE_P(Manual, HelpTest,
                         ::testing::Values(HelpCase{"Opened", true, noErr, ""},
                                           HelpCase{"OpenerFails", true, kLSUnknownErr, "LSOpen failed with -10810"},
                                           HelpCase{"NotInTheBundle", false, noErr, "Cannot locate manual in bundle"}),
                         [](const ::testing::TestParamInfo<HelpCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace configtest
