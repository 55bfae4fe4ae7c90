// Carbon Event Manager stand-in: events with typed parameters, event targets with handler
// chains (control, window, menu, application), HICommands, toolbox object classes for
// custom controls, and the keyboard modifiers of the input being handled.
#pragma once

#include <vector>

#include "MacTypes.h"
#include "corefoundation/CFString.h"

struct OpaqueEventRef;
typedef OpaqueEventRef* EventRef;
struct OpaqueEventHandlerRef;
typedef OpaqueEventHandlerRef* EventHandlerRef;
struct OpaqueEventHandlerCallRef;
typedef OpaqueEventHandlerCallRef* EventHandlerCallRef;
struct OpaqueEventTargetRef;
typedef OpaqueEventTargetRef* EventTargetRef;
struct OpaqueToolboxObjectClassRef;
typedef OpaqueToolboxObjectClassRef* ToolboxObjectClassRef;
struct OpaqueWindowPtr;
typedef OpaqueWindowPtr* WindowRef;
typedef WindowRef WindowPtr;
struct OpaqueControlRef;
typedef OpaqueControlRef* ControlRef;
struct OpaqueMenuRef;
typedef OpaqueMenuRef* MenuRef;

typedef UInt32 EventClass;
typedef UInt32 EventKind;
typedef OSType EventParamName;
typedef OSType EventParamType;
typedef double EventTime;
typedef UInt32 EventAttributes;
typedef unsigned long ByteCount;
typedef unsigned long ItemCount;
typedef UInt16 MenuItemIndex;
typedef SInt16 ControlPartCode;

struct EventTypeSpec {
    EventClass eventClass;
    EventKind eventKind;
};

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef inHandlerCallRef, EventRef inEvent, void* inUserData);
typedef EventHandlerProcPtr EventHandlerUPP;

// Packed as the toolbox lays it out: no padding between the fields.
#pragma pack(push, 2)
struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        MenuRef menuRef;
        MenuItemIndex menuItemIndex;
    } menu;
};
struct HICommandExtended {
    UInt32 attributes;
    UInt32 commandID;
    union {
        ControlRef control;
        WindowRef window;
        struct {
            MenuRef menuRef;
            MenuItemIndex menuItemIndex;
        } menu;
    } source;
};
#pragma pack(pop)

enum : UInt32 {
    kHICommandFromMenu = 1u << 0,
    kHICommandFromControl = 1u << 1,
    kHICommandFromWindow = 1u << 2,
};

// Event classes.
enum : EventClass {
    kEventClassMouse = FOUR_CHAR_CODE("mous"),
    kEventClassKeyboard = FOUR_CHAR_CODE("keyb"),
    kEventClassApplication = FOUR_CHAR_CODE("appl"),
    kEventClassMenu = FOUR_CHAR_CODE("menu"),
    kEventClassWindow = FOUR_CHAR_CODE("wind"),
    kEventClassControl = FOUR_CHAR_CODE("cntl"),
    kEventClassCommand = FOUR_CHAR_CODE("cmds"),
};

// Event kinds used by the stand-in.
enum : EventKind {
    kEventCommandProcess = 1,
    kEventCommandUpdateStatus = 2,
    kEventRawKeyDown = 1,
    kEventRawKeyRepeat = 2,
    kEventRawKeyUp = 3,
    kEventRawKeyModifiersChanged = 4,
    kEventMouseDown = 1,
    kEventMouseUp = 2,
    kEventMouseMoved = 5,
    kEventMouseDragged = 6,
    kEventControlHit = 1,
    kEventControlSimulateHit = 2,
    kEventControlHitTest = 3,
    kEventControlDraw = 4,
    kEventControlActivate = 9,
    kEventControlDeactivate = 10,
    kEventControlTrack = 51,
    kEventControlValueFieldChanged = 151,
    kEventControlOwningWindowChanged = 159,
    kEventWindowActivated = 5,
    kEventWindowDeactivated = 6,
    kEventWindowClose = 72,
};

// Parameter names.
enum : EventParamName {
    kEventParamDirectObject = FOUR_CHAR_CODE("----"),
    kEventParamWindowRef = FOUR_CHAR_CODE("wind"),
    kEventParamControlRef = FOUR_CHAR_CODE("ctrl"),
    kEventParamMouseLocation = FOUR_CHAR_CODE("mloc"),
    kEventParamKeyModifiers = FOUR_CHAR_CODE("kmod"),
    kEventParamKeyMacCharCodes = FOUR_CHAR_CODE("kchr"),
    kEventParamKeyCode = FOUR_CHAR_CODE("kcod"),
    kEventParamControlPart = FOUR_CHAR_CODE("cprt"),
    kEventParamControlAction = FOUR_CHAR_CODE("caup"),
    kEventParamControlOriginalOwningWindow = FOUR_CHAR_CODE("coow"),
    kEventParamControlCurrentOwningWindow = FOUR_CHAR_CODE("ccow"),
    kEventParamGrafPort = FOUR_CHAR_CODE("graf"),
    kEventParamMouseButton = FOUR_CHAR_CODE("mbtn"),
    kEventParamClickCount = FOUR_CHAR_CODE("ccnt"),
};

// Parameter types.
enum : EventParamType {
    typeWildCard = FOUR_CHAR_CODE("****"),
    typeWindowRef = FOUR_CHAR_CODE("wind"),
    typeControlRef = FOUR_CHAR_CODE("ctrl"),
    typeMenuRef = FOUR_CHAR_CODE("menu"),
    typeQDPoint = FOUR_CHAR_CODE("QDpt"),
    typeUInt32 = FOUR_CHAR_CODE("magn"),
    typeSInt32 = FOUR_CHAR_CODE("long"),
    typeSInt16 = FOUR_CHAR_CODE("shor"),
    typeUInt16 = FOUR_CHAR_CODE("ushr"),
    typeChar = FOUR_CHAR_CODE("TEXT"),
    typeHICommand = FOUR_CHAR_CODE("hcmd"),
    typeControlPartCode = FOUR_CHAR_CODE("cprt"),
    typeControlActionUPP = FOUR_CHAR_CODE("caup"),
    typeGrafPtr = FOUR_CHAR_CODE("graf"),
    typeBoolean = FOUR_CHAR_CODE("bool"),
    typeMouseButton = FOUR_CHAR_CODE("mbtn"),
};

// Keyboard modifier bits, as GetCurrentKeyModifiers reports them.
enum : UInt32 {
    btnState = 1u << 7,
    cmdKey = 1u << 8,
    shiftKey = 1u << 9,
    alphaLock = 1u << 10,
    optionKey = 1u << 11,
    controlKey = 1u << 12,
};

// Commands the toolbox knows by name.
enum : UInt32 {
    kHICommandOK = FOUR_CHAR_CODE("ok  "),
    kHICommandCancel = FOUR_CHAR_CODE("not!"),
    kHICommandQuit = FOUR_CHAR_CODE("quit"),
    kHICommandAbout = FOUR_CHAR_CODE("abou"),
};

enum : OSStatus {
    eventAlreadyPostedErr = -9860,
    eventTargetBusyErr = -9861,
    eventClassInvalidErr = -9862,
    eventClassIncorrectErr = -9864,
    eventHandlerAlreadyInstalledErr = -9866,
    eventInternalErr = -9868,
    eventKindIncorrectErr = -9869,
    eventParameterNotFoundErr = -9870,
    eventLoopTimedOutErr = -9875,
    eventLoopQuitErr = -9876,
    eventNotInQueueErr = -9877,
    hiObjectClassExistsErr = -22080,
    hiObjectClassHasInstancesErr = -22081,
    errCoercionFailed = -1700,
};

// --- Events ------------------------------------------------------------------------
OSStatus CreateEvent(CFAllocatorRef inAllocator, EventClass inClassID, EventKind kind, EventTime when,
                     EventAttributes flags, EventRef* outEvent);
EventRef RetainEvent(EventRef inEvent);
void ReleaseEvent(EventRef inEvent);
EventClass GetEventClass(EventRef inEvent);
EventKind GetEventKind(EventRef inEvent);
EventTime GetEventTime(EventRef inEvent);
EventTime GetCurrentEventTime();
// The parameter's type must be the one asked for (or typeWildCard). At most inBufferSize
// bytes are copied; outActualSize tells the parameter's whole size.
OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData);
OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inPtr);

// --- Handlers and targets -------------------------------------------------------------
EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine);
void DisposeEventHandlerUPP(EventHandlerUPP userUPP);
OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef);
OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef);
OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent);
// Offers the event to the target's handlers, then to the targets it belongs to.
OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget);
EventTargetRef GetApplicationEventTarget();
EventTargetRef GetWindowEventTarget(WindowRef inWindow);
EventTargetRef GetControlEventTarget(ControlRef inControl);
EventTargetRef GetMenuEventTarget(MenuRef inMenu);
// Sends kEventCommandProcess to the user focus: the frontmost window, then the application.
OSStatus ProcessHICommand(const HICommand* inCommand);
UInt32 GetCurrentKeyModifiers();

// --- Toolbox object classes (custom controls) -------------------------------------------
OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef inBaseClass,
                                    ItemCount inNumEvents, const EventTypeSpec* inEventList,
                                    EventHandlerUPP inEventHandler, void* inEventHandlerData,
                                    ToolboxObjectClassRef* outClassRef);
// Fails with hiObjectClassHasInstancesErr while controls of the class are alive.
OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef);

namespace toolbox {

// The chain an event travels after a target's own handlers.
struct TargetLinks {
    EventTargetRef parent = nullptr;                 // window for a control, application for a window
    ToolboxObjectClassRef objectClass = nullptr;     // class handlers run after the target's own
};

// Targets are made and destroyed by the managers that own windows, controls and menus.
EventTargetRef NewEventTarget(TargetLinks links);
void DisposeEventTarget(EventTargetRef target);
void SetTargetLinks(EventTargetRef target, TargetLinks links);

ToolboxObjectClassRef FindToolboxObjectClass(const std::string& classID);
std::string ToolboxObjectClassID(ToolboxObjectClassRef ref);
// Counts of live instances keep a class from being unregistered under its controls.
void RetainClassInstance(ToolboxObjectClassRef ref);
void ReleaseClassInstance(ToolboxObjectClassRef ref);

// The modifiers of the input now being handled; set by the input dispatcher.
void SetCurrentKeyModifiers(UInt32 modifiers);

// Owns an event for a scope.
class ScopedEvent {
public:
    ScopedEvent(EventClass cls, EventKind kind);
    ~ScopedEvent() { ReleaseEvent(event_); }
    ScopedEvent(const ScopedEvent&) = delete;
    ScopedEvent& operator=(const ScopedEvent&) = delete;
    EventRef get() const { return event_; }
    template <typename T>
    void Set(EventParamName name, EventParamType type, const T& value) {
        SetEventParameter(event_, name, type, sizeof(T), &value);
    }

private:
    EventRef event_ = nullptr;
};

}  // namespace toolbox
