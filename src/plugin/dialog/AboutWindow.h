// AboutWindow: the small modal window with the product's name and version that the
// configuration dialog's 'Info' command opens.
#pragma once

#include "Carbon.h"

constexpr const char* cMyClearName = "Tonefade";
#if defined(__powerpc__) || defined(__ppc__) || defined(__POWERPC__)
constexpr const char* cPlugVersion = "3.0.0 (PPC Universal)";
#else
constexpr const char* cPlugVersion = "3.0.0 (i386 Universal)";
#endif
constexpr const char* cAboutNibName = "about";
constexpr const char* cAboutWindowName = "about";

// Runs the About window until its OK or close button; the current port and device are
// the same afterwards.
void ShowAbout();
OSStatus AboutDialogHandler(EventHandlerCallRef nextHandler, EventRef theEvent, void* userData);
