// IMovieGlue: copies a host frame into a world of the dialog's.
#include "dialog/IMovieGlue.h"

#include <cstdint>

#include "effect/CommonProcs.h"

SInt16 GetFrameIntoGW(GWorldPtr theGW, HYPluginParams* params, SInt32 frameIndex, SInt16 disposeAfterUse) {
    Rect bounds = GetPortRect(theGW);
    SInt32 width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
    const SInt64 wideFrame = SInt64(frameIndex) + params->startFrame;
    if (wideFrame < 0) return -1;
    if (wideFrame > INT32_MAX) return kPluginCantGetNeededFrame;
    const SInt32 frameNumber = SInt32(wideFrame);
    HYRefDVQuality quality = params->proxyOnly && height < 260 ? kDVLowQuality : kDVHighQuality;
    GWorldPtr frame = nullptr;
    void* cookie = nullptr;
    SInt16 volume = 0;
    SInt16 result = params->procs->GetFrame(params->instance, frameNumber, &frame, SInt16(width), SInt16(height),
                                            quality, &volume, &cookie);
    if (frame == nullptr) return result;
    {
        PixMapHandle framePixMap = GetGWorldPixMap(frame), hostPixMap = GetGWorldPixMap(params->frame);
        toolbox::SavePixelsState frameState(framePixMap), hostState(hostPixMap);
        LockPixels(framePixMap);
        LockPixels(hostPixMap);
        Rect frameBounds = GetPortRect(frame);
        CopyBits(GetPortBitMapForCopyBits(frame), GetPortBitMapForCopyBits(theGW), &frameBounds, &bounds, srcCopy,
                 nullptr);
    }
    result = params->procs->ReleaseFrame(params->instance, cookie);
    if (disposeAfterUse > 0) DisposeGWorld(frame);
    return result;
}
