// Event scripts. Reading checks every line before anything runs; playing turns each action
// into pointer and key input at the moment it is reached, from what the front window shows
// then, so a slider or pop-up is driven where a person would see it.
#include "input/EventScript.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "alerts/AlertWindow.h"
#include "controls/Controls.h"
#include "corefoundation/CFString.h"
#include "windows/MacWindows.h"

namespace toolbox {
namespace {

struct LineError {
    std::string message;
};

std::vector<std::string> Tokenize(std::string_view line) {
    std::vector<std::string> tokens;
    for (std::size_t i = 0; i < line.size();) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') { ++i; continue; }
        if (c == '#') break;
        std::string token;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                char d = line[i++];
                if (d == '"') { closed = true; break; }
                if (d == '\\' && i < line.size()) d = line[i++];
                token += d;
            }
            if (!closed) throw LineError{"a quoted text is not closed"};
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') token += line[i++];
        }
        tokens.push_back(token);
    }
    return tokens;
}

long long Number(const std::string& token, const char* what, long long lo, long long hi) {
    long long v = 0;
    auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
    if (ec != std::errc() || end != token.data() + token.size() || token.empty())
        throw LineError{std::string(what) + " \"" + token + "\" is not a whole number"};
    if (v < lo || v > hi)
        throw LineError{std::string(what) + " " + token + " is outside " + std::to_string(lo) + " to " + std::to_string(hi)};
    return v;
}

bool IsNumber(const std::string& token) {
    return !token.empty() && token.find_first_not_of("0123456789") == std::string::npos;
}

OSType FourChars(const std::string& token, const char* what) {
    bool lossless = true;
    std::string mac = UTF8ToMacRoman(token, &lossless);
    if (!lossless || mac.size() != 4)
        throw LineError{std::string(what) + " \"" + token + "\" is not four characters (quote it when it has spaces)"};
    return (OSType(UInt8(mac[0])) << 24) | (OSType(UInt8(mac[1])) << 16) | (OSType(UInt8(mac[2])) << 8) | UInt8(mac[3]);
}

UInt32 Modifiers(const std::vector<std::string>& t, std::size_t from) {
    static const std::map<std::string, UInt32> names = {
        {"shift", shiftKey}, {"option", optionKey}, {"command", cmdKey}, {"control", controlKey}};
    UInt32 mods = 0;
    for (std::size_t i = from; i < t.size(); ++i) {
        auto it = names.find(t[i]);
        if (it == names.end()) throw LineError{"\"" + t[i] + "\" is not a modifier (shift, option, command or control)"};
        mods |= it->second;
    }
    return mods;
}

char KeyChar(const std::string& token) {
    static const std::map<std::string, char> names = {
        {"return", '\r'}, {"enter", 3},     {"tab", '\t'},   {"space", ' '}, {"escape", 27}, {"esc", 27},
        {"delete", '\b'}, {"backspace", '\b'}, {"forwarddelete", 127}, {"left", 28}, {"right", 29},
        {"up", 30},       {"down", 31}};
    auto it = names.find(token);
    if (it != names.end()) return it->second;
    bool lossless = true;
    std::string mac = UTF8ToMacRoman(token, &lossless);
    if (!lossless || mac.size() != 1) throw LineError{"key \"" + token + "\" is neither one character nor a key name"};
    return mac[0];
}

void Arity(const std::vector<std::string>& t, std::size_t least, std::size_t most, const char* usage) {
    if (t.size() < least || t.size() > most) throw LineError{std::string("usage: ") + usage};
}

Point LocalPoint(const std::string& x, const std::string& y) {
    return Point{SInt16(Number(y, "Y", -32768, 32767)), SInt16(Number(x, "X", -32768, 32767))};
}

using Tokens = std::vector<std::string>;

void ParseClick(const Tokens& t, ScriptAction& a) {
    Arity(t, 3, 7, "click X Y [shift] [option] [command] [control]");
    a.from = LocalPoint(t[1], t[2]);
    a.modifiers = Modifiers(t, 3);
}

void ParseDrag(const Tokens& t, ScriptAction& a) {
    Arity(t, 5, 10, "drag X1 Y1 X2 Y2 [STEPS] [modifiers]");
    a.from = LocalPoint(t[1], t[2]);
    a.to = LocalPoint(t[3], t[4]);
    std::size_t mods = 5;
    a.steps = 10;
    if (t.size() > 5 && IsNumber(t[5])) a.steps = int(Number(t[mods++], "STEPS", 1, kScriptMaxSteps));
    a.modifiers = Modifiers(t, mods);
}

void ParseControlTarget(const Tokens& t, ScriptAction& a) {
    Arity(t, 4, 4, a.verb == ScriptVerb::Slider ? "slider SIG N VALUE" : "popup SIG N ITEM");
    a.signature = FourChars(t[1], "SIG");
    a.number = SInt32(Number(t[2], "N", INT32_MIN, INT32_MAX));
    if (a.verb == ScriptVerb::Slider) a.value = SInt32(Number(t[3], "VALUE", INT32_MIN, INT32_MAX));
    else if (IsNumber(t[3])) a.value = SInt32(Number(t[3], "ITEM", 1, 32767));
    else a.text = UTF8ToMacRoman(t[3]);
}

void ParseCommand(const Tokens& t, ScriptAction& a) {
    Arity(t, 2, 2, "command CODE");
    a.command = FourChars(t[1], "CODE");
}

void ParseKey(const Tokens& t, ScriptAction& a) {
    Arity(t, 2, 6, "key CHAR [shift] [option] [command] [control]");
    a.key = KeyChar(t[1]);
    a.modifiers = Modifiers(t, 2);
}

void ParseType(const Tokens& t, ScriptAction& a) {
    Arity(t, 2, 2, "type TEXT (quote it when it has spaces)");
    a.text = UTF8ToMacRoman(t[1]);
}

void ParseSnapshot(const Tokens& t, ScriptAction& a) {
    Arity(t, 2, 2, "snapshot FILE.png");
    a.text = t[1];
    if (a.text.empty()) throw LineError{"the snapshot needs a file name"};
}

void ParseAnswer(const Tokens& t, ScriptAction& a) {
    Arity(t, 2, 2, "answer BUTTON (its number or its title)");
    if (IsNumber(t[1])) a.value = SInt32(Number(t[1], "BUTTON", 1, 3));
    else a.text = UTF8ToMacRoman(t[1]);
}

ScriptAction ParseLine(const Tokens& t) {
    using Parser = void (*)(const Tokens&, ScriptAction&);
    static const std::map<std::string, std::pair<ScriptVerb, Parser>> verbs = {
        {"click", {ScriptVerb::Click, ParseClick}},       {"drag", {ScriptVerb::Drag, ParseDrag}},
        {"slider", {ScriptVerb::Slider, ParseControlTarget}}, {"popup", {ScriptVerb::Popup, ParseControlTarget}},
        {"command", {ScriptVerb::Command, ParseCommand}}, {"key", {ScriptVerb::Key, ParseKey}},
        {"type", {ScriptVerb::Type, ParseType}},          {"snapshot", {ScriptVerb::Snapshot, ParseSnapshot}},
        {"answer", {ScriptVerb::Answer, ParseAnswer}}};
    auto it = verbs.find(t[0]);
    if (it == verbs.end())
        throw LineError{"unknown action \"" + t[0] +
                        "\" (expected click, drag, slider, popup, command, key, type, snapshot or answer)"};
    ScriptAction a;
    a.verb = it->second.first;
    it->second.second(t, a);
    return a;
}

Point Centre(const Rect& r) { return Point{SInt16((r.top + r.bottom) / 2), SInt16((r.left + r.right) / 2)}; }

ControlRef FindControl(WindowRef w, OSType sig, SInt32 n) {
    ControlID id{sig, n};
    ControlRef c = nullptr;
    GetControlByID(w, &id, &c);
    return c;
}

std::string Quoted(const std::string& macRoman) {
    std::string out = "\"";
    out.append(MacRomanToUTF8(reinterpret_cast<const unsigned char*>(macRoman.data()), macRoman.size()));
    out.push_back('"');
    return out;
}

std::string CodeText(OSType code) {
    char text[5] = {char(code >> 24), char(code >> 16), char(code >> 8), char(code), 0};
    std::string out = "'";
    out.append(MacRomanToUTF8(reinterpret_cast<const unsigned char*>(text), 4));
    out.push_back('\'');
    return out;
}

bool Usable(ControlRef c) { return IsControlVisible(c) && IsControlEnabled(c); }

// A script is a regular file: opened without blocking and checked once open, so that a
// named pipe or a device in its place is refused at once instead of hanging or never ending.
// Reads one byte past the limit, so that FromText can say the script is too long.
bool ReadScriptFile(const std::string& path, std::string* text, std::string* why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return *why = std::string("cannot be read (") + std::strerror(errno) + ")", false;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (!regular) {
        ::close(fd);
        *why = S_ISDIR(st.st_mode)                            ? "is a folder, not a file"
               : S_ISFIFO(st.st_mode)                         ? "is a named pipe, not a regular file"
               : S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) ? "is a device, not a regular file"
                                                              : "is not a regular file";
        return false;
    }
    text->assign(kScriptMaxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < text->size()) {
        const ssize_t n = ::read(fd, text->data() + got, text->size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) *why = std::string("cannot be read (") + std::strerror(errno) + ")";
        if (n <= 0) break;
        got += std::size_t(n);
    }
    ::close(fd);
    text->resize(got);
    return why->empty();
}

}  // namespace

std::string ScriptError::Describe() const {
    return line > 0 ? "event script line " + std::to_string(line) + ": " + message : "event script: " + message;
}

bool ParseEventScript(std::string_view text, std::vector<ScriptAction>* out, ScriptError* error) {
    ScriptError local;
    ScriptError& err = error ? *error : local;
    err = ScriptError{};
    if (out == nullptr) return false;
    out->clear();
    if (text.size() > kScriptMaxBytes) {
        err.message = "the script is longer than " + std::to_string(kScriptMaxBytes) + " bytes";
        return false;
    }
    int lineNumber = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        try {
            if (line.find('\0') != std::string_view::npos) throw LineError{"the line holds a zero byte"};
            std::vector<std::string> tokens = Tokenize(line);
            if (tokens.empty()) continue;
            ScriptAction a = ParseLine(tokens);
            a.line = lineNumber;
            out->push_back(std::move(a));
        } catch (const LineError& e) {
            err.line = lineNumber;
            err.message = e.message;
            out->clear();
            return false;
        }
        if (end == text.size()) break;
    }
    return true;
}

ScriptedEventSource::ScriptedEventSource(std::vector<ScriptAction> actions, std::string baseDir)
    : actions_(std::move(actions)), baseDir_(std::move(baseDir)) {}

std::unique_ptr<ScriptedEventSource> ScriptedEventSource::FromText(std::string_view text, const std::string& baseDir,
                                                                   ScriptError* error) {
    std::vector<ScriptAction> actions;
    if (!ParseEventScript(text, &actions, error)) return nullptr;
    return std::make_unique<ScriptedEventSource>(std::move(actions), baseDir);
}

std::unique_ptr<ScriptedEventSource> ScriptedEventSource::FromFile(const std::string& path, ScriptError* error) {
    std::string text, why;
    if (!ReadScriptFile(path, &text, &why)) {
        if (error) *error = ScriptError{0, why};
        return nullptr;
    }
    std::size_t slash = path.find_last_of('/');
    return FromText(text, slash == std::string::npos ? "." : path.substr(0, slash), error);
}

InputEvent ScriptedEventSource::NextInput() {
    for (;;) {
        if (pendingAnswer_ && !failed_ && IsAlertWindow(FrontWindow())) ExpandAnswer();
        if (!queue_.empty()) {
            InputEvent e = queue_.front();
            queue_.pop_front();
            return e;
        }
        if (failed_ || next_ >= actions_.size()) return InputEvent{};
        Execute(actions_[next_++]);
    }
}

void ScriptedEventSource::Fail(int line, const std::string& message) {
    failed_ = true;
    error_ = ScriptError{line, message};
    queue_.clear();
}

bool ScriptedEventSource::ToGlobal(int line, Point local, Point* global) {
    WindowRef front = FrontWindow();
    if (front == nullptr) {
        Fail(line, "no window is open");
        return false;
    }
    Rect bounds;
    GetWindowBounds(front, kWindowContentRgn, &bounds);
    *global = Point{SInt16(local.v + bounds.top), SInt16(local.h + bounds.left)};
    return true;
}

void ScriptedEventSource::QueueClick(Point global, UInt32 modifiers) {
    queue_.push_back(InputEvent{InputType::MouseDown, global, modifiers});
    queue_.push_back(InputEvent{InputType::MouseUp, global, modifiers});
}

void ScriptedEventSource::QueueDrag(Point from, Point to, int steps, UInt32 modifiers) {
    queue_.push_back(InputEvent{InputType::MouseDown, from, modifiers});
    for (int i = 1; i <= steps; ++i) {
        Point p{SInt16(from.v + (to.v - from.v) * i / steps), SInt16(from.h + (to.h - from.h) * i / steps)};
        queue_.push_back(InputEvent{InputType::MouseDragged, p, modifiers});
    }
    queue_.push_back(InputEvent{InputType::MouseUp, to, modifiers});
}

void ScriptedEventSource::Execute(const ScriptAction& a) {
    Point from, to;
    switch (a.verb) {
        case ScriptVerb::Click:
            if (ToGlobal(a.line, a.from, &from)) QueueClick(from, a.modifiers);
            break;
        case ScriptVerb::Drag:
            if (ToGlobal(a.line, a.from, &from) && ToGlobal(a.line, a.to, &to)) QueueDrag(from, to, a.steps, a.modifiers);
            break;
        case ScriptVerb::Slider: ExpandSlider(a); break;
        case ScriptVerb::Popup: ExpandPopup(a); break;
        case ScriptVerb::Command: ExpandCommand(a); break;
        case ScriptVerb::Key:
            queue_.push_back(InputEvent{InputType::KeyDown, LastMouseLocation(), a.modifiers, a.key, KeyCodeForChar(a.key)});
            break;
        case ScriptVerb::Type:
            for (char c : a.text) queue_.push_back(InputEvent{InputType::KeyDown, LastMouseLocation(), 0, c, KeyCodeForChar(c)});
            break;
        case ScriptVerb::Snapshot: Snapshot(a); break;
        case ScriptVerb::Answer: pendingAnswer_ = a; break;
    }
}

// The thumb is pressed at its centre and moved one pixel at a time, so a live slider
// passes through every value the track can show on the way.
void ScriptedEventSource::ExpandSlider(const ScriptAction& a) {
    ControlRef c = FindControl(FrontWindow(), a.signature, a.number);
    if (c == nullptr || GetControlKind(c) != ControlKind::Slider || !Usable(c))
        return Fail(a.line, CodeText(a.signature) + " " + std::to_string(a.number) + " is not a visible, enabled slider of the front window");
    if (a.value < GetControl32BitMinimum(c) || a.value > GetControl32BitMaximum(c))
        return Fail(a.line, "value " + std::to_string(a.value) + " is outside the slider's " + std::to_string(GetControl32BitMinimum(c)) +
                                " to " + std::to_string(GetControl32BitMaximum(c)));
    Point start = Centre(SliderThumbRect(c)), end = SliderPointForValue(c, a.value);
    Point from, to;
    if (!ToGlobal(a.line, start, &from) || !ToGlobal(a.line, end, &to)) return;
    const int distance = std::max(std::abs(to.h - from.h), std::abs(to.v - from.v));
    QueueDrag(from, to, std::max(distance, 1), 0);
}

void ScriptedEventSource::ExpandPopup(const ScriptAction& a) {
    ControlRef c = FindControl(FrontWindow(), a.signature, a.number);
    if (c == nullptr || GetControlKind(c) != ControlKind::PopupButton || !Usable(c))
        return Fail(a.line, CodeText(a.signature) + " " + std::to_string(a.number) + " is not a visible, enabled pop-up of the front window");
    MenuRef menu = GetControlPopupMenuHandle(c);
    MenuItemIndex item = MenuItemIndex(a.value);
    for (MenuItemIndex i = 1; a.value == 0 && i <= CountMenuItems(menu); ++i) {
        Str255 text;
        GetMenuItemText(menu, i, text);
        if (std::string(reinterpret_cast<const char*>(text + 1), text[0]) == a.text) item = i;
    }
    if (item < 1 || item > CountMenuItems(menu))
        return Fail(a.line, "the pop-up has no item " + (a.value ? std::to_string(a.value) : Quoted(a.text)));
    Rect bounds;
    GetControlBounds(c, &bounds);
    Point from, to;
    if (!ToGlobal(a.line, Centre(bounds), &from) || !ToGlobal(a.line, Centre(PopupMenuItemRect(c, item)), &to)) return;
    QueueDrag(from, to, 4, 0);
}

// A button that sends the command is clicked; without one the command comes as from a menu.
void ScriptedEventSource::ExpandCommand(const ScriptAction& a) {
    WindowRef front = FrontWindow();
    ControlRef button = front ? FindButtonWithCommand(front, a.command) : nullptr;
    if (button) {
        Rect bounds;
        GetControlBounds(button, &bounds);
        Point global;
        if (ToGlobal(a.line, Centre(bounds), &global)) QueueClick(global, 0);
        return;
    }
    InputEvent e{InputType::Command, LastMouseLocation()};
    e.command = a.command;
    queue_.push_back(e);
}

void ScriptedEventSource::ExpandAnswer() {
    const ScriptAction a = *pendingAnswer_;
    pendingAnswer_.reset();
    WindowRef alert = FrontWindow();
    ControlRef button = nullptr;
    if (a.value) button = FindControl(alert, FOUR_CHAR_CODE("alrt"), a.value);
    for (SInt32 n = 1; !button && n <= 3; ++n) {
        ControlRef c = FindControl(alert, FOUR_CHAR_CODE("alrt"), n);
        if (c && ControlTextMacRoman(c) == a.text) button = c;
    }
    if (button == nullptr)
        return Fail(a.line, "the alert has no button " + (a.value ? std::to_string(a.value) : Quoted(a.text)));
    Rect bounds;
    GetControlBounds(button, &bounds);
    Point global;
    if (ToGlobal(a.line, Centre(bounds), &global)) QueueClick(global, 0);
}

void ScriptedEventSource::Snapshot(const ScriptAction& a) {
    WindowRef front = FrontWindow();
    if (front == nullptr) return Fail(a.line, "no window is open to take a snapshot of");
    std::string path = a.text[0] == '/' ? a.text : baseDir_ + "/" + a.text;
    std::string why;
    if (!WriteWindowPNG(front, path, &why)) Fail(a.line, "cannot write " + path + ": " + why);
}

}  // namespace toolbox
