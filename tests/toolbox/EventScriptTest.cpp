// Reading event scripts: what each verb becomes, and the line number and message of
// every kind of line the reader refuses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "events/CarbonEvents.h"
#include "input/EventScript.h"
#include "windows/MacWindows.h"

namespace {

using toolbox::ScriptAction;
using toolbox::ScriptVerb;

ScriptAction One(const std::string& line) {
    std::vector<ScriptAction> actions;
    toolbox::ScriptError error;
    EXPECT_TRUE(toolbox::ParseEventScript(line, &actions, &error)) << error.Describe();
    EXPECT_EQ(actions.size(), 1u);
    return actions.empty() ? ScriptAction{} : actions[0];
}

TEST(EventScriptParseTest, VerbsAndTheirArguments) {
    ScriptAction a = One("click 10 -20 shift command");
    EXPECT_EQ(a.verb, ScriptVerb::Click);
    EXPECT_EQ(a.from.h, 10);
    EXPECT_EQ(a.from.v, -20);
    EXPECT_EQ(a.modifiers, UInt32(shiftKey | cmdKey));

    a = One("drag 1 2 3 4");
    EXPECT_EQ(a.steps, 10);
    EXPECT_EQ(a.to.h, 3);
    EXPECT_EQ(a.to.v, 4);
    a = One("drag 1 2 3 4 25 option control");
    EXPECT_EQ(a.steps, 25);
    EXPECT_EQ(a.modifiers, UInt32(optionKey | controlKey));

    a = One("slider Sldr 2 -7");
    EXPECT_EQ(a.verb, ScriptVerb::Slider);
    EXPECT_EQ(a.signature, FOUR_CHAR_CODE("Sldr"));
    EXPECT_EQ(a.number, 2);
    EXPECT_EQ(a.value, -7);

    a = One("popup Medi 1 3");
    EXPECT_EQ(a.value, 3);
    a = One("popup Medi 1 \"High Def\"");
    EXPECT_EQ(a.value, 0);
    EXPECT_EQ(a.text, "High Def");

    a = One("command \"ok  \"   # the OK button");
    EXPECT_EQ(a.command, FOUR_CHAR_CODE("ok  "));
    a = One("command Info");
    EXPECT_EQ(a.command, FOUR_CHAR_CODE("Info"));

    a = One("answer 2");
    EXPECT_EQ(a.value, 2);
    a = One("answer \"Don't Save\"");
    EXPECT_EQ(a.text, "Don't Save");

    a = One("snapshot \"shots/a b.png\"");
    EXPECT_EQ(a.text, "shots/a b.png");
    a = One("type \"caf\xC3\xA9 \\\"x\\\"\"");
    EXPECT_EQ(a.text, "caf\x8E \"x\"");  // Mac Roman, with the escaped quotes
}

TEST(EventScriptParseTest, KeysByCharacterOrName) {
    const struct {
        const char* line;
        char key;
        UInt32 modifiers;
    } cases[] = {{"key a", 'a', 0},           {"key A shift", 'A', shiftKey}, {"key return", '\r', 0},
                 {"key escape", 27, 0},       {"key tab", '\t', 0},           {"key delete", '\b', 0},
                 {"key left", 28, 0},         {"key \" \"", ' ', 0},          {"key . command", '.', cmdKey},
                 {"key \"#\"", '#', 0}};
    for (const auto& c : cases) {
        ScriptAction a = One(c.line);
        EXPECT_EQ(a.verb, ScriptVerb::Key) << c.line;
        EXPECT_EQ(a.key, c.key) << c.line;
        EXPECT_EQ(a.modifiers, c.modifiers) << c.line;
    }
    EXPECT_EQ(toolbox::KeyCodeForChar('a'), 0u);
    EXPECT_EQ(toolbox::KeyCodeForChar('\r'), 36u);
    EXPECT_EQ(toolbox::KeyCodeForChar(27), 53u);
    EXPECT_EQ(toolbox::KeyCodeForChar('Q'), 12u);
}

TEST(EventScriptParseTest, CommentsAndBlankLinesAreSkippedAndLinesAreCounted) {
    std::vector<ScriptAction> actions;
    toolbox::ScriptError error;
    ASSERT_TRUE(toolbox::ParseEventScript("# setup\n\n   \nclick 1 1\r\n  # more\nkey x\n", &actions, &error));
    ASSERT_EQ(actions.size(), 2u);
    EXPECT_EQ(actions[0].line, 4);
    EXPECT_EQ(actions[1].line, 6);
}

TEST(EventScriptParseTest, BadLinesStopWithTheirLineNumberAndAClearMessage) {
    const struct {
        std::string text;
        int line;
        const char* message;
    } cases[] = {
        {"clik 1 2", 1, "unknown action \"clik\" (expected click, drag, slider, popup, command, key, type, snapshot or answer)"},
        {"click 1 1\nclick 10", 2, "usage: click X Y [shift] [option] [command] [control]"},
        {"click 1 y", 1, "Y \"y\" is not a whole number"},
        {"click 1 40000", 1, "Y 40000 is outside -32768 to 32767"},
        {"click 1 2 meta", 1, "\"meta\" is not a modifier (shift, option, command or control)"},
        {"drag 1 2 3 4 0", 1, "STEPS 0 is outside 1 to 1000"},
        {"drag 1 2 3 4 5000", 1, "STEPS 5000 is outside 1 to 1000"},
        {"slider Sld 1 5", 1, "SIG \"Sld\" is not four characters (quote it when it has spaces)"},
        {"slider Sldr one 5", 1, "N \"one\" is not a whole number"},
        {"slider Sldr 1", 1, "usage: slider SIG N VALUE"},
        {"popup Medi 1 0", 1, "ITEM 0 is outside 1 to 32767"},
        {"command ok", 1, "CODE \"ok\" is not four characters (quote it when it has spaces)"},
        {"command \"ok  ", 1, "a quoted text is not closed"},
        {"key", 1, "usage: key CHAR [shift] [option] [command] [control]"},
        {"key ab", 1, "key \"ab\" is neither one character nor a key name"},
        {"snapshot", 1, "usage: snapshot FILE.png"},
        {"snapshot \"\"", 1, "the snapshot needs a file name"},
        {"answer 4", 1, "BUTTON 4 is outside 1 to 3"},
        {std::string("\n\nclick 1 2\0x", 13), 3, "the line holds a zero byte"},
    };
    for (const auto& c : cases) {
        std::vector<ScriptAction> actions;
        toolbox::ScriptError error;
        EXPECT_FALSE(toolbox::ParseEventScript(c.text, &actions, &error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_EQ(error.message, c.message) << c.text;
        EXPECT_TRUE(actions.empty());
    }
    toolbox::ScriptError error{7, "boom"};
    EXPECT_EQ(error.Describe(), "event script line 7: boom");
}

TEST(EventScriptSourceTest, MissingFileAndEmptyScript) {
    toolbox::ScriptError error;
    EXPECT_EQ(toolbox::ScriptedEventSource::FromFile("/nonexistent/script.txt", &error), nullptr);
    EXPECT_EQ(error.message, "cannot be read (No such file or directory)");
    auto empty = toolbox::ScriptedEventSource::FromText("# nothing\n", ".", &error);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->NextInput().type, toolbox::InputType::End);
    EXPECT_EQ(empty->NextInput().type, toolbox::InputType::End);  // and stays ended
    EXPECT_TRUE(empty->Finished());
    EXPECT_FALSE(empty->Failed());
}

TEST(EventScriptSourceTest, ClicksNeedAWindow) {
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText("click 5 5\n", ".", &error);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(source->NextInput().type, toolbox::InputType::End);
    EXPECT_TRUE(source->Failed());
    EXPECT_EQ(source->Error().Describe(), "event script line 1: no window is open");
}

TEST(EventScriptSourceTest, ClickAndDragBecomePointerInputInGlobalCoordinates) {
    Rect r{200, 100, 300, 300};
    WindowRef w = nullptr;
    ASSERT_EQ(CreateNewWindow(kDocumentWindowClass, 0, &r, &w), noErr);
    ShowWindow(w);
    toolbox::ScriptError error;
    auto source = toolbox::ScriptedEventSource::FromText("click 5 6 option\ndrag 0 0 10 20 2\n", ".", &error);
    ASSERT_NE(source, nullptr);
    std::vector<toolbox::InputEvent> got;
    for (toolbox::InputEvent e = source->NextInput(); e.type != toolbox::InputType::End; e = source->NextInput()) got.push_back(e);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].type, toolbox::InputType::MouseDown);
    EXPECT_EQ(got[0].where.h, 105);
    EXPECT_EQ(got[0].where.v, 206);
    EXPECT_EQ(got[0].modifiers, UInt32(optionKey));
    EXPECT_EQ(got[1].type, toolbox::InputType::MouseUp);
    EXPECT_EQ(got[3].type, toolbox::InputType::MouseDragged);
    EXPECT_EQ(got[3].where.h, 105);
    EXPECT_EQ(got[3].where.v, 210);
    EXPECT_EQ(got[4].where.h, 110);
    EXPECT_EQ(got[4].where.v, 220);
    EXPECT_EQ(got[5].type, toolbox::InputType::MouseUp);
    DisposeWindow(w);
}

}  // namespace
