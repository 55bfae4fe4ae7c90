// Reading event scripts: what each verb becomes, and the line number and message of
// every kind of line the reader refuses.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "events/CarbonEvents.h"
#include "input/EventScript.h"
#include "support/Toolbox.h"
#include "windows/MacWindows.h"

// The tables name only the fields of an action that a line sets.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using toolbox::ScriptAction;
using toolbox::ScriptVerb;

// Every field of an action but its line, for comparing whole actions.
auto Fields(const ScriptAction& a) {
    return std::make_tuple(int(a.verb), a.from.h, a.from.v, a.to.h, a.to.v, a.steps, a.modifiers, a.signature,
                           a.number, a.value, a.command, int(a.key), a.text);
}

TEST(EventScriptParseTest, VerbsAndTheirArgumentsAndKeysByCharacterOrName) {
    using V = ScriptVerb;
    const std::pair<const char*, ScriptAction> cases[] = {
        {"click 10 -20 shift command", {.from = {-20, 10}, .modifiers = shiftKey | cmdKey}},
        {"drag 1 2 3 4", {.verb = V::Drag, .from = {2, 1}, .to = {4, 3}, .steps = 10}},
        {"drag 1 2 3 4 25 option control", {.verb = V::Drag, .from = {2, 1}, .to = {4, 3}, .steps = 25,
                                            .modifiers = optionKey | controlKey}},
        {"slider Sldr 2 -7", {.verb = V::Slider, .signature = FOUR_CHAR_CODE("Sldr"), .number = 2, .value = -7}},
        {"popup Medi 1 3", {.verb = V::Popup, .signature = FOUR_CHAR_CODE("Medi"), .number = 1, .value = 3}},
        {"popup Medi 1 \"High Def\"", {.verb = V::Popup, .signature = FOUR_CHAR_CODE("Medi"), .number = 1,
                                       .text = "High Def"}},
        {"command \"ok  \"   # the OK button", {.verb = V::Command, .command = FOUR_CHAR_CODE("ok  ")}},
        {"command Info", {.verb = V::Command, .command = FOUR_CHAR_CODE("Info")}},
        {"answer 2", {.verb = V::Answer, .value = 2}},
        {"answer \"Don't Save\"", {.verb = V::Answer, .text = "Don't Save"}},
        {"snapshot \"shots/a b.png\"", {.verb = V::Snapshot, .text = "shots/a b.png"}},
        {"type \"caf\xC3\xA9 \\\"x\\\"\"", {.verb = V::Type, .text = "caf\x8E \"x\""}},  // Mac Roman, quotes escaped
        {"key a", {.verb = V::Key, .key = 'a'}},
        {"key A shift", {.verb = V::Key, .modifiers = shiftKey, .key = 'A'}},
        {"key return", {.verb = V::Key, .key = '\r'}},
        {"key escape", {.verb = V::Key, .key = 27}},
        {"key tab", {.verb = V::Key, .key = '\t'}},
        {"key delete", {.verb = V::Key, .key = '\b'}},
        {"key left", {.verb = V::Key, .key = 28}},
        {"key \" \"", {.verb = V::Key, .key = ' '}},
        {"key . command", {.verb = V::Key, .modifiers = cmdKey, .key = '.'}},
        {"key \"#\"", {.verb = V::Key, .key = '#'}},
    };
    for (const auto& [line, want] : cases) {
        std::vector<ScriptAction> actions;
        toolbox::ScriptError error;
        ASSERT_TRUE(toolbox::ParseEventScript(line, &actions, &error)) << error.Describe();
        ASSERT_EQ(actions.size(), 1u) << line;
        EXPECT_EQ(Fields(actions[0]), Fields(want)) << line;
    }
    for (auto [c, code] : {std::pair{'a', 0u}, {'\r', 36u}, {char(27), 53u}, {'Q', 12u}})
        EXPECT_EQ(toolbox::KeyCodeForChar(c), code) << int(c);
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

TEST(EventScriptSourceTest, AMissingFileAnEmptyScriptAndAClickWithoutAWindow) {
    toolbox::ScriptError error;
    EXPECT_EQ(toolbox::ScriptedEventSource::FromFile("/nonexistent/script.txt", &error), nullptr);
    EXPECT_EQ(error.message, "cannot be read (No such file or directory)");
    auto empty = testsupport::Script("# nothing\n");
    EXPECT_EQ(empty->NextInput().type, toolbox::InputType::End);
    EXPECT_EQ(empty->NextInput().type, toolbox::InputType::End);  // and stays ended
    EXPECT_TRUE(empty->Finished() && !empty->Failed());
    auto click = testsupport::Script("click 5 5\n");
    EXPECT_EQ(click->NextInput().type, toolbox::InputType::End);
    EXPECT_TRUE(click->Failed());
    EXPECT_EQ(click->Error().Describe(), "event script line 1: no window is open");
}

TEST(EventScriptSourceTest, ClickAndDragBecomePointerInputInGlobalCoordinates) {
    WindowRef w = testsupport::NewTestWindow({200, 100, 300, 300});
    ShowWindow(w);
    auto source = testsupport::Script("click 5 6 option\ndrag 0 0 10 20 2\n");
    std::vector<std::tuple<int, SInt16, SInt16, UInt32>> got;  // type, h, v, modifiers
    for (toolbox::InputEvent e = source->NextInput(); e.type != toolbox::InputType::End; e = source->NextInput())
        got.emplace_back(int(e.type), e.where.h, e.where.v, e.modifiers);
    using T = toolbox::InputType;
    EXPECT_EQ(got, (decltype(got){{int(T::MouseDown), 105, 206, optionKey}, {int(T::MouseUp), 105, 206, optionKey},
                                  {int(T::MouseDown), 100, 200, 0}, {int(T::MouseDragged), 105, 210, 0},
                                  {int(T::MouseDragged), 110, 220, 0}, {int(T::MouseUp), 110, 220, 0}}));
    DisposeWindow(w);
}

}  // namespace
