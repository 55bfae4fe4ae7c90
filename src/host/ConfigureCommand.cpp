// The configure command: arguments, the clip and the session, the button press with its
// script and snapshot, and a line saying whether the dialog saved the settings.
#include "ConfigureCommand.h"

#include <cstdio>
#include <sstream>

#include "HostJob.h"
#include "OutputFiles.h"
#include "RenderDriver.h"
#include "VideoReader.h"
#include "alerts/Alerts.h"
#include "files/Folders.h"
#include "input/EventScript.h"
#include "input/LiveEventSource.h"
#include "windows/MacWindows.h"

namespace host {

namespace {

// Discards the frame of the pass that only makes the plug-in see the clip.
class DiscardSink : public FrameSink {
public:
    bool Consume(int, GWorldPtr, const std::vector<int16_t>&, std::string*) override { return true; }
};

// Hands the script's input on and writes the front window when the script has run out:
// once as its last input goes out (that is the last look of a dialog the script itself
// closes) and again, for good, when the dialog asks for more.
class SnapshotAtEnd : public toolbox::EventSource {
public:
    SnapshotAtEnd(toolbox::ScriptedEventSource& script, std::string path) : script_(script), path_(std::move(path)) {}
    toolbox::InputEvent NextInput() override {
        if (script_.Finished()) {
            if (!final_) Snap(), final_ = true;
            return script_.NextInput();
        }
        toolbox::InputEvent input = script_.NextInput();
        if (script_.Finished()) Snap();
        return input;
    }
    const std::string& Error() const { return error_; }
    bool Written() const { return written_; }

private:
    void Snap() {
        if (path_.empty()) return;
        WindowRef front = FrontWindow();
        if (front == nullptr) return;
        std::string why;
        if (toolbox::WriteWindowPNG(front, path_, &why)) {
            written_ = true;
            error_.clear();
        } else {
            error_ = path_ + ": " + why;
        }
    }
    toolbox::ScriptedEventSource& script_;
    std::string path_;
    bool final_ = false, written_ = false;
    std::string error_;
};

// Keeps the reason the clip gave when a frame could not be read, for the message that
// follows the plug-in's answer.
class ReadErrors : public FrameSource {
public:
    ReadErrors(FrameSource& inner, std::string name) : inner_(inner), name_(std::move(name)) {}
    int FrameCount() const override { return inner_.FrameCount(); }
    int Width() const override { return inner_.Width(); }
    int Height() const override { return inner_.Height(); }
    double FrameRate() const override { return inner_.FrameRate(); }
    bool ReadFrame(int index, GWorldPtr world, std::string* error) override {
        std::string why;
        if (inner_.ReadFrame(index, world, &why)) return true;
        last_ = why.empty() ? name_ + ": frame " + std::to_string(index) + " could not be read" : why;
        if (error) *error = why;
        return false;
    }
    std::vector<int16_t> FrameAudio(int index) override { return inner_.FrameAudio(index); }
    int AudioSampleRate() const override { return inner_.AudioSampleRate(); }
    int AudioChannels() const override { return inner_.AudioChannels(); }
    // "FILE: reason" of the last frame that failed; empty when none did.
    const std::string& LastError() const { return last_; }
    const std::string& Name() const { return name_; }

private:
    FrameSource& inner_;
    std::string name_, last_;
};

std::string ScriptName(const ButtonPress& press) { return press.scriptPath.empty() ? "" : press.scriptPath + ": "; }

std::unique_ptr<toolbox::ScriptedEventSource> LoadScript(const ButtonPress& press) {
    toolbox::ScriptError error;
    std::unique_ptr<toolbox::ScriptedEventSource> script =
        press.scriptPath.empty() ? toolbox::ScriptedEventSource::FromText(press.scriptText, press.baseDir, &error)
                                 : toolbox::ScriptedEventSource::FromFile(press.scriptPath, &error);
    if (!script) throw JobFailure(ScriptName(press) + error.Describe());
    return script;
}

void ShowFrame(HYPluginEntryProcPtr entry, HostSession& session, int frame, const ReadErrors* clip) {
    PassOptions pass;
    pass.start = frame;
    pass.count = 1;
    DiscardSink sink;
    PassResult r = RunRenderPass(entry, session, pass, sink);
    if (r.ok()) return;
    std::string what = std::string("the plug-in answered ") + r.selector + " with " + ResultName(r.result) + " (" +
                       std::to_string(int(r.result)) + ") at frame " + std::to_string(frame);
    if (clip) what = clip->LastError().empty() ? clip->Name() + ": " + what : clip->LastError() + "; " + what;
    throw JobFailure(what);
}

// Keeps the texts of the alerts shown while it lives, which are presented as before: what
// the plug-in told the user is also what the host reports when the plug-in fails.
class AlertTexts {
public:
    AlertTexts()
        : previous_(toolbox::SetAlertPresenter([this](const toolbox::StandardAlert& alert) {
              texts_.push_back(alert.text.empty() ? alert.headline : alert.text);
              return previous_ ? previous_(alert) : toolbox::PresentAlertOnStandardError(alert);
          })) {}
    ~AlertTexts() { toolbox::SetAlertPresenter(std::move(previous_)); }
    AlertTexts(const AlertTexts&) = delete;
    AlertTexts& operator=(const AlertTexts&) = delete;
    const std::vector<std::string>& Texts() const { return texts_; }

private:
    toolbox::AlertPresenter previous_;
    std::vector<std::string> texts_;
};

}  // namespace

namespace {

// The press with the dialog's input from `live` (a person at the display) when given,
// from the press's script otherwise.
void Press(HYPluginEntryProcPtr entry, HostSession& session, const ButtonPress& press, toolbox::EventSource* live,
           const ReadErrors* clip = nullptr) {
    std::unique_ptr<toolbox::ScriptedEventSource> script = LoadScript(press);
    ShowFrame(entry, session, press.frame, clip);
    SnapshotAtEnd input(*script, press.snapshotPath);
    HYPluginResult r;
    std::string told;  // the plug-in's last alert, which says why it failed
    {
        toolbox::ScopedEventSource scope(live ? live : static_cast<toolbox::EventSource*>(&input));
        AlertTexts alerts;
        session.Params().renderFrame = press.frame;
        r = CallPlugin(entry, session, kPlugCustomButtonClick);
        if (!alerts.Texts().empty()) told = alerts.Texts().back();
    }
    // A script that stopped is why the dialog ended, whatever the plug-in answered then.
    if (script->Failed()) throw JobFailure(ScriptName(press) + script->Error().Describe());
    if (r != kPluginOK)
        throw JobFailure(!told.empty() ? told
                                       : std::string("the plug-in answered kPlugCustomButtonClick with ") +
                                             ResultName(r) + " (" + std::to_string(int(r)) + ")");
    if (!input.Error().empty()) throw JobFailure(input.Error());
    if (!press.snapshotPath.empty() && !input.Written())
        throw JobFailure(press.snapshotPath + ": no window was open to take a snapshot of");
}

// A person drives the dialog when there is a display and neither a script nor a snapshot
// of the opening dialog was asked for.
std::unique_ptr<toolbox::LiveEventSource> LiveInput(const OptionValues& args) {
    if (args.Given("--events") || args.Given("--snapshot") || args.Flag("--no-display") ||
        !toolbox::LiveEventSource::DisplayAvailable())
        return nullptr;
    std::string why;
    std::unique_ptr<toolbox::LiveEventSource> live = toolbox::LiveEventSource::Open(&why);
    if (!live) std::fprintf(stderr, "tonefade-host: %s; the dialog runs without a window\n", why.c_str());
    return live;
}

}  // namespace

void PressPluginButton(HYPluginEntryProcPtr entry, HostSession& session, const ButtonPress& press) {
    Press(entry, session, press, nullptr);
}

namespace {

int RunConfigure(const OptionValues& args) {
    const std::string input = args.Arguments()[0];
    CommonOptions common = ReadCommonOptions(args);
    ButtonPress press;
    press.frame = int(args.Integer("--frame"));
    press.scriptPath = args.Text("--events");
    press.snapshotPath = args.Text("--snapshot");
    LoadedPlugin plugin = LoadPluginFor(common);
    std::string error;
    if (!press.snapshotPath.empty() && !CheckOutputFolder(press.snapshotPath, &error)) throw JobFailure(error);
    std::unique_ptr<FrameSource> clip = OpenClip(input, ReaderOptions{}, &error);
    if (!clip) throw JobFailure(error);
    if (press.frame >= clip->FrameCount())
        throw UsageError("--frame " + std::to_string(press.frame) + " is past the end of " + input + " (" +
                         std::to_string(clip->FrameCount()) + " frames)");
    ReadErrors reads(*clip, input);
    HostSession session(reads, clip->Width(), clip->Height());
    HYPluginResult r = CallPlugin(plugin.entry, session, kPlugGetInfo);
    if (r != kPluginOK) throw JobFailure(plugin.bundlePath + ": the plug-in answered kPlugGetInfo with " + ResultName(r));
    const FolderSnapshot prefs(toolbox::PreferencesFolderPath());
    Press(plugin.entry, session, press, LiveInput(args).get(), &reads);
    const std::string saved = prefs.ChangedFile();
    if (!common.quiet)
        std::fprintf(stderr, "tonefade-host: the dialog closed; %s\n",
                     saved.empty() ? "settings unchanged" : ("settings saved in " + saved).c_str());
    return 0;
}

constexpr Argument kConfigureArguments[] = {
    {.name = "INPUT", .help = "a video file or an image sequence, as for render"},
};

constexpr Option kConfigureOptions[] = {
    {.name = "--events", .kind = OptionKind::Text, .value = "FILE",
     .help = "an event script that drives the dialog (docs/EVENT_SCRIPTS.md); without one the dialog opens in a "
             "window on the display (docs/LIVE_WINDOW.md), or without a display closes at once, as Cancel would",
     .noun = "a script file"},
    {.name = "--no-display", .help = "never opens a window, even with a display"},
    {.name = "--snapshot", .kind = OptionKind::Text, .value = "FILE.png",
     .help = "writes the front window as a PNG when the script ends (without a script: as the dialog opens)",
     .noun = "a .png file"},
    {.name = "--frame", .kind = OptionKind::Integer, .value = "N",
     .help = "the current frame, the one the dialog opens on", .byDefault = "0", .min = 0, .max = 100000000},
};

}  // namespace

extern const Command kConfigureCommand{
    .name = "configure",
    .summary = "press the plug-in's button: its settings dialog, in a window or driven by a script",
    .arguments = kConfigureArguments,
    .description = "Presses the plug-in's own button on INPUT, as the video editor does: frame N is drawn with "
                   "the effect, then the plug-in's settings dialog opens on that frame. OK saves the settings in "
                   "the preferences folder, where the next render finds them; Cancel leaves them as they were.",
    .options = kConfigureOptions,
    .run = RunConfigure,
};

}  // namespace host
