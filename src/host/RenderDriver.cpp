// The render pass as the host runs it.
#include "RenderDriver.h"

#include <algorithm>
#include <memory>

#include "Pipeline.h"

namespace host {

HYPluginResult CallPlugin(HYPluginEntryProcPtr entry, HostSession& session, HYPluginSelector selector) {
    session.Params().selector = selector;
    return HYPluginResult(entry(0, &session.Params()));
}

namespace {

constexpr int kTargetsBehind = 2;

// kPlugDoFrame for frames first..last-1; each processed frame goes to the sink, or to
// the thread behind, which hands the plug-in another target for the next frame.
void RenderFrames(HYPluginEntryProcPtr entry, HostSession& session, int first, int last, FrameSink& sink,
                  EncodeBehind* behind, const Progress& progress, PassResult* out) {
    HYPluginParams& p = session.Params();
    for (int i = first; i < last; ++i) {
        p.renderFrame = i;
        if (behind) p.frame = behind->FreeTarget();
        HYPluginResult r = CallPlugin(entry, session, kPlugDoFrame);
        if (r != kPluginOK) {
            out->result = r;
            out->selector = "kPlugDoFrame";
            out->failedFrame = i;
            break;
        }
        if (behind) {
            if (!behind->Submit(i, p.frame, session.MixedAudio())) break;
        } else if (!sink.Consume(i, p.frame, session.MixedAudio(), &out->sinkError)) {
            out->failedFrame = i;
            break;
        } else {
            ++out->framesRendered;
        }
        if (progress) progress(i - first + 1, last - first);
    }
}

// The frames the sink took; a frame it refused counts as where the pass stopped, as if
// the pass had waited for it.
void FinishBehind(EncodeBehind& behind, PassResult* out) {
    std::string error;
    int failedFrame = -1, consumed = 0;
    const bool ok = behind.Finish(&error, &failedFrame, &consumed);
    out->framesRendered = consumed;
    if (ok) return;
    out->result = kPluginOK;
    out->selector = "";
    out->failedFrame = failedFrame;
    out->sinkError = error.empty() ? "frame " + std::to_string(failedFrame) + " could not be written" : error;
}

}  // namespace

PassResult RunRenderPass(HYPluginEntryProcPtr entry, HostSession& session, const PassOptions& options,
                         FrameSink& sink, const Progress& progress) {
    PassResult out;
    HYPluginParams& p = session.Params();
    const int total = session.Clip().FrameCount();
    const int first = std::clamp(options.start, 0, total);
    const int last = options.count < 0 ? total : std::min(total, first + options.count);
    p.startFrame = 0;
    p.frameCount = total;
    p.proxyOnly = options.proxy;
    HYPluginFilterInfo& info = session.FilterInfo();
    info.fadeInFrames = options.fadeIn;
    info.fadeOutFrames = options.fadeOut;
    std::copy(std::begin(options.sliders), std::end(options.sliders), info.sliderValues);

    out.result = CallPlugin(entry, session, kPlugInitialize);
    if (out.result != kPluginOK) {
        out.selector = "kPlugInitialize";
        CallPlugin(entry, session, kPlugTerminate);
        return out;
    }
    std::unique_ptr<EncodeBehind> behind;
    const int width = p.frameRect.right - p.frameRect.left, height = p.frameRect.bottom - p.frameRect.top;
    if (options.threads) {
        // Frames of another size are scaled from the clip's as they are asked for.
        if (width == session.Clip().Width() && height == session.Clip().Height()) session.ReadAhead(first, last);
        if (sink.WorthAThread())
            behind = std::make_unique<EncodeBehind>(sink, session.Target(), width, height, kTargetsBehind);
    }
    RenderFrames(entry, session, first, last, sink, behind.get(), progress, &out);
    if (behind) FinishBehind(*behind, &out);
    session.StopReadingAhead();
    p.frame = session.Target();
    behind.reset();
    HYPluginResult ended = CallPlugin(entry, session, kPlugTerminate);
    if (out.ok() && ended != kPluginOK) {
        out.result = ended;
        out.selector = "kPlugTerminate";
    }
    return out;
}

const char* ResultName(int result) {
    static const char* const names[] = {"kPluginOK",          "kPluginCancel",          "kPluginFinished",
                                        "kPluginBadParams",   "kPluginOutOfMemory",     "kPluginOutOfDiskSpace",
                                        "kPluginFailed",      "kPluginCantGetNeededFrame", "kPluginUnimplemented",
                                        "kPluginTryAgainLater", "kPluginAppIsTooOld",   "kPluginAppIsTooNew"};
    return result >= 0 && result < int(std::size(names)) ? names[result] : "unknown result";
}

}  // namespace host
