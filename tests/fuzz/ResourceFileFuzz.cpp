// Fuzz target of the resource-file reader: arbitrary bytes are read as a resource file,
// in memory and through the Resource Manager from a file on disk; every resource and
// string list is then read. The two readings must agree, and whatever is accepted must
// survive being written out and read back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "files/Files.h"
#include "resources/ResourceFormat.h"
#include "resources/Resources.h"
#include "resources/StringLists.h"

namespace {

namespace resfork = toolbox::resfork;

bool SameImage(const resfork::Image& a, const resfork::Image& b) {
    if (a.types.size() != b.types.size()) return false;
    for (std::size_t t = 0; t < a.types.size(); ++t) {
        const auto &x = a.types[t], &y = b.types[t];
        if (x.type != y.type || x.resources.size() != y.resources.size()) return false;
        for (std::size_t i = 0; i < x.resources.size(); ++i) {
            const auto &r = x.resources[i], &s = y.resources[i];
            if (r.id != s.id || r.hasName != s.hasName || r.name != s.name || r.data != s.data) return false;
        }
    }
    return true;
}

void CheckRoundTrip(const resfork::Image& image) {
    std::vector<UInt8> written;
    if (resfork::Serialize(image, &written) != noErr) return;  // beyond what a file may hold
    resfork::Image back;
    if (resfork::Parse(written, &back) != noErr || !SameImage(image, back)) std::abort();
}

// One file per fuzzing process, in memory-backed storage where there is some.
const std::string& ScratchPath() {
    static const std::string path = [] {
        std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string p = folder + "/tonefade-fuzz-" + std::to_string(getpid()) + ".rsrc";
        std::atexit([] { std::remove(ScratchPath().c_str()); });
        return p;
    }();
    return path;
}

void ReadEveryResource() {
    for (ResourceCount t = 1; t <= Count1Types(); ++t) {
        ResType type = 0;
        Get1IndType(&type, t);
        for (ResourceCount i = 1; i <= Count1Resources(type); ++i) {
            Handle h = Get1IndResource(type, i);
            ResID id = 0;
            Str255 name;
            GetResInfo(h, &id, nullptr, name);
            if (type != kStringListResourceType) continue;
            for (SInt16 k = 1; k <= 3; ++k) GetIndString(name, id, k);
            ReleaseResource(h);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    resfork::Image image;
    OSErr parsed = resfork::Parse(std::span<const UInt8>(data, size), &image);
    if (parsed == noErr) CheckRoundTrip(image);
    {
        std::ofstream out(ScratchPath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), std::streamsize(size));
    }
    FSSpec fileSpec;
    if (toolbox::PathToFSSpec(ScratchPath(), &fileSpec) != noErr) std::abort();
    ResFileRefNum refNum = FSpOpenResFile(&fileSpec, fsRdPerm);
    if ((refNum != -1) != (parsed == noErr)) std::abort();  // the two readings disagree
    if (refNum != -1) {
        ReadEveryResource();
        CloseResFile(refNum);
    }
    return 0;
}
