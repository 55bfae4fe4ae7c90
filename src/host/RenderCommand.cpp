// The render and thumbnail commands: arguments, the clip, the session, the pass, and
// output that is renamed into place only when everything succeeded.
#include "RenderCommand.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>

#include "HostJob.h"
#include "ImageSequence.h"
#include "Pipeline.h"
#include "Progress.h"
#include "RenderDriver.h"
#include "VideoReader.h"
#include "VideoWriter.h"
#include "quickdraw/QuickDraw.h"

namespace host {

namespace {

// Passes frames through and keeps why the last read failed: the host's callbacks can
// only tell the plug-in that a frame is missing, not why.
class RecordingClip : public FrameSource {
public:
    explicit RecordingClip(FrameSource& inner) : inner_(inner) {}
    int FrameCount() const override { return inner_.FrameCount(); }
    int Width() const override { return inner_.Width(); }
    int Height() const override { return inner_.Height(); }
    double FrameRate() const override { return inner_.FrameRate(); }
    bool ReadFrame(int index, GWorldPtr world, std::string* error) override {
        std::string why;
        if (inner_.ReadFrame(index, world, &why)) return true;
        lastError_ = why;
        if (error) *error = why;
        return false;
    }
    std::vector<int16_t> FrameAudio(int index) override { return inner_.FrameAudio(index); }
    int AudioSampleRate() const override { return inner_.AudioSampleRate(); }
    int AudioChannels() const override { return inner_.AudioChannels(); }
    std::vector<int32_t> DisplayMatrix() const override { return inner_.DisplayMatrix(); }
    const std::string& LastError() const { return lastError_; }

private:
    FrameSource& inner_;
    std::string lastError_;
};

struct RenderSettings {
    std::string input, output;
    CommonOptions common;
    PassOptions pass;
    int width = 0, height = 0;  // 0: from the clip
    bool framesGiven = false;
    ReaderOptions reader;
};

RenderSettings ParseRender(const OptionValues& args) {
    RenderSettings s;
    s.input = args.Arguments()[0];
    s.output = args.Arguments()[1];
    s.common = ReadCommonOptions(args);
    s.pass.fadeIn = int(args.Integer("--fade-in"));
    s.pass.fadeOut = int(args.Integer("--fade-out"));
    for (std::size_t i = 0; i < 3; ++i) s.pass.sliders[i] = float(args.Numbers("--sliders")[i]);
    s.width = args.Size("--size").width;
    s.height = args.Size("--size").height;
    s.pass.proxy = args.Flag("--proxy");
    s.pass.start = int(args.Integer("--start"));
    s.framesGiven = args.Given("--frames");
    if (s.framesGiven) s.pass.count = int(args.Integer("--frames"));
    s.reader.sequenceRate = args.Number("--rate");
    s.reader.threads = int(args.Integer("--threads"));
    s.pass.threads = PipelineThreadsAllowed();
    if (s.output != "/dev/null" && SameFile(s.input, s.output))
        throw UsageError("OUTPUT is the same file as INPUT: " + s.output);
    std::string why;
    if (!KnownOutputType(s.output, &why)) throw UsageError(why);
    return s;
}

std::unique_ptr<FrameSource> OpenInput(const std::string& path, const ReaderOptions& options) {
    std::string error;
    std::unique_ptr<FrameSource> clip = OpenClip(path, options, &error);
    if (!clip) throw JobFailure(error);
    return clip;
}

// A proxy is what the editor shows while editing: small frames, 240 lines high.
void ChooseSize(const FrameSource& clip, bool proxy, int* width, int* height) {
    if (*width > 0) return;
    *width = clip.Width();
    *height = clip.Height();
    if (proxy && clip.Height() > 240) {
        *height = 240;
        *width = std::max(2, int(std::lround(clip.Width() * 240.0 / clip.Height() / 2.0)) * 2);
    }
}

// Each side fits the plug-in's 16-bit rectangles; the whole must fit one offscreen world.
void CheckFrameSize(int width, int height) {
    if (long(width) * long(height) > toolbox::kMaxGWorldPixels)
        throw UsageError("frames of " + std::to_string(width) + "x" + std::to_string(height) +
                         " have more pixels than one offscreen world holds (" +
                         std::to_string(toolbox::kMaxGWorldPixels) + ")");
}

void CheckSegment(const RenderSettings& s, const FrameSource& clip) {
    const int total = clip.FrameCount();
    if (s.pass.start >= total)
        throw UsageError("--start " + std::to_string(s.pass.start) + " is past the end of " + s.input + " (" +
                         std::to_string(total) + " frames)");
    if (s.framesGiven && s.pass.start + s.pass.count > total)
        throw UsageError("--start " + std::to_string(s.pass.start) + " --frames " + std::to_string(s.pass.count) +
                         " reaches past the end of " + s.input + " (" + std::to_string(total) + " frames)");
}

std::string PassFailure(const RenderSettings& s, const PassResult& r, const RecordingClip& clip) {
    if (!r.sinkError.empty()) return r.sinkError;
    if (r.result == kPluginOK) return clip.LastError();
    std::string what = std::string("the plug-in answered ") + r.selector + " with " + ResultName(r.result) + " (" +
                       std::to_string(int(r.result)) + ")";
    if (r.failedFrame >= 0) what += " at frame " + std::to_string(r.failedFrame);
    if (!clip.LastError().empty()) return clip.LastError() + "; " + what;
    return s.input + ": " + what;
}

void CallGetInfo(const LoadedPlugin& plugin, HostSession& session) {
    HYPluginResult r = CallPlugin(plugin.entry, session, kPlugGetInfo);
    if (r != kPluginOK)
        throw JobFailure(plugin.bundlePath + ": the plug-in answered kPlugGetInfo with " + ResultName(r) + " (" +
                         std::to_string(int(r)) + ")");
}

void PrintSummary(const RenderSettings& s, const PassResult& r, int width, int height, int total, double seconds) {
    std::fprintf(stderr, "tonefade-host: rendered frames %d-%d of %d (%dx%d) from %s to %s in %.2f s, %.1f frames/s\n",
                 s.pass.start, s.pass.start + r.framesRendered - 1, total, width, height, s.input.c_str(),
                 s.output.c_str(), seconds, seconds > 0 ? r.framesRendered / seconds : 0.0);
}

// False when a signal came before the picture was in place.
bool WriteThumbnail(GWorldPtr picture, ImageKind kind, const std::string& output) {
    PendingFiles files;
    std::string error;
    if (!WriteImageFile(picture, kind, files.Add(output), &error)) throw JobFailure(output + ": " + error);
    if (Interrupted()) return false;
    if (!files.Commit(&error)) throw JobFailure(error);
    return true;
}

int RunRender(const OptionValues& args) {
    RenderSettings s = ParseRender(args);
    InstallInterruptHandlers();
    LoadedPlugin plugin = LoadPluginFor(s.common);
    std::unique_ptr<FrameSource> source = OpenInput(s.input, s.reader);
    RecordingClip clip(*source);
    CheckSegment(s, clip);
    ChooseSize(clip, s.pass.proxy, &s.width, &s.height);
    CheckFrameSize(s.width, s.height);
    OutputSpec format{s.width, s.height, clip.FrameRate(), clip.AudioSampleRate(), clip.AudioChannels(),
                    s.reader.threads, clip.DisplayMatrix()};
    std::string error;
    std::unique_ptr<OutputSink> sink = OpenOutput(s.output, format, &error);
    if (!sink) throw JobFailure(error);
    HostSession session(clip, s.width, s.height);
    CallGetInfo(plugin, session);
    const int count = s.framesGiven ? s.pass.count : clip.FrameCount() - s.pass.start;
    ProgressBar bar(!s.common.quiet && isatty(STDERR_FILENO), count);
    PassResult result = RunRenderPass(plugin.entry, session, s.pass, *sink, [&](int done, int) { bar.Update(done); });
    bar.Clear();
    if (Interrupted()) {
        sink.reset();
        return ReportInterrupted(s.output);
    }
    if (!result.ok()) throw JobFailure(PassFailure(s, result, clip));
    if (!sink->Finish(&error)) throw JobFailure(error);
    if (!s.common.quiet) PrintSummary(s, result, s.width, s.height, clip.FrameCount(), bar.Seconds());
    return 0;
}

int RunThumbnail(const OptionValues& args) {
    const std::string input = args.Arguments()[0], output = args.Arguments()[1];
    CommonOptions common = ReadCommonOptions(args);
    const int frame = int(args.Integer("--frame"));
    int width = args.Size("--size").width, height = args.Size("--size").height;
    // /dev/null takes the picture and keeps nothing, as it does for render.
    const ImageKind kind = output == "/dev/null" ? ImageKind::Png : ImageKindOf(output);
    if (kind == ImageKind::None || IsSequencePattern(output))
        throw UsageError(output + ": the thumbnail is written as one .png (or .ppm or .pam) file");
    if (SameFile(input, output)) throw UsageError("OUTPUT is the same file as INPUT: " + output);
    InstallInterruptHandlers();
    LoadedPlugin plugin = LoadPluginFor(common);
    std::unique_ptr<FrameSource> source = OpenInput(input, ReaderOptions{});
    RecordingClip clip(*source);
    if (frame >= clip.FrameCount())
        throw UsageError("--frame " + std::to_string(frame) + " is past the end of " + input + " (" +
                         std::to_string(clip.FrameCount()) + " frames)");
    ChooseSize(clip, false, &width, &height);
    CheckFrameSize(width, height);
    std::string error;
    if (!CheckOutputFolder(output, &error)) throw JobFailure(error);
    HostSession session(clip, width, height);
    CallGetInfo(plugin, session);
    session.Params().getInfo.bestThumbOffset = frame;
    HYPluginResult r = CallPlugin(plugin.entry, session, kPlugFilePlaceHolder);
    // The placeholder reports only how the pass began; a frame that could not be read
    // would leave an empty picture, which must not pass for a thumbnail.
    if (r != kPluginOK || !clip.LastError().empty()) {
        PassResult failed{r, "kPlugFilePlaceHolder", frame, 0, {}};
        throw JobFailure(PassFailure(RenderSettings{input, output, common, {}, 0, 0, false, {}}, failed, clip));
    }
    if (!WriteThumbnail(session.Target(), kind, output)) return ReportInterrupted(output);
    if (!common.quiet)
        std::fprintf(stderr, "tonefade-host: wrote the placeholder of frame %d of %s (%dx%d) to %s\n", frame,
                     input.c_str(), width, height, output.c_str());
    return 0;
}

// ---------------------------------------------------------------------------------------
// The commands' tables

constexpr long kMaxFrames = 100000000;

constexpr Argument kRenderArguments[] = {
    {.name = "INPUT",
     .help = "a video file FFmpeg reads, or an image sequence: frames/%04d.png, .ppm or .pam (numbered on from the "
             "first of 0 to 4 that exists)"},
    {.name = "OUTPUT",
     .help = ".mp4 (H.264 when available, else MPEG-4), .mkv, .mov, ... with the sound; an image sequence "
             "out/%04d.png, .ppm or .pam (exact pixels, PAM keeps alpha; file numbers are the clip's frame numbers "
             "from 0); /dev/null writes nothing"},
};

constexpr Option kRenderOptions[] = {
    {.name = "--fade-in", .kind = OptionKind::Integer, .value = "N", .help = "fade-in length in frames",
     .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--fade-out", .kind = OptionKind::Integer, .value = "N", .help = "fade-out length in frames",
     .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--sliders", .kind = OptionKind::Numbers, .value = "A,B,C",
     .help = "the editor's three slider values, each from 0 to 1", .byDefault = "0.5,0.5,0.5", .min = 0, .max = 1,
     .count = 3},
    {.name = "--size", .kind = OptionKind::Size, .value = "WxH", .help = "the frame size the plug-in renders at",
     .defaultNote = "the input's"},
    {.name = "--proxy", .help = "renders a proxy: 240 lines high unless --size, low quality, no sound"},
    {.name = "--start", .kind = OptionKind::Integer, .value = "N", .help = "the first frame to render",
     .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--frames", .kind = OptionKind::Integer, .value = "M",
     .help = "how many frames to render. The plug-in sees the whole clip, so segments join into exactly one full "
             "render",
     .defaultNote = "to the end", .min = 1, .max = kMaxFrames},
    {.name = "--rate", .kind = OptionKind::Number, .value = "FPS", .help = "the frame rate of an image-sequence input",
     .byDefault = "30", .min = 0.001, .max = 1000},
    {.name = "--threads", .kind = OptionKind::Integer, .value = "N", .help = "decoder and encoder threads",
     .byDefault = "0", .defaultNote = "0, FFmpeg chooses", .min = 0, .max = 64},
};

constexpr Argument kThumbnailArguments[] = {
    {.name = "INPUT", .help = "a video file or an image sequence, as for render"},
    {.name = "OUTPUT.png", .help = "the picture: .png, or .ppm or .pam (with alpha); /dev/null keeps nothing"},
};

constexpr Option kThumbnailOptions[] = {
    {.name = "--frame", .kind = OptionKind::Integer, .value = "N",
     .help = "the frame, as the editor's best thumbnail offset", .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--size", .kind = OptionKind::Size, .value = "WxH", .help = "the size of the picture",
     .defaultNote = "the input's"},
};

}  // namespace

extern const Command kRenderCommand{
    .name = "render",
    .summary = "render a video file or image sequence through the plug-in",
    .arguments = kRenderArguments,
    .description = "Renders INPUT through the plug-in into OUTPUT, every frame in turn, as the video editor does. "
                   "The effect's settings come from the preferences folder.",
    .options = kRenderOptions,
    .run = RunRender,
};

extern const Command kThumbnailCommand{
    .name = "thumbnail",
    .summary = "write the plug-in's placeholder picture for one frame of a clip",
    .arguments = kThumbnailArguments,
    .description = "Writes the picture the plug-in gives the editor to stand for the clip: frame N of INPUT, "
                   "with the effect.",
    .options = kThumbnailOptions,
    .run = RunThumbnail,
};

}  // namespace host
