// The host's callbacks. The parameter block carries the session as `instance`; the few
// callbacks without it (memory, movie info) use the session that is current.
#include "HostSession.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "Carbon.h"
#include "quickdraw/QDBlend.h"

namespace host {

namespace {

HostSession* gCurrentSession = nullptr;
std::unordered_set<const HostSession*>& Sessions() {
    static std::unordered_set<const HostSession*> sessions;
    return sessions;
}
std::unordered_set<Ptr>& HostBlocks() {
    static std::unordered_set<Ptr> blocks;
    return blocks;
}

GWorldPtr NewWorld(int width, int height) {
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    GWorldPtr world = nullptr;
    if (NewGWorld(&world, 32, &bounds, nullptr, nullptr, 0) != noErr) return nullptr;
    return world;
}

}  // namespace

long HostLiveBlocks() { return long(HostBlocks().size()); }
long HostSpareWorlds() {
    long count = 0;
    for (const HostSession* s : Sessions()) count += s->SpareWorlds();
    return count;
}

int HostSession::SpareWorlds() const {
    return int(std::count_if(spare_.begin(), spare_.end(),
                             [](const Spare& s) { return toolbox::GWorldSerial(s.world) == s.serial; }));
}

HYPluginResult HostSession::BlendPixMaps(const PixMap& src, const PixMap& dst, const Rect& srcRect,
                                         const Rect& dstRect, SInt16 opacity) {
    return toolbox::BlendPixMaps(src, dst, srcRect, dstRect, opacity) ? kPluginOK : kPluginBadParams;
}

// The callback table's entries. Each finds its session through `instance`.
struct Callbacks {
    static HostSession& Of(void* instance) { return *static_cast<HostSession*>(instance); }

    static Ptr NewPtrClearProc(SInt32 byteCount) {
        Ptr p = NewPtrClear(byteCount);
        if (p) HostBlocks().insert(p);
        return p;
    }
    static Ptr NewPtrProc(SInt32 byteCount) {
        Ptr p = NewPtr(byteCount);
        if (p) HostBlocks().insert(p);
        return p;
    }
    static void DisposePtrProc(Ptr p) {
        // Only blocks this host handed out are freed; anything else would corrupt the heap.
        if (p && HostBlocks().erase(p)) DisposePtr(p);
    }

    static HYPluginResult GetFrame(void* instance, SInt32 frameNumber, GWorldPtr* frame, SInt16 width,
                                   SInt16 height, HYRefDVQuality quality, SInt16* volume, void** cookie) {
        HostSession& s = Of(instance);
        ++s.counters_.getFrameCalls;
        s.counters_.qualities.push_back(quality);
        s.mixed_.clear();
        if (volume) *volume = 256;
        if (frameNumber < 0 || frameNumber >= s.clip_.FrameCount() || frameNumber == s.faults_.getFrameFailsAt ||
            width <= 0 || height <= 0)
            return kPluginCantGetNeededFrame;
        if (s.faults_.getFrameGivesNoWorld) return kPluginOK;
        bool outOfMemory = false;
        GWorldPtr world = FetchScaled(s, frameNumber, width + s.faults_.getFrameWrongSize,
                                      height + s.faults_.getFrameWrongSize, &outOfMemory);
        if (world == nullptr) return outOfMemory ? kPluginOutOfMemory : kPluginCantGetNeededFrame;
        void* key = reinterpret_cast<void*>(std::intptr_t(s.nextCookie_++));
        s.loans_[key] = HostSession::Loan{world, toolbox::GWorldSerial(world), frameNumber};
        *frame = world;
        *cookie = key;
        return kPluginOK;
    }

    // The frame at the asked size: read straight into the lent world when the sizes agree.
    static GWorldPtr FetchScaled(HostSession& s, int frameNumber, int width, int height, bool* outOfMemory) {
        *outOfMemory = false;
        const bool clipSize = width == s.clip_.Width() && height == s.clip_.Height();
        if (s.ahead_ && clipSize) {
            bool fallBack = false;
            GWorldPtr ahead = s.TakeFrameAhead(frameNumber, &fallBack);
            if (!fallBack) return ahead;
        }
        s.StopReadingAhead();  // the clip is read here now, and by nobody else
        GWorldPtr world = s.TakeWorld(width, height);
        *outOfMemory = world == nullptr;
        if (world == nullptr) return nullptr;
        if (clipSize) {
            if (s.clip_.ReadFrame(frameNumber, world, nullptr)) return world;
            s.GiveBackWorld(world, toolbox::GWorldSerial(world));
            return nullptr;
        }
        if (s.nativeIndex_ != frameNumber) {
            if (s.nativeFrame_ == nullptr) s.nativeFrame_ = NewWorld(s.clip_.Width(), s.clip_.Height());
            *outOfMemory = s.nativeFrame_ == nullptr;
            if (s.nativeFrame_ == nullptr || !s.clip_.ReadFrame(frameNumber, s.nativeFrame_, nullptr)) {
                s.GiveBackWorld(world, toolbox::GWorldSerial(world));
                return nullptr;
            }
            s.nativeIndex_ = frameNumber;
        }
        Rect src = {0, 0, SInt16(s.clip_.Height()), SInt16(s.clip_.Width())}, dst = {0, 0, SInt16(height), SInt16(width)};
        CopyBits(GetPortBitMapForCopyBits(s.nativeFrame_), GetPortBitMapForCopyBits(world), &src, &dst, srcCopy,
                 nullptr);
        return world;
    }

    static HYPluginResult ReleaseFrame(void* instance, void* cookie) {
        HostSession& s = Of(instance);
        ++s.counters_.releaseFrameCalls;
        auto it = s.loans_.find(cookie);
        if (cookie != nullptr && it == s.loans_.end()) return kPluginBadParams;
        if (it != s.loans_.end()) {
            s.GiveBackWorld(it->second.world, it->second.serial);
            s.loans_.erase(it);
        }
        // A failing release still takes the frame back: only the answer is wrong.
        return s.faults_.releaseFrameFails ? kPluginFailed : kPluginOK;
    }

    static void GetMovieInfo(HYRefDigitalVideoStandard* standard, SInt16* width, SInt16* height,
                             SInt32* totalFrames) {
        HostSession* s = gCurrentSession;
        if (s) ++s->counters_.getMovieInfoCalls;
        if (standard) *standard = kRefNTSCStandard;
        if (width) *width = SInt16(s ? s->clip_.Width() : 0);
        if (height) *height = SInt16(s ? s->clip_.Height() : 0);
        if (totalFrames) *totalFrames = s ? s->clip_.FrameCount() : 0;
    }

    static HYPluginResult Blit(PixMapPtr source, PixMapPtr dest, const Rect* sourceRect, const Rect* destRect,
                               SInt16 opacity) {
        HostSession* s = gCurrentSession;
        if (s) {
            ++s->counters_.blitCalls;
            s->counters_.blitOpacities.push_back(opacity);
            if (s->faults_.blitFails) return kPluginFailed;
        }
        if (!source || !dest || !sourceRect || !destRect) return kPluginBadParams;
        return HostSession::BlendPixMaps(*source, *dest, *sourceRect, *destRect, opacity);
    }

    static HYPluginResult MixAudio(void* instance, void* cookie, SInt32 volume) {
        HostSession& s = Of(instance);
        ++s.counters_.mixAudioCalls;
        s.counters_.mixVolumes.push_back(volume);
        if (s.faults_.mixAudioFails) return kPluginFailed;
        auto it = s.loans_.find(cookie);
        if (it == s.loans_.end()) return kPluginBadParams;
        std::vector<int16_t> audio = s.clip_.FrameAudio(it->second.frameNumber);
        if (s.mixed_.size() < audio.size()) s.mixed_.resize(audio.size(), 0);
        for (std::size_t i = 0; i < audio.size(); ++i) {
            long v = long(s.mixed_[i]) + long(audio[i]) * volume / 256;
            s.mixed_[i] = int16_t(std::clamp<long>(v, -32768, 32767));
        }
        return kPluginOK;
    }

    static HYPluginResult GetFilterInfo(void* instance, HYPluginFilterInfo** info) {
        HostSession& s = Of(instance);
        ++s.counters_.getFilterInfoCalls;
        if (s.faults_.filterInfoMissing) return kPluginFailed;
        *info = &s.filterInfo_;
        return kPluginOK;
    }

    static void ReleaseFilterInfo(void* instance, HYPluginFilterInfo*) {
        ++Of(instance).counters_.releaseFilterInfoCalls;
    }
};

HYDisposePtrProcPtr HostDisposePtrProc() { return &Callbacks::DisposePtrProc; }

HostSession::HostSession(FrameSource& clip, int targetWidth, int targetHeight)
    : clip_(clip), params_(std::make_unique<HYPluginParams>()) {
    procs_.NewPtr = &Callbacks::NewPtrProc;
    procs_.NewPtrClear = &Callbacks::NewPtrClearProc;
    procs_.DisposePtr = &Callbacks::DisposePtrProc;
    procs_.GetFrame = &Callbacks::GetFrame;
    procs_.ReleaseFrame = &Callbacks::ReleaseFrame;
    procs_.GetMovieInfo = &Callbacks::GetMovieInfo;
    procs_.Blit = &Callbacks::Blit;
    procs_.MixAudio = &Callbacks::MixAudio;
    procs_.GetFilterInfo = &Callbacks::GetFilterInfo;
    procs_.ReleaseFilterInfo = &Callbacks::ReleaseFilterInfo;

    std::memset(params_.get(), 0, sizeof(HYPluginParams));
    HYPluginParams& p = *params_;
    p.interfaceVersion = 5;
    p.instance = this;
    p.procs = &procs_;
    p.frameCount = clip.FrameCount();
    p.getInfo2.selectedFrames = clip.FrameCount();
    target_ = NewWorld(targetWidth, targetHeight);
    p.frame = target_;
    p.frameRect = Rect{0, 0, SInt16(targetHeight), SInt16(targetWidth)};
    gCurrentSession = this;
    Sessions().insert(this);
}

GWorldPtr HostSession::TakeWorld(int width, int height) {
    while (!spare_.empty()) {
        const Spare spare = spare_.back();
        spare_.pop_back();
        if (toolbox::GWorldSerial(spare.world) != spare.serial) continue;
        Rect bounds;
        GetPixBounds(GetGWorldPixMap(spare.world), &bounds);
        if (bounds.right == width && bounds.bottom == height) {
            // Lent as if new: unlocked. Every pixel is written before the plug-in sees it.
            SetPixelsState(GetGWorldPixMap(spare.world), 0);
            return spare.world;
        }
        DisposeGWorld(spare.world);
    }
    return NewWorld(width, height);
}

void HostSession::GiveBackWorld(GWorldPtr world, UInt64 serial) {
    if (world == nullptr || serial == 0 || toolbox::GWorldSerial(world) != serial) return;
    if (spare_.size() < kMaxSpareWorlds) {
        spare_.push_back(Spare{world, serial});
    } else {
        DisposeGWorld(world);
    }
}

void HostSession::ReadAhead(int first, int last) {
    StopReadingAhead();
    ahead_ = std::make_unique<FrameAhead>(clip_, first, last);
}

void HostSession::StopReadingAhead() {
    if (!ahead_) return;
    for (const HeldWorld& held : ahead_->Stop()) GiveBackWorld(held.world, held.serial);
    ahead_.reset();
}

GWorldPtr HostSession::TakeFrameAhead(int frameNumber, bool* fallBack) {
    // The reader always has worlds to fill; without any it would wait for ever.
    while (ahead_->Held() < kFramesAhead) {
        GWorldPtr world = TakeWorld(clip_.Width(), clip_.Height());
        if (world == nullptr) break;
        ahead_->Offer(HeldWorld{world, toolbox::GWorldSerial(world)});
    }
    HeldWorld got;
    const FrameAhead::Got answer = ahead_->Held() == 0 ? FrameAhead::Got::NotNext : ahead_->Take(frameNumber, &got);
    if (answer == FrameAhead::Got::Frame) return got.world;
    // Out of order, or unreadable (read again here, so that the failure is reported as
    // it always is): the reader stops.
    if (answer == FrameAhead::Got::Failed) GiveBackWorld(got.world, got.serial);
    StopReadingAhead();
    *fallBack = true;
    return nullptr;
}

HostSession::~HostSession() {
    StopReadingAhead();
    for (auto& [cookie, loan] : loans_)
        if (toolbox::GWorldSerial(loan.world) == loan.serial) DisposeGWorld(loan.world);
    for (const Spare& spare : spare_)
        if (toolbox::GWorldSerial(spare.world) == spare.serial) DisposeGWorld(spare.world);
    Sessions().erase(this);
    if (nativeFrame_) DisposeGWorld(nativeFrame_);
    if (target_) DisposeGWorld(target_);
    if (gCurrentSession == this) gCurrentSession = nullptr;
}

}  // namespace host
