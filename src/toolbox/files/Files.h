// File Manager stand-in: FSSpec and FSRef file references over Linux paths, with a
// table of directory ids, and Finder type and creator kept in an extended attribute.
// Used from the host's thread only, like the rest of the toolbox.
#pragma once

#include <string>
#include <vector>

#include "MacTypes.h"

typedef SInt16 FSVolumeRefNum;
typedef UInt16 UniChar;

// Names are Mac Roman, at most 63 characters, as on HFS.
struct FSSpec {
    FSVolumeRefNum vRefNum;
    SInt32 parID;
    Str63 name;
};
typedef FSSpec* FSSpecPtr;
static_assert(offsetof(FSSpec, parID) == 4 && offsetof(FSSpec, name) == 8);

// Opaque to callers; the stand-in keeps an index into its table of items in it.
struct FSRef {
    UInt8 hidden[80];
};
typedef FSRef* FSRefPtr;
static_assert(sizeof(FSRef) == 80);

struct HFSUniStr255 {
    UInt16 length;
    UniChar unicode[255];
};

struct FInfo {
    OSType fdType;
    OSType fdCreator;
    UInt16 fdFlags;
    Point fdLocation;
    SInt16 fdFldr;
};

typedef UInt32 FSCatalogInfoBitmap;
enum : FSCatalogInfoBitmap {
    kFSCatInfoNone = 0,
    kFSCatInfoNodeFlags = 0x00000002,
    kFSCatInfoVolume = 0x00000004,
    kFSCatInfoParentDirID = 0x00000008,
    kFSCatInfoNodeID = 0x00000010,
    kFSCatInfoDataSizes = 0x00004000,
};
enum : UInt16 { kFSNodeIsDirectoryMask = 0x0010 };

// Only the fields the stand-in can answer.
struct FSCatalogInfo {
    UInt16 nodeFlags;
    FSVolumeRefNum volume;
    UInt32 parentDirID;
    UInt32 nodeID;
    UInt64 dataLogicalSize;
};

// Permissions for opening files.
enum : SInt8 { fsCurPerm = 0, fsRdPerm = 1, fsWrPerm = 2, fsRdWrPerm = 3 };
enum : ScriptCode { smSystemScript = -1, smRoman = 0 };
enum : SInt32 { fsRtParID = 1, fsRtDirID = 2 };

// noErr when the item exists, fnfErr when only its directory does (the fileSpec is filled
// in both cases), dirNFErr for an unknown or vanished directory, bdNamErr for a name
// that is not a plain file name. An empty name makes a fileSpec of the directory itself.
OSErr FSMakeFSSpec(FSVolumeRefNum vRefNum, SInt32 dirID, ConstStr255Param fileName, FSSpec* fileSpec);
OSErr FSpMakeFSRef(const FSSpec* source, FSRef* newRef);
// Paths are UTF-8 and absolute or relative to the working directory; the item must exist.
OSErr FSPathMakeRef(const UInt8* path, FSRef* ref, Boolean* isDirectory);
OSErr FSRefMakePath(const FSRef* ref, UInt8* path, UInt32 maxPathSize);
OSErr FSGetCatalogInfo(const FSRef* ref, FSCatalogInfoBitmap whichInfo, FSCatalogInfo* catalogInfo,
                       HFSUniStr255* outName, FSSpec* fsSpec, FSRef* parentRef);
// Type and creator live in an extended attribute; a file without it answers zeros.
OSErr FSpGetFInfo(const FSSpec* fileSpec, FInfo* fndrInfo);
OSErr FSpSetFInfo(const FSSpec* fileSpec, const FInfo* fndrInfo);
OSErr FSpDelete(const FSSpec* fileSpec);

namespace toolbox {

// The one volume of the stand-in: the whole Linux file system.
constexpr FSVolumeRefNum kStandInVolume = -100;
// The extended attribute holding a file's Finder information: 32 bytes, big-endian
// type and creator first, as the Mac keeps FinderInfo.
constexpr const char* kFinderInfoAttribute = "user.com.apple.FinderInfo";
constexpr std::size_t kFinderInfoSize = 32;

// The directory id of an existing directory, registered on first use.
OSErr DirIDForPath(const std::string& directory, SInt32* dirID);
// The path of a directory id handed out before; false for unknown ids.
bool PathForDirID(FSVolumeRefNum vRefNum, SInt32 dirID, std::string* path);
// The UTF-8 path a fileSpec names (the item need not exist); false for a bad fileSpec.
bool FSSpecToPath(const FSSpec* fileSpec, std::string* path);
// A fileSpec for `path`: noErr or fnfErr as FSMakeFSSpec, dirNFErr when its folder is missing.
OSErr PathToFSSpec(const std::string& path, FSSpec* fileSpec);
bool FSRefToPath(const FSRef* ref, std::string* path);
// The Finder information bytes for a new file of this type and creator.
std::vector<UInt8> MakeFinderInfo(OSType fileType, OSType creator);

}  // namespace toolbox
