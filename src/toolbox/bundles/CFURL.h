// Core Foundation stand-in: file URLs. A URL holds an absolute path; its string form
// is the percent-encoded "file:///..." text that Mac OS X gives for local files.
#pragma once

#include <string>

#include "corefoundation/CFString.h"
#include "files/Files.h"

struct __CFURL;
typedef const __CFURL* CFURLRef;

typedef CFIndex CFURLPathStyle;
enum : CFURLPathStyle { kCFURLPOSIXPathStyle = 0 };

// A relative path is taken against the working directory.
CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef allocator, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory);
CFURLRef CFURLCreateFromFSRef(CFAllocatorRef allocator, const FSRef* fsRef);
// False when the path and its terminating zero do not fit `maxBufLen`.
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolveAgainstBase, UInt8* buffer,
                                         CFIndex maxBufLen);
CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle pathStyle);
// The URL's text; it belongs to the URL and lives as long as it does.
CFStringRef CFURLGetString(CFURLRef anURL);
// False when the item does not exist.
Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef);

namespace toolbox {

CFURLRef CreateFileURL(const std::string& path, bool isDirectory);
std::string CFURLToPath(CFURLRef url);

}  // namespace toolbox
