// Core Foundation stand-in: reference-counted immutable strings, with Mac Roman and UTF-8.
#pragma once

#include <string>

#include "MacTypes.h"

struct __CFString;
typedef const __CFString* CFStringRef;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef long CFIndex;
typedef UInt32 CFStringEncoding;

constexpr CFAllocatorRef kCFAllocatorDefault = nullptr;

enum : CFStringEncoding {
    kCFStringEncodingMacRoman = 0,
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
};

CFStringRef CFStringCreateWithPascalString(CFAllocatorRef alloc, ConstStr255Param pStr,
                                           CFStringEncoding encoding);
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr, CFStringEncoding encoding);
CFIndex CFStringGetLength(CFStringRef theString);
// Both return false when the text does not fit or cannot be expressed in the encoding.
Boolean CFStringGetPascalString(CFStringRef theString, StringPtr buffer, CFIndex bufferSize,
                                CFStringEncoding encoding);
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
CFTypeRef CFRetain(CFTypeRef cf);
void CFRelease(CFTypeRef cf);

// A string that lives for the whole run, as CFSTR("...") gives on the Mac.
CFStringRef CFSTR(const char* cStr);

namespace toolbox {

std::string MacRomanToUTF8(const unsigned char* text, std::size_t length);
// Characters without a Mac Roman form become '?'.
std::string UTF8ToMacRoman(const std::string& utf8, bool* lossless = nullptr);
std::string CFStringToUTF8(CFStringRef theString);
long LiveCFObjectCount();

}  // namespace toolbox
