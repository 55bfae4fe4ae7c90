// `tonefade-host render` (a render pass over a clip, or a segment of it, into a video
// file or an image sequence) and `tonefade-host thumbnail` (the placeholder frame).
#pragma once

namespace host {

extern const char* const kRenderUsage;
extern const char* const kThumbnailUsage;

// Both return the exit status; wrong usage is thrown as UsageError, a failed job as
// JobFailure.
int RunRender(int argc, char** argv);
int RunThumbnail(int argc, char** argv);

}  // namespace host
