// Text Utilities: Pascal strings (length byte first) to and from C strings, and numbers.
#pragma once

#include "MacTypes.h"

// Copies at most 255 characters; the result is always a valid Str255.
void CopyCStringToPascal(const char* src, Str255 dst);
// dst must hold the string's length plus one byte.
void CopyPascalStringToC(ConstStr255Param src, char* dst);
void NumToString(SInt32 theNum, Str255 theString);
void StringToNum(ConstStr255Param theString, SInt32* theNum);
