// Memory Manager stand-in. Each block carries a small header with its size so that
// GetPtrSize and GetHandleSize answer as on the Mac.
#include "memory/MacMemory.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {

// 16 bytes keep the payload aligned for any scalar type.
struct alignas(16) BlockHeader {
    Size size;
    UInt32 magic;
};
constexpr UInt32 kPtrMagic = 0x50545221;  // 'PTR!'
static_assert(sizeof(BlockHeader) == 16);

OSErr gMemError = noErr;
long gLivePtrs = 0;

struct FaultState {
    int countdown = 0;
    int calls = 0;
};
std::array<FaultState, 2> gFaults;

BlockHeader* HeaderOf(Ptr p) { return reinterpret_cast<BlockHeader*>(p) - 1; }

Ptr AllocateBlock(Size byteCount, bool clear) {
    if (byteCount < 0 || toolbox::ShouldFail(toolbox::FaultSite::Memory)) {
        gMemError = byteCount < 0 ? paramErr : memFullErr;
        return nullptr;
    }
    void* raw = std::malloc(sizeof(BlockHeader) + std::size_t(byteCount));
    if (raw == nullptr) {
        gMemError = memFullErr;
        return nullptr;
    }
    auto* header = new (raw) BlockHeader{byteCount, kPtrMagic};
    Ptr p = reinterpret_cast<Ptr>(header + 1);
    if (clear) std::memset(p, 0, std::size_t(byteCount));
    ++gLivePtrs;
    gMemError = noErr;
    return p;
}

}  // namespace

namespace toolbox {

void ArmFault(FaultSite site, int countdown) { gFaults[std::size_t(site)].countdown = countdown; }
int FaultSiteCalls(FaultSite site) { return gFaults[std::size_t(site)].calls; }
void ResetFaultCounters() {
    for (auto& f : gFaults) f = FaultState{};
}
bool ShouldFail(FaultSite site) {
    auto& f = gFaults[std::size_t(site)];
    ++f.calls;
    if (f.countdown > 0 && --f.countdown == 0) return true;
    return false;
}
long LivePtrCount() { return gLivePtrs; }

}  // namespace toolbox

Ptr NewPtr(Size byteCount) { return AllocateBlock(byteCount, false); }
Ptr NewPtrClear(Size byteCount) { return AllocateBlock(byteCount, true); }

void DisposePtr(Ptr p) {
    if (p == nullptr) {
        gMemError = noErr;
        return;
    }
    BlockHeader* header = HeaderOf(p);
    if (header->magic != kPtrMagic) {
        gMemError = memWZErr;  // not one of ours: refuse rather than corrupt the heap
        return;
    }
    header->magic = 0;
    std::free(header);
    --gLivePtrs;
    gMemError = noErr;
}

Size GetPtrSize(Ptr p) {
    if (p == nullptr || HeaderOf(p)->magic != kPtrMagic) {
        gMemError = nilHandleErr;
        return 0;
    }
    gMemError = noErr;
    return HeaderOf(p)->size;
}

OSErr MemError() { return gMemError; }

// A handle is a master pointer (itself a block) holding the address of the data block.
static Handle AllocateHandle(Size byteCount, bool clear) {
    Ptr data = AllocateBlock(byteCount, clear);
    if (data == nullptr) return nullptr;
    auto master = reinterpret_cast<Handle>(AllocateBlock(sizeof(Ptr), true));
    if (master == nullptr) {
        DisposePtr(data);
        gMemError = memFullErr;
        return nullptr;
    }
    *master = data;
    return master;
}

Handle NewHandle(Size byteCount) { return AllocateHandle(byteCount, false); }
Handle NewHandleClear(Size byteCount) { return AllocateHandle(byteCount, true); }

void DisposeHandle(Handle h) {
    if (h == nullptr) return;
    DisposePtr(*h);
    DisposePtr(reinterpret_cast<Ptr>(h));
}

Size GetHandleSize(Handle h) {
    if (h == nullptr || *h == nullptr) {
        gMemError = nilHandleErr;
        return 0;
    }
    return GetPtrSize(*h);
}

void SetHandleSize(Handle h, Size newSize) {
    if (h == nullptr || newSize < 0) {
        gMemError = h == nullptr ? nilHandleErr : paramErr;
        return;
    }
    Ptr fresh = AllocateBlock(newSize, true);
    if (fresh == nullptr) return;  // old block stays as it was
    Size keep = *h ? GetPtrSize(*h) : 0;
    if (keep > newSize) keep = newSize;
    if (keep > 0) std::memcpy(fresh, *h, std::size_t(keep));
    DisposePtr(*h);
    *h = fresh;
    gMemError = noErr;
}

// Blocks never move in this stand-in, so locking only has to be accepted.
void HLock(Handle) { gMemError = noErr; }
void HUnlock(Handle) { gMemError = noErr; }

void BlockMoveData(const void* src, void* dest, Size byteCount) {
    if (byteCount > 0) std::memmove(dest, src, std::size_t(byteCount));
}
