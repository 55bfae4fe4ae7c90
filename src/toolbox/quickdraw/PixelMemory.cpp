// Pixel memory: aligned heap blocks, or page-fenced mappings when guard pages are on.
#include "quickdraw/PixelMemory.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace toolbox {

namespace {

// The bytes in front of a guarded block (up to its first page boundary) hold this value;
// a block whose front no longer does was written before its first byte.
constexpr UInt8 kFrontCanary = 0xD7;

std::atomic<int> gScopes{0};

bool EnvironmentWantsGuards() {
    static const bool wanted = [] {
        const char* value = std::getenv("TONEFADE_GUARD_PAGES");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
    return wanted;
}

struct Mapping {
    UInt8* start;
    std::size_t length;
    std::size_t front;  // canary bytes before the block
};

struct GuardedBlocks {
    std::mutex lock;
    std::unordered_map<void*, Mapping> blocks;
};
GuardedBlocks& Guarded() {
    static GuardedBlocks* guarded = new GuardedBlocks;  // outlives every static world
    return *guarded;
}

std::size_t PageSize() {
    static const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    return page;
}

// Blocks freed lately, kept for the next request of the same size. A program that makes
// and disposes of a frame-sized world for every frame would otherwise have the C library
// give the memory back to the system and fault it in, page by page, again each time
// (frames of 3840x2160 are always mapped afresh).
struct FreedBlocks {
    static constexpr std::size_t kKept = 2;
    struct Block {
        void* p;
        std::size_t bytes;
    };
    std::mutex lock;
    std::vector<Block> blocks;
    std::unordered_map<void*, std::size_t> sizes;  // every heap block alive, by address
};
FreedBlocks& Freed() {
    static FreedBlocks* freed = new FreedBlocks;  // outlives every static world
    return *freed;
}

void FreeHeap(void* p) {
    if (p == nullptr) return;
    FreedBlocks& f = Freed();
    std::lock_guard<std::mutex> hold(f.lock);
    auto it = f.sizes.find(p);
    const std::size_t bytes = it->second;
    f.sizes.erase(it);
    if (f.blocks.size() == FreedBlocks::kKept) {
        std::free(f.blocks.front().p);
        f.blocks.erase(f.blocks.begin());
    }
    f.blocks.push_back({p, bytes});
}

// Frame-sized blocks sit on 2 MB boundaries and ask the system for huge pages. On a
// virtual machine each 4 KB page fault costs microseconds: a new 3840x2160 world took
// some 8,100 of them, 25 ms, before its first byte was written (three frames' reading);
// in 2 MB pages it takes 16, about 5 ms, and the passes over it miss the TLB less.
constexpr std::size_t kHugePage = std::size_t(2) << 20;

void* NewHeapBlock(std::size_t rounded) {
    if (rounded < 2 * kHugePage) return std::aligned_alloc(64, rounded);
    void* p = std::aligned_alloc(kHugePage, (rounded + kHugePage - 1) / kHugePage * kHugePage);
    // Only a hint: without transparent huge pages the block is an ordinary one.
    if (p != nullptr) ::madvise(p, rounded / kHugePage * kHugePage, MADV_HUGEPAGE);
    return p;
}

// A block of exactly `rounded` bytes, from those kept or new; not cleared.
UInt8* TakeHeap(std::size_t rounded) {
    FreedBlocks& f = Freed();
    std::lock_guard<std::mutex> hold(f.lock);
    void* p = nullptr;
    for (auto it = f.blocks.end(); it != f.blocks.begin();) {
        --it;
        if (it->bytes == rounded) {
            p = it->p;
            f.blocks.erase(it);
            break;
        }
    }
    if (p == nullptr) p = NewHeapBlock(rounded);
    if (p != nullptr) f.sizes[p] = rounded;
    return static_cast<UInt8*>(p);
}

void FreeGuarded(void* p) {
    if (p == nullptr) return;
    Mapping m{};
    {
        std::lock_guard<std::mutex> hold(Guarded().lock);
        auto it = Guarded().blocks.find(p);
        if (it == Guarded().blocks.end()) return;
        m = it->second;
        Guarded().blocks.erase(it);
    }
    const UInt8* front = m.start + PageSize();
    for (std::size_t i = 0; i < m.front; ++i)
        if (front[i] != kFrontCanary) {
            std::fprintf(stderr, "toolbox: pixel memory at %p was written %zu bytes before its start\n", p,
                         m.front - i);
            std::abort();
        }
    ::munmap(m.start, m.length);
}

// [inaccessible page][canary ... block][inaccessible page]: the block's last byte is the
// last byte before the second page.
UInt8* AllocateGuarded(std::size_t bytes) {
    const std::size_t page = PageSize();
    const std::size_t body = std::max(page, (bytes + page - 1) / page * page);
    const std::size_t length = body + 2 * page;
    void* mapped = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) return nullptr;
    auto* start = static_cast<UInt8*>(mapped);
    ::mprotect(start, page, PROT_NONE);
    ::mprotect(start + page + body, page, PROT_NONE);
    Mapping m{start, length, body - bytes};
    std::memset(start + page, kFrontCanary, m.front);
    UInt8* block = start + page + m.front;
    std::lock_guard<std::mutex> hold(Guarded().lock);
    Guarded().blocks[block] = m;
    return block;
}

}  // namespace

bool GuardPagesOn() { return gScopes.load() > 0 || EnvironmentWantsGuards(); }

GuardPagesScope::GuardPagesScope() { ++gScopes; }
GuardPagesScope::~GuardPagesScope() { --gScopes; }

PixelStorage AllocatePixels(std::size_t bytes) {
    if (GuardPagesOn()) return PixelStorage(AllocateGuarded(bytes), FreeGuarded);
    // Rounded up to the alignment, as aligned_alloc requires; never zero bytes.
    const std::size_t rounded = (std::max<std::size_t>(bytes, 1) + 63) & ~std::size_t(63);
    UInt8* block = TakeHeap(rounded);
    if (block != nullptr) std::memset(block, 0, rounded);
    return PixelStorage(block, FreeHeap);
}

}  // namespace toolbox
