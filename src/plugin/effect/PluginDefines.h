// PluginDefines: the settings record, the configuration workspace, the dialog's build-time
// constants and the globals shared by the glue and the effect side.
#pragma once

#include "Carbon.h"
#include "HYPluginAPI.h"
#include "effect/RelRects.h"

struct OpaqueControlRef;
typedef OpaqueControlRef* ControlRef;
struct OpaqueWindowPtr;
typedef OpaqueWindowPtr* WindowRef;

// The settings record. Flat, no pointers: a byte copy is a complete copy.
struct pluginDataRec {
    relRect startRel;          // the effect rectangle
    relRect endRel;            // carried along, never read by the effect
    SInt16 sliders[6];         // sliders[0] is the amount in percent
    RGBColor colors[6];        // the colour boxes' values; unused by the effect
    RGBColor frameStartColor;  // outline colour of the rectangle in the preview
    RGBColor frameEndColor;    // carried along
    SInt16 mediaType;          // 1 NTSC, 2 PAL, 3 HD
};
typedef pluginDataRec* pluginDataPtr;

static_assert(offsetof(pluginDataRec, endRel) == 32);
static_assert(offsetof(pluginDataRec, sliders) == 64);
static_assert(offsetof(pluginDataRec, colors) == 76);
static_assert(offsetof(pluginDataRec, frameStartColor) == 112);
static_assert(offsetof(pluginDataRec, frameEndColor) == 118);
static_assert(offsetof(pluginDataRec, mediaType) == 124);
static_assert(sizeof(pluginDataRec) == 128);

enum : SInt16 { kMediaNTSC = 1, kMediaPAL = 2, kMediaHD = 3 };

// Shared by the dialog, its controls and the preview while the dialog is open.
struct pluginWorkSpace {
    pluginDataPtr theConfig;
    HYPluginParams* iMovieParams;
    GWorldPtr sourceClip;
    GWorldPtr theFXClip;
    SInt32 currFrameIndex;
    SInt32 minFrameIndex;
    SInt32 maxFrameIndex;
    SInt16 activeRel;
    ControlRef theFrameCtrl;
    ControlRef sliders[6];
    ControlRef clipSlider;
    ControlRef colors[6];
    WindowRef theWindow;
};

extern pluginDataPtr gTheConfig;
extern pluginWorkSpace gConfigWorkSpace;

// Globals of the entry layer, one set per loaded plug-in.
extern Boolean gEffectInited;
extern pluginDataPtr gEffectData;
extern SInt32 gMostRecentStartFrame;
extern SInt32 gMostRecentFrameCount;

// The dialog's build-time configuration.
constexpr Boolean cUsesSlider1 = true;
constexpr Boolean cUsesSlider2 = false;
constexpr Boolean cUsesSlider3 = false;
constexpr Boolean cUsesSlider4 = false;
constexpr Boolean cUsesSlider5 = false;
constexpr Boolean cUsesSlider6 = false;
constexpr Boolean cUsesColor1 = false;
constexpr Boolean cUsesColor2 = false;
constexpr Boolean cUsesColor3 = false;
constexpr Boolean cUsesColor4 = false;
constexpr Boolean cUsesColor5 = false;
constexpr Boolean cUsesColor6 = false;
constexpr SInt16 cUsedNumberOfRects = 1;
constexpr SInt16 cHandleSize = 6;
constexpr const char* cMyBundleID = "com.qorvel.lumiset.tonefade";
constexpr const char* cMyPluginName = "tonefade";  // the nib file that holds the windows
constexpr const char* cBundleIdentifier = cMyBundleID;
constexpr const char* cNibName = cMyPluginName;
