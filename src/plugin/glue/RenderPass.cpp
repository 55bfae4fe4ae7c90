// The render pass: kPlugInitialize, kPlugDoFrame and kPlugTerminate.
#include "glue/RenderPass.h"

#include <algorithm>
#include <cstdint>

#include "effect/CommonProcs.h"
#include "effect/EffectBridge.h"
#include "glue/PlugInMain.h"

namespace {

// The host's filter settings: fades and sliders, or zeros when it hands back no record.
HYPluginResult ReadFilterInfo(HYPluginParams* params, EffectDataPtr data) {
    HYPluginFilterInfo* info = nullptr;
    HYPluginResult result = params->procs->GetFilterInfo(params->instance, &info);
    data->fadeInFrames = data->fadeOutFrames = 0;
    std::fill(std::begin(data->sliderValues), std::end(data->sliderValues), 0.0f);
    if (info == nullptr) return result;
    data->fadeInFrames = info->fadeInFrames;
    data->fadeOutFrames = info->fadeOutFrames;
    std::copy(std::begin(info->sliderValues), std::end(info->sliderValues), data->sliderValues);
    params->procs->ReleaseFilterInfo(params->instance, info);
    return result;
}

HYRefDVQuality QualityFor(const HYPluginParams* params, SInt32 height) {
    return params->proxyOnly && height < 260 ? kDVLowQuality : kDVHighQuality;
}

// The unprocessed frame, kept to be blended over the processed one inside a fade.
struct FadeCopy {
    GWorldPtr world = nullptr;
    SInt16 opacity = -1;
    bool failed = false;
    ~FadeCopy() {
        if (world) DisposeGWorld(world);
    }
};

void MakeFadeCopy(GWorldPtr sourceFrame, Rect srcRect, SInt16 opacity, FadeCopy* copy) {
    GWorldPtr world = nullptr;
    if (NewGWorld(&world, 32, &srcRect, nullptr, nullptr, 0) != noErr || world == nullptr) {
        copy->failed = true;
        return;
    }
    CopyBits(GetPortBitMapForCopyBits(sourceFrame), GetPortBitMapForCopyBits(world), &srcRect, &srcRect,
             srcCopy, nullptr);
    copy->world = world;
    copy->opacity = opacity;
}

HYPluginResult BlitFadeCopy(GWorldPtr sourceFrame, const FadeCopy& copy, HYPluginParams* params) {
    Rect srcRect = GetPortRect(sourceFrame);
    PixMapHandle copyPixMap = GetGWorldPixMap(copy.world), framePixMap = GetGWorldPixMap(params->frame);
    toolbox::SavePixelsState copyState(copyPixMap), frameState(framePixMap);
    LockPixels(copyPixMap);
    LockPixels(framePixMap);
    return params->procs->Blit(*copyPixMap, *framePixMap, &srcRect, &params->frameRect, copy.opacity);
}

// Fetches, renders, fades and mixes one frame; the caller releases what was fetched.
// A fade copy that cannot be made draws nothing and is reported through copyFailed.
HYPluginResult RenderFetchedFrame(GWorldPtr sourceFrame, void* cookie, HYPluginParams* params, bool* copyFailed) {
    auto data = static_cast<EffectDataPtr>(params->clientData);
    if (sourceFrame == nullptr) return kPluginCantGetNeededFrame;
    Rect srcRect = params->frameRect;
    OffsetRect(&srcRect, SInt16(-srcRect.left), SInt16(-srcRect.top));
    FadeCopy fade;
    SInt16 opacity = FadeOpacity(params->renderFrame, params->frameCount, data->fadeInFrames, data->fadeOutFrames);
    if (opacity >= 0) {
        MakeFadeCopy(sourceFrame, srcRect, opacity, &fade);
        *copyFailed = fade.failed;
        if (fade.failed) return kPluginOK;
    }
    HYPluginResult result = ApplyEffect(sourceFrame, params);
    // A frame that could not be processed is reported as such, not blended and passed off.
    if (result != kPluginOK) return result;
    if (fade.world != nullptr) {
        result = BlitFadeCopy(sourceFrame, fade, params);
        if (result != kPluginOK) return result;
    }
    if (result == kPluginOK && !params->proxyOnly) result = params->procs->MixAudio(params->instance, cookie, 256);
    return result;
}

}  // namespace

HYPluginResult EffectBegins(SInt16, HYPluginParams* params) {
    if (params->clientData == nullptr) {
        params->clientData = params->procs->NewPtrClear(sizeof(EffectData));
        if (params->clientData == nullptr) return kPluginOutOfMemory;
    }
    auto data = static_cast<EffectDataPtr>(params->clientData);
    // A block left from an earlier pass gives its settings copy back before taking a new one.
    if (data->configData != nullptr) params->procs->DisposePtr(reinterpret_cast<Ptr>(data->configData));
    data->configData = nullptr;
    UInt32 size = 0;
    pGetConfigSize(&size);
    data->configData = reinterpret_cast<pluginDataPtr>(params->procs->NewPtrClear(SInt32(size)));
    if (data->configData == nullptr) return kPluginOutOfMemory;
    pCopyConfig(reinterpret_cast<Ptr>(gEffectData), reinterpret_cast<Ptr>(data->configData));
    data->effectSourceCount = 1;

    HYRefDigitalVideoStandard standard = kRefUnknownStandard;
    SInt16 width = 0, height = 0;
    SInt32 totalFrames = 0;
    params->procs->GetMovieInfo(&standard, &width, &height, &totalFrames);

    HYPluginResult result = ReadFilterInfo(params, data);
    ClampFades(params->frameCount, &data->fadeInFrames, &data->fadeOutFrames);
    data->effectGWorld = nullptr;
    return result;
}

HYPluginResult EffectDrives(SInt16, HYPluginParams* params) {
    if (params->clientData == nullptr || params->frame == nullptr) return kPluginBadParams;
    toolbox::SaveGWorld saved;
    SetGWorld(params->frame, nullptr);
    SInt32 width = params->frameRect.right - params->frameRect.left;
    SInt32 height = params->frameRect.bottom - params->frameRect.top;
    // Added wide: a host's numbers near the 32-bit limit must not overflow.
    const SInt64 wideFrame = SInt64(params->startFrame) + params->renderFrame;
    gMostRecentStartFrame = params->startFrame;
    gMostRecentFrameCount = params->frameCount;
    if (wideFrame < 0) return kPluginOK;
    if (wideFrame > INT32_MAX) return kPluginCantGetNeededFrame;
    const SInt32 frameNumber = SInt32(wideFrame);

    GWorldPtr sourceFrame = nullptr;
    void* cookie = nullptr;
    SInt16 volume = 0;
    HYPluginResult result = params->procs->GetFrame(params->instance, frameNumber, &sourceFrame, SInt16(width),
                                                    SInt16(height), QualityFor(params, height), &volume, &cookie);
    bool copyFailed = false;
    if (result == kPluginOK) result = RenderFetchedFrame(sourceFrame, cookie, params, &copyFailed);
    HYPluginResult released = params->procs->ReleaseFrame(params->instance, cookie);
    if (result == kPluginOK) result = released;
    return result == kPluginOK && copyFailed ? kPluginFailed : result;
}

HYPluginResult EffectEnds(SInt16, HYPluginParams* params) {
    auto data = static_cast<EffectDataPtr>(params->clientData);
    if (data == nullptr) return kPluginOK;
    if (data->effectGWorld != nullptr) DisposeGWorld(data->effectGWorld);
    if (data->configData != nullptr) params->procs->DisposePtr(reinterpret_cast<Ptr>(data->configData));
    params->procs->DisposePtr(reinterpret_cast<Ptr>(data));
    params->clientData = nullptr;
    return kPluginOK;
}

HYPluginResult ApplyEffect(GWorldPtr sourceFrame, HYPluginParams* params) {
    auto data = static_cast<EffectDataPtr>(params->clientData);
    Rect srcRect = GetPortRect(sourceFrame);
    OffsetRect(&srcRect, SInt16(-srcRect.left), SInt16(-srcRect.top));
    PixMapHandle sourcePixMap = GetGWorldPixMap(sourceFrame), framePixMap = GetGWorldPixMap(params->frame);
    toolbox::SavePixelsState sourceState(sourcePixMap), frameState(framePixMap);
    LockPixels(sourcePixMap);
    QDErr err = NewGWorld(&data->effectGWorld, 32, &srcRect, nullptr, nullptr, 0);
    if (err != noErr || data->effectGWorld == nullptr) {
        data->effectGWorld = nullptr;
        return err == memFullErr ? kPluginOutOfMemory : kPluginFailed;
    }
    {
        PixMapHandle effectPixMap = GetGWorldPixMap(data->effectGWorld);
        toolbox::SavePixelsState effectState(effectPixMap);
        LockPixels(effectPixMap);
        CopyBits(GetPortBitMapForCopyBits(sourceFrame), GetPortBitMapForCopyBits(data->effectGWorld), &srcRect,
                 &srcRect, srcCopy, nullptr);
        ApplyLineArtEffect(sourceFrame, data->effectGWorld, params);
        LockPixels(framePixMap);
        CopyBits(GetPortBitMapForCopyBits(data->effectGWorld), GetPortBitMapForCopyBits(params->frame), &srcRect,
                 &params->frameRect, srcCopy, nullptr);
    }
    DisposeGWorld(data->effectGWorld);
    data->effectGWorld = nullptr;
    return kPluginOK;
}

void ApplyLineArtEffect(GWorldPtr sourceFrame, GWorldPtr targetFrame, HYPluginParams* params) {
    auto data = static_cast<EffectDataPtr>(params->clientData);
    toolbox::SaveGWorld saved;
    SetGWorld(targetFrame, nullptr);
    DoEffect(data->configData, params, sourceFrame, targetFrame, params->renderFrame, data->fadeInFrames,
             data->fadeOutFrames, params->frameCount, data->sliderValues[0], data->sliderValues[1],
             data->sliderValues[2], nullptr);
}
