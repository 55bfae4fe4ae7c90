// Scripted input: a small text format, one action a line, read into actions and played as
// the same mouse and key input a person would give (see docs/EVENT_SCRIPTS.md).
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/ScopedEventSource.h"

namespace toolbox {

enum class ScriptVerb { Click, Drag, Slider, Popup, Command, Key, Type, Snapshot, Answer };

struct ScriptAction {
    ScriptVerb verb = ScriptVerb::Click;
    int line = 0;
    Point from{0, 0};  // window coordinates
    Point to{0, 0};
    int steps = 0;
    UInt32 modifiers = 0;
    OSType signature = 0;
    SInt32 number = 0;
    SInt32 value = 0;   // slider value, or item/button number (0: chosen by text)
    UInt32 command = 0;
    char key = 0;
    std::string text;   // item or button text (Mac Roman), typed text, snapshot file
};

struct ScriptError {
    int line = 0;  // 0 when the error is not about a line
    std::string message;
    std::string Describe() const;  // "event script line 3: ..."
};

// Limits that keep a script from asking for unbounded work.
constexpr std::size_t kScriptMaxBytes = 1u << 20;
constexpr int kScriptMaxSteps = 1000;

bool ParseEventScript(std::string_view text, std::vector<ScriptAction>* out, ScriptError* error);

class ScriptedEventSource : public EventSource {
public:
    // Snapshot files with relative names are written under baseDir.
    ScriptedEventSource(std::vector<ScriptAction> actions, std::string baseDir);
    static std::unique_ptr<ScriptedEventSource> FromText(std::string_view text, const std::string& baseDir,
                                                         ScriptError* error);
    // Relative snapshot names are taken against the script's own folder.
    static std::unique_ptr<ScriptedEventSource> FromFile(const std::string& path, ScriptError* error);

    InputEvent NextInput() override;
    // A line that could not be carried out stops the run; the error says which and why.
    bool Failed() const { return failed_; }
    const ScriptError& Error() const { return error_; }
    // True once every action has been played.
    bool Finished() const { return next_ >= actions_.size() && queue_.empty(); }

private:
    void Execute(const ScriptAction& a);
    void Fail(int line, const std::string& message);
    bool ToGlobal(int line, Point local, Point* global);
    void QueueClick(Point global, UInt32 modifiers);
    void QueueDrag(Point from, Point to, int steps, UInt32 modifiers);
    void ExpandSlider(const ScriptAction& a);
    void ExpandPopup(const ScriptAction& a);
    void ExpandCommand(const ScriptAction& a);
    void ExpandAnswer();
    void Snapshot(const ScriptAction& a);

    std::vector<ScriptAction> actions_;
    std::string baseDir_;
    std::size_t next_ = 0;
    std::deque<InputEvent> queue_;
    std::optional<ScriptAction> pendingAnswer_;
    bool failed_ = false;
    ScriptError error_;
};

}  // namespace toolbox
