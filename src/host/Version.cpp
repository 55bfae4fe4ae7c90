// The --version text.
#include "Version.h"

#include "Carbon.h"
#include "FFmpegUtil.h"

#ifndef TONEFADE_VERSION
#define TONEFADE_VERSION "unknown"
#endif

namespace host {

namespace {

std::string InfoValue(CFBundleRef bundle, const char* key) {
    CFStringRef name = CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8);
    CFTypeRef value = CFBundleGetValueForInfoDictionaryKey(bundle, name);
    CFRelease(name);
    return value ? toolbox::CFStringToUTF8(CFStringRef(value)) : std::string();
}

std::string BundleLine(const std::string& bundlePath) {
    std::string error;
    CFBundleRef bundle = toolbox::RegisterBundle(bundlePath, &error);
    if (bundle == nullptr) return "plug-in: none readable (" + error + ")\n";
    std::string name = InfoValue(bundle, "CFBundleName"), shortVersion = InfoValue(bundle, "CFBundleShortVersionString"),
                build = InfoValue(bundle, "CFBundleVersion");
    std::string line = "plug-in: " + (name.empty() ? std::string("(no name)") : name) + " " +
                       (shortVersion.empty() ? std::string("(no version)") : shortVersion);
    if (!build.empty() && build != shortVersion) line += " (build " + build + ")";
    return line + ", " + bundlePath + "\n";
}

}  // namespace

std::string VersionText(const std::string& bundlePath) {
    return std::string("tonefade-host ") + TONEFADE_VERSION + "\n" + BundleLine(bundlePath) + av::LibraryVersions();
}

}  // namespace host
