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
#include <map>
#include <thread>
#include <vector>

#include "Carbon.h"
#include "dialog/CarbonMacros.h"
#include "dialog/ConfigDlgHandler.h"
#include "effect/CommonProcs.h"
#include "effect/CommonProcsText.h"
#include "effect/DataHandling.h"
#include "effect/RelRects.h"
#include "input/LiveEventSource.h"
#include "support/DialogWindow.h"
#include "support/LastResort.h"

namespace {

using Clock = std::chrono::steady_clock;
using toolbox::LiveEventSource;

// The HD dialog window on a record, as DoConfig sets it up, with a noisy 960×540 clip.
struct HDDialog {
    pluginDataRec config = testsupport::HDSettings(relRect{0.25, 0.75, 0.25, 0.75});
    testsupport::DialogWindow dialog{config, 960, 540};
    WindowRef window = dialog.window;
};

struct Sent {
    Clock::time_point at;
    Point where;  // global
};

// Notes when each pointer input reaches the toolbox, to tell the wait in the queue from
// the drawing and presenting after it.
class HandOutTimes : public toolbox::EventSource {
public:
    explicit HandOutTimes(LiveEventSource& live) : live_(live) {}
    toolbox::InputEvent NextInput() override {
        toolbox::InputEvent e = live_.NextInput();
        if (e.type == toolbox::InputType::MouseDragged) handedOut[{e.where.h, e.where.v}] = Clock::now();
        return e;
    }
    std::map<std::pair<int, int>, Clock::time_point> handedOut;

private:
    LiveEventSource& live_;
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

// What one drag left: the motions sent, when each reached the toolbox, and the frames.
struct DragRecord {
    std::vector<Sent> sent;
    std::map<std::pair<int, int>, Clock::time_point> handedOut;
    std::vector<LiveEventSource::PresentInfo> frames;
};

// The person's hand: press on the handle, a motion every `spacing`, release, close.
void MoveTheMouse(LiveEventSource& live, const std::vector<Point>& path, Point press,
                  std::chrono::microseconds spacing, const std::atomic<bool>& shown, DragRecord& record) {
    while (!shown) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    live.Inject(LiveEventSource::Synthetic::Press, press.h, press.v);
    Clock::time_point next = Clock::now() + std::chrono::milliseconds(50);
    for (std::size_t i = 0; i < path.size(); ++i, next += spacing) {
        std::this_thread::sleep_until(next);
        record.sent[i] = Sent{Clock::now(), path[i]};
        live.Inject(LiveEventSource::Synthetic::Move, path[i].h, path[i].v);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    live.Inject(LiveEventSource::Synthetic::Release, path.back().h, path.back().v);
    live.Inject(LiveEventSource::Synthetic::CloseWindow, 0, 0);
}

// One drag of the bottom-right handle through the real modal loop and tracking.
DragRecord Drag(HDDialog& dialog, LiveEventSource& live, const std::vector<Point>& path, Point press,
                std::chrono::microseconds spacing) {
    DragRecord record;
    record.sent.resize(path.size());
    std::atomic<bool> shown{false};
    live.SetPresentObserver([&](const LiveEventSource::PresentInfo& p) {
        record.frames.push_back(p);
        shown = true;
    });
    HandOutTimes input(live);
    std::thread mouse([&] { MoveTheMouse(live, path, press, spacing, shown, record); });
    {
        toolbox::ScopedEventSource scope(&input);
        ShowWindow(dialog.window);
        SetPortWindowPort(dialog.window);
        RunAppModalLoopForWindow(dialog.window);
        HideWindow(dialog.window);
    }
    mouse.join();
    live.SetPresentObserver(nullptr);
    record.handedOut = std::move(input.handedOut);
    return record;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Each motion is shown by the first frame after it that shows it or a later motion.
void Report(const DragRecord& r, const Rect& content, const char* what) {
    std::map<std::pair<int, int>, int> indexOf;
    for (std::size_t i = 0; i < r.sent.size(); ++i)
        indexOf[{r.sent[i].where.h + content.left, r.sent[i].where.v + content.top}] = int(i);
    std::vector<double> lags, queued;
    int own = 0;
    for (std::size_t i = 0; i < r.sent.size(); ++i) {
        for (const auto& f : r.frames) {
            auto it = indexOf.find({f.lastPointer.h, f.lastPointer.v});
            if (f.presentedAt < r.sent[i].at || it == indexOf.end() || it->second < int(i)) continue;
            lags.push_back(Ms(f.presentedAt - r.sent[i].at));
            if (it->second != int(i)) break;
            ++own;
            auto h = r.handedOut.find({r.sent[i].where.h + content.left, r.sent[i].where.v + content.top});
            if (h != r.handedOut.end()) queued.push_back(Ms(h->second - r.sent[i].at));
            break;
        }
    }
    // How old the newest motion a frame shows is when the frame goes up.
    std::vector<double> ages;
    for (const auto& f : r.frames)
        if (auto it = indexOf.find({f.lastPointer.h, f.lastPointer.v}); it != indexOf.end())
            ages.push_back(Ms(f.presentedAt - r.sent[std::size_t(it->second)].at));
    std::printf("%-20s %zu moves, %3zu frames, %3d moves with a frame of their own\n", what, r.sent.size(),
                r.frames.size(), own);
    std::printf("%-20s motion to the first frame showing it: median %5.2f ms, p90 %5.2f, p99 %5.2f, max %5.2f"
                " (queued %4.2f)\n", "", Percentile(lags, 0.5), Percentile(lags, 0.9), Percentile(lags, 0.99),
                Percentile(lags, 1.0), Percentile(queued, 0.5));
    std::printf("%-20s age of the newest motion a frame shows: median %5.2f ms, p90 %5.2f, max %5.2f\n", "",
                Percentile(ages, 0.5), Percentile(ages, 0.9), Percentile(ages, 1.0));
    if (lags.size() != r.sent.size()) std::printf("%-20s %zu moves never shown\n", "", r.sent.size() - lags.size());
}

void MeasureDrag(HDDialog& dialog, LiveEventSource& live, std::chrono::microseconds spacing, int moves,
                 const char* what) {
    Rect content{};
    GetWindowBounds(dialog.window, kWindowContentRgn, &content);
    const Rect effect = Rel2Rect(dialog.config.startRel, GetControlBox(gConfigWorkSpace.theFrameCtrl));
    const Point corner{effect.bottom, effect.right};
    Report(Drag(dialog, live, DragPath(corner, moves), corner, spacing), content, what);
}

}  // namespace

int main(int argc, char** argv) {
    return testsupport::MainWithLastResort("bench_live", [&] {
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
        const auto frame = std::chrono::microseconds(long(1e6 / live->RefreshRate()));
        MeasureDrag(dialog, *live, frame, moves, "a move every frame:");
        MeasureDrag(dialog, *live, std::chrono::microseconds(8000), moves, "a move every 8 ms:");
        MeasureDrag(dialog, *live, std::chrono::microseconds(1000), moves, "a move every 1 ms:");
        return 0;
    });
}
