// PrefsLoader. Each call opens the preferences file, does its work and closes it again;
// the caller's current resource file is current again afterwards, whatever happened.
// Several processes may load the plug-in at once: saves and read-and-save-back sequences
// are kept apart by an advisory lock on the Preferences folder.
#include "effect/PrefsLoader.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "corefoundation/CFString.h"
#include "files/FolderLock.h"
#include "files/Folders.h"
#include "resources/Resources.h"

namespace {

prefsStatusRec lgPrefsStatus;
std::unique_ptr<toolbox::FolderLock> lgPrefsLock;
int lgPrefsLockDepth = 0;
void (*lgReadConfigHook)(void) = nullptr;

void CopyToPascal(const std::string& text, unsigned char* out) {
    out[0] = UInt8(text.size());
    std::memcpy(out + 1, text.data(), text.size());
}

std::string PrefsFileName() { return std::string(cProductCode) + cPrefName; }

// noErr when the file exists, fnfErr when only its folder does (the fileSpec is filled in
// both cases), dirNFErr without a Preferences folder, which is never created here.
OSErr LocatePrefsFile(FSSpec* fileSpec) {
    Str255 name;
    CopyToPascal(PrefsFileName(), name);
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    if (FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID) != noErr)
        return dirNFErr;
    return FSMakeFSSpec(vRefNum, dirID, name, fileSpec);
}

// Opens the file as the current resource file; -1 when it cannot be opened (see ResError).
ResFileRefNum OpenPrefsFile(const FSSpec& fileSpec, SInt8 permission) {
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, permission);
    if (refNum == -1 || ResError() != noErr) return -1;
    UseResFile(refNum);
    return refNum;
}

// The reason for a failure, as the user reads it.
const char* ReasonText(OSErr err) {
    switch (err) {
        case mapReadErr:
        case eofErr: return "the file is damaged (not a resource file)";
        case notAFileErr: return "not a regular file";
        case fsDataTooBigErr: return "too large for a resource file (16 MB of resources at most)";
        case dskFulErr: return "no space left on device";
        case wrPermErr:
        case permErr: return "permission denied";
        case fnfErr:
        case dirNFErr: return "no such file or folder";
        case memFullErr: return "out of memory";
        default: return "input/output error";
    }
}

// "PATH: text" in one Str255; a path too long for it keeps its end.
void DescribeProblem(const std::string& text, Str255 out) {
    const std::string folder = toolbox::PreferencesFolderPath();
    std::string path = toolbox::UTF8ToMacRoman((folder.empty() ? "" : folder + "/") + PrefsFileName());
    const std::string rest = ": " + toolbox::UTF8ToMacRoman(text);  // far shorter than 200
    const std::size_t room = 255 - std::min<std::size_t>(rest.size(), 200);
    if (path.size() > room) path.replace(0, path.size() - (room - 1), 1, '\xC9');  // Mac Roman ellipsis
    CopyToPascal((path + rest).substr(0, 255), out);
}

// Only what is wrong with the file itself is worth a word: not a missing file (the first
// use), nor a lack of memory.
void NoteReadProblem(OSErr err) {
    if (err == fnfErr || err == dirNFErr || err == memFullErr || err == resNotFound) return;
    DescribeProblem(std::string(ReasonText(err)) + "; the default settings apply", lgPrefsStatus.readProblem);
}

void NoteFailedSave(OSErr err) {
    ++lgPrefsStatus.failedSaves;
    lgPrefsStatus.saveError = err;
    DescribeProblem(std::string("the settings could not be saved: ") + ReasonText(err), lgPrefsStatus.saveProblem);
}

// True when the current file already holds exactly `record`, under its name, as the
// saved configuration; then saving it again would change nothing.
bool HoldsRecord(Handle record) {
    Handle stored = Get1Resource(cPrefsType, cConfigResID);
    if (stored == nullptr || GetHandleSize(stored) != GetHandleSize(record)) return false;
    Str255 name, expected;
    GetResInfo(stored, nullptr, nullptr, name);
    CopyToPascal(cConfigResName, expected);
    return std::memcmp(name, expected, expected[0] + 1u) == 0 &&
           std::memcmp(*stored, *record, std::size_t(GetHandleSize(record))) == 0;
}

// Puts `record` in place of any earlier saved configuration. Nothing is written yet:
// removing the old record and adding the new one reach the disk together, so a crash
// leaves the old record or the new one, never neither.
OSErr ReplaceRecord(Handle record) {
    if (Handle old = Get1Resource(cPrefsType, cConfigResID)) {
        RemoveResource(old);
        if (OSErr err = ResError(); err != noErr) {  // still the file's: not ours to dispose of
            DisposeHandle(record);
            return err;
        }
        DisposeHandle(old);
    }
    Str255 name;
    CopyToPascal(cConfigResName, name);
    AddResource(record, cPrefsType, cConfigResID, name);
    OSErr err = ResError();
    if (err != noErr) DisposeHandle(record);
    return err;
}

// Writes `record` into the open file; closing it writes whatever a failed update left
// pending, and its result says whether the file on disk holds the new record.
OSErr WriteRecord(ResFileRefNum refNum, Handle record) {
    OSErr err = noErr;
    if (HoldsRecord(record))
        DisposeHandle(record);
    else if ((err = ReplaceRecord(record)) == noErr) {
        UpdateResFile(refNum);
        if (ResError() == noErr) ReleaseResource(record);
    }
    CloseResFile(refNum);
    return err != noErr ? err : ResError();
}

OSErr SaveLocked(pluginDataPtr theConfig) {
    FSSpec fileSpec;
    OSErr err = LocatePrefsFile(&fileSpec);
    if (err != noErr && err != fnfErr) return err;
    // Made before the file is touched, so that running out of memory changes nothing.
    Handle record = NewHandleClear(sizeof(configsaverec));
    if (record == nullptr) return memFullErr;
    Config2Save(theConfig, reinterpret_cast<configSaveH>(record));
    toolbox::SaveResFile keepCurrent;
    if (err == fnfErr) {
        FSpCreateResFile(&fileSpec, cPrefsCreator, cPrefsType, smSystemScript);
        // dupFNErr: another process made the file meanwhile, which is as good.
        if (ResError() != noErr && ResError() != dupFNErr) {
            DisposeHandle(record);
            return ResError();
        }
    }
    ResFileRefNum refNum = OpenPrefsFile(fileSpec, fsCurPerm);
    if (refNum == -1) {
        err = ResError();
        DisposeHandle(record);
        return err;
    }
    return WriteRecord(refNum, record);
}

Boolean ReadLocked(pluginDataPtr theConfig) {
    FSSpec fileSpec;
    if (LocatePrefsFile(&fileSpec) != noErr) return false;
    toolbox::SaveResFile keepCurrent;
    // Reading never needs to write, so the file is opened read-only.
    ResFileRefNum refNum = OpenPrefsFile(fileSpec, fsRdPerm);
    if (refNum == -1) {
        NoteReadProblem(ResError());
        return false;
    }
    Handle saved = Get1Resource(cPrefsType, cConfigResID);
    if (saved == nullptr) NoteReadProblem(ResError());
    if (saved != nullptr) {
        DetachResource(saved);
        if (ResError() != noErr) saved = nullptr;  // still the file's, disposed of on closing
    }
    CloseResFile(refNum);
    if (saved == nullptr) return false;
    Boolean accepted = Save2Config(theConfig, reinterpret_cast<configSaveH>(saved));
    DisposeHandle(saved);
    if (!accepted)
        DescribeProblem("the saved settings are damaged or of another version or kind of computer; "
                        "the default settings apply",
                        lgPrefsStatus.readProblem);
    return accepted;
}

}  // namespace

void LockPrefs(void) {
    if (lgPrefsLockDepth++ > 0) return;
    FSVolumeRefNum vRefNum = 0;
    SInt32 dirID = 0;
    std::string folder;
    if (FindFolder(kOnSystemDisk, kPreferencesFolderType, kDontCreateFolder, &vRefNum, &dirID) == noErr &&
        toolbox::PathForDirID(vRefNum, dirID, &folder))
        lgPrefsLock = std::make_unique<toolbox::FolderLock>(folder, std::chrono::milliseconds(cPrefsLockPatience));
}

void UnlockPrefs(void) {
    if (lgPrefsLockDepth > 0 && --lgPrefsLockDepth == 0) lgPrefsLock.reset();
}

void GetPrefsStatus(prefsStatusRec* theStatus) {
    if (theStatus != nullptr) *theStatus = lgPrefsStatus;
}

void SetReadConfigHookForTesting(void (*hook)(void)) { lgReadConfigHook = hook; }

Boolean SaveConfig(pluginDataPtr theConfig) {
    if (theConfig == nullptr) return false;
    LockPrefs();
    OSErr err = SaveLocked(theConfig);
    UnlockPrefs();
    if (err != noErr) NoteFailedSave(err);
    return err == noErr;
}

Boolean ReadConfig(pluginDataPtr theConfig) {
    if (theConfig == nullptr) return false;
    LockPrefs();
    lgPrefsStatus.readProblem[0] = 0;
    Boolean accepted = ReadLocked(theConfig);
    UnlockPrefs();
    if (lgReadConfigHook != nullptr) lgReadConfigHook();
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
