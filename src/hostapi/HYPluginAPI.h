// The video editor host's plug-in interface: the parameter block handed to every call of
// the plug-in's `main`, the description records, the enumerations and the callback table.
// Plain declarations only; the layout is the host's and is pinned below for 32-bit builds.
// Needs nothing but the basic Mac types: the graphics world and the pixel map are passed
// by pointer only, so they are declared here as QuickDraw declares them, without their insides.
#pragma once

#include "MacTypes.h"

struct OpaqueGrafPtr;
typedef OpaqueGrafPtr* GWorldPtr;
struct PixMap;
typedef PixMap* PixMapPtr;

enum HYPluginSelector : UInt8 {
    kPlugGetInfo = 1,
    kPlugInitialize = 2,
    kPlugDrawIcon = 3,
    kPlugDrawThumbNail = 4,
    kPlugFilePlaceHolder = 5,
    kPlugDoFrame = 6,
    kPlugCallOnceWithInitAndTerminate = 7,
    kPlugTerminate = 8,
    kPlugCustomButtonClick = 9,
};

enum HYPluginResult : UInt8 {
    kPluginOK = 0,
    kPluginCancel = 1,
    kPluginFinished = 2,
    kPluginBadParams = 3,
    kPluginOutOfMemory = 4,
    kPluginOutOfDiskSpace = 5,
    kPluginFailed = 6,
    kPluginCantGetNeededFrame = 7,
    kPluginUnimplemented = 8,
    kPluginTryAgainLater = 9,
    kPluginAppIsTooOld = 10,
    kPluginAppIsTooNew = 11,
};

enum HYPluginType : UInt8 {
    kPluginUnknownType = 0,
    kPluginTitleType = 101,
    kPluginTransitionBeforeType = 102,
    kPluginTransitionBetweenType = 103,
    kPluginTransitionAfterType = 104,
    kPluginFilterType = 105,
};

enum HYRefDVQuality : UInt8 {
    kDVLowQuality = 0,
    kDVHighQuality = 1,
    kDVHighQualitySingleField = 2,
};

enum HYRefDigitalVideoStandard : UInt8 {
    kRefUnknownStandard = 0,
    kRefNTSCStandard = 1,
    kRefPALStandard = 2,
};

struct HYPluginGetInfo {
    UInt8 pluginType;  // HYPluginType
    UInt8 titleType;
    UInt32 pluginFlags;
    SInt32 framesToBeRendered;
    SInt32 takeFromClipBefore;
    SInt32 takeFromClipAfter;
    SInt32 minSpeedFrames;
    SInt32 maxSpeedFrames;
    Boolean mustTakeFromSingleClips;
    SInt32 bestThumbOffset;
    RGBColor defaultColor;
    UInt8 defaultDirection;
    UInt8 justify;
    SInt16 defaultFontNum;
    SInt16 defaultFontSize;
};

struct HYPluginFilterSliderInfo {
    char label[128];
    char minLabel[128];
    char maxLabel[128];
    Float32 defaultValue;
};

struct HY2PluginGetInfo {
    char group[128];
    HYPluginFilterSliderInfo filterSliders[3];
    SInt32 defaultFadeInFrames;
    SInt32 defaultFadeOutFrames;
    SInt32 minHangFrames;
    SInt32 maxHangFrames;
    Float32 defaultFontSizeScale;
    SInt32 selectedFrames;
    SInt32 speedFrames;
    SInt32 hangFrames;
    SInt32 baseMemoryNeeded;
};

struct HY3PluginGetInfo {
    Float32 defaultX;
    Float32 defaultY;
    Float32 userX;
    Float32 userY;
    UInt8 fileInfo[80];
    char buttonTitle[32];
};

struct HY4PluginGetInfo {
    HYPluginFilterSliderInfo titleSliders;
};

struct HYPluginFilterInfo {
    Float32 sliderValues[3];
    SInt32 fadeInFrames;
    SInt32 fadeOutFrames;
};

// Callbacks the plug-in calls. `instance` is the block's own `instance`, passed back unchanged.
typedef Ptr (*HYNewPtrProcPtr)(SInt32 byteCount);
typedef void (*HYDisposePtrProcPtr)(Ptr p);
typedef HYPluginResult (*HYGetFrameProcPtr)(void* instance, SInt32 frameNumber, GWorldPtr* frame,
                                            SInt16 width, SInt16 height, HYRefDVQuality quality,
                                            SInt16* volume, void** frameCookie);
typedef HYPluginResult (*HYReleaseFrameProcPtr)(void* instance, void* frameCookie);
typedef void (*HYGetMovieInfoProcPtr)(HYRefDigitalVideoStandard* standard, SInt16* width,
                                      SInt16* height, SInt32* totalFrames);
typedef HYPluginResult (*HYBlitProcPtr)(PixMapPtr source, PixMapPtr dest, const Rect* sourceRect,
                                        const Rect* destRect, SInt16 opacity);
typedef HYPluginResult (*HYMixAudioProcPtr)(void* instance, void* frameCookie, SInt32 volume);
typedef HYPluginResult (*HYGetFilterInfoProcPtr)(void* instance, HYPluginFilterInfo** filterInfo);
typedef void (*HYReleaseFilterInfoProcPtr)(void* instance, HYPluginFilterInfo* filterInfo);
// Host services this plug-in never calls; only their place in the table matters to it.
typedef void (*HYUnusedProcPtr)(void);

struct HYProcs {
    HYNewPtrProcPtr NewPtr;
    HYNewPtrProcPtr NewPtrClear;
    HYDisposePtrProcPtr DisposePtr;
    HYUnusedProcPtr ptocstr;
    HYUnusedProcPtr ctopstr;
    HYUnusedProcPtr pstrcpy;
    HYUnusedProcPtr strcpy;
    HYUnusedProcPtr strlen;
    HYUnusedProcPtr GetLocalizedString;
    HYGetFrameProcPtr GetFrame;
    HYReleaseFrameProcPtr ReleaseFrame;
    HYUnusedProcPtr GetAudioFrame;
    HYUnusedProcPtr ReleaseAudioFrame;
    HYGetMovieInfoProcPtr GetMovieInfo;
    HYUnusedProcPtr GetClipInfo;
    HYUnusedProcPtr SetClipInfo;
    HYBlitProcPtr Blit;
    HYUnusedProcPtr FillRect;
    HYUnusedProcPtr TextBounds;
    HYUnusedProcPtr DrawText;
    HYUnusedProcPtr GetTitleInfo;
    HYUnusedProcPtr ReleaseTitleInfo;
    HYUnusedProcPtr GetTransitionInfo;
    HYUnusedProcPtr ReleaseTransitionInfo;
    HYMixAudioProcPtr MixAudio;
    HYGetFilterInfoProcPtr GetFilterInfo;
    HYReleaseFilterInfoProcPtr ReleaseFilterInfo;
    HYUnusedProcPtr StringWidth;
    HYUnusedProcPtr CGDrawText;
    HYUnusedProcPtr CGStringWidth;
};

typedef struct _PluginParams {
    SInt16 interfaceVersion;
    void* instance;
    UInt8 selector;  // HYPluginSelector
    HYProcs* procs;
    HYPluginGetInfo getInfo;
    SInt32 startFrame;
    SInt32 renderFrame;
    SInt32 frameCount;
    Boolean proxyOnly;
    Rect frameRect;
    GWorldPtr frame;
    void* clientData;
    HY2PluginGetInfo getInfo2;
    HY3PluginGetInfo getInfo3;
    HY4PluginGetInfo getInfo4;
} HYPluginParams;

// The entry point every plug-in bundle exports under the C name `main`.
typedef int (*HYPluginEntryProcPtr)(SInt16 which, HYPluginParams* params);

// Layouts that do not depend on the pointer size.
static_assert(sizeof(HYPluginGetInfo) == 48);
static_assert(offsetof(HYPluginGetInfo, pluginFlags) == 4);
static_assert(offsetof(HYPluginGetInfo, mustTakeFromSingleClips) == 28);
static_assert(offsetof(HYPluginGetInfo, bestThumbOffset) == 32);
static_assert(offsetof(HYPluginGetInfo, defaultColor) == 36);
static_assert(offsetof(HYPluginGetInfo, defaultDirection) == 42);
static_assert(offsetof(HYPluginGetInfo, defaultFontNum) == 44);
static_assert(offsetof(HYPluginGetInfo, defaultFontSize) == 46);
static_assert(sizeof(HYPluginFilterSliderInfo) == 388);
static_assert(offsetof(HYPluginFilterSliderInfo, defaultValue) == 384);
static_assert(sizeof(HY2PluginGetInfo) == 1328);
static_assert(offsetof(HY2PluginGetInfo, filterSliders) == 128);
static_assert(offsetof(HY2PluginGetInfo, defaultFadeInFrames) == 1292);
static_assert(offsetof(HY2PluginGetInfo, defaultFontSizeScale) == 1308);
static_assert(offsetof(HY2PluginGetInfo, selectedFrames) == 1312);
static_assert(offsetof(HY2PluginGetInfo, baseMemoryNeeded) == 1324);
static_assert(sizeof(HY3PluginGetInfo) == 128);
static_assert(offsetof(HY3PluginGetInfo, fileInfo) == 16);
static_assert(offsetof(HY3PluginGetInfo, buttonTitle) == 96);
static_assert(sizeof(HY4PluginGetInfo) == 388);
static_assert(sizeof(HYPluginFilterInfo) == 20);
static_assert(offsetof(HYPluginFilterInfo, fadeInFrames) == 12);
static_assert(offsetof(HYPluginFilterInfo, fadeOutFrames) == 16);
static_assert(sizeof(HYPluginSelector) == 1 && sizeof(HYPluginResult) == 1 &&
              sizeof(HYRefDVQuality) == 1 && sizeof(HYRefDigitalVideoStandard) == 1);

// The host's own layout, with 4-byte pointers. On 64-bit targets only the pointers widen.
#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(HYProcs) == 120);
static_assert(sizeof(HYPluginParams) == 1940);
static_assert(offsetof(HYPluginParams, instance) == 4);
static_assert(offsetof(HYPluginParams, selector) == 8);
static_assert(offsetof(HYPluginParams, procs) == 12);
static_assert(offsetof(HYPluginParams, getInfo) == 16);
static_assert(offsetof(HYPluginParams, startFrame) == 64);
static_assert(offsetof(HYPluginParams, renderFrame) == 68);
static_assert(offsetof(HYPluginParams, frameCount) == 72);
static_assert(offsetof(HYPluginParams, proxyOnly) == 76);
static_assert(offsetof(HYPluginParams, frameRect) == 78);
static_assert(offsetof(HYPluginParams, frame) == 88);
static_assert(offsetof(HYPluginParams, clientData) == 92);
static_assert(offsetof(HYPluginParams, getInfo2) == 96);
static_assert(offsetof(HYPluginParams, getInfo3) == 1424);
static_assert(offsetof(HYPluginParams, getInfo4) == 1552);
#else
static_assert(sizeof(HYProcs) == 30 * sizeof(void*));
static_assert(offsetof(HYPluginParams, getInfo2) - offsetof(HYPluginParams, clientData) ==
              sizeof(void*));
static_assert(offsetof(HYPluginParams, getInfo4) + sizeof(HY4PluginGetInfo) - offsetof(HYPluginParams, getInfo2) ==
              1328 + 128 + 388);
#endif
