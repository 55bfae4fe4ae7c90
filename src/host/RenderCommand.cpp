// The render and thumbnail commands: arguments, the clip, the session, the pass, and
// output that is renamed into place only when everything succeeded.
#include "RenderCommand.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "HostJob.h"
#include "ImageSequence.h"
#include "InputFile.h"
#include "Pipeline.h"
#include "Progress.h"
#include "RenderDriver.h"
#include "SettingsCommand.h"
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
    FrameRateRatio ExactFrameRate() const override { return inner_.ExactFrameRate(); }
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
    Overwrite overwrite = Overwrite::Ask;
    std::string progress;  // --progress: a file, "-" or none
    OutputSpec encoding;  // the encoder's choices and the sequence's numbering
};

// "5M", "800k" or "2500000" bits per second.
int64_t ParseBitRate(const std::string& text) {
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    const double scale = *end == 'k' || *end == 'K' ? 1e3 : *end == 'M' ? 1e6 : *end == 'G' ? 1e9 : 1;
    if (scale != 1) ++end;
    if (end == text.c_str() || *end != '\0' || !(value > 0) || value * scale < 1000 || value * scale > 1e11)
        throw UsageError("--bitrate takes bits per second from 1k to 100G, as 5M or 800k, not '" + text + "'");
    return int64_t(std::llround(value * scale));
}

// What applies to an encoded OUTPUT only is refused for the others, never ignored.
void ReadEncoding(const OptionValues& args, const std::string& output, OutputSpec* out) {
    out->startNumber = int(args.Integer("--start-number"));
    if (args.Given("--crf") && args.Given("--bitrate")) throw UsageError("give --crf or --bitrate, not both");
    const bool encoded = !IsSequencePattern(output) && output != "/dev/null";
    for (const char* name : {"--codec", "--crf", "--bitrate", "--pix-fmt"})
        if (args.Given(name) && !encoded)
            throw UsageError(std::string(name) + " applies to a video file or stream; " + output +
                             " is written as it is");
    out->codec = args.Text("--codec");
    out->pixelFormat = args.Text("--pix-fmt");
    if (args.Given("--crf")) out->crf = int(args.Integer("--crf"));
    if (args.Given("--bitrate")) out->bitRate = ParseBitRate(args.Text("--bitrate"));
    if (!IsStandardStream(output) && args.Given("-f"))
        throw UsageError("-f names the format of a stream to standard output (OUTPUT -); a file's type comes from "
                         "its name");
    std::string why;
    if (IsStandardStream(output) && (out->streamFormat = StreamFormatName(args.Text("-f"), &why)).empty())
        throw UsageError(why);
}

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
    if (!ParseRate(args.Text("--rate"), &s.reader.sequenceRate) || s.reader.sequenceRate.Value() > 1000 ||
        s.reader.sequenceRate.Value() < 0.001)
        throw UsageError("--rate takes frames per second from 0.001 to 1000, as 25, 29.97 or 30000/1001, not '" +
                         args.Text("--rate") + "'");
    if (args.Given("--start-number")) s.reader.sequenceStart = int(args.Integer("--start-number"));
    if (args.Given("--input-pix-fmt")) {
        if (!args.Given("--size")) throw UsageError("raw frames (--input-pix-fmt) need their size: --size WxH");
        s.reader.rawPixelFormat = args.Text("--input-pix-fmt");
        s.reader.rawWidth = s.width;
        s.reader.rawHeight = s.height;
    }
    s.reader.threads = int(args.Integer("--threads"));
    s.pass.threads = PipelineThreadsAllowed();
    s.overwrite = ReadOverwrite(args);
    s.progress = args.Text("--progress");
    if (s.progress == "-" && IsStandardStream(s.output))
        throw UsageError("--progress - and OUTPUT - would both write to standard output; give --progress a file");
    ReadEncoding(args, s.output, &s.encoding);
    if (s.output != "/dev/null" && !IsStandardStream(s.output) && !IsStandardStream(s.input) &&
        SameFile(s.input, s.output))
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

// The clip from INPUT, or from standard input kept whole in `copy`.
std::unique_ptr<FrameSource> OpenRenderInput(const RenderSettings& s, StandardInputCopy* copy) {
    if (!IsStandardStream(s.input)) return OpenInput(s.input, s.reader);
    std::string error;
    if (!copy->Take(&error)) throw JobFailure(error);
    std::unique_ptr<FrameSource> clip = OpenClip(copy->Path(), s.reader, &error);
    // The copy's /proc name means nothing to the user.
    if (clip) return clip;
    if (error.compare(0, copy->Path().size(), copy->Path()) != 0) throw JobFailure(error);
    std::string shown = "-";
    throw JobFailure(shown.append(error, copy->Path().size()));
}

// The output takes the clip's exact rate, sound and orientation, with the user's encoder.
OutputSpec OutputFormat(const RenderSettings& s, const FrameSource& clip) {
    OutputSpec format = s.encoding;
    format.width = s.width;
    format.height = s.height;
    format.rate = clip.ExactFrameRate();
    format.frameRate = format.rate.Value();
    format.sampleRate = clip.AudioSampleRate();
    format.channels = clip.AudioChannels();
    format.threads = s.reader.threads;
    format.displayMatrix = clip.DisplayMatrix();
    return format;
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

// The files the render will write: one per frame of a sequence.
std::vector<std::string> RenderOutputs(const RenderSettings& s, int count) {
    if (IsStandardStream(s.output)) return {};
    if (!IsSequencePattern(s.output)) return {s.output};
    std::vector<std::string> files;
    for (int i = s.pass.start; i < s.pass.start + count; ++i)
        files.push_back(SequenceFileName(s.output, s.encoding.startNumber + i));
    return files;
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
    StandardInputCopy standardInput;
    std::unique_ptr<FrameSource> source = OpenRenderInput(s, &standardInput);
    RecordingClip clip(*source);
    CheckSegment(s, clip);
    ChooseSize(clip, s.pass.proxy, &s.width, &s.height);
    CheckFrameSize(s.width, s.height);
    const int count = s.framesGiven ? s.pass.count : clip.FrameCount() - s.pass.start;
    if (!ConfirmOverwrite(RenderOutputs(s, count), s.overwrite)) return ReportInterrupted(s.output);
    std::string error;
    std::unique_ptr<OutputSink> sink = OpenOutput(s.output, OutputFormat(s, clip), &error);
    if (!sink) throw JobFailure(error);
    HostSession session(clip, s.width, s.height);
    CallGetInfo(plugin, session);
    // A person at a terminal learns before the first frame that nothing will change; a
    // script's log gets it with the summary, so that an error stays its only line.
    const bool atTerminal = !s.common.quiet && isatty(STDERR_FILENO);
    if (atTerminal) ReportSettingsUsed(s.common.prefsDir, s.width, s.height);
    ProgressBar bar(atTerminal, count);
    ProgressReport report(s.progress, clip.FrameRate());
    PassResult result = RunRenderPass(plugin.entry, session, s.pass, *sink, [&](int done, int) {
        bar.Update(done);
        report.Update(done);
    });
    bar.Clear();
    report.Update(result.framesRendered, true);
    if (Interrupted()) {
        sink.reset();
        return ReportInterrupted(s.output);
    }
    if (!result.ok()) throw JobFailure(PassFailure(s, result, clip));
    if (!sink->Finish(&error)) throw JobFailure(error);
    if (s.common.quiet) return 0;
    PrintSummary(s, result, s.width, s.height, clip.FrameCount(), bar.Seconds());
    if (!atTerminal) ReportSettingsUsed(s.common.prefsDir, s.width, s.height);
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
    ConfirmOverwrite({output}, ReadOverwrite(args));
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
        throw JobFailure(PassFailure(RenderSettings{input, output, common, {}, 0, 0, false, {}, {}, {}, {}}, failed, clip));
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
             "first of 0 to 4 that exists, or --start-number); - reads a stream (nut, y4m, ...) from standard input"},
    {.name = "OUTPUT",
     .help = ".mp4 (H.264 when available, else MPEG-4), .mkv, .mov, ... with the sound; an image sequence "
             "out/%04d.png, .ppm or .pam (exact pixels, PAM keeps alpha; file numbers are the clip's frame numbers "
             "from 0, or --start-number); - writes a stream to standard output (with -f); /dev/null writes nothing"},
};

constexpr Option kRenderOptions[] = {
    {.name = "--fade-in", .kind = OptionKind::Integer, .value = "N", .help = "the effect eases in over the first N frames of the clip",
     .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--fade-out", .kind = OptionKind::Integer, .value = "N", .help = "the effect eases out over the last N frames of the clip",
     .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--sliders", .kind = OptionKind::Numbers, .value = "A,B,C",
     .help = "the editor's three filter sliders, each from 0 to 1; the effect reads them, but they do not "
             "change its picture", .byDefault = "0.5,0.5,0.5", .min = 0, .max = 1,
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
    {.name = "--rate", .kind = OptionKind::Text, .value = "FPS",
     .help = "the frame rate of an image-sequence input: 25, 29.97 or 30000/1001", .byDefault = "30",
     .noun = "a frame rate"},
    {.name = "--start-number", .kind = OptionKind::Integer, .value = "N",
     .help = "the file number of the first frame of an image sequence, read or written (1001 for VFX sequences)",
     .defaultNote = "the first of 0 to 4 that exists for INPUT, 0 for OUTPUT", .min = 0, .max = 1000000000},
    {.name = "--codec", .kind = OptionKind::Text, .value = "NAME",
     .help = "the video encoder or codec of an encoded OUTPUT: libx264, libx265, libvpx-vp9, ffv1, prores_ks, "
             "rawvideo, ...",
     .defaultNote = "H.264 for .mp4, .mkv, .mov; the type's own otherwise", .noun = "an encoder name"},
    {.name = "--crf", .kind = OptionKind::Integer, .value = "N",
     .help = "constant quality for encoders that have it (x264, x265, VP9): lower is better",
     .defaultNote = "18 for H.264", .min = 0, .max = 63},
    {.name = "--bitrate", .kind = OptionKind::Text, .value = "RATE", .help = "the video bit rate: 5M, 800k",
     .defaultNote = "constant quality", .noun = "a bit rate"},
    {.name = "--pix-fmt", .kind = OptionKind::Text, .value = "FORMAT",
     .help = "the pixel format of an encoded OUTPUT: yuv420p (what players play; needs even sides), yuv444p, "
             "yuv422p10le, ...",
     .defaultNote = "yuv420p where the encoder takes it", .noun = "a pixel format"},
    {.name = "--input-pix-fmt", .kind = OptionKind::Text, .value = "FORMAT",
     .help = "reads INPUT (a file, or - for standard input) as raw frames with no header in this pixel format "
             "(rgb24, yuv420p, ...), of --size and --rate",
     .noun = "a pixel format"},
    {.name = "-f", .kind = OptionKind::Text, .value = "FORMAT",
     .help = "the format of a stream written to standard output (OUTPUT -): nut, y4m, rawvideo, matroska",
     .byDefault = "nut", .noun = "a format"},
    {.name = "--threads", .kind = OptionKind::Integer, .value = "N", .help = "decoder and encoder threads",
     .byDefault = "0", .defaultNote = "0, FFmpeg chooses", .min = 0, .max = 64},
    {.name = "--progress", .kind = OptionKind::Text, .value = "FILE|-",
     .help = "also writes the progress for programs, as ffmpeg's -progress does: every half second a block of "
             "key=value lines (frame, fps, out_time, ..., progress=continue, the last progress=end) to FILE (a "
             "named pipe too) or to standard output (-)",
     .noun = "a file, or - for standard output"},
    kOverwriteOption,
    kNoOverwriteOption,
};

constexpr Argument kThumbnailArguments[] = {
    {.name = "INPUT", .help = "a video file or an image sequence, as for render"},
    {.name = "OUTPUT.png", .help = "the picture: .png, or .ppm or .pam (with alpha); /dev/null keeps nothing"},
};

constexpr Option kThumbnailOptions[] = {
    {.name = "--frame", .kind = OptionKind::Integer, .value = "N",
     .help = "the frame to show, counted from 0", .byDefault = "0", .min = 0, .max = kMaxFrames},
    {.name = "--size", .kind = OptionKind::Size, .value = "WxH", .help = "the size of the picture",
     .defaultNote = "the input's"},
    kOverwriteOption,
    kNoOverwriteOption,
};

}  // namespace

extern const Command kRenderCommand{
    .name = "render",
    .summary = "render a video file or image sequence through the plug-in",
    .arguments = kRenderArguments,
    .description = "Renders INPUT through the plug-in into OUTPUT, every frame in turn, as the video editor does. "
                   "The effect's settings (amount and rectangle) are those 'tonefade-host settings' shows and sets; "
                   "the summary at the end repeats them.",
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
