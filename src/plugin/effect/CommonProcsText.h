// CommonProcsText: the text half of CommonProcs. Conversions between numbers, Str255
// strings, Core Foundation strings and four-character command codes; the modifier keys;
// windows from nib files; and conversions between file references.
#pragma once

#include "Carbon.h"

// Modifier bits in GetCurrentKeyModifiers.
constexpr UInt32 cmdMask = 256;
constexpr UInt32 shiftMask = 512;
constexpr UInt32 optionMask = 2048;
constexpr UInt32 ctrlMask = 4096;
// Decimals written by Real2String.
constexpr int cPrecision = 4;

// A copy of a Memory Manager block, owned by the caller; nil for nil, empty or unallocatable.
Ptr CloneObject(Ptr theObject);

Boolean IsShiftDown();
Boolean IsCtrlDown();
Boolean IsOptionDown();
Boolean IsCommandDown();

// Sends the four-character command to the application as an HICommand.
void PostCommand(ConstStr255Param theCommand);

SInt16 CarbonHiWord(SInt32 x);
SInt16 CarbonLoWord(SInt32 x);
// Puts a zero after the text; a 254- or 255-character string gets it at position 255.
void ZeroDelimitString(Str255 theStr);
// The string in Mac Roman; empty for nil or for text that does not fit or convert.
void CF2PString(CFStringRef theCFRef, Str255 outString);
void Num2Text(SInt32 theNum, Str255 outText);
void Command2String(UInt32 theCommand, Str32 outString);
// The code made of characters 1 to 4 (missing characters count as spaces).
UInt32 String2Command(ConstStr255Param theString);
void SwapInt(SInt16& i1, SInt16& i2);
// Reads a decimal number with "." or "," as separator, keeping what it read before the
// first character that does not fit.
void String2Real(ConstStr255Param theString, double& theNumber);
// Four decimals by truncation; no decimals when they are all zero.
void Real2String(double theReal, Str255 outString);

FSSpec FSRef2FSSpec(const FSRef& theRef);
FSRef FSSpec2FSRef(const FSSpec& theFSS);
// The item's file URL as text; the caller releases the string.
CFStringRef FSSpec2CFString(const FSSpec& theFSS);
CFStringRef FSRef2CFString(const FSRef& theFSRef);
void GetNameFromFSRef(const FSRef& theFSRef, Str255 outName);
Boolean IsFileAFolder(const FSRef& theFile);

// A window from a nib of the host's main bundle, or of the bundle with the identifier.
// A nib that cannot be opened ends the process with a stop alert; a window that cannot
// be made ends it at once, with the error code's low byte as the exit status.
WindowRef OpenNibWindow(const char* theNib, const char* theWindow);
WindowRef OpenNibWindowFromCFBundle(const char* theIdentifier, const char* theNib, const char* theWindow);

SInt16 Sgn(double theVal);
