// FadeSchedule: the opacity schedule of the clip's fades, shared by the render pass and
// the frei0r adapter so that both blend at the same opacities.
#include "effect/FadeSchedule.h"

#include <algorithm>
#include <cmath>

#include "effect/CommonProcs.h"

void ClampFades(SInt32 frameCount, SInt32* fadeIn, SInt32* fadeOut) {
    // The limit follows the lengths as the host gave them: a negative one still counts as set.
    SInt32 limit = (*fadeIn != 0 && *fadeOut != 0) ? frameCount / 2 : frameCount;
    limit = std::max<SInt32>(limit, 0);
    *fadeIn = std::max<SInt32>(std::min(*fadeIn, limit), 0);
    *fadeOut = std::max<SInt32>(std::min(*fadeOut, limit), 0);
}

void ClampFadeTimes(double length, double* fadeIn, double* fadeOut) {
    if (std::isnan(*fadeIn)) *fadeIn = 0.0;
    if (std::isnan(*fadeOut)) *fadeOut = 0.0;
    double limit = (*fadeIn != 0.0 && *fadeOut != 0.0) ? length / 2.0 : length;
    limit = std::isnan(limit) ? 0.0 : std::max(limit, 0.0);
    *fadeIn = std::max(std::min(*fadeIn, limit), 0.0);
    *fadeOut = std::max(std::min(*fadeOut, limit), 0.0);
}

SInt16 FadeOpacity(SInt32 renderFrame, SInt32 frameCount, SInt32 fadeIn, SInt32 fadeOut) {
    // Every 32-bit number, and every difference of two, is exact in a double.
    return FadeOpacityAt(double(renderFrame), double(frameCount), double(fadeIn), double(fadeOut));
}

SInt16 FadeOpacityAt(double position, double length, double fadeIn, double fadeOut) {
    double progress;
    if (fadeIn > 0 && position < fadeIn)
        progress = position / fadeIn;
    else if (fadeOut > 0 && position > length - fadeOut)
        progress = (length - position) / fadeOut;
    else
        return -1;
    // Frames before the clip or past its end would go beyond full opacity: keep to 0..255.
    // A progress that is not a number (infinite times) counts as the fade's start.
    if (std::isnan(progress)) progress = 0.0;
    return std::clamp<SInt16>(TruncToSInt16((1.0 - std::clamp(progress, 0.0, 1.0)) * 255.0), 0, 255);
}
