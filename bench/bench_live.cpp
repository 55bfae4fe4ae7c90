// How far the live window lags the mouse: the time from a pointer motion event to the
// presented frame that shows it (or a later motion), while a corner of the effect
// rectangle is dragged in the HD layout of the configuration dialog. The real modal loop,
// control tracking, preview rendering and presenting run; the motions are put into the
// display's queue by a second thread, one every frame of the display, one every 8 ms (a
// 125 Hz mouse) and as fast as they come. Aim: under 8 ms.
//
// Needs a display: run it under Xvfb (xvfb-run -s "-screen 0 1600x1000x24"
// build/bin/bench_live) or a desktop session; SDL_VIDEODRIVER=dummy measures without one.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "Carbon.h"
#include "dialog/CarbonMacros.h"
#include "dialog/ClipCtrl.h"
#include "dialog/ColorCtrl.h"
#include "dialog/ConfigDlgHandler.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"
#include "events/LiveEventSource.h"

namespace {

using Clock = std::chrono::steady_clock;
using toolbox::LiveEventSource;

std::string BundlePath() {
    if (const char* dir = std::getenv("TONEFADE_BUILD_DIR")) return std::string(dir) + "/Tonefade.bundle";
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "Tonefade.bundle").string();
}

// The HD dialog window on a record, as DoConfig sets it up, with a noisy 960×540 clip.
struct HDDialog {
    pluginDataRec config{};
    WindowRef window = nullptr;

    HDDialog() {
        std::string error;
        if (!toolbox::RegisterBundle(BundlePath(), &error)) {
            std::fprintf(stderr, "bench_live: %s\n", error.c_str());
            std::exit(1);
        }
        ResetConfig(&config);
        config.sliders[0] = 100;
        config.mediaType = kMediaHD;
        config.startRel = relRect{0.25, 0.75, 0.25, 0.75};
        pluginWorkSpace& ws = gConfigWorkSpace;
        ws = pluginWorkSpace{};
        ws.theConfig = gTheConfig = &config;
        ws.sourceClip = AllocateGWorld(960, 540);
        ws.theFXClip = AllocateGWorld(960, 540);
        ws.maxFrameIndex = 249;
        ws.activeRel = 1;
        FillWithNoise(ws.sourceClip);
        RegisterColorBox();
        RegisterClipCtrl();
        window = OpenNibWindowFromCFBundle(cBundleIdentifier, cNibName, ConfigWindowName(kMediaHD));
        SetupDialog(window, &config);
    }
    ~HDDialog() {
        DisposeWindow(window);
        UnregisterClipCtrl();
        UnregisterColorBox();
        DisposeGWorld(gConfigWorkSpace.sourceClip);
        DisposeGWorld(gConfigWorkSpace.theFXClip);
    }
    static void FillWithNoise(GWorldPtr world) {
        PixMapHandle pm = GetGWorldPixMap(world);
        std::mt19937 gen(7);
        for (int y = 0; y < 540; ++y) {
            auto* row = reinterpret_cast<UInt32*>(GetPixBaseAddr(pm) + std::ptrdiff_t(y) * GetPixRowBytes(pm));
            for (int x = 0; x < 960; ++x) row[x] = gen() | 0xFF;
        }
    }
};

struct Sent {
    Clock::time_point at;
    Point where;  // global
};

// The motions of one drag: distinct points right of and below the handle, row by row.
std::vector<Point> DragPath(Point corner, int moves) {
    std::vector<Point> path;
    for (int i = 1; i <= moves; ++i) path.push_back(Point{SInt16(corner.v + i / 100), SInt16(corner.h + i % 100)});
    return path;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, std::size_t(p * double(v.size() - 1) + 0.5))];
}

// One drag of the bottom-right handle with a motion every `spacing`; prints the figures.
void MeasureDrag(HDDialog& dialog, LiveEventSource& live, std::chrono::microseconds spacing, int moves,
                 const char* what) {
    Rect content{}, clip = GetControlBox(gConfigWorkSpace.theFrameCtrl);
    GetWindowBounds(dialog.window, kWindowContentRgn, &content);
    const Rect effect = Rel2Rect(dialog.config.startRel, clip);
    const std::vector<Point> path = DragPath(Point{effect.bottom, effect.right}, moves);
    std::map<std::pair<int, int>, int> indexOf;
    for (int i = 0; i < moves; ++i) indexOf[{path[i].h + content.left, path[i].v + content.top}] = i;
    std::vector<LiveEventSource::PresentInfo> frames;
    std::atomic<bool> shown{false};
    live.SetPresentObserver([&](const LiveEventSource::PresentInfo& p) {
        frames.push_back(p);
        shown = true;
    });
    std::vector<Sent> sent(path.size());
    std::thread mouse([&] {
        while (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live.Inject(LiveEventSource::Synthetic::Press, effect.right, effect.bottom);
        Clock::time_point next = Clock::now() + std::chrono::milliseconds(50);
        for (std::size_t i = 0; i < path.size(); ++i, next += spacing) {
            std::this_thread::sleep_until(next);
            sent[i] = Sent{Clock::now(), path[i]};
            live.Inject(LiveEventSource::Synthetic::Move, path[i].h, path[i].v);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        live.Inject(LiveEventSource::Synthetic::Release, path.back().h, path.back().v);
        live.Inject(LiveEventSource::Synthetic::CloseWindow, 0, 0);
    });
    ShowWindow(dialog.window);
    SetPortWindowPort(dialog.window);
    RunAppModalLoopForWindow(dialog.window);
    HideWindow(dialog.window);
    mouse.join();
    live.SetPresentObserver(nullptr);

    // Each motion is shown by the first frame after it that shows it or a later motion.
    std::vector<double> lags;
    int ownFrame = 0;
    for (int i = 0; i < moves; ++i) {
        for (const auto& f : frames) {
            auto it = indexOf.find({f.lastPointer.h, f.lastPointer.v});
            if (f.presentedAt < sent[i].at || it == indexOf.end() || it->second < i) continue;
            lags.push_back(std::chrono::duration<double, std::milli>(f.presentedAt - sent[i].at).count());
            ownFrame += it->second == i;
            break;
        }
    }
    std::printf("%-22s %4d moves, %4zu frames, %4d moves with a frame of their own; lag median %5.2f ms, "
                "p90 %5.2f, p99 %5.2f, max %5.2f\n",
                what, moves, frames.size(), ownFrame, Percentile(lags, 0.5), Percentile(lags, 0.9),
                Percentile(lags, 0.99), Percentile(lags, 1.0));
    if (int(lags.size()) != moves) std::printf("%22s %d moves never shown\n", "", moves - int(lags.size()));
}

}  // namespace

int main(int argc, char** argv) {
    const int moves = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    std::string why;
    std::unique_ptr<LiveEventSource> live = LiveEventSource::Open(&why);
    if (!live) {
        std::fprintf(stderr, "bench_live: %s\nRun it on a display, or under xvfb-run, or with SDL_VIDEODRIVER=dummy.\n",
                     why.c_str());
        return 2;
    }
    HDDialog dialog;
    const char* display = std::getenv("DISPLAY");
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    std::printf("bench_live: pointer motion to presented frame, corner drag in the HD dialog (1232x608, 960x540 "
                "preview)\ndisplay %s%s%s, refresh %.0f Hz (a frame at most every %.1f ms); target: under 8 ms\n",
                display ? display : "-", driver ? ", SDL_VIDEODRIVER=" : "", driver ? driver : "", live->RefreshRate(),
                1000.0 / live->RefreshRate());
    toolbox::ScopedEventSource input(live.get());
    const auto frame = std::chrono::microseconds(long(1e6 / live->RefreshRate()));
    MeasureDrag(dialog, *live, frame, moves, "a move every frame:");
    MeasureDrag(dialog, *live, std::chrono::microseconds(8000), moves, "a move every 8 ms:");
    MeasureDrag(dialog, *live, std::chrono::microseconds(1000), moves, "a move every 1 ms:");
    return 0;
}
