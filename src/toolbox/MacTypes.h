// MacTypes: the toolbox's basic value types, error codes and four-character codes.
// Every manager of the stand-in and all plug-in code build on these.
#pragma once

#include <cstddef>
#include <cstdint>

typedef std::uint8_t UInt8;
typedef std::int8_t SInt8;
typedef std::uint16_t UInt16;
typedef std::int16_t SInt16;
typedef std::uint32_t UInt32;
typedef std::int32_t SInt32;
typedef std::uint64_t UInt64;
typedef std::int64_t SInt64;
typedef float Float32;
typedef double Float64;

typedef unsigned char Boolean;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;
typedef char* Ptr;
typedef Ptr* Handle;
typedef long Size;
typedef UInt32 FourCharCode;
typedef FourCharCode OSType;
typedef FourCharCode ResType;
typedef SInt16 ResID;
typedef SInt16 ScriptCode;

typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef unsigned char Str32[33];
typedef unsigned char Str31[32];
typedef unsigned char* StringPtr;
typedef const unsigned char* ConstStringPtr;
typedef const unsigned char* ConstStr255Param;
typedef const unsigned char* ConstStr63Param;
typedef const unsigned char* ConstStr32Param;
typedef const unsigned char* ConstStr31Param;
typedef StringPtr* StringHandle;

struct Point {
    SInt16 v;
    SInt16 h;
};
typedef Point* PointPtr;

// Right and bottom are exclusive.
struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};
typedef Rect* RectPtr;

struct RGBColor {
    UInt16 red;
    UInt16 green;
    UInt16 blue;
};

static_assert(sizeof(Point) == 4);
static_assert(sizeof(Rect) == 8 && offsetof(Rect, bottom) == 4);
static_assert(sizeof(RGBColor) == 6);

// Error codes used by the stand-in.
enum : OSErr {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    nilHandleErr = -109,
    memWZErr = -111,
    fnfErr = -43,
    dirNFErr = -120,
    ioErr = -36,
    dskFulErr = -34,
    eofErr = -39,
    wrPermErr = -61,
    permErr = -54,
    dupFNErr = -48,
    bdNamErr = -37,
    resNotFound = -192,
    resFNotFound = -193,
    addResFailed = -194,
    rmvResFailed = -196,
    resAttrErr = -198,
    mapReadErr = -199,
    notAFileErr = -1302,      // a folder, device, pipe or socket where a file was expected
    fsDataTooBigErr = -1310,  // more than the file or its format can hold
    eventNotHandledErr = -9874,
    userCanceledErr = -128,
};

enum : OSStatus {
    kLSApplicationNotFoundErr = -10814,
    errUnknownControl = -30584,
};

// A four-character code's first character is the most significant byte on every processor.
constexpr FourCharCode FOUR_CHAR_CODE(const char (&s)[5]) {
    return (FourCharCode(UInt8(s[0])) << 24) | (FourCharCode(UInt8(s[1])) << 16) |
           (FourCharCode(UInt8(s[2])) << 8) | FourCharCode(UInt8(s[3]));
}
