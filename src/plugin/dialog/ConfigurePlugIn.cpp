// ConfigurePlugIn: the bridge from the custom button into the dialog. Fills the
// workspace, renders the first preview, registers the dialog's two control classes for
// as long as the dialog runs, and cleans up after it.
#include "dialog/ConfigurePlugIn.h"

#include "dialog/ClipCtrl.h"
#include "dialog/ColorCtrl.h"
#include "dialog/ConfigDlgHandler.h"
#include "effect/CallPixelFX.h"
#include "effect/CommonProcs.h"

void ConfigurePlugIn(pluginDataPtr theData, GWorldPtr theGW, HYPluginParams* params, SInt32 firstFrameIndex,
                     SInt32 numberOfFrames) {
    pluginWorkSpace& ws = gConfigWorkSpace;
    gTheConfig = theData;
    ws.theConfig = gTheConfig;
    ws.sourceClip = theGW;
    ws.iMovieParams = params;
    ws.currFrameIndex = 0;
    ws.minFrameIndex = firstFrameIndex;
    if (numberOfFrames < 1) numberOfFrames = 1;
    ws.maxFrameIndex = numberOfFrames - 1;
    ws.activeRel = 1;
    ws.theFXClip = AllocateRectGWorld(GetPortRect(theGW));
    Assert(ws.theFXClip, "Unable to allocate theProcessed in ConffigurePlug Init run");
    Assert(theData, "uninited theData in Configure master proc. need to call init before calling me");
    CallPixelEffect(theGW, ws.theFXClip);
    RegisterColorBox();
    RegisterClipCtrl();
    DoConfig(gTheConfig);
    UnregisterClipCtrl();
    UnregisterColorBox();
    DisposeGWorld(ws.theFXClip);
    ws.theFXClip = nullptr;
}
