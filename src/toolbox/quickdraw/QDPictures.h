// QuickDraw pictures: what is drawn into the current port between OpenCPicture and
// ClosePicture is kept in a picture, and DrawPicture plays it back into any rectangle of
// the current port, scaled from the picture's frame.
#pragma once

#include "quickdraw/QuickDraw.h"

typedef SInt32 Fixed;

// The leading part of every picture; the recorded pixels follow it in the handle.
struct Picture {
    SInt16 picSize;  // the low 16 bits of the picture's size in bytes, as on the Mac
    Rect picFrame;   // where it was recorded, in the recording port's coordinates
};
typedef Picture* PicPtr;
typedef PicPtr* PicHandle;

struct OpenCPicParams {
    Rect srcRect;     // becomes picFrame
    Fixed hRes;       // 72 dpi is 0x00480000; kept by the caller, not needed here
    Fixed vRes;
    SInt16 version;   // -2
    SInt16 reserved1;
    SInt32 reserved2;
};

// Starts recording into a new picture whose frame is newHeader->srcRect. Until
// ClosePicture, the current port draws into a white copy of itself (its pixel map points
// there, so reading its pixels meanwhile reads the recording) and its own pixels stay as
// they are; the part inside the frame becomes the picture. One picture is recorded at a
// time: nil while another is open, for an empty or inverted frame, or when memory runs
// out (MemError). Close the picture before disposing of its port.
PicHandle OpenCPicture(const OpenCPicParams* newHeader);
// Ends the recording and gives the port its own pixels back. Nothing happens when no
// picture is open.
void ClosePicture();
// Disposes of a picture (ending its recording first, if it is still open).
void KillPicture(PicHandle myPicture);
// Draws the picture into dstRect of the current port, its frame scaled onto dstRect
// (nearest pixel, as CopyBits scales), within the port's bounds and clip rectangle.
// A nil or open picture, or an empty rectangle, draws nothing.
void DrawPicture(PicHandle myPicture, const Rect* dstRect);
