// Pixel memory of offscreen worlds, also used by the host for its conversion buffers.
// With guard pages on, every block ends right where an inaccessible page begins, so a
// write (or read) past its last byte stops the process at the faulting instruction
// instead of corrupting the heap; code the sanitizers cannot see (FFmpeg) is caught too.
#pragma once

#include <cstddef>
#include <memory>

#include "MacTypes.h"

namespace toolbox {

using PixelStorage = std::unique_ptr<UInt8, void (*)(void*)>;

// A zero-filled block of `bytes`, 64-byte aligned; with guard pages on it is only
// 16-byte aligned (for sizes that are multiples of 16), as its end is pinned to a page.
// Null when memory is short.
PixelStorage AllocatePixels(std::size_t bytes);

// True when new blocks get guard pages: TONEFADE_GUARD_PAGES=1 in the environment, or
// inside a GuardPagesScope. Blocks keep the layout they were made with.
bool GuardPagesOn();

// Turns guard pages on for blocks allocated while it lives (tests).
class GuardPagesScope {
public:
    GuardPagesScope();
    ~GuardPagesScope();
    GuardPagesScope(const GuardPagesScope&) = delete;
    GuardPagesScope& operator=(const GuardPagesScope&) = delete;
};

}  // namespace toolbox
