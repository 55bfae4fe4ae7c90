// PrefsLoader: keeps the last accepted effect settings from one use of the host to the
// next, as one 'Pref' resource in the resource file "vardo-Prefs" in the Preferences folder.
#pragma once

#include "effect/PluginDefines.h"

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
#define TONEFADE_BIG_ENDIAN_BUILD 1
#else
#define TONEFADE_BIG_ENDIAN_BUILD 0
#endif

// The stored form of the settings, in the writing processor's byte order. PowerPC
// builds packed it to 390 bytes; Intel builds pad it to 392. The two differ on
// purpose: a record of the other kind is refused by its size.
#if TONEFADE_BIG_ENDIAN_BUILD
#pragma pack(push, 2)
#endif
struct configsaverec {
    UInt32 sizeInBytes;  // the writing build's sizeof(configsaverec)
    UInt32 version;      // cConfigSaveVersion
    relRect startRel;
    relRect endRel;
    RGBColor colors[6];  // the colours come before the sliders here, unlike pluginDataRec
    SInt16 sliders[6];
    RGBColor frameStartColor;
    RGBColor frameEndColor;
    SInt16 mediaType;
    Str255 miscString;  // cConfigMiscString, zero after the text; never read
#if !TONEFADE_BIG_ENDIAN_BUILD
    UInt8 reserved[2];
#endif
};
#if TONEFADE_BIG_ENDIAN_BUILD
#pragma pack(pop)
#endif
typedef configsaverec* configSavePtr;
typedef configSavePtr* configSaveH;

static_assert(offsetof(configsaverec, sizeInBytes) == 0);
static_assert(offsetof(configsaverec, version) == 4);
static_assert(offsetof(configsaverec, startRel) == 8);
static_assert(offsetof(configsaverec, endRel) == 40);
static_assert(offsetof(configsaverec, colors) == 72);
static_assert(offsetof(configsaverec, sliders) == 108);
static_assert(offsetof(configsaverec, frameStartColor) == 120);
static_assert(offsetof(configsaverec, frameEndColor) == 126);
static_assert(offsetof(configsaverec, mediaType) == 132);
static_assert(offsetof(configsaverec, miscString) == 134);
#if TONEFADE_BIG_ENDIAN_BUILD
static_assert(sizeof(configsaverec) == 390);
#else
static_assert(offsetof(configsaverec, reserved) == 390);
static_assert(sizeof(configsaverec) == 392);
#endif

constexpr UInt32 cConfigSaveVersion = 3;
constexpr const char* cProductCode = "vardo";
constexpr const char* cPrefName = "-Prefs";
constexpr OSType cPrefsType = FOUR_CHAR_CODE("Pref");
constexpr OSType cPrefsCreator = FOUR_CHAR_CODE("qvl ");
constexpr ResID cConfigResID = 1;
constexpr const char* cConfigResName = "Config Settings";
constexpr const char* cConfigMiscString = "Config save for Qorvel iMovie plug-in";

// Writes theConfig as the saved configuration, replacing any earlier one; creates the
// file when it is missing, and leaves a file that already holds exactly this record as it
// is. False when nothing was saved.
Boolean SaveConfig(pluginDataPtr theConfig);
// Overwrites the seven fields of theConfig with a valid saved configuration; otherwise
// false, and theConfig is untouched.
Boolean ReadConfig(pluginDataPtr theConfig);
// Fills a record handle of at least sizeof(configsaverec) bytes from the settings.
Boolean Config2Save(pluginDataPtr theConfig, configSaveH theSaveConfig);
// Copies a record of this build's size and version into the settings. A handle shorter
// than the record is refused without being read past its end.
Boolean Save2Config(pluginDataPtr theConfig, configSaveH theSaveConfig);

// Keeps the saves of other processes out from LockPrefs to the matching UnlockPrefs, so
// that what is read in between can be saved back without undoing another process's save.
// Nests; SaveConfig and ReadConfig take it themselves. After waiting cPrefsLockPatience
// for a holder that does not let go, the work goes on without it.
void LockPrefs(void);
void UnlockPrefs(void);
constexpr SInt32 cPrefsLockPatience = 10000;  // milliseconds

// What the preferences file was last found wrong with, for the callers to tell the user:
// each problem as one line that names the file and the reason.
struct prefsStatusRec {
    UInt32 failedSaves;  // SaveConfig calls that have failed since the plug-in was loaded
    OSErr saveError;     // why the last of them failed
    Str255 saveProblem;  // the same, as "PATH: the settings could not be saved: REASON"
    Str255 readProblem;  // what the last ReadConfig found unusable in the file; empty when
                         // it read the settings or there were none yet (no folder or file)
};
void GetPrefsStatus(prefsStatusRec* theStatus);

// Called by ReadConfig as it returns, for tests that hold a reader there; nil for none.
void SetReadConfigHookForTesting(void (*hook)(void));
