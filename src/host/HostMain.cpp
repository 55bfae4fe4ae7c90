// tonefade-host: loads the plug-in bundle and renders video through it.
// Exit status: 0 done, 1 the job failed, 2 wrong usage, 128+signal when interrupted.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

#include "ConfigureCommand.h"
#include "Demo.h"
#include "FFmpegUtil.h"
#include "HostJob.h"
#include "InfoCommand.h"
#include "RenderCommand.h"

namespace {

const char* kUsage =
    "usage: tonefade-host COMMAND [OPTIONS]\n"
    "\n"
    "Commands:\n"
    "  render     render a video file or image sequence through the plug-in\n"
    "  thumbnail  write the plug-in's placeholder frame for one frame of a clip\n"
    "  info       print the plug-in's description of itself (--json for JSON)\n"
    "  configure  press the plug-in's button: its settings dialog, driven by an event script\n"
    "  demo       render the built-in test clip: a video and a contact sheet\n"
    "\n"
    "Every command takes --plugin BUNDLE and --prefs-dir DIR.\n"
    "Run 'tonefade-host COMMAND --help' for a command's options.\n";

const char* kDemoUsage =
    "usage: tonefade-host demo [--out DIR] [--frames N] [--plugin BUNDLE] [--prefs-dir DIR] [--quiet]\n"
    "\n"
    "Sets the amount and the rectangle in the plug-in's own dialog with an event script\n"
    "(DIR/dialog-script.txt; the dialog as it was set is DIR/dialog.png), presses OK, then\n"
    "renders the built-in test clip (1280x720, a 440 Hz tone) through the plug-in with a\n"
    "fade-in and a fade-out, and writes DIR/demo.mp4, DIR/contact-sheet.png and the\n"
    "frames as DIR/frames/frame_NNNN.png.\n"
    "  --out DIR        where to write (default demo-out)\n"
    "  --frames N       length of the clip in frames (default 90)\n"
    "  --plugin BUNDLE  the plug-in bundle (default: the one built beside this program)\n"
    "  --prefs-dir DIR  the preferences folder the dialog saves into (default: DIR/prefs)\n"
    "  --quiet          no progress or summary\n";

int Demo(int argc, char** argv) {
    host::Args args(argc, argv, 2, {TONEFADE_COMMON_SWITCHES}, {TONEFADE_COMMON_VALUED, "--out", "--frames"});
    if (args.Has("--help")) return std::fputs(kDemoUsage, stdout), 0;
    args.ExpectPositional({});
    host::CommonOptions common = host::ReadCommonOptions(args);
    host::DemoOptions options;
    options.outDir = args.Value("--out", options.outDir);
    options.bundlePath = common.pluginPath;
    options.prefsDir = common.prefsDir;
    options.quiet = common.quiet;
    if (args.Has("--frames")) {
        options.frames = int(host::ParseInteger("--frames", args.Value("--frames"), 1, 100000));
        options.fadeIn = options.fadeOut = std::min(20, options.frames / 4);
    }
    return host::RunDemo(options);
}

int Dispatch(const std::string& command, int argc, char** argv) {
    if (command == "render") return host::RunRender(argc, argv);
    if (command == "thumbnail") return host::RunThumbnail(argc, argv);
    if (command == "info") return host::RunInfo(argc, argv);
    if (command == "configure") return host::RunConfigure(argc, argv);
    if (command == "demo") return Demo(argc, argv);
    std::fprintf(stderr, "tonefade-host: unknown command %s (see tonefade-host --help)\n", command.c_str());
    return 2;
}

// The last resort, for what no command foresaw: one line and a failed job, never an abort.
int Unforeseen() {
    std::string what;
    try {
        throw;
    } catch (const std::bad_alloc&) {
        what = "out of memory";
    } catch (const std::exception& e) {
        what = e.what();
    } catch (...) {
        what = "an unknown error";
    }
    for (char& c : what)
        if (c == '\n' || c == '\r') c = ' ';
    std::fprintf(stderr, "tonefade-host: the job failed: %s\n", what.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 2) return std::fputs(kUsage, stderr), 2;
    const std::string command = argv[1];
    if (command == "--help" || command == "-h" || command == "help") return std::fputs(kUsage, stdout), 0;
    host::av::QuietLogs();
    try {
        return Dispatch(command, argc, argv);
    } catch (const host::UsageError& e) {
        std::fprintf(stderr, "tonefade-host %s: %s (see tonefade-host %s --help)\n", command.c_str(), e.what(),
                     command.c_str());
        return 2;
    } catch (const host::JobFailure& e) {
        std::fprintf(stderr, "tonefade-host: %s\n", e.what());
        return 1;
    }
} catch (...) {
    return Unforeseen();
}
