// The host side of the plug-in interface: one session on a clip serves the callback
// table the plug-in calls (frames, blits, audio, filter settings, memory) and owns the
// parameter block, with counters and fault switches so tests can watch and misbehave.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "FrameSource.h"
#include "HYPluginAPI.h"
#include "Pipeline.h"

namespace host {

// Switches that make the host misbehave, for tests of the plug-in's failure paths.
struct HostFaults {
    int getFrameFailsAt = -1;     // GetFrame fails (kPluginCantGetNeededFrame) for this frame number
    bool getFrameGivesNoWorld = false;
    int getFrameWrongSize = 0;    // delivers frames this many pixels wider and higher than asked
    bool blitFails = false;
    bool mixAudioFails = false;
    bool releaseFrameFails = false;
    bool filterInfoMissing = false;
};

// What the host saw the plug-in do.
struct HostCounters {
    int getFrameCalls = 0;
    int releaseFrameCalls = 0;
    int blitCalls = 0;
    int mixAudioCalls = 0;
    int getFilterInfoCalls = 0;
    int releaseFilterInfoCalls = 0;
    int getMovieInfoCalls = 0;
    std::vector<SInt16> blitOpacities;
    std::vector<HYRefDVQuality> qualities;
    std::vector<SInt32> mixVolumes;
};

// One host working on one clip: owns the parameter block, the callback table and the
// target world the plug-in renders into.
class HostSession {
public:
    HostSession(FrameSource& clip, int targetWidth, int targetHeight);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    HYPluginParams& Params() { return *params_; }
    GWorldPtr Target() const { return target_; }
    FrameSource& Clip() { return clip_; }
    HYPluginFilterInfo& FilterInfo() { return filterInfo_; }
    HostFaults& Faults() { return faults_; }
    HostCounters& Counters() { return counters_; }
    // Audio mixed for the frame rendered last (cleared when the next frame starts).
    std::vector<int16_t>& MixedAudio() { return mixed_; }
    int OutstandingFrames() const { return int(loans_.size()); }
    // Worlds taken back from the plug-in and kept to be lent again.
    int SpareWorlds() const;

    // A world of the size for a frame: a spare one when there is one, else a new one.
    // Null when memory is short.
    GWorldPtr TakeWorld(int width, int height);
    // Takes a lent world back into the spares; one the plug-in disposed of (its serial
    // no longer matches) is forgotten, whatever now lives at its address.
    void GiveBackWorld(GWorldPtr world, UInt64 serial);

    // Frames first..last-1 at the clip's size are read ahead on a thread of their own
    // until StopReadingAhead; a frame asked for out of that order stops it, and is read
    // here as always.
    void ReadAhead(int first, int last);
    void StopReadingAhead();

    // The host's blend: source over destination at opacity/255, per byte, rounded.
    static HYPluginResult BlendPixMaps(const PixMap& src, const PixMap& dst, const Rect& srcRect,
                                       const Rect& dstRect, SInt16 opacity);

private:
    friend struct Callbacks;
    struct Loan {
        GWorldPtr world;
        UInt64 serial;
        int frameNumber;
    };
    struct Spare {
        GWorldPtr world;
        UInt64 serial;
    };
    static constexpr std::size_t kMaxSpareWorlds = 4;
    static constexpr int kFramesAhead = 2;
    // The world holding the frame read ahead, or null with *fallBack set when the
    // reader has not got it and the frame is to be read as without it.
    GWorldPtr TakeFrameAhead(int frameNumber, bool* fallBack);
    FrameSource& clip_;
    std::unique_ptr<HYPluginParams> params_;
    HYProcs procs_{};
    GWorldPtr target_ = nullptr;
    GWorldPtr nativeFrame_ = nullptr;  // the last frame read, at the clip's own size
    int nativeIndex_ = -1;
    HYPluginFilterInfo filterInfo_{{0.5f, 0.5f, 0.5f}, 0, 0};
    HostFaults faults_;
    HostCounters counters_;
    std::map<void*, Loan> loans_;
    std::vector<Spare> spare_;
    std::unique_ptr<FrameAhead> ahead_;
    std::vector<int16_t> mixed_;
    int nextCookie_ = 1;
};

// Worlds every session keeps to lend again (alive, but nobody's leak).
long HostSpareWorlds();
// Blocks the plug-in allocated through the host and has not freed yet.
long HostLiveBlocks();
// The host's DisposePtr callback, for freeing what a plug-in left behind.
HYDisposePtrProcPtr HostDisposePtrProc();

}  // namespace host
