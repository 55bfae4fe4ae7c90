// Frei0rParams: the frei0r parameters of the tonefade filter, and how each value becomes
// a setting of the effect. Every double is accepted; what the effect cannot take is
// mapped onto what it can, the same way in every host.
#pragma once

#include "effect/PluginDefines.h"

enum : int {
    kParamAmount,      // 0..1 is 0..100 %; beyond, to the effect's full range
    kParamLeft,        // the rectangle, as fractions of the frame, straight into startRel
    kParamTop,
    kParamRight,
    kParamBottom,
    kParamFadeIn,      // fade lengths and the clip's length in the host's time unit
    kParamFadeOut,
    kParamClipLength,
    kParamCount
};

struct frei0rParamRec {
    const char* name;
    const char* explanation;
};
extern const frei0rParamRec kFrei0rParams[kParamCount];

// One filter's own settings: the effect's settings record and the fades.
struct frei0rSettingsRec {
    pluginDataRec config;  // what the effect reads: startRel and sliders[0]
    double fadeIn;
    double fadeOut;
    double clipLength;
};

// The amount as a percent: amount × 100 rounded to the nearest whole number, held to
// -32768..32767 (so infinities reach the ends); a value that is not a number is 0.
SInt16 AmountToPercent(double amount);
// A time that is not a finite number counts as 0 (no fade, no clip length).
double SanitizedTime(double seconds);

// Sets or reads one parameter; an index out of range does nothing (reads 0).
void SetFrei0rParam(frei0rSettingsRec* settings, int index, double value);
double GetFrei0rParam(const frei0rSettingsRec* settings, int index);
