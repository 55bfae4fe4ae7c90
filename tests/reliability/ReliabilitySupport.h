// Helpers of the reliability tests: a trace that names the place of every allocation a
// run makes (so that each can be made to fail in turn and reported by name), a target
// world fenced with guard bytes, and snapshots of everything a call could leak.
#pragma once

#include <string>
#include <vector>

#include "Carbon.h"
#include "HostSession.h"

namespace reliability {

// One stretch of a run: the selector being served, its frame, and the host callback the
// plug-in is inside of (none when the plug-in's own code runs).
struct TracePhase {
    int memoryCalls = 0;  // allocations seen at each fault site before the stretch began
    int worldCalls = 0;
    int selector = -1;  // -1: outside any call of the entry point
    SInt32 frame = 0;
    std::string callback;  // "" for the plug-in's own code
};

// Where the index'th allocation (1-based) at a site happened, and its rank among the
// allocations of its stretch.
struct AllocationPlace {
    TracePhase phase;
    int rank = 0;   // 1-based within the stretch
    int ranks = 0;  // allocations at this site within the stretch
    bool known = false;
    std::string Describe() const;
};

// Wraps a session's callback table so that every host callback and every call of the
// entry point leaves a mark; allocations are then placed between the marks. One trace
// at a time, as the callbacks carry no context of their own.
class AllocationTrace {
public:
    explicit AllocationTrace(host::HostSession& session);
    ~AllocationTrace();
    AllocationTrace(const AllocationTrace&) = delete;
    AllocationTrace& operator=(const AllocationTrace&) = delete;

    // The plug-in's entry point, marked on the way in and out.
    static int Entry(SInt16 which, HYPluginParams* params);
    // Forgets the marks and zeroes the fault counters: the next run starts at index 1.
    void Restart();
    AllocationPlace Place(toolbox::FaultSite site, int index) const;
    void Mark(int selector, SInt32 frame, const std::string& callback);

private:
    host::HostSession& session_;
    HYProcs* original_ = nullptr;
    HYProcs wrapped_{};
    std::vector<TracePhase> phases_;
};

// A target of width × height whose pixels lie inside a larger buffer: guard columns on
// both sides of every row and guard rows above and below, all holding a known byte.
class GuardedTarget {
public:
    GuardedTarget(int width, int height);
    ~GuardedTarget();
    GuardedTarget(const GuardedTarget&) = delete;
    GuardedTarget& operator=(const GuardedTarget&) = delete;

    GWorldPtr Port() const { return port_; }
    // Bytes outside the target's pixels that no longer hold the guard byte.
    long DamagedGuardBytes() const;
    std::vector<UInt8> Pixels() const;
    void Fill(const std::vector<UInt8>& argb);

private:
    static constexpr int kGuardColumns = 8, kGuardRows = 4;
    static constexpr UInt8 kGuardByte = 0xC3;
    int width_, height_;
    SInt32 rowBytes_;
    std::vector<UInt8> buffer_;
    GWorldPtr port_ = nullptr;
    std::size_t First() const;
};

// What a call may leave behind: host blocks, offscreen worlds, toolbox blocks, lent
// frames and open resource files.
struct Holdings {
    long hostBlocks = 0;
    long worlds = 0;
    long toolboxBlocks = 0;
    long openResFiles = 0;
    static Holdings Now();
    // "" when `after` holds what `*this` held plus the given extra host blocks.
    std::string Compare(const Holdings& after, long extraHostBlocks = 0) const;
};

// Makes a world of its own the current port, so that a handler that leaves another port
// current is caught; checks and restores on demand.
class PortWatch {
public:
    PortWatch();
    ~PortWatch();
    PortWatch(const PortWatch&) = delete;
    PortWatch& operator=(const PortWatch&) = delete;
    bool Unchanged() const;

private:
    CGrafPtr savedPort_ = nullptr;
    GDHandle savedDevice_ = nullptr;
    GWorldPtr sentinel_ = nullptr;
};

const char* SelectorName(int selector);

}  // namespace reliability
