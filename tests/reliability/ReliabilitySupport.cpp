// Helpers of the reliability tests: allocation trace, guarded target, holdings, port watch.
#include "reliability/ReliabilitySupport.h"

#include <cstring>
#include <sstream>

#include "glue/PlugInMain.h"
#include "resources/Resources.h"

namespace reliability {

namespace {

AllocationTrace* gTrace = nullptr;
HYProcs* gOriginal = nullptr;
int gSelector = -1;
SInt32 gFrame = 0;

// Marks the stretch inside a host callback and the plug-in's own stretch after it.
struct InCallback {
    explicit InCallback(const char* name) {
        if (gTrace) gTrace->Mark(gSelector, gFrame, name);
    }
    ~InCallback() {
        if (gTrace) gTrace->Mark(gSelector, gFrame, "");
    }
};

Ptr TracedNewPtrClear(SInt32 byteCount) {
    InCallback mark(("host NewPtrClear(" + std::to_string(byteCount) + ")").c_str());
    return gOriginal->NewPtrClear(byteCount);
}
HYPluginResult TracedGetFrame(void* instance, SInt32 frameNumber, GWorldPtr* frame, SInt16 width, SInt16 height,
                              HYRefDVQuality quality, SInt16* volume, void** cookie) {
    InCallback mark("host GetFrame");
    return gOriginal->GetFrame(instance, frameNumber, frame, width, height, quality, volume, cookie);
}
HYPluginResult TracedReleaseFrame(void* instance, void* cookie) {
    InCallback mark("host ReleaseFrame");
    return gOriginal->ReleaseFrame(instance, cookie);
}
HYPluginResult TracedBlit(PixMapPtr source, PixMapPtr dest, const Rect* sourceRect, const Rect* destRect,
                          SInt16 opacity) {
    InCallback mark("host Blit");
    return gOriginal->Blit(source, dest, sourceRect, destRect, opacity);
}
HYPluginResult TracedMixAudio(void* instance, void* cookie, SInt32 volume) {
    InCallback mark("host MixAudio");
    return gOriginal->MixAudio(instance, cookie, volume);
}
HYPluginResult TracedGetFilterInfo(void* instance, HYPluginFilterInfo** info) {
    InCallback mark("host GetFilterInfo");
    return gOriginal->GetFilterInfo(instance, info);
}

}  // namespace

std::string AllocationPlace::Describe() const {
    if (!known) return "(not reached)";
    std::ostringstream out;
    out << (phase.selector < 0 ? "outside any call" : SelectorName(phase.selector));
    if (phase.selector == kPlugDoFrame) out << " frame " << phase.frame;
    out << ": " << (phase.callback.empty() ? "plug-in" : phase.callback);
    if (ranks > 1) out << " #" << rank << "/" << ranks;
    return out.str();
}

AllocationTrace::AllocationTrace(host::HostSession& session) : session_(session) {
    original_ = session.Params().procs;
    wrapped_ = *original_;
    wrapped_.NewPtrClear = &TracedNewPtrClear;
    wrapped_.GetFrame = &TracedGetFrame;
    wrapped_.ReleaseFrame = &TracedReleaseFrame;
    wrapped_.Blit = &TracedBlit;
    wrapped_.MixAudio = &TracedMixAudio;
    wrapped_.GetFilterInfo = &TracedGetFilterInfo;
    session.Params().procs = &wrapped_;
    gOriginal = original_;
    gTrace = this;
    Restart();
}

AllocationTrace::~AllocationTrace() {
    session_.Params().procs = original_;
    gTrace = nullptr;
}

int AllocationTrace::Entry(SInt16 which, HYPluginParams* params) {
    const int selector = params ? params->selector : -1;
    gSelector = selector;
    gFrame = params ? params->renderFrame : 0;
    if (gTrace) gTrace->Mark(selector, gFrame, "");
    int result = PlugInMain(which, params);
    gSelector = -1;
    if (gTrace) gTrace->Mark(-1, 0, "");
    return result;
}

void AllocationTrace::Restart() {
    phases_.clear();
    toolbox::ResetFaultCounters();
    Mark(-1, 0, "");
}

void AllocationTrace::Mark(int selector, SInt32 frame, const std::string& callback) {
    phases_.push_back(TracePhase{toolbox::FaultSiteCalls(toolbox::FaultSite::Memory),
                                 toolbox::FaultSiteCalls(toolbox::FaultSite::GWorld), selector, frame, callback});
}

AllocationPlace AllocationTrace::Place(toolbox::FaultSite site, int index) const {
    auto count = [site](const TracePhase& p) {
        return site == toolbox::FaultSite::Memory ? p.memoryCalls : p.worldCalls;
    };
    AllocationPlace place;
    for (std::size_t i = 0; i < phases_.size(); ++i) {
        const int begin = count(phases_[i]);
        const int end = i + 1 < phases_.size() ? count(phases_[i + 1]) : toolbox::FaultSiteCalls(site);
        if (index > begin && index <= end) {
            place.phase = phases_[i];
            place.rank = index - begin;
            place.ranks = end - begin;
            place.known = true;
            return place;
        }
    }
    return place;
}

GuardedTarget::GuardedTarget(int width, int height)
    : width_(width), height_(height), rowBytes_(SInt32(width + 2 * kGuardColumns) * 4) {
    buffer_.assign(std::size_t(rowBytes_) * std::size_t(height + 2 * kGuardRows), kGuardByte);
    Rect bounds{0, 0, SInt16(height), SInt16(width)};
    port_ = toolbox::NewPortForPixels(bounds, rowBytes_, reinterpret_cast<Ptr>(buffer_.data() + First()));
}

GuardedTarget::~GuardedTarget() { toolbox::DisposePort(port_); }

std::size_t GuardedTarget::First() const {
    return std::size_t(rowBytes_) * kGuardRows + std::size_t(kGuardColumns) * 4;
}

long GuardedTarget::DamagedGuardBytes() const {
    long damaged = 0;
    const std::size_t first = First(), rowPixels = std::size_t(width_) * 4;
    for (std::size_t i = 0; i < buffer_.size(); ++i) {
        bool inside = false;
        if (i >= first) {
            std::size_t offset = i - first, row = offset / std::size_t(rowBytes_);
            inside = row < std::size_t(height_) && offset % std::size_t(rowBytes_) < rowPixels;
        }
        if (!inside && buffer_[i] != kGuardByte) ++damaged;
    }
    return damaged;
}

std::vector<UInt8> GuardedTarget::Pixels() const {
    std::vector<UInt8> out(std::size_t(width_) * std::size_t(height_) * 4);
    for (int y = 0; y < height_; ++y)
        std::memcpy(out.data() + std::size_t(y) * std::size_t(width_) * 4,
                    buffer_.data() + First() + std::size_t(y) * std::size_t(rowBytes_), std::size_t(width_) * 4);
    return out;
}

void GuardedTarget::Fill(const std::vector<UInt8>& argb) {
    for (int y = 0; y < height_; ++y)
        std::memcpy(buffer_.data() + First() + std::size_t(y) * std::size_t(rowBytes_),
                    argb.data() + std::size_t(y) * std::size_t(width_) * 4, std::size_t(width_) * 4);
}

Holdings Holdings::Now() {
    return Holdings{host::HostLiveBlocks(), toolbox::LiveGWorldCount() - host::HostSpareWorlds(),
                    toolbox::LivePtrCount(),
                    long(toolbox::OpenResFiles().size())};
}

std::string Holdings::Compare(const Holdings& after, long extraHostBlocks) const {
    std::ostringstream out;
    // The host's blocks come from the toolbox's allocator, so they count there too.
    if (after.hostBlocks != hostBlocks + extraHostBlocks)
        out << "host blocks " << hostBlocks + extraHostBlocks << " -> " << after.hostBlocks << "; ";
    if (after.worlds != worlds) out << "worlds " << worlds << " -> " << after.worlds << "; ";
    if (after.toolboxBlocks != toolboxBlocks + extraHostBlocks)
        out << "toolbox blocks " << toolboxBlocks + extraHostBlocks << " -> " << after.toolboxBlocks << "; ";
    if (after.openResFiles != openResFiles)
        out << "open resource files " << openResFiles << " -> " << after.openResFiles << "; ";
    return out.str();
}

PortWatch::PortWatch() {
    GetGWorld(&savedPort_, &savedDevice_);
    Rect bounds{0, 0, 2, 2};
    NewGWorld(&sentinel_, 32, &bounds, nullptr, nullptr, 0);
    SetGWorld(sentinel_, nullptr);
}

PortWatch::~PortWatch() {
    SetGWorld(savedPort_, savedDevice_);
    DisposeGWorld(sentinel_);
}

bool PortWatch::Unchanged() const {
    CGrafPtr port = nullptr;
    GDHandle device = nullptr;
    GetGWorld(&port, &device);
    return port == sentinel_ && device == GetGWorldDevice(sentinel_);
}

const char* SelectorName(int selector) {
    switch (selector) {
        case kPlugGetInfo: return "kPlugGetInfo";
        case kPlugInitialize: return "kPlugInitialize";
        case kPlugDrawIcon: return "kPlugDrawIcon";
        case kPlugDrawThumbNail: return "kPlugDrawThumbNail";
        case kPlugFilePlaceHolder: return "kPlugFilePlaceHolder";
        case kPlugDoFrame: return "kPlugDoFrame";
        case kPlugCallOnceWithInitAndTerminate: return "kPlugCallOnceWithInitAndTerminate";
        case kPlugTerminate: return "kPlugTerminate";
        case kPlugCustomButtonClick: return "kPlugCustomButtonClick";
        default: return "selector";
    }
}

}  // namespace reliability
