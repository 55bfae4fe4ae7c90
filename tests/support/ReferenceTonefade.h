// The effect written out per pixel, straight from its definition: the reference every
// kernel test compares with.
#pragma once

#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "effect/PixelLib.h"

namespace testsupport {

// One channel: the product rounded to a double, then the add, trunc, 16 bits, 8 bits.
inline UInt8 RefChannel(int c, int mixer, SInt16 slider) {
    const double product = double(mixer - c) * (slider / 100.0);
    const double value = std::trunc(double(c) + product);
    return std::fabs(value) < 9.2e18 ? UInt8(SInt16(UInt16(SInt64(value)))) : 0;
}

inline pixRec RefPixel(pixRec p, SInt16 slider) {
    const int mixer = (p.red + p.green + p.blue) / 3;
    return {p.alpha, RefChannel(p.red, mixer, slider), RefChannel(p.green, mixer, slider),
            RefChannel(p.blue, mixer, slider)};
}

// The same on bytes in memory: A, R, G, B.
inline void ReferencePixel(const UInt8 in[4], UInt8 out[4], SInt16 slider) {
    pixRec p;
    std::memcpy(&p, in, 4);
    p = RefPixel(p, slider);
    std::memcpy(out, &p, 4);
}

inline std::string Show(pixRec p) {
    std::ostringstream os;
    os << '(' << int(p.alpha) << ',' << int(p.red) << ',' << int(p.green) << ',' << int(p.blue) << ')';
    return os.str();
}

}  // namespace testsupport
