// The reader ahead of the plug-in and the sink behind it, each on its own thread.
#include "Pipeline.h"

#include <cstdlib>
#include <cstring>

#include "Carbon.h"
#include "RenderDriver.h"

namespace host {

bool PipelineThreadsAllowed() {
    const char* value = std::getenv("TONEFADE_SINGLE_THREAD");
    return value == nullptr || *value == '\0' || std::strcmp(value, "0") == 0;
}

// --- FrameAhead -----------------------------------------------------------------------

FrameAhead::FrameAhead(FrameSource& clip, int first, int last) : clip_(clip) {
    thread_ = std::thread([this, first, last] { Run(first, last); });
}

FrameAhead::~FrameAhead() { Stop(); }

void FrameAhead::Run(int first, int last) {
    for (int index = first; index < last; ++index) {
        HeldWorld world;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [&] { return stop_ || !empty_.empty(); });
            if (stop_) break;
            world = empty_.front();
            empty_.pop_front();
            reading_ = 1;
        }
        const bool ok = clip_.ReadFrame(index, world.world, nullptr);
        std::lock_guard<std::mutex> hold(lock_);
        reading_ = 0;
        filled_.push_back(Filled{index, world, ok});
        changed_.notify_all();
        if (!ok) break;  // the caller hears of it at this frame; nothing after it is read
    }
    std::lock_guard<std::mutex> hold(lock_);
    done_ = true;
    changed_.notify_all();
}

int FrameAhead::Held() {
    std::lock_guard<std::mutex> hold(lock_);
    return int(empty_.size() + filled_.size()) + reading_;
}

void FrameAhead::Offer(HeldWorld world) {
    std::lock_guard<std::mutex> hold(lock_);
    empty_.push_back(world);
    changed_.notify_all();
}

FrameAhead::Got FrameAhead::Take(int index, HeldWorld* world) {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return done_ || !filled_.empty(); });
    if (filled_.empty() || filled_.front().index != index) return Got::NotNext;
    const Filled got = filled_.front();
    filled_.pop_front();
    *world = got.world;
    return got.ok ? Got::Frame : Got::Failed;
}

std::vector<HeldWorld> FrameAhead::Stop() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        stop_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    std::vector<HeldWorld> held(empty_.begin(), empty_.end());
    for (const Filled& f : filled_) held.push_back(f.world);
    empty_.clear();
    filled_.clear();
    return held;
}

// --- EncodeBehind ---------------------------------------------------------------------

EncodeBehind::EncodeBehind(FrameSink& sink, GWorldPtr firstTarget, int width, int height, int depth)
    : sink_(sink) {
    free_.push_back(firstTarget);
    const Rect bounds{0, 0, SInt16(height), SInt16(width)};
    for (int i = 1; i < depth; ++i) {
        GWorldPtr world = nullptr;
        if (NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0) != noErr || world == nullptr) break;
        made_.push_back(world);
        free_.push_back(world);
    }
    thread_ = std::thread([this] { Run(); });
}

EncodeBehind::~EncodeBehind() {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
        failed_ = true;  // anything still queued is dropped
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    for (GWorldPtr world : made_) DisposeGWorld(world);
}

void EncodeBehind::Run() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> hold(lock_);
            changed_.wait(hold, [&] { return closing_ || !jobs_.empty(); });
            if (failed_) {  // what is still queued is dropped; its targets are free again
                for (const Job& j : jobs_) free_.push_back(j.target);
                jobs_.clear();
            }
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        std::string error;
        const bool ok = sink_.Consume(job.index, job.target, job.audio, &error);
        std::lock_guard<std::mutex> hold(lock_);
        free_.push_back(job.target);
        if (ok) {
            ++consumed_;
        } else if (!failed_) {
            failed_ = true;
            failedFrame_ = job.index;
            error_ = error;
        }
        changed_.notify_all();
    }
}

GWorldPtr EncodeBehind::FreeTarget() {
    std::unique_lock<std::mutex> hold(lock_);
    changed_.wait(hold, [&] { return !free_.empty(); });
    GWorldPtr target = free_.front();
    free_.pop_front();
    return target;
}

bool EncodeBehind::Submit(int index, GWorldPtr target, const std::vector<int16_t>& audio) {
    std::lock_guard<std::mutex> hold(lock_);
    if (failed_) {
        free_.push_back(target);
        return false;
    }
    jobs_.push_back(Job{index, target, audio});
    changed_.notify_all();
    return true;
}

bool EncodeBehind::Finish(std::string* error, int* failedFrame, int* consumed) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable()) thread_.join();
    *consumed = consumed_;
    if (!failed_) return true;
    *error = error_;
    *failedFrame = failedFrame_;
    return false;
}

}  // namespace host
