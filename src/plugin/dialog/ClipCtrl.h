// ClipCtrl: the clip preview control of the configuration dialog, a toolbox object class
// that shows the processed frame with the effect rectangle and lets the user move the
// rectangle and drag its corners with the mouse, re-rendering at every step.
#pragma once

#include "Carbon.h"

constexpr const char* cClipCtrlID = "com.qorvel.lumiset.clip";

// Registers the class; the dialog's nib refers to it by cClipCtrlID.
void RegisterClipCtrl();
void UnregisterClipCtrl();
OSStatus ClipCtrlControlHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);
