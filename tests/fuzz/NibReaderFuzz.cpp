// Fuzzes the nib reader and the windows it describes: parsing, then making, showing and
// drawing every window of a reasonable size, then disposing of it. Nothing may crash,
// leak a window or touch memory it does not own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "controls/Controls.h"
#include "windows/Nib.h"
#include "windows/NibReader.h"

namespace {

OSStatus FuzzControlHandler(EventHandlerCallRef, EventRef event, void*) {
    ControlRef c = nullptr;
    GetEventParameter(event, kEventParamDirectObject, typeControlRef, nullptr, sizeof c, nullptr, &c);
    if (GetEventKind(event) != kEventControlDraw || c == nullptr) return eventNotHandledErr;
    Rect r;
    GetControlBounds(c, &r);
    PaintRect(&r);
    return noErr;
}

void RegisterFuzzClass() {
    static bool done = [] {
        EventTypeSpec events[] = {{kEventClassControl, kEventControlDraw}, {kEventClassControl, kEventControlHitTest}};
        ToolboxObjectClassRef cls = nullptr;
        RegisterToolboxObjectClass(CFSTR("fuzz.probe"), nullptr, 2, events, FuzzControlHandler, nullptr, &cls);
        return true;
    }();
    (void)done;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    RegisterFuzzClass();
    std::string_view text(reinterpret_cast<const char*>(data), size);
    toolbox::NibDocument doc;
    std::string error;
    if (!toolbox::ParseNib(text, &doc, &error)) return 0;
    IBNibRef nib = nullptr;
    if (toolbox::CreateNibReferenceFromText(text, &nib) != noErr) std::abort();  // the two readers must agree
    for (const toolbox::NibWindow& described : doc.windows) {
        if (described.width > 640 || described.height > 480) continue;  // keep each run fast
        CFStringRef name = CFStringCreateWithCString(nullptr, described.name.c_str(), kCFStringEncodingUTF8);
        WindowRef window = nullptr;
        OSStatus status = CreateWindowFromNib(nib, name, &window);
        CFRelease(name);
        if (status == noErr) {
            ShowWindow(window);
            DisposeWindow(window);
        }
    }
    DisposeNibReference(nib);
    if (toolbox::LiveWindowCount() != 0) std::abort();
    return 0;
}
