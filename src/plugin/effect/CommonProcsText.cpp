// CommonProcsText: small services shared by every module of the effect side.
#include "effect/CommonProcsText.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "effect/CommonProcs.h"
#include "effect/PluginDefines.h"

namespace {

void AppendText(Str255 s, const char* text, std::size_t n) {
    if (n > std::size_t(255 - s[0])) n = 255 - s[0];
    std::memcpy(s + 1 + s[0], text, n);
    s[0] = UInt8(s[0] + n);
}
void Append(Str255 s, const char* text) { AppendText(s, text, std::strlen(text)); }
void Append(Str255 s, ConstStr255Param p) { AppendText(s, reinterpret_cast<const char*>(p + 1), p[0]); }

bool IsDigit(UInt8 c) { return c >= '0' && c <= '9'; }

[[noreturn]] void NibFailed(const char* what, const std::string& name, OSStatus err) {
    Str255 description, number;
    description[0] = 0;
    Append(description, what);
    Append(description, "\"");
    Append(description, name.c_str());
    Append(description, "\" as it returned errcode #");
    Num2Text(err, number);
    Append(description, number);
    Append(description, ".");
    Str255 headline;
    CopyCStringToPascal("OpenNibWindow Failed", headline);
    Terminate(headline, description);
}

// The exit status is the error's low byte; a low byte of 0 would report success, so
// such an error ends with 255 instead.
[[noreturn]] void WindowFailed(const char* window, OSStatus err) {
    std::fprintf(stderr, "OpenNibWindow: cannot create the window \"%s\" (error %d)\n", window, int(err));
    std::fflush(nullptr);
    int status = int(UInt32(err) & 0xFF);
    std::_Exit(status == 0 ? 255 : status);
}

WindowRef WindowFromNib(IBNibRef nib, const char* theWindow) {
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, theWindow, kCFStringEncodingMacRoman);
    WindowRef window = nullptr;
    OSStatus err = CreateWindowFromNib(nib, name, &window);
    CFRelease(name);
    if (err != noErr) WindowFailed(theWindow, err);
    return window;
}

}  // namespace

Ptr CloneObject(Ptr theObject) {
    if (theObject == nullptr) return nullptr;
    Size size = GetPtrSize(theObject);
    if (size < 1) return nullptr;
    Ptr copy = NewPtr(size);
    if (copy == nullptr) return nullptr;
    BlockMoveData(theObject, copy, size);
    return copy;
}

Boolean IsShiftDown() { return (GetCurrentKeyModifiers() & shiftMask) != 0; }
Boolean IsCtrlDown() { return (GetCurrentKeyModifiers() & ctrlMask) != 0; }
Boolean IsOptionDown() { return (GetCurrentKeyModifiers() & optionMask) != 0; }
Boolean IsCommandDown() { return (GetCurrentKeyModifiers() & cmdMask) != 0; }

void PostCommand(ConstStr255Param theCommand) {
    auto* command = reinterpret_cast<HICommand*>(NewPtrClear(sizeof(HICommand)));
    Assert(command, "Allocating HICommand from post command");
    command->attributes = 0;
    command->commandID = String2Command(theCommand);
    command->menu.menuRef = nullptr;
    command->menu.menuItemIndex = 0;
    ProcessHICommand(command);
    DisposePtr(reinterpret_cast<Ptr>(command));
}

SInt16 CarbonHiWord(SInt32 x) { return SInt16(UInt16(UInt32(x) >> 16)); }
SInt16 CarbonLoWord(SInt32 x) { return SInt16(UInt16(UInt32(x) & 0xFFFF)); }

void ZeroDelimitString(Str255 theStr) {
    const int n = theStr[0];
    theStr[n >= 254 ? 255 : n + 1] = 0;
}

void CF2PString(CFStringRef theCFRef, Str255 outString) {
    outString[0] = 0;
    if (theCFRef == nullptr) return;
    if (!CFStringGetPascalString(theCFRef, outString, 256, kCFStringEncodingMacRoman)) outString[0] = 0;
}

void Num2Text(SInt32 theNum, Str255 outText) { NumToString(theNum, outText); }

void Command2String(UInt32 theCommand, Str32 outString) {
    outString[0] = 4;
    for (int i = 0; i < 4; ++i) outString[1 + i] = UInt8(theCommand >> (24 - 8 * i));
}

UInt32 String2Command(ConstStr255Param theString) {
    UInt32 code = 0;
    for (int i = 1; i <= 4; ++i) code = (code << 8) | (i <= theString[0] ? theString[i] : UInt8(' '));
    return code;
}

void SwapInt(SInt16& i1, SInt16& i2) {
    SInt16 t = i1;
    i1 = i2;
    i2 = t;
}

void String2Real(ConstStr255Param theString, double& theNumber) {
    theNumber = 0;
    const int length = theString[0];
    int cursor = 1;
    if (length == 0) return;
    UInt8 c = theString[cursor];
    if (!(c == '-' || c == '.' || c == ',' || IsDigit(c))) return;
    const bool negative = c == '-';
    double value = 0;
    if (c != '.' && c != ',') {
        // A leading minus counts as the digit 0.
        for (;;) {
            value = value * 10 + (negative && cursor == 1 ? 0 : c - '0');
            if (++cursor > length) break;
            c = theString[cursor];
            if (!IsDigit(c)) break;
        }
    }
    if (cursor <= length && (c == '.' || c == ',')) {
        double factor = 0.1;
        while (++cursor <= length && IsDigit(theString[cursor])) {
            value += (theString[cursor] - '0') * factor;
            factor /= 10;
        }
    }
    theNumber = negative && value != 0 ? -value : value;
}

void Real2String(double theReal, Str255 outString) {
    SInt32 whole = 0, digits = 0;
    if (std::isfinite(theReal) && std::fabs(theReal) < 2147483648.0) {
        whole = SInt32(theReal);
        // The tiny allowance keeps binary representation error from eating a digit: 0.3 is
        // stored as 0.29999..., whose four decimals are still 3000.
        digits = SInt32(std::fabs(theReal - whole) * 10000.0 + 1e-6);
        if (digits > 9999) digits = 9999;
    } else if (std::isfinite(theReal)) {
        whole = theReal < 0 ? INT32_MIN : INT32_MAX;  // beyond 32 bits only the nearest integer is written
    }
    outString[0] = 0;
    if (theReal < 0 && whole == 0 && digits != 0) Append(outString, "-");
    Str255 number;
    Num2Text(whole, number);
    Append(outString, number);
    if (digits == 0) return;
    char fraction[16];
    std::snprintf(fraction, sizeof fraction, ".%04d", int(digits));
    Append(outString, fraction);
}

FSSpec FSRef2FSSpec(const FSRef& theRef) {
    FSSpec fileSpec{};
    FSGetCatalogInfo(&theRef, kFSCatInfoNone, nullptr, nullptr, &fileSpec, nullptr);
    return fileSpec;
}

FSRef FSSpec2FSRef(const FSSpec& theFSS) {
    FSRef ref{};
    FSpMakeFSRef(&theFSS, &ref);
    return ref;
}

CFStringRef FSRef2CFString(const FSRef& theFSRef) {
    CFURLRef url = CFURLCreateFromFSRef(kCFAllocatorDefault, &theFSRef);
    if (url == nullptr) return nullptr;
    std::string text = toolbox::CFStringToUTF8(CFURLGetString(url));
    CFRelease(url);
    return CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
}

CFStringRef FSSpec2CFString(const FSSpec& theFSS) { return FSRef2CFString(FSSpec2FSRef(theFSS)); }

void GetNameFromFSRef(const FSRef& theFSRef, Str255 outName) {
    FSSpec fileSpec = FSRef2FSSpec(theFSRef);
    std::memcpy(outName, fileSpec.name, std::size_t(fileSpec.name[0]) + 1);
}

Boolean IsFileAFolder(const FSRef& theFile) {
    LSItemInfoRecord info{};
    LSCopyItemInfoForRef(&theFile, kLSRequestBasicFlagsOnly, &info);
    return (info.flags & kLSItemInfoIsContainer) != 0;
}

WindowRef OpenNibWindow(const char* theNib, const char* theWindow) {
    const char* nibName = theNib && theNib[0] ? theNib : "main";
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, nibName, kCFStringEncodingMacRoman);
    IBNibRef nib = nullptr;
    OSStatus err = CreateNibReference(name, &nib);
    CFRelease(name);
    if (err != noErr) NibFailed("Unable to CreateNibReference for ", nibName, err);
    WindowRef window = WindowFromNib(nib, theWindow);
    DisposeNibReference(nib);
    return window;
}

WindowRef OpenNibWindowFromCFBundle(const char* theIdentifier, const char* theNib, const char* theWindow) {
    Str255 location, identifier;
    CopyCStringToPascal(theIdentifier, identifier);
    CFStringRef bundleID = CFStringCreateWithCString(kCFAllocatorDefault, theIdentifier, kCFStringEncodingMacRoman);
    CopyCStringToPascal("Cannot allocate CFSTR for ", location);
    Append(location, identifier);
    Assert(bundleID, location);
    CFBundleRef bundle = CFBundleGetBundleWithIdentifier(bundleID);
    CFRelease(bundleID);
    CopyCStringToPascal(" Cannot allocate bundle for ID = ", location);
    Append(location, identifier);
    Assert(bundle, location);
    CFRetain(bundle);
    const char* nibName = theNib && theNib[0] ? theNib : cNibName;
    CFStringRef name = CFStringCreateWithCString(kCFAllocatorDefault, nibName, kCFStringEncodingMacRoman);
    IBNibRef nib = nullptr;
    OSStatus err = CreateNibReferenceWithCFBundle(bundle, name, &nib);
    CFRelease(name);
    if (err != noErr) NibFailed("Unable to CreateNibReferenceWithCFBundle for ", std::string(theIdentifier) + "/" + nibName, err);
    WindowRef window = WindowFromNib(nib, theWindow);
    DisposeNibReference(nib);
    CFRelease(bundle);
    return window;
}

SInt16 Sgn(double theVal) { return theVal < 0 ? -1 : 1; }
