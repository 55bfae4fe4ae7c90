// The demo: the built-in clip through the real bundle into a video with its sound,
// frames as PNG and a contact sheet.
#include "Demo.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "Carbon.h"
#include "ContactSheet.h"
#include "DemoClip.h"
#include "PluginLoader.h"
#include "Progress.h"
#include "RenderDriver.h"
#include "VideoWriter.h"
#include "quickdraw/QDPng.h"

namespace host {

namespace fs = std::filesystem;

namespace {

// Encodes every frame into the video, writes it as PNG and keeps the chosen ones for
// the contact sheet.
class DemoSink : public FrameSink {
public:
    DemoSink(fs::path folder, std::vector<int> sheetFrames, OutputSink& video)
        : folder_(std::move(folder)), picks_(std::move(sheetFrames)), sheet_(4, 320, 180), video_(video) {}
    bool Consume(int index, GWorldPtr frame, const std::vector<int16_t>& audio, std::string* error) override {
        if (!video_.Consume(index, frame, audio, error)) return false;
        char name[32];
        std::snprintf(name, sizeof name, "frame_%04d.png", index);
        if (!toolbox::WritePortPNG(frame, (folder_ / name).string(), error)) {
            *error = (folder_ / name).string() + ": " + *error;
            return false;
        }
        if (std::find(picks_.begin(), picks_.end(), index) != picks_.end()) sheet_.Add(frame);
        return true;
    }
    ContactSheet& Sheet() { return sheet_; }

private:
    fs::path folder_;
    std::vector<int> picks_;
    ContactSheet sheet_;
    OutputSink& video_;
};

// The demo's own preferences folder, seeded with the settings the build wrote.
bool PreparePrefs(const DemoOptions& options, const fs::path& out, std::string* prefs, std::string* error) {
    if (!options.prefsDir.empty()) {
        *prefs = options.prefsDir;
        return true;
    }
    fs::path dir = out / "prefs", seed = fs::path(DefaultBundlePath()).parent_path() / "share/demo-prefs/vardo-Prefs";
    std::error_code ec;
    if (!fs::exists(seed)) {
        // Without it the demo would quietly show the default settings, which change nothing.
        *error = seed.string() + ": the demo's settings are missing (build the demo-prefs target)";
        return false;
    }
    fs::create_directories(dir, ec);
    if (!ec) fs::copy_file(seed, dir / "vardo-Prefs", fs::copy_options::overwrite_existing, ec);
    if (ec) {
        *error = dir.string() + ": " + ec.message();
        return false;
    }
    *prefs = dir.string();
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

int RunDemo(const DemoOptions& options) {
    fs::path out = options.outDir, frames = out / "frames";
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
    OutputSpec spec{clip.Width(), clip.Height(), clip.FrameRate(), clip.AudioSampleRate(), clip.AudioChannels(), 0};
    std::unique_ptr<OutputSink> video = OpenOutput(videoPath.string(), spec, &error);
    if (!video) return Fail(error);
    HostSession session(clip, clip.Width(), clip.Height());
    host::CallPlugin(plugin.entry, session, kPlugGetInfo);
    PassOptions pass;
    pass.fadeIn = options.fadeIn;
    pass.fadeOut = options.fadeOut;
    DemoSink sink(frames, ContactSheetFrames(clip.FrameCount(), pass.fadeIn, pass.fadeOut, 12), *video);
    ProgressBar bar(!options.quiet && isatty(STDERR_FILENO), clip.FrameCount());
    PassResult result = RunRenderPass(plugin.entry, session, pass, sink, [&](int done, int) { bar.Update(done); });
    bar.Clear();
    if (Interrupted()) return Fail("interrupted; " + videoPath.string() + " was not written"), InterruptedStatus();
    if (!result.ok()) return Fail(PassFailure(result));
    if (!video->Finish(&error)) return Fail(error);
    if (!sink.Sheet().Write(sheetPath.string(), &error)) return Fail(sheetPath.string() + ": " + error);
    if (!options.quiet)
        std::fprintf(stderr, "tonefade-host: rendered %d frames in %.1f s: %s, %s, frames in %s\n",
                     result.framesRendered, bar.Seconds(), videoPath.string().c_str(), sheetPath.string().c_str(),
                     frames.string().c_str());
    return 0;
}

}  // namespace host
