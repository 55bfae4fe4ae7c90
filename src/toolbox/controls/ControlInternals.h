// The inside of a control, shared by the Control Manager's source files and the Window
// Manager that owns the controls.
#pragma once

#include <optional>
#include <string>

#include "controls/Controls.h"

struct OpaqueControlRef {
    UInt32 magic = 0;
    toolbox::ControlKind kind = toolbox::ControlKind::PushButton;
    WindowRef owner = nullptr;
    ControlID id{0, 0};
    Rect bounds{};
    std::string text;  // Mac Roman: a title or the text of a text control
    SInt32 value = 0;
    SInt32 minimum = 0;
    SInt32 maximum = 0;
    UInt32 command = 0;
    bool visible = true;
    bool enabled = true;
    bool active = true;  // DeactivateControl; the window's own activity counts too
    bool live = false;   // slider reports its value while the thumb moves
    bool password = false;
    SInt16 fontSize = 0; // 0: the toolbox's size for the kind
    Style fontStyle = normal;
    SInt16 just = teFlushDefault;
    ControlPartCode hilite = 0;   // part pressed now
    std::optional<SInt32> ghostValue;  // where a non-live slider's thumb is being dragged
    MenuRef menu = nullptr;       // pop-ups own their menu
    MenuItemIndex openItem = 0;   // item under the mouse while the pop-up's menu is open
    bool menuOpen = false;
    ToolboxObjectClassRef objectClass = nullptr;
    ControlActionUPP action = nullptr;
    ControlEditTextSelectionRec selection{0, 0};
    EventTargetRef target = nullptr;
    SInt32 refCon = 0;
};

namespace toolbox {

constexpr UInt32 kControlMagic = 0x434E544C;  // 'CNTL'
constexpr short kDefaultControlFontSize = 13;
constexpr short kPopupItemHeight = 20;

// Drawing of one control into its window's port (the port is already current).
void DrawControlNow(ControlRef control);
void DrawOpenPopupMenu(ControlRef popup);
// The rectangle the open pop-up menu covers, in window coordinates.
Rect PopupMenuRect(ControlRef popup);
short ControlFontSize(ControlRef control);
// Makes a control and hands it to its window (the window owns it from then on).
ControlRef AddControl(WindowRef window, ControlKind kind, const Rect& bounds);
void DestroyControl(ControlRef control);
// Sends a custom control one of its events; answers the status and, for hit tests,
// the part the handler stored.
OSStatus SendControlEvent(ControlRef control, EventKind kind, Point where, UInt32 modifiers,
                          ControlPartCode* ioPart);

}  // namespace toolbox
