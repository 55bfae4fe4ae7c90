// CFURL stand-in: file URLs only, which is all the toolbox's callers make.
#include "bundles/CFURL.h"

#include <sys/stat.h>

#include <cctype>
#include <cstring>
#include <filesystem>

#include "corefoundation/CFObject.h"

struct __CFURL : toolbox::CFObject {
    std::string path;  // absolute, normalised, no trailing slash but for the root
    bool isDirectory = false;
    CFStringRef text = nullptr;  // made on first CFURLGetString
    ~__CFURL() override {
        if (text) CFRelease(text);
    }
};

namespace {

bool KeptInURL(unsigned char c) {
    return std::isalnum(c) || std::strchr("-._~/!$&'()*+,;=:@", c) != nullptr;
}

// Bytes outside the characters a URL path may hold are percent-encoded, as CFURL does.
std::string PercentEncode(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (c != 0 && KeptInURL(c) && c < 0x80) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

}  // namespace

namespace toolbox {

CFURLRef CreateFileURL(const std::string& path, bool isDirectory) {
    if (path.empty()) return nullptr;
    std::error_code ec;
    std::string normal = std::filesystem::absolute(path, ec).lexically_normal().string();
    if (ec) return nullptr;
    while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
    auto* url = new __CFURL;
    url->path = normal;
    url->isDirectory = isDirectory;
    return url;
}

std::string CFURLToPath(CFURLRef url) { return url ? url->path : std::string(); }

}  // namespace toolbox

CFURLRef CFURLCreateFromFileSystemRepresentation(CFAllocatorRef, const UInt8* buffer, CFIndex bufLen,
                                                 Boolean isDirectory) {
    if (buffer == nullptr || bufLen <= 0) return nullptr;
    std::string path(reinterpret_cast<const char*>(buffer), std::size_t(bufLen));
    if (path.find('\0') != std::string::npos) return nullptr;
    return toolbox::CreateFileURL(path, isDirectory);
}

CFURLRef CFURLCreateFromFSRef(CFAllocatorRef, const FSRef* fsRef) {
    std::string path;
    if (!toolbox::FSRefToPath(fsRef, &path)) return nullptr;
    struct stat st {};
    bool isDirectory = ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    return toolbox::CreateFileURL(path, isDirectory);
}

Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer, CFIndex maxBufLen) {
    if (url == nullptr || buffer == nullptr || maxBufLen <= 0) return false;
    if (CFIndex(url->path.size()) + 1 > maxBufLen) return false;
    std::memcpy(buffer, url->path.c_str(), url->path.size() + 1);
    return true;
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef anURL, CFURLPathStyle) {
    if (anURL == nullptr) return nullptr;
    return CFStringCreateWithCString(kCFAllocatorDefault, anURL->path.c_str(), kCFStringEncodingUTF8);
}

CFStringRef CFURLGetString(CFURLRef anURL) {
    if (anURL == nullptr) return nullptr;
    auto* url = const_cast<__CFURL*>(anURL);
    if (url->text == nullptr) {
        std::string text = "file://" + PercentEncode(url->path);
        if (url->isDirectory && url->path != "/") text += '/';
        url->text = CFStringCreateWithCString(kCFAllocatorDefault, text.c_str(), kCFStringEncodingUTF8);
    }
    return url->text;
}

Boolean CFURLGetFSRef(CFURLRef url, FSRef* fsRef) {
    if (url == nullptr || fsRef == nullptr) return false;
    return FSPathMakeRef(reinterpret_cast<const UInt8*>(url->path.c_str()), fsRef, nullptr) == noErr;
}
