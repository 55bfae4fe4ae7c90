// Resource Manager stand-in: resource files kept as a file's data (data-fork resource
// files), the chain of open files searched newest first, and resource handles.
// A file is read whole when opened and written whole, atomically, by UpdateResFile
// and CloseResFile, so a crash leaves either the old file or the new one.
#pragma once

#include <vector>

#include "MacTypes.h"
#include "files/Files.h"

typedef SInt16 ResFileRefNum;
typedef SInt16 ResourceCount;
typedef SInt16 ResourceIndex;
typedef SInt16 ResAttributes;

enum : ResAttributes {
    resSysHeap = 64,
    resPurgeable = 32,
    resLocked = 16,
    resProtected = 8,
    resPreload = 4,
    resChanged = 2,
};

// Creates an empty resource file; dupFNErr (in ResError) when the file exists, which
// is left as it was.
void FSpCreateResFile(const FSSpec* fileSpec, OSType creator, OSType fileType, ScriptCode scriptTag);
// Reads the file and puts it at the head of the chain as the current file; -1 on
// failure. A damaged file is refused (mapReadErr) without being changed. Opening a
// file that is already open answers its reference number.
ResFileRefNum FSpOpenResFile(const FSSpec* fileSpec, SInt8 permission);
// Writes the file when it has changed, disposes of its resources' handles and takes it
// out of the chain. The file is closed even when the write fails (see ResError).
void CloseResFile(ResFileRefNum refNum);
void UseResFile(ResFileRefNum refNum);
// 0 when no resource file is open.
ResFileRefNum CurResFile();
OSErr ResError();

// Searches the chain from the current file towards the oldest one.
Handle GetResource(ResType theType, ResID theID);
// Searches the current file only.
Handle Get1Resource(ResType theType, ResID theID);
ResourceCount Count1Resources(ResType theType);
Handle Get1IndResource(ResType theType, ResourceIndex index);
ResourceCount Count1Types();
void Get1IndType(ResType* theType, ResourceIndex index);
void GetResInfo(Handle theResource, ResID* theID, ResType* theType, Str255 name);
ResFileRefNum HomeResFile(Handle theResource);
ResAttributes GetResAttrs(Handle theResource);

// Adds `theData` to the current file, which then owns it. Refused (addResFailed) for a
// handle that already is a resource and for a type and id that the file already holds.
void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name);
// Takes the resource out of the current file; the handle becomes the caller's.
void RemoveResource(Handle theResource);
// The handle becomes the caller's; the resource stays in the file.
void DetachResource(Handle theResource);
void ReleaseResource(Handle theResource);
// The handle's contents are written with the file at its next update.
void ChangedResource(Handle theResource);
// Writes the file if anything changed since it was read or last written.
void UpdateResFile(ResFileRefNum refNum);

namespace toolbox {

// Saves the current resource file and makes it current again on every way out of the
// scope, provided it is still open. ResError is left as the scope left it.
class SaveResFile {
public:
    SaveResFile();
    ~SaveResFile();
    SaveResFile(const SaveResFile&) = delete;
    SaveResFile& operator=(const SaveResFile&) = delete;

private:
    ResFileRefNum saved_;
};

// The open resource files, newest first.
std::vector<ResFileRefNum> OpenResFiles();

}  // namespace toolbox
