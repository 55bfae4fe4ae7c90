// SliderHandlers: the dialog's parameter sliders and clip position slider, live while the
// thumb moves, and the re-rendering of the preview that every change ends with.
#pragma once

#include "Carbon.h"

// Renders theFXClip from sourceClip with the record's settings and redraws the preview.
void RerenderAndBlit();
// Fetches clip position theVal into sourceClip, then RerenderAndBlit.
void AccessRenderAndBlit(SInt32 theVal);
void ClipSliderAction(ControlRef theControl, ControlPartCode thePart);
void Slider1Action(ControlRef theControl, ControlPartCode thePart);
void Slider2Action(ControlRef theControl, ControlPartCode thePart);
void Slider3Action(ControlRef theControl, ControlPartCode thePart);
void Slider4Action(ControlRef theControl, ControlPartCode thePart);
void Slider5Action(ControlRef theControl, ControlPartCode thePart);
void Slider6Action(ControlRef theControl, ControlPartCode thePart);
// Wires the sliders of a freshly opened window to the record and the workspace.
void SetupSliders(WindowRef theWindow);

// "12/249": the clip position and the last position.
void ClipPositionText(SInt32 thePosition, SInt32 theLast, Str255 outText);
// "75%": a slider value as its legend shows it.
void PercentText(SInt32 theValue, Str255 outText);
