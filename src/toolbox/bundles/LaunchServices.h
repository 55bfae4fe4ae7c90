// Launch Services stand-in: opening documents with the desktop's opener (xdg-open) and
// basic information about items. Tests replace the opener with one that records.
#pragma once

#include <functional>
#include <string>

#include "MacTypes.h"
#include "bundles/CFURL.h"
#include "files/Files.h"

typedef UInt32 LSRequestedInfo;
typedef UInt32 LSItemInfoFlags;
typedef UInt32 LSKindID;

enum : LSRequestedInfo {
    kLSRequestNoInfo = 0,
    kLSRequestTypeCreator = 1,
    kLSRequestBasicFlagsOnly = 4,
    kLSRequestAllFlags = 8,
    kLSRequestExtension = 32,
    kLSRequestAllInfo = 0xFFFFFFFF,
};

enum : LSItemInfoFlags {
    kLSItemInfoIsPlainFile = 0x1,
    kLSItemInfoIsPackage = 0x2,
    kLSItemInfoIsApplication = 0x4,
    kLSItemInfoIsContainer = 0x8,
    kLSItemInfoIsAliasFile = 0x10,
    kLSItemInfoIsSymlink = 0x20,
    kLSItemInfoIsInvisible = 0x40,
    kLSItemInfoIsVolume = 0x1000,
};

enum : OSStatus {
    kLSUnknownErr = -10810,
    kLSNotAnApplicationErr = -10811,
    kLSLaunchInProgressErr = -10818,
    kLSNoExecutableErr = -10827,
};

struct LSItemInfoRecord {
    LSItemInfoFlags flags;
    OSType filetype;
    OSType creator;
    CFStringRef extension;
    CFStringRef iconFileName;
    LSKindID kindID;
};

// Hands the document to the opener. fnfErr when the item does not exist,
// kLSApplicationNotFoundErr when there is no opener, kLSUnknownErr when it fails.
OSStatus LSOpenFSRef(const FSRef* inRef, FSRef* outLaunchedRef);
OSStatus LSOpenCFURLRef(CFURLRef inURL, CFURLRef* outLaunchedURL);
// Flags only (no type, creator or extension are looked up); fnfErr for a missing item.
OSStatus LSCopyItemInfoForRef(const FSRef* inItemRef, LSRequestedInfo inWhichInfo, LSItemInfoRecord* outItemInfo);

namespace toolbox {

// Opens a document by its absolute path and answers the status.
using DocumentOpener = std::function<OSStatus(const std::string& path)>;
// Installs an opener (empty: the desktop's again) and answers the one it replaces.
DocumentOpener SetDocumentOpener(DocumentOpener opener);
// The desktop's opener: xdg-open when it is on PATH, else kLSApplicationNotFoundErr.
OSStatus OpenWithDesktop(const std::string& path);
// Where xdg-open is on PATH ("" when it is not).
std::string FindDesktopOpener();

}  // namespace toolbox
