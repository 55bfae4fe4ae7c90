// File Manager stand-in. Directory ids and FSRefs index tables of paths that live for
// the whole run, so a reference stays meaningful however often it is copied.
#include "files/Files.h"

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <unordered_map>

#include "corefoundation/CFString.h"

namespace fs = std::filesystem;

namespace {

constexpr SInt32 kFirstDirID = 100;
constexpr UInt32 kRefMagic = 0x46535266;  // 'FSRf'

// Paths by number and numbers by path; entries are never removed.
struct PathTable {
    std::vector<std::string> paths;
    std::unordered_map<std::string, UInt32> numbers;

    UInt32 Intern(const std::string& path) {
        auto [it, added] = numbers.try_emplace(path, UInt32(paths.size()));
        if (added) paths.push_back(path);
        return it->second;
    }
};

PathTable& Directories() {
    static PathTable table;
    return table;
}

PathTable& Items() {
    static PathTable table;
    return table;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A plain HFS file name: 1 to 63 Mac Roman characters, no path separators.
bool IsPlainName(const unsigned char* name, std::size_t length) {
    if (length == 0 || length > 63) return false;
    for (std::size_t i = 0; i < length; ++i)
        if (name[i] == '/' || name[i] == 0) return false;
    if (length == 1 && name[0] == '.') return false;
    return !(length == 2 && name[0] == '.' && name[1] == '.');
}

std::string JoinPath(const std::string& directory, const std::string& name) {
    return directory == "/" ? "/" + name : directory + "/" + name;
}

// The Mac Roman form of a Linux file name, when it has one that fits a Str63.
bool NameToStr63(const std::string& utf8, Str63 out) {
    bool lossless = false;
    std::string roman = toolbox::UTF8ToMacRoman(utf8, &lossless);
    auto bytes = reinterpret_cast<const unsigned char*>(roman.data());
    if (!lossless || !IsPlainName(bytes, roman.size())) return false;
    out[0] = UInt8(roman.size());
    std::memcpy(out + 1, roman.data(), roman.size());
    return true;
}

std::string AbsoluteNormal(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(path), ec).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

// The item's path with its folder resolved, so that one item gets one table entry.
bool ResolveItemPath(const std::string& path, std::string* resolved) {
    std::string abs = AbsoluteNormal(path);
    if (abs == "/") {
        resolved->assign(abs);
        return true;
    }
    std::error_code ec;
    fs::path parent = fs::canonical(fs::path(abs).parent_path(), ec);
    if (ec) return false;
    *resolved = JoinPath(parent.string(), fs::path(abs).filename().string());
    return true;
}

void FillRef(const std::string& path, FSRef* ref) {
    std::memset(ref->hidden, 0, sizeof ref->hidden);
    UInt32 number = Items().Intern(path);
    std::memcpy(ref->hidden, &kRefMagic, 4);
    std::memcpy(ref->hidden + 4, &number, 4);
}

OSErr ErrnoToOSErr(int err) {
    switch (err) {
        case ENOENT: return fnfErr;
        case ENOTDIR: return dirNFErr;
        case EACCES:
        case EPERM: return permErr;
        case ENAMETOOLONG: return bdNamErr;
        default: return ioErr;
    }
}

void DecodeUTF8To16(const std::string& s, HFSUniStr255* out) {
    out->length = 0;
    for (std::size_t i = 0; i < s.size() && out->length < 255;) {
        auto b = UInt8(s[i]);
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t cp = extra < 0 ? 0xFFFD : extra == 0 ? b : b & (0x3F >> extra);
        std::size_t next = i + 1;
        for (int k = 0; k < extra; ++k, ++next) {
            if (next >= s.size() || (UInt8(s[next]) & 0xC0) != 0x80) {
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (UInt8(s[next]) & 0x3F);
        }
        i = cp == 0xFFFD ? i + 1 : next;
        if (cp > 0xFFFF && out->length < 254) {
            cp -= 0x10000;
            out->unicode[out->length++] = UniChar(0xD800 + (cp >> 10));
            out->unicode[out->length++] = UniChar(0xDC00 + (cp & 0x3FF));
        } else {
            out->unicode[out->length++] = cp > 0xFFFF ? 0xFFFD : UniChar(cp);
        }
    }
}

UInt32 Be32(const UInt8* p) { return UInt32(p[0]) << 24 | UInt32(p[1]) << 16 | UInt32(p[2]) << 8 | p[3]; }
UInt16 Be16(const UInt8* p) { return UInt16(p[0] << 8 | p[1]); }
void PutBe32(UInt8* p, UInt32 v) {
    for (int i = 0; i < 4; ++i) p[i] = UInt8(v >> (24 - 8 * i));
}
void PutBe16(UInt8* p, UInt16 v) {
    p[0] = UInt8(v >> 8);
    p[1] = UInt8(v);
}

// The file's Finder information, or zeros where there is none or the file system keeps
// no extended attributes.
OSErr ReadFinderInfo(const std::string& path, UInt8 info[32]) {
    std::memset(info, 0, 32);
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
    UInt8 buffer[toolbox::kFinderInfoSize];
    ssize_t n = ::getxattr(path.c_str(), toolbox::kFinderInfoAttribute, buffer, sizeof buffer);
    if (n == ssize_t(sizeof buffer)) std::memcpy(info, buffer, sizeof buffer);
    return noErr;
}

}  // namespace

namespace toolbox {

OSErr DirIDForPath(const std::string& directory, SInt32* dirID) {
    if (dirID == nullptr) return paramErr;
    std::error_code ec;
    fs::path canonical = fs::canonical(fs::path(directory), ec);
    if (ec || !IsDirectory(canonical.string())) return dirNFErr;
    if (canonical == "/") {
        *dirID = fsRtDirID;
        return noErr;
    }
    *dirID = kFirstDirID + SInt32(Directories().Intern(canonical.string()));
    return noErr;
}

bool PathForDirID(FSVolumeRefNum vRefNum, SInt32 dirID, std::string* path) {
    if (vRefNum != 0 && vRefNum != kStandInVolume) return false;
    if (dirID == fsRtDirID) {
        path->assign(1, '/');
        return true;
    }
    if (dirID == 0) {  // the default directory
        std::error_code ec;
        *path = fs::current_path(ec).string();
        return !ec;
    }
    const auto& dirs = Directories().paths;
    if (dirID < kFirstDirID || std::size_t(dirID - kFirstDirID) >= dirs.size()) return false;
    *path = dirs[std::size_t(dirID - kFirstDirID)];
    return true;
}

bool FSSpecToPath(const FSSpec* fileSpec, std::string* path) {
    if (fileSpec == nullptr || path == nullptr) return false;
    if (fileSpec->parID == fsRtParID) {
        if (fileSpec->name[0] != 0 || (fileSpec->vRefNum != 0 && fileSpec->vRefNum != kStandInVolume)) return false;
        path->assign(1, '/');
        return true;
    }
    std::string directory;
    if (!PathForDirID(fileSpec->vRefNum, fileSpec->parID, &directory)) return false;
    if (fileSpec->name[0] == 0) {
        *path = directory;
        return true;
    }
    if (!IsPlainName(fileSpec->name + 1, fileSpec->name[0])) return false;
    *path = JoinPath(directory, MacRomanToUTF8(fileSpec->name + 1, fileSpec->name[0]));
    return true;
}

OSErr PathToFSSpec(const std::string& path, FSSpec* fileSpec) {
    if (fileSpec == nullptr || path.empty()) return paramErr;
    std::string abs = AbsoluteNormal(path);
    if (abs == "/") return FSMakeFSSpec(kStandInVolume, fsRtDirID, nullptr, fileSpec);
    SInt32 dirID = 0;
    if (DirIDForPath(fs::path(abs).parent_path().string(), &dirID) != noErr) return dirNFErr;
    Str63 name;
    if (!NameToStr63(fs::path(abs).filename().string(), name)) return bdNamErr;
    return FSMakeFSSpec(kStandInVolume, dirID, name, fileSpec);
}

bool FSRefToPath(const FSRef* ref, std::string* path) {
    if (ref == nullptr || path == nullptr) return false;
    UInt32 magic = 0, number = 0;
    std::memcpy(&magic, ref->hidden, 4);
    std::memcpy(&number, ref->hidden + 4, 4);
    if (magic != kRefMagic || number >= Items().paths.size()) return false;
    *path = Items().paths[number];
    return true;
}

std::vector<UInt8> MakeFinderInfo(OSType fileType, OSType creator) {
    std::vector<UInt8> info(kFinderInfoSize, 0);
    PutBe32(info.data(), fileType);
    PutBe32(info.data() + 4, creator);
    return info;
}

}  // namespace toolbox

OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* fileSpec) {
    if (fileSpec == nullptr) return paramErr;
    if (vRefNum != 0 && vRefNum != toolbox::kStandInVolume) return paramErr;
    std::string directory;
    if (!toolbox::PathForDirID(vRefNum, dirID, &directory) || !IsDirectory(directory)) return dirNFErr;
    std::size_t length = fileName ? fileName[0] : 0;
    if (length == 0 && directory != "/") return toolbox::PathToFSSpec(directory, fileSpec);
    if (length == 0) {  // the root, which has no parent directory to name it in
        *fileSpec = FSSpec{toolbox::kStandInVolume, fsRtParID, {0}};
        return noErr;
    }
    if (!IsPlainName(fileName + 1, length)) return bdNamErr;
    std::memset(fileSpec, 0, sizeof *fileSpec);
    fileSpec->vRefNum = toolbox::kStandInVolume;
    if (toolbox::DirIDForPath(directory, &fileSpec->parID) != noErr) return dirNFErr;
    std::memcpy(fileSpec->name, fileName, length + 1);
    std::string path = JoinPath(directory, toolbox::MacRomanToUTF8(fileName + 1, length));
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0) return noErr;
    return errno == ENOENT ? OSErr(fnfErr) : ErrnoToOSErr(errno);
}

OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef) {
    std::string path;
    if (newRef == nullptr || !toolbox::FSSpecToPath(source, &path)) return paramErr;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
    FillRef(path, newRef);
    return noErr;
}

OSErr FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory) {
    if (path == nullptr || ref == nullptr || path[0] == 0) return paramErr;
    std::string resolved;
    if (!ResolveItemPath(reinterpret_cast<const char*>(path), &resolved)) return fnfErr;
    struct stat st {};
    if (::stat(resolved.c_str(), &st) != 0) return ErrnoToOSErr(errno);
    FillRef(resolved, ref);
    if (isDirectory) *isDirectory = S_ISDIR(st.st_mode);
    return noErr;
}

OSErr FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize) {
    std::string p;
    if (path == nullptr || !toolbox::FSRefToPath(ref, &p)) return paramErr;
    if (p.size() + 1 > maxPathSize) return paramErr;
    std::memcpy(path, p.c_str(), p.size() + 1);
    return noErr;
}

OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef) {
    std::string path;
    if (!toolbox::FSRefToPath(ref, &path)) return paramErr;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return ErrnoToOSErr(errno);
    std::string parent = path == "/" ? "/" : fs::path(path).parent_path().string();
    if (catalogInfo && whichInfo != kFSCatInfoNone) {
        *catalogInfo = FSCatalogInfo{};
        catalogInfo->nodeFlags = S_ISDIR(st.st_mode) ? kFSNodeIsDirectoryMask : 0;
        catalogInfo->volume = toolbox::kStandInVolume;
        SInt32 id = 0;
        if (toolbox::DirIDForPath(parent, &id) == noErr) catalogInfo->parentDirID = UInt32(id);
        if (S_ISDIR(st.st_mode) && toolbox::DirIDForPath(path, &id) == noErr) catalogInfo->nodeID = UInt32(id);
        catalogInfo->dataLogicalSize = S_ISREG(st.st_mode) ? UInt64(st.st_size) : 0;
    }
    if (outName) DecodeUTF8To16(path == "/" ? std::string() : fs::path(path).filename().string(), outName);
    if (parentRef) FillRef(parent, parentRef);
    if (fsSpec) return toolbox::PathToFSSpec(path, fsSpec);
    return noErr;
}

OSErr FSpGetFInfo(const FSSpec* fileSpec, FInfo* fndrInfo) {
    std::string path;
    if (fndrInfo == nullptr || !toolbox::FSSpecToPath(fileSpec, &path)) return paramErr;
    UInt8 info[32];
    if (OSErr err = ReadFinderInfo(path, info); err != noErr) return err;
    fndrInfo->fdType = Be32(info);
    fndrInfo->fdCreator = Be32(info + 4);
    fndrInfo->fdFlags = Be16(info + 8);
    fndrInfo->fdLocation = Point{SInt16(Be16(info + 10)), SInt16(Be16(info + 12))};
    fndrInfo->fdFldr = SInt16(Be16(info + 14));
    return noErr;
}

OSErr FSpSetFInfo(const FSSpec* fileSpec, const FInfo* fndrInfo) {
    std::string path;
    if (fndrInfo == nullptr || !toolbox::FSSpecToPath(fileSpec, &path)) return paramErr;
    UInt8 info[32];
    if (OSErr err = ReadFinderInfo(path, info); err != noErr) return err;
    PutBe32(info, fndrInfo->fdType);
    PutBe32(info + 4, fndrInfo->fdCreator);
    PutBe16(info + 8, fndrInfo->fdFlags);
    PutBe16(info + 10, UInt16(fndrInfo->fdLocation.v));
    PutBe16(info + 12, UInt16(fndrInfo->fdLocation.h));
    PutBe16(info + 14, UInt16(fndrInfo->fdFldr));
    if (::setxattr(path.c_str(), toolbox::kFinderInfoAttribute, info, sizeof info, 0) == 0) return noErr;
    // Type and creator are never needed for reading, so a file system without
    // extended attributes simply does not keep them.
    return errno == ENOTSUP ? OSErr(noErr) : ErrnoToOSErr(errno);
}

OSErr FSpDelete(const FSSpec* fileSpec) {
    std::string path;
    if (!toolbox::FSSpecToPath(fileSpec, &path)) return paramErr;
    int rc = IsDirectory(path) ? ::rmdir(path.c_str()) : ::unlink(path.c_str());
    return rc == 0 ? OSErr(noErr) : ErrnoToOSErr(errno);
}
