// CommonProcs: the graphics half and the alerts.
#include "effect/CommonProcs.h"

#include <cmath>
#include <cstring>

namespace {

void PStr(const char* text, Str255 out) { CopyCStringToPascal(text, out); }

// Concatenates two Pascal strings, cut at 255 characters.
void PConcat(ConstStr255Param a, ConstStr255Param b, Str255 out) {
    std::size_t na = a[0], nb = b[0];
    if (na + nb > 255) nb = 255 - na;
    std::memmove(out + 1, a + 1, na);
    std::memmove(out + 1 + na, b + 1, nb);
    out[0] = UInt8(na + nb);
}

}  // namespace

// --- Alerts and assertions ---------------------------------------------------------

CFStringRef MakeCFString(ConstStr255Param theString) {
    return CFStringCreateWithPascalString(kCFAllocatorDefault, theString, kCFStringEncodingMacRoman);
}

SInt16 StandardWarning(ConstStr255Param headline, ConstStr255Param description, ConstStr255Param okText,
                       ConstStr255Param cancelText) {
    CFStringRef okString = MakeCFString(okText);
    CFStringRef cancelString = cancelText[0] > 0 ? MakeCFString(cancelText) : nullptr;
    AlertStdCFStringAlertParamRec param{kStdCFStringAlertVersionOne, true, false, okString, cancelString,
                                        nullptr, kAlertStdAlertOKButton, kAlertStdAlertCancelButton,
                                        kWindowDefaultPosition, 0};
    CFStringRef error = MakeCFString(headline);
    CFStringRef explanation = MakeCFString(description);
    DialogRef alert = nullptr;
    DialogItemIndex itemHit = kAlertStdAlertOKButton;
    if (CreateStandardAlert(kAlertCautionAlert, error, explanation, &param, &alert) == noErr)
        RunStandardAlert(alert, nullptr, &itemHit);
    for (CFStringRef s : {okString, cancelString, error, explanation})
        if (s) CFRelease(s);
    return itemHit;
}

void StandardStop(ConstStr255Param headline, ConstStr255Param description) {
    CFStringRef error = MakeCFString(headline);
    CFStringRef explanation = MakeCFString(description);
    DialogRef alert = nullptr;
    DialogItemIndex itemHit = 0;
    if (CreateStandardAlert(kAlertStopAlert, error, explanation, nullptr, &alert) == noErr)
        RunStandardAlert(alert, nullptr, &itemHit);
    CFRelease(error);
    CFRelease(explanation);
}

void Terminate(ConstStr255Param headline, ConstStr255Param description) {
    StandardStop(headline, description);
    ExitToShell();
}

void Terminate(const char* headline, const char* description) {
    Str255 h, d;
    PStr(headline, h);
    PStr(description, d);
    Terminate(h, d);
}

void Assert(const void* thePtr, ConstStr255Param failLocation) {
    if (thePtr != nullptr) return;
    Str255 headline, prefix, description;
    PStr("Assertion Failure", headline);
    PStr("Assertion failed in: ", prefix);
    PConcat(prefix, failLocation, description);
    Terminate(headline, description);
}

void Assert(const void* thePtr, const char* failLocation) {
    if (thePtr != nullptr) return;
    Str255 location;
    PStr(failLocation, location);
    Assert(thePtr, location);
}

void Notify(ConstStr255Param theMessage) {
    Str255 headline, ok, none;
    PStr("Internal Notification:", headline);
    PStr("ok", ok);
    none[0] = 0;
    StandardWarning(headline, theMessage, ok, none);
}

// --- Offscreen worlds and ports ------------------------------------------------------

Rect GetPortRect(CGrafPtr port) {
    Rect r{0, 0, 0, 0};
    GetPortBounds(port, &r);
    return r;
}

Rect CarbonGetPortBounds(CGrafPtr port) { return GetPortRect(port); }

BitMap CarbonGetPortBitMapForCopyBits(CGrafPtr port) {
    const BitMap* bits = GetPortBitMapForCopyBits(port);
    return bits ? *bits : BitMap{nullptr, 0, {0, 0, 0, 0}};
}

void LockGWorld(GWorldPtr theGW) {
    if (theGW == nullptr) return;
    PixMapHandle thePixMap = GetGWorldPixMap(theGW);
    (void)GetPixelsState(thePixMap);
    LockPixels(thePixMap);
}

GWorldPtr AllocateRectGWorld(Rect theRect) {
    OffsetRect(&theRect, SInt16(-theRect.left), SInt16(-theRect.top));
    GWorldPtr theGW = nullptr;
    (void)NewGWorld(&theGW, 32, &theRect, nullptr, nullptr, 0);
    LockGWorld(theGW);
    return theGW;
}

GWorldPtr AllocateGWorld(SInt16 wid, SInt16 hig) { return AllocateRectGWorld(Rect{0, 0, hig, wid}); }

GWorldPtr MakeGWorldClone(GWorldPtr theGW) {
    if (theGW == nullptr) return nullptr;
    Rect bounds = GetPortRect(theGW);
    GWorldPtr clone = AllocateRectGWorld(bounds);
    if (clone != nullptr)
        CopyBits(GetPortBitMapForCopyBits(theGW), GetPortBitMapForCopyBits(clone), &bounds, &bounds, srcCopy,
                 nullptr);
    return clone;
}

namespace {
// CopyBits colourises with the port's colours; black on white keeps the picture as it is.
void SetBlackOnWhite() {
    RGBColor white = SetRGBColor(-1, -1, -1), black = SetRGBColor(0, 0, 0);
    RGBBackColor(&white);
    RGBForeColor(&black);
}
}  // namespace

void Source2Target(GWorldPtr source, GWorldPtr target) {
    if (source == nullptr || target == nullptr) return;
    SetBlackOnWhite();
    Rect srcRect = GetPortRect(source), dstRect = GetPortRect(target);
    CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(target), &srcRect, &dstRect, srcCopy,
             nullptr);
}

void DrawGWInGW(GWorldPtr source, GWorldPtr dest, Rect theRect) {
    SetBlackOnWhite();
    Rect srcRect = GetPortRect(source);
    CopyBits(GetPortBitMapForCopyBits(source), GetPortBitMapForCopyBits(dest), &srcRect, &theRect, srcCopy,
             nullptr);
}

void DrawPictureInGW(GWorldPtr theGW, PicHandle thePicture, Rect theRect) {
    if (theGW == nullptr || thePicture == nullptr) return;
    toolbox::SaveGWorld saved;
    SetGWorld(theGW, nullptr);
    DrawPicture(thePicture, &theRect);
}

void ClearGW(GWorldPtr theGW, RGBColor theColor) {
    if (theGW == nullptr) return;
    toolbox::SaveGWorld saved;
    SetGWorld(theGW, nullptr);
    Rect bounds = GetPortRect(theGW);
    RGBForeColor(&theColor);
    PaintRect(&bounds);
    RGBColor black = SetRGBColor(0, 0, 0);
    RGBForeColor(&black);
}

// --- Rectangles ---------------------------------------------------------------------

SInt16 TruncToSInt16(double value) {
    if (!std::isfinite(value)) return 0;
    double t = std::trunc(value);
    // Past 2^63 the low 16 bits of the integer are all zero, so the result is 0 as well.
    if (t >= 9223372036854775808.0 || t < -9223372036854775808.0) return 0;
    return SInt16(UInt16(UInt64(SInt64(t))));
}

void GetDims(Rect theRect, SInt32* wid, SInt32* hig) {
    *wid = SInt32(theRect.right) - theRect.left;
    *hig = SInt32(theRect.bottom) - theRect.top;
}

Rect KeepPropsWithFixedHorizontal(Rect inOriginal, Rect inNewSize) {
    double deltaX = double(inOriginal.right - inOriginal.left);
    double deltaY = double(inOriginal.bottom - inOriginal.top);
    double newX = double(inNewSize.right - inNewSize.left);
    Rect result = inNewSize;
    if (deltaX == 0) return result;
    double prop = deltaX / deltaY;
    double newY = newX / prop;
    result.bottom = SInt16(result.top + TruncToSInt16(newY + 0.5));
    return result;
}

Rect KeepPropsWithFixedVertical(Rect inOriginal, Rect inNewSize) {
    double deltaX = double(inOriginal.right - inOriginal.left);
    double deltaY = double(inOriginal.bottom - inOriginal.top);
    double newY = double(inNewSize.bottom - inNewSize.top);
    Rect result = inNewSize;
    if (deltaY == 0) return result;
    double prop = deltaX / deltaY;
    double newX = newY * prop;
    result.right = SInt16(result.left + TruncToSInt16(newX + 0.5));
    return result;
}

Rect CalcProportionalRectForFrame(Rect inRect, Rect inFrame) {
    SInt32 iWid, iHig, wid, hig;
    GetDims(inRect, &iWid, &iHig);
    GetDims(inFrame, &wid, &hig);
    Rect imageBounds{0, 0, SInt16(iHig), SInt16(iWid)};
    Rect theNewBounds{0, 0, SInt16(hig), SInt16(wid)};
    if (wid > hig) return KeepPropsWithFixedVertical(imageBounds, theNewBounds);
    return KeepPropsWithFixedHorizontal(imageBounds, theNewBounds);
}

void VerifyRect(Rect* theRect) {
    if (theRect->right < theRect->left) std::swap(theRect->right, theRect->left);
    if (theRect->bottom < theRect->top) std::swap(theRect->bottom, theRect->top);
}

void CenterRectInRect(Rect* theRect, Rect theBounds) {
    SInt32 wid, hig;
    GetDims(theBounds, &wid, &hig);
    SInt32 cx = theBounds.left + wid / 2, cy = theBounds.top + hig / 2;
    GetDims(*theRect, &wid, &hig);
    SInt32 rx = theRect->left + wid / 2, ry = theRect->top + hig / 2;
    OffsetRect(theRect, SInt16(cx - rx), SInt16(cy - ry));
}

// --- Colours ------------------------------------------------------------------------

RGBColor SetRGBColor(SInt16 r, SInt16 g, SInt16 b) { return RGBColor{UInt16(r), UInt16(g), UInt16(b)}; }

SInt32 PixRec2LongInt(pixRec thePixel) {
    return SInt32((UInt32(thePixel.alpha) << 24) | (UInt32(thePixel.red) << 16) | (UInt32(thePixel.green) << 8) |
                  UInt32(thePixel.blue));
}

pixRec LongInt2PixRec(SInt32 theLong) {
    auto v = UInt32(theLong);
    return pixRec{UInt8(v >> 24), UInt8(v >> 16), UInt8(v >> 8), UInt8(v)};
}

SInt32 RGBColor2LongInt(RGBColor theColor) {
    return PixRec2LongInt(pixRec{0, UInt8(theColor.red / 256), UInt8(theColor.green / 256),
                                 UInt8(theColor.blue / 256)});
}

RGBColor LongInt2RGBColor(SInt32 theLong) {
    pixRec p = LongInt2PixRec(theLong);
    return RGBColor{UInt16(p.red * 256), UInt16(p.green * 256), UInt16(p.blue * 256)};
}

// --- Justified text and windows -------------------------------------------------------

void DrawJustifiedTextInBox(Rect theBox, SInt16 theJustification, double theTextHeight, ConstStr255Param theText) {
    SInt32 wid, hig;
    GetDims(theBox, &wid, &hig);
    const SInt32 size = TruncToSInt16(theTextHeight);
    const SInt32 w = StringWidth(theText);
    SInt32 x = theBox.left + 1;
    if (theJustification == 2) x = theBox.left + wid / 2 - w / 2;
    if (theJustification == 3) x = theBox.right - 1 - w;
    // The box's vertical middle, moved down by half the text height and up by a fifth of it,
    // puts the baseline so that the letters sit about centred in the box.
    const SInt32 y = theBox.bottom + (-hig) / 2 + size / 2 - TruncToSInt16(theTextHeight * 0.2);
    MoveTo(SInt16(x), SInt16(y));
    DrawString(theText);
}

void PaintJustifiedRect(Rect theBox, SInt16 theJustification, ConstStr255Param theText) {
    SInt32 wid, hig;
    GetDims(theBox, &wid, &hig);
    const SInt32 w = StringWidth(theText);
    // One pixel of margin on each side of the text as DrawJustifiedTextInBox places it.
    if (theJustification == 1) theBox.right = SInt16(theBox.left + 2 + w);
    if (theJustification == 2) {
        theBox.left = SInt16(theBox.left + wid / 2 - w / 2 - 1);
        theBox.right = SInt16(theBox.left + 2 + w);
    }
    if (theJustification == 3) theBox.left = SInt16(theBox.right - 2 - w);
    PaintRect(&theBox);
}

void FlushWindowBuffer(WindowRef window) {
    CGrafPtr port = GetWindowPort(window);
    if (port == nullptr) return;
    RgnHandle region = NewRgn();
    Rect portRect = GetPortRect(port);
    RectRgn(region, &portRect);
    QDFlushPortBuffer(port, region);
    DisposeRgn(region);
}

void MoveWindowToRightEdge(WindowRef window, Rect theBounds) {
    Rect structure;
    // A window that is gone has no bounds to move.
    if (GetWindowBounds(window, kWindowStructureRgn, &structure) != noErr) return;
    OffsetRect(&structure, SInt16(theBounds.right - structure.right), 0);
    SetWindowBounds(window, kWindowStructureRgn, &structure);
}
