// Resource Manager stand-in. Each open file is held in memory as read; a resource's
// handle is made when it is first asked for and is the caller's to change. Nothing
// reaches the disk before UpdateResFile or CloseResFile, and then the whole file is
// replaced at once, so opening and reading never write.
#include "resources/Resources.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "files/AtomicFile.h"
#include "memory/MacMemory.h"
#include "resources/ResourceFormat.h"

namespace fs = std::filesystem;
using toolbox::resfork::Resource;

namespace {

struct Slot {
    Resource resource;
    Handle handle = nullptr;  // made on first Get, the file's until detached or removed
    bool changed = false;     // the handle's contents are to be written
};

struct TypeSlots {
    ResType type = 0;
    std::vector<Slot> slots;
};

struct ResFile {
    ResFileRefNum refNum = 0;
    std::string path;
    bool writable = false;
    bool changed = false;
    UInt16 mapAttributes = 0;
    std::vector<TypeSlots> types;
    // The file's handles go with it: when closed, and for files still open at exit.
    ~ResFile() {
        for (TypeSlots& t : types)
            for (Slot& s : t.slots) DisposeHandle(s.handle);
    }
};

struct SlotRef {
    ResFile* file = nullptr;
    std::size_t type = 0;
    std::size_t index = 0;
    Slot& slot() const { return file->types[type].slots[index]; }
};

std::vector<std::unique_ptr<ResFile>> gChain;  // newest first
ResFileRefNum gCurrent = 0;
ResFileRefNum gLastRefNum = 0;
OSErr gResError = noErr;

void SetError(OSErr err) { gResError = err; }

// Sets ResError and answers `result`, for the calls that report failure in both ways.
template <typename T>
T Fail(OSErr err, T result) {
    gResError = err;
    return result;
}

std::size_t ChainIndex(ResFileRefNum refNum) {
    for (std::size_t i = 0; i < gChain.size(); ++i)
        if (gChain[i]->refNum == refNum) return i;
    return gChain.size();
}

ResFile* FindFile(ResFileRefNum refNum) {
    std::size_t i = ChainIndex(refNum);
    return i < gChain.size() ? gChain[i].get() : nullptr;
}

ResFile* CurrentFile() { return gCurrent == 0 ? nullptr : FindFile(gCurrent); }

Slot* FindSlot(ResFile& file, ResType type, ResID id) {
    for (TypeSlots& t : file.types)
        if (t.type == type)
            for (Slot& s : t.slots)
                if (s.resource.id == id) return &s;
    return nullptr;
}

TypeSlots* FindType(ResFile& file, ResType type) {
    for (TypeSlots& t : file.types)
        if (t.type == type) return &t;
    return nullptr;
}

bool FindByHandle(Handle h, SlotRef* ref) {
    if (h == nullptr) return false;
    for (auto& file : gChain)
        for (std::size_t t = 0; t < file->types.size(); ++t)
            for (std::size_t i = 0; i < file->types[t].slots.size(); ++i)
                if (file->types[t].slots[i].handle == h) {
                    *ref = SlotRef{file.get(), t, i};
                    return true;
                }
    return false;
}

Handle Load(Slot& slot) {
    if (slot.handle != nullptr) return slot.handle;
    const auto& data = slot.resource.data;
    Handle h = NewHandle(Size(data.size()));
    if (h == nullptr) {
        SetError(memFullErr);
        return nullptr;
    }
    if (!data.empty()) std::memcpy(*h, data.data(), data.size());
    slot.handle = h;
    return h;
}

std::vector<UInt8> HandleBytes(Handle h) {
    Size size = GetHandleSize(h);
    if (size <= 0) return {};
    return std::vector<UInt8>(reinterpret_cast<UInt8*>(*h), reinterpret_cast<UInt8*>(*h) + size);
}

ResFileRefNum NextRefNum() {
    do {
        gLastRefNum = gLastRefNum >= 0x7FFF ? 1 : ResFileRefNum(gLastRefNum + 1);
    } while (FindFile(gLastRefNum) != nullptr);
    return gLastRefNum;
}

std::unique_ptr<ResFile> MakeOpenFile(const std::string& path, bool writable,
                                      toolbox::resfork::Image&& image) {
    auto file = std::make_unique<ResFile>();
    file->path = path;
    file->writable = writable;
    file->mapAttributes = image.mapAttributes;
    for (auto& type : image.types) {
        TypeSlots slots{type.type, {}};
        for (auto& r : type.resources) slots.slots.push_back(Slot{std::move(r)});
        file->types.push_back(std::move(slots));
    }
    return file;
}

// The file as it is to be written: changed handles' contents replace what was read.
OSErr WriteOut(ResFile& file) {
    if (!file.writable) return wrPermErr;
    toolbox::resfork::Image image{file.mapAttributes, {}};
    for (TypeSlots& t : file.types) {
        image.types.push_back({t.type, {}});
        for (Slot& s : t.slots) {
            if (s.changed && s.handle != nullptr) s.resource.data = HandleBytes(s.handle);
            image.types.back().resources.push_back(s.resource);
        }
    }
    std::vector<UInt8> bytes;
    OSErr err = toolbox::resfork::Serialize(image, &bytes);
    if (err == noErr) err = toolbox::WriteFileAtomically(file.path, bytes, toolbox::AtomicMode::Replace);
    if (err != noErr) return err;
    for (TypeSlots& t : file.types)
        for (Slot& s : t.slots) s.changed = false;
    file.changed = false;
    return noErr;
}

bool MayWrite(const std::string& path) {
    std::string folder = fs::path(path).parent_path().string();
    return ::access(path.c_str(), W_OK) == 0 && ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

namespace toolbox {

SaveResFile::SaveResFile() : saved_(gCurrent) {}

SaveResFile::~SaveResFile() {
    if (saved_ == 0 || FindFile(saved_) != nullptr) gCurrent = saved_;
}

std::vector<ResFileRefNum> OpenResFiles() {
    std::vector<ResFileRefNum> refs;
    for (auto& f : gChain) refs.push_back(f->refNum);
    return refs;
}

}  // namespace toolbox

void FSpCreateResFile(const FSSpec* fileSpec, OSType creator, OSType fileType, ScriptCode) {
    std::string path;
    if (!toolbox::FSSpecToPath(fileSpec, &path) || fileSpec->name[0] == 0) return SetError(paramErr);
    std::vector<UInt8> bytes;
    OSErr err = toolbox::resfork::Serialize(toolbox::resfork::Image{}, &bytes);
    std::vector<toolbox::ExtendedAttribute> attributes{
        {toolbox::kFinderInfoAttribute, toolbox::MakeFinderInfo(fileType, creator)}};
    if (err == noErr) err = toolbox::WriteFileAtomically(path, bytes, toolbox::AtomicMode::CreateNew, attributes);
    SetError(err);
}

ResFileRefNum FSpOpenResFile(const FSSpec* fileSpec, SInt8 permission) {
    std::string path;
    if (!toolbox::FSSpecToPath(fileSpec, &path)) return Fail(paramErr, -1);
    std::error_code ec;
    std::string resolved = fs::canonical(path, ec).string();  // writes go to a link's target
    if (ec) return Fail(fnfErr, -1);
    for (auto& f : gChain)
        if (f->path == resolved) return Fail(noErr, f->refNum);
    bool writable = permission != fsRdPerm && MayWrite(resolved);
    if ((permission == fsWrPerm || permission == fsRdWrPerm) && !writable) return Fail(permErr, -1);
    std::vector<UInt8> bytes;
    OSErr err = toolbox::ReadWholeFile(resolved, toolbox::resfork::kMaxFileSize, &bytes);
    toolbox::resfork::Image image;
    if (err == noErr) err = toolbox::resfork::Parse(bytes, &image);
    if (err != noErr) return Fail(err == memFullErr ? OSErr(mapReadErr) : err, -1);
    auto file = MakeOpenFile(resolved, writable, std::move(image));
    file->refNum = NextRefNum();
    gCurrent = file->refNum;
    gChain.insert(gChain.begin(), std::move(file));
    SetError(noErr);
    return gCurrent;
}

void CloseResFile(ResFileRefNum refNum) {
    std::size_t index = ChainIndex(refNum);
    if (index == gChain.size()) return SetError(resFNotFound);
    ResFile& file = *gChain[index];
    OSErr err = file.changed ? WriteOut(file) : OSErr(noErr);
    gChain.erase(gChain.begin() + std::ptrdiff_t(index));
    // As on the Mac, the search goes on from the next older file.
    if (gCurrent == refNum) gCurrent = index < gChain.size() ? gChain[index]->refNum : 0;
    SetError(err);
}

void UseResFile(ResFileRefNum refNum) {
    if (FindFile(refNum) == nullptr) return SetError(resFNotFound);
    gCurrent = refNum;
    SetError(noErr);
}

ResFileRefNum CurResFile() { return gCurrent; }

OSErr ResError() { return gResError; }

Handle GetResource(ResType theType, ResID theID) {
    std::size_t start = gCurrent == 0 ? gChain.size() : ChainIndex(gCurrent);
    for (std::size_t i = start; i < gChain.size(); ++i)
        if (Slot* s = FindSlot(*gChain[i], theType, theID)) {
            SetError(noErr);
            return Load(*s);
        }
    SetError(resNotFound);
    return nullptr;
}

Handle Get1Resource(ResType theType, ResID theID) {
    ResFile* file = CurrentFile();
    Slot* s = file ? FindSlot(*file, theType, theID) : nullptr;
    if (s == nullptr) return Fail(resNotFound, nullptr);
    SetError(noErr);
    return Load(*s);
}

ResourceCount Count1Resources(ResType theType) {
    ResFile* file = CurrentFile();
    if (file == nullptr) return Fail(resFNotFound, 0);
    SetError(noErr);
    TypeSlots* t = FindType(*file, theType);
    return t ? ResourceCount(std::min<std::size_t>(t->slots.size(), 0x7FFF)) : 0;
}

Handle Get1IndResource(ResType theType, ResourceIndex index) {
    ResFile* file = CurrentFile();
    TypeSlots* t = file ? FindType(*file, theType) : nullptr;
    if (t == nullptr || index < 1 || std::size_t(index) > t->slots.size()) return Fail(resNotFound, nullptr);
    SetError(noErr);
    return Load(t->slots[std::size_t(index) - 1]);
}

ResourceCount Count1Types() {
    ResFile* file = CurrentFile();
    if (file == nullptr) return Fail(resFNotFound, 0);
    SetError(noErr);
    return ResourceCount(std::min<std::size_t>(file->types.size(), 0x7FFF));
}

void Get1IndType(ResType* theType, ResourceIndex index) {
    if (theType == nullptr) return SetError(paramErr);
    ResFile* file = CurrentFile();
    *theType = 0;
    if (file == nullptr || index < 1 || std::size_t(index) > file->types.size()) return SetError(resNotFound);
    *theType = file->types[std::size_t(index) - 1].type;
    SetError(noErr);
}

void GetResInfo(Handle theResource, ResID* theID, ResType* theType, Str255 name) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return SetError(resNotFound);
    const Resource& r = ref.slot().resource;
    if (theID) *theID = r.id;
    if (theType) *theType = ref.file->types[ref.type].type;
    if (name) {
        name[0] = UInt8(r.name.size());
        std::memcpy(name + 1, r.name.data(), r.name.size());
    }
    SetError(noErr);
}

ResFileRefNum HomeResFile(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return Fail(resNotFound, -1);
    SetError(noErr);
    return ref.file->refNum;
}

ResAttributes GetResAttrs(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return Fail(resNotFound, 0);
    SetError(noErr);
    return ResAttributes(ref.slot().resource.attributes | (ref.slot().changed ? resChanged : 0));
}

void AddResource(Handle theData, ResType theType, ResID theID, ConstStr255Param name) {
    ResFile* file = CurrentFile();
    SlotRef existing;
    if (theData == nullptr || file == nullptr || FindByHandle(theData, &existing)) return SetError(addResFailed);
    if (!file->writable) return SetError(wrPermErr);
    // Two resources of one type and id would make every later lookup ambiguous.
    if (FindSlot(*file, theType, theID) != nullptr) return SetError(addResFailed);
    Slot slot;
    slot.resource.id = theID;
    slot.resource.hasName = name != nullptr && name[0] > 0;
    if (slot.resource.hasName) slot.resource.name.assign(reinterpret_cast<const char*>(name + 1), name[0]);
    slot.handle = theData;
    slot.changed = true;
    TypeSlots* t = FindType(*file, theType);
    if (t == nullptr) t = &file->types.emplace_back(TypeSlots{theType, {}});
    t->slots.push_back(std::move(slot));
    file->changed = true;
    SetError(noErr);
}

void RemoveResource(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref) || ref.file->refNum != gCurrent) return SetError(rmvResFailed);
    if (!ref.file->writable) return SetError(wrPermErr);
    if (ref.slot().resource.attributes & resProtected) return SetError(rmvResFailed);
    auto& slots = ref.file->types[ref.type].slots;
    slots.erase(slots.begin() + std::ptrdiff_t(ref.index));
    if (slots.empty()) ref.file->types.erase(ref.file->types.begin() + std::ptrdiff_t(ref.type));
    ref.file->changed = true;
    SetError(noErr);
}

void DetachResource(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return SetError(resNotFound);
    if (ref.slot().changed) return SetError(resAttrErr);  // its new contents exist only in the handle
    ref.slot().handle = nullptr;
    SetError(noErr);
}

void ReleaseResource(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return SetError(resNotFound);
    if (ref.slot().changed) return SetError(resAttrErr);
    DisposeHandle(ref.slot().handle);
    ref.slot().handle = nullptr;
    SetError(noErr);
}

void ChangedResource(Handle theResource) {
    SlotRef ref;
    if (!FindByHandle(theResource, &ref)) return SetError(resNotFound);
    if (!ref.file->writable) return SetError(wrPermErr);
    ref.slot().changed = true;
    ref.file->changed = true;
    SetError(noErr);
}

void UpdateResFile(ResFileRefNum refNum) {
    ResFile* file = FindFile(refNum);
    if (file == nullptr) return SetError(resFNotFound);
    SetError(file->changed ? WriteOut(*file) : OSErr(noErr));
}
