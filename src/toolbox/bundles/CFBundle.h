// Core Foundation stand-in: bundles. The host registers a bundle folder by path; the
// toolbox reads its Contents/Info.plist and finds it again by its identifier, its
// resources under Contents/Resources, and its resource file for the resource chain.
#pragma once

#include <string>

#include "bundles/CFURL.h"
#include "corefoundation/CFString.h"
#include "resources/Resources.h"

struct __CFBundle;
typedef __CFBundle* CFBundleRef;

extern const CFStringRef kCFBundleIdentifierKey;
extern const CFStringRef kCFBundleNameKey;
extern const CFStringRef kCFBundleVersionKey;
extern const CFStringRef kCFBundleExecutableKey;

// Registered bundles live for the whole run; these follow the Get rule (no release).
CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID);
// The host application is not a bundle in the stand-in, so this answers null.
CFBundleRef CFBundleGetMainBundle();
CFStringRef CFBundleGetIdentifier(CFBundleRef bundle);
// String values of Info.plist; other kinds of value answer null.
CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key);

// Looks for name.type in Contents/Resources[/subDirName], then in its English.lproj,
// en.lproj and Base.lproj folders; null when there is no such file. The caller releases.
CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
// The bundle's resource file, read-only: see toolbox::OpenBundleResourceFile.
ResFileRefNum CFBundleOpenBundleResourceMap(CFBundleRef bundle);
void CFBundleCloseBundleResourceMap(CFBundleRef bundle, ResFileRefNum refNum);

namespace toolbox {

// Reads bundlePath/Contents/Info.plist and registers the bundle under its
// CFBundleIdentifier. Registering the same identifier again replaces the lookup;
// bundles handed out before stay valid. Null with a reason in `error` otherwise.
CFBundleRef RegisterBundle(const std::string& bundlePath, std::string* error);
// Opens Contents/Resources/<CFBundleExecutable>.rsrc read-only at the head of the
// resource chain (it becomes the current file); -1 with ResError on failure.
ResFileRefNum OpenBundleResourceFile(CFBundleRef bundle);
std::string BundlePath(CFBundleRef bundle);
// CFBundleExecutable, or the folder's name without its extension when Info.plist has none.
std::string BundleExecutableName(CFBundleRef bundle);

}  // namespace toolbox
