// Frei0rInstance: one frei0r filter instance (its own settings and its 32-bit world) and
// the road of one frame through the effect's own driver and kernel, faded in and out by
// the render pass's schedule and blended with the editor's blend.
#pragma once

#include <mutex>
#include <vector>

#include "Frei0rParams.h"

struct frei0rInstanceRec {
    SInt32 width;
    SInt32 height;
    frei0rSettingsRec settings;
    GWorldPtr world;         // the frame in the effect's alpha, red, green, blue order
    UInt8* worldBase;
    SInt32 worldRowBytes;
    std::vector<UInt32> fadeRow;  // one output row while the unprocessed one is blended over it
    std::mutex busy;         // one frame at a time: MLT's slices may share an instance
};

// The toolbox's process state (the current port, the resource chain, the memory
// bookkeeping) is one per process: every toolbox call of the adapter holds this lock.
std::mutex& ToolboxLock();

// Once per load: names the application, so that the preferences are the dialog's.
void InitFrei0rSide(void);
// Null when the size is not one a world can have or memory is short. The settings start
// from the user's saved ones (the file the dialog writes), fades 0.
frei0rInstanceRec* NewFrei0rInstance(unsigned width, unsigned height);
void DisposeFrei0rInstance(frei0rInstanceRec* instance);
// `in` and `out`: width × height pixels, R,G,B,A bytes, rows without padding; they may be
// the same frame.
void RenderFrei0rFrame(frei0rInstanceRec* instance, double time, const UInt32* in, UInt32* out);
