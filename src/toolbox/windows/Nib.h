// Interface Builder's Carbon runtime: nib references from a bundle's Resources folder and
// windows made from the descriptions in them.
#pragma once

#include <string>
#include <string_view>

#include "bundles/CFBundle.h"
#include "windows/MacWindows.h"

struct OpaqueIBNibRef;
typedef OpaqueIBNibRef* IBNibRef;

enum : OSStatus {
    kIBCarbonRuntimeCantFindNibFile = -10960,
    kIBCarbonRuntimeObjectNotOfRequestedType = -10961,
    kIBCarbonRuntimeCantFindObject = -10962,
};

// NAME.nib of the host application's main bundle.
OSStatus CreateNibReference(CFStringRef inNibName, IBNibRef* outNibRef);
// NAME.nib in the bundle's Resources folder. A missing file gives
// kIBCarbonRuntimeCantFindNibFile, a file that is not a nib kIBCarbonRuntimeObjectNotOfRequestedType.
OSStatus CreateNibReferenceWithCFBundle(CFBundleRef inBundle, CFStringRef inNibName, IBNibRef* outNibRef);
// A new, invisible window. A name the nib lacks gives kIBCarbonRuntimeCantFindObject, a
// window whose description is wrong kIBCarbonRuntimeObjectNotOfRequestedType, a custom
// control whose class is not registered errUnknownControl.
OSStatus CreateWindowFromNib(IBNibRef inNibRef, CFStringRef inName, WindowRef* outWindow);
void DisposeNibReference(IBNibRef inNibRef);

namespace toolbox {

// A nib read straight from a file path or from text in memory (tools, tests, fuzzing).
OSStatus CreateNibReferenceFromFile(const std::string& path, IBNibRef* outNibRef);
OSStatus CreateNibReferenceFromText(std::string_view text, IBNibRef* outNibRef);
// Why the last nib call failed, for diagnostics ("" after a success).
std::string LastNibError();

}  // namespace toolbox
