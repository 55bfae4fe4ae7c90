// The Color Picker: NPickColor shows a small modal window with red, green and blue
// sliders, a swatch, Cancel and OK, answered by a person or a script.
#pragma once

#include "MacTypes.h"
#include "events/CarbonEvents.h"

typedef struct OpaqueCMProfileRef* CMProfileRef;
typedef CMProfileRef* CMProfileHandle;
typedef UInt32 DialogPlacementSpec;
typedef void* UserEventUPP;
typedef void* ColorChangedUPP;

struct CMRGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
};
struct CMCMYKColor {
    UInt16 cyan;
    UInt16 magenta;
    UInt16 yellow;
    UInt16 black;
};
union CMColor {
    CMRGBColor rgb;
    CMCMYKColor cmyk;
};
struct PMColor {
    CMProfileHandle profile;
    CMColor color;
};
struct PickerMenuItemInfo {
    SInt16 editMenuID;
    SInt16 cutItem;
    SInt16 copyItem;
    SInt16 pasteItem;
    SInt16 clearItem;
    SInt16 undoItem;
};
struct NColorPickerInfo {
    PMColor theColor;
    CMProfileHandle dstProfile;
    UInt32 flags;
    DialogPlacementSpec placeWhere;
    Point dialogOrigin;
    OSType pickerType;
    UserEventUPP eventProc;
    ColorChangedUPP colorProc;
    UInt32 colorProcData;
    Str255 prompt;
    PickerMenuItemInfo mInfo;
    Boolean newColorChosen;
    SInt8 reserved;
};

enum : UInt32 {
    kColorPickerDialogIsMoveable = 1,
    kColorPickerDialogIsModal = 2,
    kColorPickerCanModifyPalette = 4,
    kColorPickerCanAnimatePalette = 8,
    kColorPickerAppIsColorSyncAware = 16,
    kColorPickerInSystemDialog = 32,
    kColorPickerInApplicationDialog = 64,
    kColorPickerInPickerDialog = 128,
};
enum : DialogPlacementSpec { kAtSpecifiedOrigin = 0, kDeepestColorScreen = 1, kCenterOnMainScreen = 2 };

// Runs the picker. With OK, newColorChosen is true and theColor holds the choice; with
// Cancel, or without any input source to answer it, nothing changes. noErr either way.
OSStatus NPickColor(NColorPickerInfo* info);

namespace toolbox {

// Control IDs of the picker's controls, for scripts: sliders 'cpkr' 1 to 3 (red, green,
// blue, 0 to 255), buttons sending 'ok  ' and 'not!'.
constexpr OSType kColorPickerSliderSignature = FOUR_CHAR_CODE("cpkr");

}  // namespace toolbox
