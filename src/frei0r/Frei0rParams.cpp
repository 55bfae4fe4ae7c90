// Frei0rParams: the filter's parameters and their mapping onto the effect's settings.
#include "Frei0rParams.h"

#include <cmath>

const frei0rParamRec kFrei0rParams[kParamCount] = {
    {"amount", "How far colours move towards grey: 0..1 is 0..100 %, in steps of 1 %; "
               "beyond 1 (or below 0) up to the effect's full range, -327.68..327.67"},
    {"rect-left", "Left edge of the rectangle, as a fraction of the frame's width"},
    {"rect-top", "Top edge of the rectangle, as a fraction of the frame's height"},
    {"rect-right", "Right edge of the rectangle, as a fraction of the frame's width"},
    {"rect-bottom", "Bottom edge of the rectangle, as a fraction of the frame's height"},
    {"fade-in", "Fade-in length in the host's time unit (seconds; milliseconds in ffmpeg); 0 = none"},
    {"fade-out", "Fade-out length in the host's time unit (seconds; milliseconds in ffmpeg); 0 = none"},
    {"clip-length", "Length of the clip in the host's time unit, for the fade-out; 0 = no fades"},
};

SInt16 AmountToPercent(double amount) {
    if (std::isnan(amount)) return 0;
    double percent = std::round(amount * 100.0);
    if (percent <= -32768.0) return -32768;
    if (percent >= 32767.0) return 32767;
    return SInt16(percent);
}

double SanitizedTime(double seconds) { return std::isfinite(seconds) ? seconds : 0.0; }

void SetFrei0rParam(frei0rSettingsRec* settings, int index, double value) {
    relRect& rect = settings->config.startRel;
    switch (index) {
        case kParamAmount: settings->config.sliders[0] = AmountToPercent(value); break;
        case kParamLeft: rect.left = value; break;
        case kParamTop: rect.top = value; break;
        case kParamRight: rect.right = value; break;
        case kParamBottom: rect.bottom = value; break;
        case kParamFadeIn: settings->fadeIn = SanitizedTime(value); break;
        case kParamFadeOut: settings->fadeOut = SanitizedTime(value); break;
        case kParamClipLength: settings->clipLength = SanitizedTime(value); break;
        default: break;
    }
}

double GetFrei0rParam(const frei0rSettingsRec* settings, int index) {
    const relRect& rect = settings->config.startRel;
    switch (index) {
        case kParamAmount: return settings->config.sliders[0] / 100.0;
        case kParamLeft: return rect.left;
        case kParamTop: return rect.top;
        case kParamRight: return rect.right;
        case kParamBottom: return rect.bottom;
        case kParamFadeIn: return settings->fadeIn;
        case kParamFadeOut: return settings->fadeOut;
        case kParamClipLength: return settings->clipLength;
        default: return 0.0;
    }
}
