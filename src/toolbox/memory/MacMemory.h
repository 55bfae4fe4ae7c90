// Memory Manager: pointers and relocatable handles with their sizes, MemError,
// and a test hook that makes chosen allocations fail.
#pragma once

#include "MacTypes.h"

Ptr NewPtr(Size byteCount);
Ptr NewPtrClear(Size byteCount);
void DisposePtr(Ptr p);
Size GetPtrSize(Ptr p);
OSErr MemError();

Handle NewHandle(Size byteCount);
Handle NewHandleClear(Size byteCount);
void DisposeHandle(Handle h);
Size GetHandleSize(Handle h);
void SetHandleSize(Handle h, Size newSize);
void HLock(Handle h);
void HUnlock(Handle h);
void BlockMoveData(const void* src, void* dest, Size byteCount);

namespace toolbox {

// Where the fault hook can make an allocation fail.
enum class FaultSite { Memory, GWorld };

// The countdown'th next allocation at `site` fails (1 = the very next one); 0 disarms.
void ArmFault(FaultSite site, int countdown);
// Allocations seen at `site` since the last reset; lets a test enumerate injection points.
int FaultSiteCalls(FaultSite site);
void ResetFaultCounters();
// Called by each allocating routine; true when this call must fail.
bool ShouldFail(FaultSite site);

// Live blocks made by NewPtr/NewHandle and not yet disposed (leak checks in tests).
long LivePtrCount();

}  // namespace toolbox
