// The render pass as the host runs it.
#include "RenderDriver.h"

#include <algorithm>

namespace host {

HYPluginResult CallPlugin(HYPluginEntryProcPtr entry, HostSession& session, HYPluginSelector selector) {
    session.Params().selector = selector;
    return HYPluginResult(entry(0, &session.Params()));
}

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
    for (int i = first; i < last; ++i) {
        p.renderFrame = i;
        HYPluginResult r = CallPlugin(entry, session, kPlugDoFrame);
        if (r != kPluginOK) {
            out.result = r;
            out.selector = "kPlugDoFrame";
            out.failedFrame = i;
            break;
        }
        if (!sink.Consume(i, session.Target(), session.MixedAudio(), &out.sinkError)) {
            out.failedFrame = i;
            break;
        }
        ++out.framesRendered;
        if (progress) progress(i - first + 1, last - first);
    }
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
