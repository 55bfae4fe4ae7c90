// The plug-in's description for the host (kPlugGetInfo) and its placeholder frame
// (kPlugFilePlaceHolder), rendered through a whole pass on a private copy of the block.
#include <cstring>

#include "Carbon.h"
#include "glue/PlugInMain.h"

namespace {

// Item `index` of string list `listID`, as a zero-terminated C string cut to `fieldSize`.
void CopyIndString(char* field, std::size_t fieldSize, SInt16 listID, SInt16 index) {
    Str255 text;
    GetIndString(text, listID, index);
    std::size_t n = std::min<std::size_t>(text[0], fieldSize - 1);
    std::memcpy(field, text + 1, n);
    field[n] = '\0';
}

void SetFilterParamInfos(SInt16, HYPluginParams* params) {
    params->getInfo.takeFromClipBefore = 0;
    params->getInfo.takeFromClipAfter = params->getInfo2.selectedFrames;
    params->getInfo.framesToBeRendered = params->getInfo2.selectedFrames;
    for (SInt16 i = 0; i < 3; ++i) {
        HYPluginFilterSliderInfo& slider = params->getInfo2.filterSliders[i];
        slider.defaultValue = 0.5f;
        CopyIndString(slider.label, sizeof slider.label, 128, SInt16(i + 1));
        CopyIndString(slider.minLabel, sizeof slider.minLabel, 129, SInt16(2 * i + 1));
        CopyIndString(slider.maxLabel, sizeof slider.maxLabel, 129, SInt16(2 * i + 2));
    }
    params->getInfo.pluginFlags |= 0x1000;
    CopyIndString(params->getInfo3.buttonTitle, sizeof params->getInfo3.buttonTitle, 130, 1);
    CopyIndString(params->getInfo2.group, sizeof params->getInfo2.group, 17000, 1);
}

}  // namespace

HYPluginResult EffectGetInfos(SInt16 which, HYPluginParams* params) {
    HYPluginGetInfo& info = params->getInfo;
    info.pluginType = kPluginFilterType;
    info.framesToBeRendered = info.takeFromClipBefore = info.takeFromClipAfter = 0;
    info.minSpeedFrames = info.maxSpeedFrames = 0;
    info.mustTakeFromSingleClips = false;
    info.pluginFlags |= 0x380;
    params->getInfo2.baseMemoryNeeded = 50000;
    SetFilterParamInfos(which, params);
    return kPluginOK;
}

HYPluginResult MakeEffectPlaceHolders(SInt16 which, HYPluginParams* params) {
    toolbox::SaveGWorld saved;
    SetGWorld(params->frame, nullptr);
    HYPluginParams copy;
    std::memcpy(&copy, params, sizeof copy);
    copy.renderFrame = params->getInfo.bestThumbOffset;
    // The placeholder's pass has a data block of its own, never one of a pass in progress.
    copy.clientData = nullptr;
    copy.selector = kPlugInitialize;
    HYPluginResult result = EffectBegins(which, &copy);
    if (result == kPluginOK) {
        copy.selector = kPlugDoFrame;
        (void)EffectDrives(which, &copy);
    }
    // Also after a failed start, so that a data block it allocated is not lost.
    copy.selector = kPlugTerminate;
    (void)EffectEnds(which, &copy);
    return result;
}
