// Threads around the plug-in, never inside it: frames read ahead into worlds on one
// thread, processed frames handed to the sink on another, each through a short queue,
// while every call into the plug-in stays on the thread that runs the pass. Worlds are
// made and disposed of on that thread only; the others only fill or read their pixels.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "FrameSource.h"
#include "HYPluginAPI.h"

namespace host {

class FrameSink;

// A world and the serial it had when it was made (toolbox::GWorldSerial).
struct HeldWorld {
    GWorldPtr world = nullptr;
    UInt64 serial = 0;
};

// Reads frames first..last-1 of a clip, in order, each into a world it was offered.
class FrameAhead {
public:
    FrameAhead(FrameSource& clip, int first, int last);
    ~FrameAhead();
    FrameAhead(const FrameAhead&) = delete;
    FrameAhead& operator=(const FrameAhead&) = delete;

    // Worlds the reader holds (empty, being filled, or filled and not yet taken).
    int Held();
    // An empty world of the clip's size for a frame to come.
    void Offer(HeldWorld world);
    enum class Got { Frame, Failed, NotNext };
    // Waits for frame `index`. Frame: `*world` holds it. Failed: it could not be read
    // (`*world` is the world to give back). NotNext: the reader is not at `index`.
    Got Take(int index, HeldWorld* world);
    // Stops the reader; every world it still holds is handed back.
    std::vector<HeldWorld> Stop();

private:
    struct Filled {
        int index;
        HeldWorld world;
        bool ok;
    };
    void Run(int first, int last);

    FrameSource& clip_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<HeldWorld> empty_;
    std::deque<Filled> filled_;
    int reading_ = 0;  // worlds being filled now (0 or 1)
    bool stop_ = false, done_ = false;
    std::thread thread_;
};

// Hands processed frames to a sink on a thread of its own, in order. The plug-in renders
// into one of a few target worlds while the sink works on the others.
class EncodeBehind {
public:
    EncodeBehind(FrameSink& sink, GWorldPtr firstTarget, int width, int height, int depth);
    ~EncodeBehind();
    EncodeBehind(const EncodeBehind&) = delete;
    EncodeBehind& operator=(const EncodeBehind&) = delete;

    // A target the sink is done with (waits for one); null when targets could not be made.
    GWorldPtr FreeTarget();
    // Queues frame `index` in `target` for the sink; false once the sink has refused one.
    bool Submit(int index, GWorldPtr target, const std::vector<int16_t>& audio);
    // Waits until the sink has every queued frame. False with the sink's reason and the
    // frame it refused when it refused one.
    bool Finish(std::string* error, int* failedFrame, int* consumed);

private:
    struct Job {
        int index;
        GWorldPtr target;
        std::vector<int16_t> audio;
    };
    void Run();

    FrameSink& sink_;
    std::vector<GWorldPtr> made_;  // the targets made here (the first is the caller's)
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<GWorldPtr> free_;
    std::deque<Job> jobs_;
    bool closing_ = false, failed_ = false;
    int consumed_ = 0, failedFrame_ = -1;
    std::string error_;
    std::thread thread_;
};

// False when the environment asks for the whole render on one thread
// (TONEFADE_SINGLE_THREAD=1), as a reference for the threaded one.
bool PipelineThreadsAllowed();

}  // namespace host
