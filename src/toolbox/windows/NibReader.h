// Reads nib files: an XML description of named windows and their controls. Reading only
// builds a description; Nib.h turns a described window into a real one.
//
//   <nib>
//     <window name="configNTSC" title="Tonefade" width="620" height="460"
//             [left= top=] [class="movableModal|modal|document|alert|movableAlert|floating|utility|plain"]
//             [attributes="closeBox collapseBox resizable standardHandler compositing liveResize ..."]>
//       <control kind="pushButton|slider|staticText|editText|popupButton|custom"
//                [signature="Sldr" id="1"] left= top= width= height= [title=] [min= max= value=]
//                [command="ok  "] [visible=] [enabled=] [live=] [default=] [cancel=] [bold=]
//                [password=] [size=] [align="left|center|right"] [class="com.example.custom"]>
//         <item>NTSC</item> ...   (pop-up buttons only)
//       </control>
//     </window>
//   </nib>
//
// Coordinates are the window's content, (0, 0) at its top left; texts are UTF-8.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "controls/Controls.h"
#include "windows/MacWindows.h"

namespace toolbox {

struct NibControl {
    ControlKind kind = ControlKind::StaticText;
    ControlID id{0, 0};
    Rect bounds{};
    std::string title;  // UTF-8
    SInt32 minimum = 0;
    SInt32 maximum = 0;
    SInt32 value = 0;
    UInt32 command = 0;
    bool visible = true;
    bool enabled = true;
    bool live = false;
    bool isDefault = false;
    bool isCancel = false;
    bool bold = false;
    bool password = false;
    SInt16 fontSize = 0;
    SInt16 just = teFlushDefault;
    std::vector<std::string> items;  // pop-up items, UTF-8
    std::string classID;             // custom controls
};

struct NibWindow {
    std::string name;
    std::string title;
    WindowClass windowClass = kMovableModalWindowClass;
    WindowAttributes attributes = kWindowStandardHandlerAttribute;
    short width = 0;
    short height = 0;
    std::optional<Point> position;  // global top-left of the content; centred when absent
    std::vector<NibControl> controls;
    std::string error;  // set when this window's description is malformed
};

struct NibDocument {
    std::vector<NibWindow> windows;
};

// Limits that keep a hostile nib from asking for unbounded work or memory.
constexpr std::size_t kNibMaxBytes = 4u << 20;
constexpr std::size_t kNibMaxWindows = 256;
constexpr std::size_t kNibMaxControls = 2048;
constexpr std::size_t kNibMaxItems = 1024;
constexpr std::size_t kNibMaxText = 32767;

// False with a reason when the text is not a nib at all. A window whose description is
// wrong is kept with its `error` set, so the nib's other windows still open.
bool ParseNib(std::string_view text, NibDocument* out, std::string* error);
const NibWindow* FindNibWindow(const NibDocument& doc, const std::string& name);

}  // namespace toolbox
