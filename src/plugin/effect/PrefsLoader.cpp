// PrefsLoader. Each call opens the preferences file, does its work and closes it again;
// the caller's current resource file is current again afterwards, whatever happened.
#include "effect/PrefsLoader.h"

#include <cstring>
#include <string>

#include "files/Folders.h"
#include "resources/Resources.h"

namespace {

void CopyToPascal(const std::string& text, unsigned char* out) {
    out[0] = UInt8(text.size());
    std::memcpy(out + 1, text.data(), text.size());
}

// noErr when the file exists, fnfErr when only its folder does; the fileSpec is filled in
// both cases. The Preferences folder is never created here.
OSErr LocatePrefsFile(FSSpec* fileSpec) {
    Str255 name;
    CopyToPascal(std::string(cProductCode) + cPrefName, name);
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    OSErr err = FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID);
    if (err != noErr) return err;
    return FSMakeFSSpec(vRefNum, dirID, name, fileSpec);
}

// Opens the file as the current resource file; -1 when it cannot be opened.
ResFileRefNum OpenPrefsFile(const FSSpec& fileSpec, SInt8 permission) {
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, permission);
    if (refNum == -1 || ResError() != noErr) return -1;
    UseResFile(refNum);
    return refNum;
}

// Puts `record` in place of any earlier saved configuration. Nothing is written yet:
// removing the old record and adding the new one reach the disk together, so a crash
// leaves the old record or the new one, never neither.
bool ReplaceRecord(Handle record) {
    if (Handle old = Get1Resource(cPrefsType, cConfigResID)) {
        RemoveResource(old);
        if (ResError() != noErr) {  // still the file's: not ours to dispose of
            DisposeHandle(record);
            return false;
        }
        DisposeHandle(old);
    }
    Str255 name;
    CopyToPascal(cConfigResName, name);
    AddResource(record, cPrefsType, cConfigResID, name);
    if (ResError() == noErr) return true;
    DisposeHandle(record);
    return false;
}

}  // namespace

Boolean SaveConfig(pluginDataPtr theConfig) {
    if (theConfig == nullptr) return false;
    FSSpec fileSpec;
    OSErr err = LocatePrefsFile(&fileSpec);
    if (err != noErr && err != fnfErr) return false;
    // Made before the file is touched, so that running out of memory changes nothing.
    Handle record = NewHandleClear(sizeof(configsaverec));
    if (record == nullptr) return false;
    Config2Save(theConfig, reinterpret_cast<configSaveH>(record));
    toolbox::SaveResFile keepCurrent;
    if (err == fnfErr) {
        FSpCreateResFile(&fileSpec, cPrefsCreator, cPrefsType, smSystemScript);
        // dupFNErr: another process made the file meanwhile, which is as good.
        if (ResError() != noErr && ResError() != dupFNErr) {
            DisposeHandle(record);
            return false;
        }
    }
    ResFileRefNum refNum = OpenPrefsFile(fileSpec, fsCurPerm);
    if (refNum == -1) {
        DisposeHandle(record);
        return false;
    }
    bool added = ReplaceRecord(record);
    if (added) {
        UpdateResFile(refNum);
        if (ResError() == noErr) ReleaseResource(record);
    }
    // Closing writes whatever a failed update left pending, and disposes of the record;
    // its result says whether the file on disk holds the new record.
    CloseResFile(refNum);
    return added && ResError() == noErr;
}

Boolean ReadConfig(pluginDataPtr theConfig) {
    if (theConfig == nullptr) return false;
    FSSpec fileSpec;
    if (LocatePrefsFile(&fileSpec) != noErr) return false;
    toolbox::SaveResFile keepCurrent;
    // Reading never needs to write, so the file is opened read-only.
    ResFileRefNum refNum = OpenPrefsFile(fileSpec, fsRdPerm);
    if (refNum == -1) return false;
    Handle saved = Get1Resource(cPrefsType, cConfigResID);
    if (saved != nullptr) {
        DetachResource(saved);
        if (ResError() != noErr) saved = nullptr;  // still the file's, disposed of on closing
    }
    CloseResFile(refNum);
    if (saved == nullptr) return false;
    Boolean accepted = Save2Config(theConfig, reinterpret_cast<configSaveH>(saved));
    DisposeHandle(saved);
    return accepted;
}

Boolean Config2Save(pluginDataPtr theConfig, configSaveH theSaveConfig) {
    if (theConfig == nullptr || theSaveConfig == nullptr || *theSaveConfig == nullptr) return false;
    if (GetHandleSize(reinterpret_cast<Handle>(theSaveConfig)) < Size(sizeof(configsaverec))) return false;
    configsaverec& rec = **theSaveConfig;
    std::memset(&rec, 0, sizeof rec);
    rec.sizeInBytes = sizeof(configsaverec);
    rec.version = cConfigSaveVersion;
    rec.startRel = theConfig->startRel;
    rec.endRel = theConfig->endRel;
    for (int i = 0; i < 6; ++i) rec.colors[i] = theConfig->colors[i];
    for (int i = 0; i < 6; ++i) rec.sliders[i] = theConfig->sliders[i];
    rec.frameStartColor = theConfig->frameStartColor;
    rec.frameEndColor = theConfig->frameEndColor;
    rec.mediaType = theConfig->mediaType;
    CopyToPascal(cConfigMiscString, rec.miscString);
    return true;
}

Boolean Save2Config(pluginDataPtr theConfig, configSaveH theSaveConfig) {
    if (theConfig == nullptr || theSaveConfig == nullptr || *theSaveConfig == nullptr) return false;
    // A resource may be shorter than its header claims; it must not be read past its end.
    if (GetHandleSize(reinterpret_cast<Handle>(theSaveConfig)) < Size(sizeof(configsaverec))) return false;
    const configsaverec& rec = **theSaveConfig;
    if (rec.sizeInBytes != sizeof(configsaverec) || rec.version != cConfigSaveVersion) return false;
    theConfig->startRel = rec.startRel;
    theConfig->endRel = rec.endRel;
    for (int i = 0; i < 6; ++i) theConfig->colors[i] = rec.colors[i];
    for (int i = 0; i < 6; ++i) theConfig->sliders[i] = rec.sliders[i];
    theConfig->frameStartColor = rec.frameStartColor;
    theConfig->frameEndColor = rec.frameEndColor;
    theConfig->mediaType = rec.mediaType;
    return true;
}
