// The demo: the settings made in the plug-in's own dialog, driven by a script, then the
// built-in clip through the real bundle into a video with its sound, frames as PNG and a
// contact sheet.
#include "Demo.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "Carbon.h"
#include "ConfigureCommand.h"
#include "ContactSheet.h"
#include "DemoClip.h"
#include "HostJob.h"
#include "PluginLoader.h"
#include "Progress.h"
#include "RenderDriver.h"
#include "VideoWriter.h"
#include "quickdraw/QDPng.h"

namespace host {

namespace fs = std::filesystem;

namespace {

// Encodes every frame into the video, writes it as PNG and keeps the chosen ones for
// the contact sheet. The frames keep temporary names until Commit, so that a demo that
// stops early leaves none of them.
class DemoSink : public FrameSink {
public:
    DemoSink(fs::path folder, std::vector<int> sheetFrames, OutputSink& video)
        : folder_(std::move(folder)), picks_(std::move(sheetFrames)), sheet_(4, 320, 180), video_(video) {}
    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>& audio, std::string* error) override {
        if (!video_.Consume(index, frame, audio, error)) return false;
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04d.png", index);
        if (!toolbox::WritePortPNG(frame, files_.Add((folder_ / name).string()), error)) {
            *error = (folder_ / name).string() + ": " + *error;
            return false;
        }
        if (std::find(picks_.begin(), picks_.end(), index) != picks_.end()) sheet_.Add(frame);
        return true;
    }
    // The contact sheet joins the frames; all of them are renamed into place together.
    bool Commit(const std::string& sheetPath, std::string* error) {
        if (!sheet_.Write(files_.Add(sheetPath), error)) {
            *error = sheetPath + ": " + *error;
            return false;
        }
        return files_.Commit(error);
    }

private:
    fs::path folder_;
    std::vector<int> picks_;
    ContactSheet sheet_;
    OutputSink& video_;
    PendingFiles files_;
};

// What a person would do in the dialog: start from the defaults, choose the HD layout
// for the 16:9 clip, set the amount to 100 and drag the top-left handle with Option
// until the rectangle is the middle quarter of the frame, then press OK. The HD preview
// is 960 by 540 at (16, 16).
const char* const kDemoScript =
    "command Rset\n"
    "popup Medi 1 HD\n"
    "slider Sldr 1 100\n"
    "drag 16 16 256 151 8 option\n"
    "snapshot dialog.png\n"
    "command \"ok  \"\n";

// The demo's own preferences folder, unless the user names one; the dialog saves there.
bool PreparePrefs(const DemoOptions& options, const fs::path& out, std::string* prefs, std::string* error) {
    *prefs = options.prefsDir.empty() ? (out / "prefs").string() : options.prefsDir;
    std::error_code ec;
    fs::create_directories(*prefs, ec);
    if (ec) *error = *prefs + ": " + ec.message();
    return !ec;
}

// Sets the demo's settings through the dialog; the script is left beside the output.
bool ConfigureThroughDialog(const LoadedPlugin& plugin, HostSession& session, const fs::path& out, int frame,
                            std::string* error) {
    const fs::path script = out / "dialog-script.txt";
    if (!WriteTextFile(script.string(), kDemoScript, error)) return false;
    ButtonPress press;
    press.frame = frame;
    press.scriptPath = script.string();
    try {
        PressPluginButton(plugin.entry, session, press);
    } catch (const JobFailure& e) {
        *error = std::string("the settings dialog: ") + e.what();
        return false;
    }
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "tonefade-host: %s\n", message.c_str());
    return 1;
}

std::string PassFailure(const PassResult& result) {
    if (!result.sinkError.empty()) return result.sinkError;
    return std::string("the plug-in answered ") + result.selector + " with " + ResultName(result.result) + " (" +
           std::to_string(int(result.result)) + ") at frame " + std::to_string(result.failedFrame);
}

}  // namespace

// Everything the demo writes into its folder, for -y and -n.
std::vector<std::string> DemoOutputs(const fs::path& out, int frameCount) {
    std::vector<std::string> files = {(out / "demo.mp4").string(), (out / "contact-sheet.png").string(),
                                      (out / "dialog.png").string(), (out / "dialog-script.txt").string()};
    char name[32];
    for (int i = 0; i < frameCount; ++i) {
        std::snprintf(name, sizeof name, "frame_%04d.png", i);
        files.push_back((out / "frames" / name).string());
    }
    return files;
}

int RunDemo(const DemoOptions& options) {
    fs::path out = options.outDir, frames = out / "frames";
    try {
        ConfirmOverwrite(DemoOutputs(out, options.frames), options.overwrite);
    } catch (const JobFailure& e) {
        return Fail(e.what());
    }
    std::error_code ec;
    fs::create_directories(frames, ec);
    std::string error, prefs;
    if (ec) return Fail(frames.string() + ": " + ec.message());
    if (!PreparePrefs(options, out, &prefs, &error)) return Fail(error);
    toolbox::SetPreferencesFolder(prefs);
    LoadedPlugin plugin;
    if (!LoadPluginBundle(options.bundlePath.empty() ? DefaultBundlePath() : options.bundlePath, &plugin, &error))
        return Fail(error);
    InstallInterruptHandlers();
    DemoClip clip(1280, 720, options.frames);
    const fs::path videoPath = out / "demo.mp4", sheetPath = out / "contact-sheet.png";
    OutputSpec format{clip.Width(), clip.Height(), clip.FrameRate(), clip.AudioSampleRate(), clip.AudioChannels(), 0};
    std::unique_ptr<OutputSink> video = OpenOutput(videoPath.string(), format, &error);
    if (!video || !CheckOutputFolder(sheetPath.string(), &error)) return Fail(error);
    HostSession session(clip, clip.Width(), clip.Height());
    host::CallPlugin(plugin.entry, session, kPlugGetInfo);
    if (!ConfigureThroughDialog(plugin, session, out, 0, &error)) return Fail(error);
    PassOptions pass;
    pass.fadeIn = options.fadeIn;
    pass.fadeOut = options.fadeOut;
    DemoSink sink(frames, ContactSheetFrames(clip.FrameCount(), pass.fadeIn, pass.fadeOut, 12), *video);
    ProgressBar bar(!options.quiet && isatty(STDERR_FILENO), clip.FrameCount());
    PassResult result = RunRenderPass(plugin.entry, session, pass, sink, [&](int done, int) { bar.Update(done); });
    bar.Clear();
    if (Interrupted()) return ReportInterrupted("the demo in " + out.string());
    if (!result.ok()) return Fail(PassFailure(result));
    if (!video->Finish(&error) || !sink.Commit(sheetPath.string(), &error)) return Fail(error);
    if (!options.quiet)
        std::fprintf(stderr, "tonefade-host: set the amount and the rectangle in the dialog (%s), rendered %d "
                             "frames in %.1f s: %s, %s, frames in %s\n",
                     (out / "dialog.png").string().c_str(), result.framesRendered, bar.Seconds(),
                     videoPath.string().c_str(), sheetPath.string().c_str(), frames.string().c_str());
    return 0;
}

namespace {

int RunDemoCommand(const OptionValues& args) {
    CommonOptions common = ReadCommonOptions(args);
    DemoOptions options;
    options.outDir = args.Text("--out");
    options.bundlePath = common.pluginPath;
    options.prefsDir = common.prefsDir;
    options.quiet = common.quiet;
    options.overwrite = ReadOverwrite(args);
    options.frames = int(args.Integer("--frames"));
    options.fadeIn = options.fadeOut = std::min(20, options.frames / 4);
    return RunDemo(options);
}

constexpr Option kDemoOptions[] = {
    {.name = "--out", .kind = OptionKind::Text, .value = "DIR", .help = "where to write", .byDefault = "demo-out",
     .noun = "a folder"},
    {.name = "--frames", .kind = OptionKind::Integer, .value = "N", .help = "the length of the clip in frames",
     .byDefault = "90", .min = 1, .max = 100000},
    kOverwriteOption,
    kNoOverwriteOption,
};

}  // namespace

extern const Command kDemoCommand{
    .name = "demo",
    .summary = "render the built-in test clip: a video and a contact sheet",
    .description = "Sets the amount and the rectangle in the plug-in's own dialog with an event script "
                   "(DIR/dialog-script.txt; the dialog as it was set is DIR/dialog.png), presses OK, then renders "
                   "the built-in test clip (1280x720, a 440 Hz tone) through the plug-in with a fade-in and a "
                   "fade-out, and writes DIR/demo.mp4, DIR/contact-sheet.png and the frames as "
                   "DIR/frames/frame_NNNN.png.\n"
                   "The dialog saves the settings in DIR/prefs unless --prefs-dir names another folder.",
    .options = kDemoOptions,
    .run = RunDemoCommand,
};

}  // namespace host
