// ColorCtrl: the colour box control, a toolbox object class that shows one colour (its
// control value, 0xRRGGBB) as a filled, outlined box and picks a new one with the colour
// picker when clicked.
#pragma once

#include "Carbon.h"

constexpr const char* cColorCtrlID = "com.qorvel.lumiset.color";

void RegisterColorBox();
void UnregisterColorBox();
OSStatus ColorBoxControlHandler(EventHandlerCallRef myHandler, EventRef theEvent, void* userData);
// Paints theRect in theColor and outlines it in black; the foreground is left black.
void ColorBoxDraw(Rect theRect, RGBColor theColor);
// Runs the colour picker; true when the user chose a colour, which is then in outColor.
Boolean UseColorPicker(Point where, ConstStr255Param prompt, RGBColor inColor, RGBColor* outColor);
// The box value of a colour (the high byte of each channel) and back (low bytes 0).
SInt32 ColorBoxValue(RGBColor theColor);
RGBColor ColorBoxColor(SInt32 theValue);
