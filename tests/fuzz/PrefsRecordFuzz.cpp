// Fuzz target of the saved-configuration conversions: arbitrary bytes, in a handle of
// their own length, go through Save2Config; a record of this build's size and version
// must be accepted field for field, anything else refused with the settings untouched,
// and nothing read past the handle's end. Config2Save is given handles of every size
// and must fill only a handle large enough, and only the record's bytes of it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Carbon.h"
#include "effect/PrefsLoader.h"

namespace {

constexpr UInt8 kUntouched = 0xEE;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "prefs record fuzz: %s\n", what);
    std::abort();
}

// A handle holding exactly `bytes`: its data block ends where they end.
Handle HandleOf(const uint8_t* bytes, size_t size) {
    Handle h = NewHandle(Size(size));
    if (h == nullptr) Fail("no handle");
    if (size > 0) std::memcpy(*h, bytes, size);
    return h;
}

UInt32 ReadU32(const uint8_t* bytes) {
    UInt32 v;
    std::memcpy(&v, bytes, 4);
    return v;
}

// The stored record's fields from offset 8 to the end of mediaType, as Config2Save lays them.
std::vector<UInt8> StoredFields(const pluginDataRec& settings) {
    Handle h = NewHandleClear(sizeof(configsaverec));
    pluginDataRec copy = settings;
    if (!Config2Save(&copy, reinterpret_cast<configSaveH>(h))) Fail("Config2Save refused a full handle");
    const auto* p = reinterpret_cast<const UInt8*>(*h);
    std::vector<UInt8> fields(p + 8, p + offsetof(configsaverec, miscString));
    DisposeHandle(h);
    return fields;
}

void CheckSave2Config(const uint8_t* data, size_t size) {
    Handle h = HandleOf(data, size);
    pluginDataRec settings;
    std::memset(&settings, kUntouched, sizeof settings);
    const pluginDataRec before = settings;
    const bool accepted = Save2Config(&settings, reinterpret_cast<configSaveH>(h));
    const bool valid = size >= sizeof(configsaverec) && ReadU32(data) == sizeof(configsaverec) &&
                       ReadU32(data + 4) == cConfigSaveVersion;
    if (accepted != valid) Fail(valid ? "a valid record was refused" : "an invalid record was accepted");
    if (!accepted && std::memcmp(&settings, &before, sizeof settings) != 0) Fail("a refused record changed settings");
    if (accepted) {
        const std::vector<UInt8> fields = StoredFields(settings);
        if (std::memcmp(fields.data(), data + 8, fields.size()) != 0) Fail("fields not taken over exactly");
    }
    DisposeHandle(h);
}

// Config2Save into a handle of `size` bytes that already hold something.
void CheckConfig2Save(const pluginDataRec& settings, size_t size) {
    Handle h = NewHandle(Size(size));
    if (h == nullptr) Fail("no handle");
    std::memset(*h, kUntouched, size);
    pluginDataRec copy = settings;
    const bool filled = Config2Save(&copy, reinterpret_cast<configSaveH>(h));
    const auto* p = reinterpret_cast<const UInt8*>(*h);
    if (filled != (size >= sizeof(configsaverec))) Fail("Config2Save answered for the wrong handle size");
    for (size_t i = filled ? sizeof(configsaverec) : 0; i < size; ++i)
        if (p[i] != kUntouched) Fail("Config2Save wrote outside the record");
    if (filled && (ReadU32(p) != sizeof(configsaverec) || ReadU32(p + 4) != cConfigSaveVersion))
        Fail("Config2Save wrote a wrong header");
    DisposeHandle(h);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CheckSave2Config(data, size);
    // The same bytes behind this build's header, so that the field copy is reached too.
    std::vector<uint8_t> record(data, data + size);
    if (record.size() < sizeof(configsaverec)) record.resize(sizeof(configsaverec), 0);
    const UInt32 header[2] = {sizeof(configsaverec), cConfigSaveVersion};
    std::memcpy(record.data(), header, sizeof header);
    CheckSave2Config(record.data(), record.size());

    pluginDataRec settings;
    std::memset(&settings, 0, sizeof settings);
    if (size > 0) std::memcpy(&settings, data, std::min(size, sizeof settings));
    CheckConfig2Save(settings, size > 0 ? size_t(data[0]) * 3 : 0);
    CheckConfig2Save(settings, sizeof(configsaverec));
    return 0;
}
