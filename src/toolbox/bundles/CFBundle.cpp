// CFBundle stand-in. Info.plist is read once, at registration; only its string values
// are kept, which is all that callers ask of it.
#include "bundles/CFBundle.h"

#include <filesystem>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <vector>

#include "corefoundation/CFObject.h"

namespace fs = std::filesystem;

const CFStringRef kCFBundleIdentifierKey = CFSTR("CFBundleIdentifier");
const CFStringRef kCFBundleNameKey = CFSTR("CFBundleName");
const CFStringRef kCFBundleVersionKey = CFSTR("CFBundleVersion");
const CFStringRef kCFBundleExecutableKey = CFSTR("CFBundleExecutable");

struct __CFBundle : toolbox::CFObject {
    std::string path;  // the bundle folder, absolute
    std::map<std::string, CFStringRef> info;
    ~__CFBundle() override {
        for (auto& [key, value] : info) CFRelease(value);
    }
};

namespace {

// Every bundle ever registered, so that references handed out never dangle.
std::vector<std::unique_ptr<__CFBundle>>& AllBundles() {
    static std::vector<std::unique_ptr<__CFBundle>> bundles;
    return bundles;
}

std::map<std::string, __CFBundle*>& BundlesByIdentifier() {
    static std::map<std::string, __CFBundle*> bundles;
    return bundles;
}

pugi::xml_node NextElement(pugi::xml_node node) {
    do node = node.next_sibling();
    while (node && node.type() != pugi::node_element);
    return node;
}

// The string values of the plist's top-level dictionary.
bool ReadInfoPlist(const std::string& file, std::map<std::string, std::string>* values, std::string* error) {
    pugi::xml_document doc;
    pugi::xml_parse_result result = doc.load_file(file.c_str());
    if (!result) {
        *error = "cannot read " + file + ": " + result.description();
        return false;
    }
    pugi::xml_node dict = doc.child("plist").child("dict");
    if (!dict) {
        *error = file + " has no <plist><dict>";
        return false;
    }
    for (pugi::xml_node key = dict.first_child(); key; key = NextElement(key)) {
        if (key.type() != pugi::node_element || std::string(key.name()) != "key") continue;
        pugi::xml_node value = NextElement(key);
        if (!value) break;
        if (std::string(value.name()) == "string") (*values)[key.child_value()] = value.child_value();
        key = value;
    }
    return true;
}

std::string InfoString(CFBundleRef bundle, const std::string& key) {
    auto it = bundle->info.find(key);
    return it == bundle->info.end() ? std::string() : toolbox::CFStringToUTF8(it->second);
}

// Resource names come from callers; none may lead out of the bundle.
bool StaysInside(const std::string& relative) {
    if (!relative.empty() && relative.front() == '/') return false;
    for (const auto& part : fs::path(relative))
        if (part == "..") return false;
    return true;
}

}  // namespace

namespace toolbox {

CFBundleRef RegisterBundle(const std::string& bundlePath, std::string* error) {
    std::string ignored;
    if (error == nullptr) error = &ignored;
    std::error_code ec;
    fs::path folder = fs::canonical(bundlePath, ec);
    if (ec || !fs::is_directory(folder, ec)) {
        *error = "no bundle folder at " + bundlePath;
        return nullptr;
    }
    std::map<std::string, std::string> values;
    if (!ReadInfoPlist((folder / "Contents" / "Info.plist").string(), &values, error)) return nullptr;
    std::string identifier = values["CFBundleIdentifier"];
    if (identifier.empty()) {
        *error = "Info.plist of " + folder.string() + " names no CFBundleIdentifier";
        return nullptr;
    }
    auto bundle = std::make_unique<__CFBundle>();
    bundle->path = folder.string();
    for (auto& [key, value] : values)
        bundle->info[key] = CFStringCreateWithCString(kCFAllocatorDefault, value.c_str(), kCFStringEncodingUTF8);
    CFBundleRef registered = bundle.get();
    BundlesByIdentifier()[identifier] = registered;
    AllBundles().push_back(std::move(bundle));
    return registered;
}

ResFileRefNum OpenBundleResourceFile(CFBundleRef bundle) {
    if (bundle == nullptr) return FSpOpenResFile(nullptr, fsRdPerm);  // answers -1, paramErr
    std::string file = bundle->path + "/Contents/Resources/" + BundleExecutableName(bundle) + ".rsrc";
    FSSpec fileSpec;
    OSErr err = PathToFSSpec(file, &fileSpec);
    return FSpOpenResFile(err == noErr || err == fnfErr ? &fileSpec : nullptr, fsRdPerm);
}

std::string BundlePath(CFBundleRef bundle) { return bundle ? bundle->path : std::string(); }

std::string BundleExecutableName(CFBundleRef bundle) {
    if (bundle == nullptr) return std::string();
    std::string name = InfoString(bundle, "CFBundleExecutable");
    return name.empty() ? fs::path(bundle->path).stem().string() : name;
}

}  // namespace toolbox

CFBundleRef CFBundleGetBundleWithIdentifier(CFStringRef bundleID) {
    auto& bundles = BundlesByIdentifier();
    auto it = bundles.find(toolbox::CFStringToUTF8(bundleID));
    return it == bundles.end() ? nullptr : it->second;
}

CFBundleRef CFBundleGetMainBundle() { return nullptr; }

CFStringRef CFBundleGetIdentifier(CFBundleRef bundle) {
    if (bundle == nullptr) return nullptr;
    auto it = bundle->info.find("CFBundleIdentifier");
    return it == bundle->info.end() ? nullptr : it->second;
}

CFTypeRef CFBundleGetValueForInfoDictionaryKey(CFBundleRef bundle, CFStringRef key) {
    if (bundle == nullptr || key == nullptr) return nullptr;
    auto it = bundle->info.find(toolbox::CFStringToUTF8(key));
    return it == bundle->info.end() ? nullptr : it->second;
}

CFURLRef CFBundleCopyResourceURL(CFBundleRef bundle, CFStringRef resourceName, CFStringRef resourceType,
                                 CFStringRef subDirName) {
    if (bundle == nullptr || resourceName == nullptr) return nullptr;
    std::string name = toolbox::CFStringToUTF8(resourceName);
    std::string type = toolbox::CFStringToUTF8(resourceType);
    if (!type.empty()) name += (type.front() == '.' ? "" : ".") + type;
    std::string subDir = toolbox::CFStringToUTF8(subDirName);
    std::string relative = subDir.empty() ? name : subDir + "/" + name;
    if (name.empty() || !StaysInside(relative)) return nullptr;
    fs::path resources = fs::path(bundle->path) / "Contents" / "Resources";
    for (const char* place : {"", "English.lproj", "en.lproj", "Base.lproj"}) {
        fs::path candidate = resources / place / relative;
        std::error_code ec;
        if (fs::exists(candidate, ec))
            return toolbox::CreateFileURL(candidate.lexically_normal().string(), fs::is_directory(candidate, ec));
    }
    return nullptr;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    return bundle ? toolbox::CreateFileURL(bundle->path, true) : nullptr;
}

ResFileRefNum CFBundleOpenBundleResourceMap(CFBundleRef bundle) { return toolbox::OpenBundleResourceFile(bundle); }

void CFBundleCloseBundleResourceMap(CFBundleRef, ResFileRefNum refNum) { CloseResFile(refNum); }
