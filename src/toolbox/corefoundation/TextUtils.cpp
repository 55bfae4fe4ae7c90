// Text Utilities stand-in.
#include "corefoundation/TextUtils.h"

#include <cstdio>
#include <cstring>

void CopyCStringToPascal(const char* src, Str255 dst) {
    std::size_t n = src ? std::strlen(src) : 0;
    if (n > 255) n = 255;
    dst[0] = UInt8(n);
    if (n) std::memmove(dst + 1, src, n);
}

void CopyPascalStringToC(ConstStr255Param src, char* dst) {
    std::size_t n = src[0];
    std::memmove(dst, src + 1, n);
    dst[n] = '\0';
}

void NumToString(SInt32 theNum, Str255 theString) {
    char text[16];
    int n = std::snprintf(text, sizeof text, "%d", int(theNum));
    theString[0] = UInt8(n);
    std::memcpy(theString + 1, text, std::size_t(n));
}

// Optional sign, then digits; stops at the first other character. Wraps like the
// toolbox's 32-bit arithmetic instead of overflowing.
void StringToNum(ConstStr255Param theString, SInt32* theNum) {
    UInt32 value = 0;
    bool negative = false;
    for (int i = 1; i <= theString[0]; ++i) {
        unsigned char c = theString[i];
        if (i == 1 && (c == '-' || c == '+')) {
            negative = c == '-';
        } else if (c >= '0' && c <= '9') {
            value = value * 10u + UInt32(c - '0');
        } else {
            break;
        }
    }
    *theNum = SInt32(negative ? 0u - value : value);
}
