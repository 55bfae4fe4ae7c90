// CallPixelFX: maps the start rectangle onto the destination and runs the kernel with the
// first slider. The frame position travels along but neither moves the rectangle nor
// reaches the kernel: the change over a clip is the host's fade.
#include "effect/CallPixelFX.h"

#include "effect/CommonProcs.h"
#include "effect/Tonefade.h"

Rect CalcTweenRect(pluginDataPtr theConfig, Rect theFrame, SInt32, SInt32) {
    return Rel2Rect(theConfig->startRel, theFrame);
}

void CallPixelEffect(GWorldPtr source, GWorldPtr dest) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    Rect theFrame = GetPortRect(dest);
    Rect theRect = CalcTweenRect(ws.theConfig, theFrame, ws.currFrameIndex, ws.maxFrameIndex);
    PixelDrive(source, dest, theRect, ws.theConfig, ws.currFrameIndex, ws.maxFrameIndex);
}

void DoPixelEffect(GWorldPtr source, GWorldPtr dest, pluginDataPtr theConfig, SInt32 currentFrameIndex,
                   SInt32 maxFrames) {
    Rect theFrame = GetPortRect(dest);
    Rect theRect = CalcTweenRect(theConfig, theFrame, currentFrameIndex, maxFrames);
    PixelDrive(source, dest, theRect, theConfig, currentFrameIndex, maxFrames);
}

void PixelDrive(GWorldPtr source, GWorldPtr dest, Rect theRect, pluginDataPtr theConfig, SInt32, SInt32) {
    TonefadeEffect(source, dest, theRect, true, theConfig->sliders[0]);
}
