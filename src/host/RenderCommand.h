// `tonefade-host render` (a render pass over a clip, or a segment of it, into a video
// file or an image sequence) and `tonefade-host thumbnail` (the placeholder frame).
#pragma once

#include "Options.h"

namespace host {

// Their runs return the exit status; wrong usage is thrown as UsageError, a failed job
// as JobFailure.
extern const Command kRenderCommand;
extern const Command kThumbnailCommand;

}  // namespace host
