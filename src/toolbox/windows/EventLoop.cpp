// Modal loops and input dispatch. Every loop takes its input from the current event source;
// a loop whose input has ended is cancelled, so a host run by a script never hangs.
#include "windows/EventLoop.h"

#include <vector>

#include "windows/WindowInternals.h"

namespace {

struct LoopFrame {
    WindowRef window;
    bool quit = false;
};

std::vector<LoopFrame*>& Loops() {
    static std::vector<LoopFrame*> loops;
    return loops;
}

bool gQuitApplication = false;

class LoopRegistration {
public:
    explicit LoopRegistration(LoopFrame* frame) { Loops().push_back(frame); }
    ~LoopRegistration() { Loops().pop_back(); }
    LoopRegistration(const LoopRegistration&) = delete;
    LoopRegistration& operator=(const LoopRegistration&) = delete;
};

LoopFrame* InnermostLoopFor(WindowRef window) {
    for (auto it = Loops().rbegin(); it != Loops().rend(); ++it)
        if ((*it)->window == window && !(*it)->quit) return *it;
    return nullptr;
}

// The button that Cancel means: the window's cancel button, else one that sends Cancel.
ControlRef CancelButtonOf(WindowRef window) {
    if (ControlRef c = toolbox::WindowCancelButton(window)) return c;
    for (auto& c : window->controls)
        if (c->kind == toolbox::ControlKind::PushButton && c->command == kHICommandCancel) return c.get();
    return nullptr;
}

void DispatchMouseDown(const toolbox::InputEvent& input, WindowRef modalWindow) {
    WindowRef w = toolbox::FindWindowAt(input.where);
    if (w == nullptr || (modalWindow && w != modalWindow)) return;  // other windows are blocked
    if (w != FrontWindow()) {
        // The first click on a window behind only brings it forward, as on the Mac.
        SelectWindow(w);
        return;
    }
    Point local{SInt16(input.where.v - w->bounds.top), SInt16(input.where.h - w->bounds.left)};
    if (ControlRef c = FindControlUnderMouse(local, w, nullptr)) HandleControlClick(c, local, input.modifiers, kControlUseOwnAction);
}

}  // namespace

namespace toolbox {

void DispatchInput(const InputEvent& input, WindowRef modalWindow) {
    switch (input.type) {
        case InputType::MouseDown: DispatchMouseDown(input, modalWindow); break;
        case InputType::KeyDown: {
            WindowRef w = modalWindow ? modalWindow : FrontWindow();
            if (w) HandleKeyInWindow(w, input.charCode, input.keyCode, input.modifiers);
            break;
        }
        case InputType::Command: {
            HICommand command{0, input.command, {nullptr, 0}};
            ProcessHICommand(&command);
            break;
        }
        default: break;  // moves and releases outside a tracking loop mean nothing
    }
}

void CancelModalLoop(WindowRef window) {
    if (!IsLiveWindow(window)) return;
    ControlRef cancel = CancelButtonOf(window);
    if (cancel && cancel->visible && cancel->enabled) PressButton(cancel, 0);
    if (LoopFrame* frame = InnermostLoopFor(window)) frame->quit = true;
}

int ModalLoopDepth() { return int(Loops().size()); }

bool IsModalLoopRunning(WindowRef window) { return InnermostLoopFor(window) != nullptr; }

}  // namespace toolbox

OSStatus RunAppModalLoopForWindow(WindowRef inWindow) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    LoopFrame frame{inWindow};
    LoopRegistration registration(&frame);
    while (!frame.quit && toolbox::IsLiveWindow(inWindow)) {
        toolbox::InputEvent input = toolbox::NextInput();
        if (input.type == toolbox::InputType::End)
            toolbox::CancelModalLoop(inWindow);
        else
            toolbox::DispatchInput(input, inWindow);
    }
    return noErr;
}

OSStatus QuitAppModalLoopForWindow(WindowRef inWindow) {
    if (!toolbox::IsLiveWindow(inWindow)) return errInvalidWindowRef;
    LoopFrame* frame = InnermostLoopFor(inWindow);
    if (frame == nullptr) return errWindowNotFound;
    frame->quit = true;
    return noErr;
}

void RunApplicationEventLoop() {
    gQuitApplication = false;
    while (!gQuitApplication) {
        toolbox::InputEvent input = toolbox::NextInput();
        if (input.type == toolbox::InputType::End) break;
        toolbox::DispatchInput(input, nullptr);
    }
    gQuitApplication = false;
}

void QuitApplicationEventLoop() { gQuitApplication = true; }

// The user focus is the frontmost window; without one the application takes the command.
OSStatus ProcessHICommand(const HICommand* inCommand) {
    if (inCommand == nullptr) return paramErr;
    toolbox::ScopedEvent event(kEventClassCommand, kEventCommandProcess);
    event.Set(kEventParamDirectObject, typeHICommand, *inCommand);
    WindowRef front = FrontWindow();
    return SendEventToEventTarget(event.get(), front ? GetWindowEventTarget(front) : GetApplicationEventTarget());
}

OSStatus TrackMouseLocation(GrafPtr inPort, Point* outPt, MouseTrackingResult* outResult) {
    GrafPtr port = inPort;
    if (port == nullptr) GetPort(&port);
    const UInt32 modifiersBefore = GetCurrentKeyModifiers();
    MouseTrackingResult result = kMouseTrackingMouseUp;
    for (;;) {
        toolbox::InputEvent e = toolbox::NextInput();
        if (e.type == toolbox::InputType::KeyDown || e.type == toolbox::InputType::Command ||
            e.type == toolbox::InputType::ModifiersChanged) {
            if (e.type != toolbox::InputType::Command && e.modifiers != modifiersBefore) {
                result = kMouseTrackingKeyModifiersChanged;
                break;
            }
            continue;
        }
        result = e.type == toolbox::InputType::MouseDown     ? kMouseTrackingMouseDown
                 : e.type == toolbox::InputType::MouseDragged ? kMouseTrackingMouseDragged
                 : e.type == toolbox::InputType::MouseMoved   ? kMouseTrackingMouseMoved
                                                              : kMouseTrackingMouseUp;
        break;
    }
    Point where = toolbox::LastMouseLocation();
    if (WindowRef w = GetWindowFromPort(port)) {
        Rect bounds;
        GetWindowBounds(w, kWindowContentRgn, &bounds);
        where.h = SInt16(where.h - bounds.left);
        where.v = SInt16(where.v - bounds.top);
    }
    if (outPt) *outPt = where;
    if (outResult) *outResult = result;
    return noErr;
}
