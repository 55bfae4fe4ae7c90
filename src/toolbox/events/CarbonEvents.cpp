// Events, handler chains and toolbox object classes. Handlers may remove themselves or
// dispose of their window while an event is travelling, so a dispatch holds its chain by
// shared ownership and skips entries that were removed on the way.
#include "events/CarbonEvents.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <unordered_set>

struct OpaqueEventRef {
    struct Param {
        EventParamType type;
        std::vector<UInt8> bytes;
    };
    EventClass eventClass = 0;
    EventKind kind = 0;
    EventTime time = 0;
    long refCount = 1;
    std::map<EventParamName, Param> params;
};

struct OpaqueEventHandlerRef {
    EventHandlerUPP proc = nullptr;
    void* userData = nullptr;
    std::vector<EventTypeSpec> types;
    EventTargetRef target = nullptr;
    bool removed = false;

    bool Wants(EventClass cls, EventKind kind) const {
        return !removed && std::any_of(types.begin(), types.end(), [&](const EventTypeSpec& t) {
                   return t.eventClass == cls && t.eventKind == kind;
               });
    }
};

struct OpaqueEventTargetRef {
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> handlers;  // newest first
    toolbox::TargetLinks links;
};

struct OpaqueToolboxObjectClassRef {
    std::string classID;
    ToolboxObjectClassRef base = nullptr;
    std::shared_ptr<OpaqueEventHandlerRef> handler;
    long instances = 0;
};

struct OpaqueEventHandlerCallRef {
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> chain;
    std::size_t next = 0;
};

namespace {

UInt32 gModifiers = 0;

std::unordered_set<OpaqueEventHandlerRef*>& LiveHandlers() {
    static std::unordered_set<OpaqueEventHandlerRef*> live;
    return live;
}
std::unordered_set<EventTargetRef>& LiveTargets() {
    static std::unordered_set<EventTargetRef> live;
    return live;
}
std::map<std::string, std::unique_ptr<OpaqueToolboxObjectClassRef>>& Classes() {
    static std::map<std::string, std::unique_ptr<OpaqueToolboxObjectClassRef>> classes;
    return classes;
}

bool IsLiveClass(ToolboxObjectClassRef ref) {
    for (auto& [id, cls] : Classes())
        if (cls.get() == ref) return true;
    return false;
}

// Own handlers, then the handlers of the object's class and its base classes, then the
// same for the parent target, up to the application.
std::vector<std::shared_ptr<OpaqueEventHandlerRef>> ChainFor(EventTargetRef target, EventRef event) {
    std::vector<std::shared_ptr<OpaqueEventHandlerRef>> chain;
    for (int depth = 0; target && depth < 64; ++depth) {
        for (auto& h : target->handlers)
            if (h->Wants(event->eventClass, event->kind)) chain.push_back(h);
        for (ToolboxObjectClassRef cls = target->links.objectClass; cls && IsLiveClass(cls); cls = cls->base)
            if (cls->handler && cls->handler->Wants(event->eventClass, event->kind)) chain.push_back(cls->handler);
        target = target->links.parent;
        if (target && !LiveTargets().count(target)) break;
    }
    return chain;
}

OSStatus RunChain(OpaqueEventHandlerCallRef& call, EventRef event) {
    while (call.next < call.chain.size()) {
        std::shared_ptr<OpaqueEventHandlerRef> h = call.chain[call.next++];
        if (h->removed) continue;
        OSStatus status = h->proc(&call, event, h->userData);
        if (status != eventNotHandledErr) return status;
    }
    return eventNotHandledErr;
}

}  // namespace

OSStatus CreateEvent(CFAllocatorRef, EventClass inClassID, EventKind kind, EventTime when, EventAttributes,
                     EventRef* outEvent) {
    if (outEvent == nullptr) return paramErr;
    auto* event = new OpaqueEventRef;
    event->eventClass = inClassID;
    event->kind = kind;
    event->time = when == 0 ? GetCurrentEventTime() : when;
    *outEvent = event;
    return noErr;
}

EventRef RetainEvent(EventRef inEvent) {
    if (inEvent) ++inEvent->refCount;
    return inEvent;
}

void ReleaseEvent(EventRef inEvent) {
    if (inEvent && --inEvent->refCount == 0) delete inEvent;
}

EventClass GetEventClass(EventRef inEvent) { return inEvent ? inEvent->eventClass : 0; }
EventKind GetEventKind(EventRef inEvent) { return inEvent ? inEvent->kind : 0; }
EventTime GetEventTime(EventRef inEvent) { return inEvent ? inEvent->time : 0; }

EventTime GetCurrentEventTime() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

OSStatus GetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inDesiredType,
                           EventParamType* outActualType, ByteCount inBufferSize, ByteCount* outActualSize,
                           void* outData) {
    if (inEvent == nullptr) return paramErr;
    auto it = inEvent->params.find(inName);
    if (it == inEvent->params.end()) return eventParameterNotFoundErr;
    const auto& p = it->second;
    if (inDesiredType != typeWildCard && inDesiredType != p.type) return errCoercionFailed;
    if (outActualType) *outActualType = p.type;
    if (outActualSize) *outActualSize = p.bytes.size();
    if (outData && !p.bytes.empty()) std::memcpy(outData, p.bytes.data(), std::min<ByteCount>(inBufferSize, p.bytes.size()));
    return noErr;
}

OSStatus SetEventParameter(EventRef inEvent, EventParamName inName, EventParamType inType, ByteCount inSize,
                           const void* inPtr) {
    if (inEvent == nullptr || (inPtr == nullptr && inSize > 0) || inSize > (1u << 20)) return paramErr;
    auto& p = inEvent->params[inName];
    p.type = inType;
    p.bytes.assign(static_cast<const UInt8*>(inPtr), static_cast<const UInt8*>(inPtr) + inSize);
    return noErr;
}

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr userRoutine) { return userRoutine; }
void DisposeEventHandlerUPP(EventHandlerUPP) {}

OSStatus InstallEventHandler(EventTargetRef inTarget, EventHandlerUPP inHandler, ItemCount inNumTypes,
                             const EventTypeSpec* inList, void* inUserData, EventHandlerRef* outRef) {
    if (outRef) *outRef = nullptr;
    if (inTarget == nullptr || !LiveTargets().count(inTarget) || inHandler == nullptr ||
        (inNumTypes > 0 && inList == nullptr) || inNumTypes > 4096)
        return paramErr;
    auto h = std::make_shared<OpaqueEventHandlerRef>();
    h->proc = inHandler;
    h->userData = inUserData;
    h->types.assign(inList, inList + inNumTypes);
    h->target = inTarget;
    inTarget->handlers.insert(inTarget->handlers.begin(), h);
    LiveHandlers().insert(h.get());
    if (outRef) *outRef = h.get();
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef inHandlerRef) {
    if (inHandlerRef == nullptr || !LiveHandlers().count(inHandlerRef)) return paramErr;
    inHandlerRef->removed = true;
    LiveHandlers().erase(inHandlerRef);
    auto& list = inHandlerRef->target->handlers;
    list.erase(std::remove_if(list.begin(), list.end(), [&](auto& h) { return h.get() == inHandlerRef; }),
               list.end());
    return noErr;
}

OSStatus CallNextEventHandler(EventHandlerCallRef inCallRef, EventRef inEvent) {
    if (inCallRef == nullptr || inEvent == nullptr) return paramErr;
    return RunChain(*inCallRef, inEvent);
}

OSStatus SendEventToEventTarget(EventRef inEvent, EventTargetRef inTarget) {
    if (inEvent == nullptr || inTarget == nullptr || !LiveTargets().count(inTarget)) return paramErr;
    OpaqueEventHandlerCallRef call;
    call.chain = ChainFor(inTarget, inEvent);
    RetainEvent(inEvent);
    OSStatus status = RunChain(call, inEvent);
    ReleaseEvent(inEvent);
    return status;
}

EventTargetRef GetApplicationEventTarget() {
    static EventTargetRef app = toolbox::NewEventTarget({});
    return app;
}

UInt32 GetCurrentKeyModifiers() { return gModifiers; }

OSStatus RegisterToolboxObjectClass(CFStringRef inClassID, ToolboxObjectClassRef inBaseClass, ItemCount inNumEvents,
                                    const EventTypeSpec* inEventList, EventHandlerUPP inEventHandler,
                                    void* inEventHandlerData, ToolboxObjectClassRef* outClassRef) {
    if (outClassRef) *outClassRef = nullptr;
    std::string id = toolbox::CFStringToUTF8(inClassID);
    if (id.empty() || (inNumEvents > 0 && inEventList == nullptr) || inNumEvents > 4096 ||
        (inBaseClass && !IsLiveClass(inBaseClass)))
        return paramErr;
    if (Classes().count(id)) return hiObjectClassExistsErr;
    auto cls = std::make_unique<OpaqueToolboxObjectClassRef>();
    cls->classID = id;
    cls->base = inBaseClass;
    if (inEventHandler) {
        cls->handler = std::make_shared<OpaqueEventHandlerRef>();
        cls->handler->proc = inEventHandler;
        cls->handler->userData = inEventHandlerData;
        cls->handler->types.assign(inEventList, inEventList + inNumEvents);
    }
    if (outClassRef) *outClassRef = cls.get();
    Classes()[id] = std::move(cls);
    return noErr;
}

OSStatus UnregisterToolboxObjectClass(ToolboxObjectClassRef inClassRef) {
    if (inClassRef == nullptr || !IsLiveClass(inClassRef)) return paramErr;
    if (inClassRef->instances > 0) return hiObjectClassHasInstancesErr;
    for (auto& [id, cls] : Classes())
        if (cls->base == inClassRef) return hiObjectClassHasInstancesErr;
    if (inClassRef->handler) inClassRef->handler->removed = true;
    Classes().erase(inClassRef->classID);
    return noErr;
}

namespace toolbox {

EventTargetRef NewEventTarget(TargetLinks links) {
    auto* target = new OpaqueEventTargetRef;
    target->links = links;
    LiveTargets().insert(target);
    return target;
}

void DisposeEventTarget(EventTargetRef target) {
    if (target == nullptr || !LiveTargets().erase(target)) return;
    for (auto& h : target->handlers) {
        h->removed = true;
        LiveHandlers().erase(h.get());
    }
    delete target;
}

void SetTargetLinks(EventTargetRef target, TargetLinks links) {
    if (target && LiveTargets().count(target)) target->links = links;
}

ToolboxObjectClassRef FindToolboxObjectClass(const std::string& classID) {
    auto it = Classes().find(classID);
    return it == Classes().end() ? nullptr : it->second.get();
}

std::string ToolboxObjectClassID(ToolboxObjectClassRef ref) {
    return ref && IsLiveClass(ref) ? ref->classID : std::string();
}

void RetainClassInstance(ToolboxObjectClassRef ref) {
    for (; ref; ref = ref->base) ++ref->instances;
}
void ReleaseClassInstance(ToolboxObjectClassRef ref) {
    for (; ref; ref = ref->base) --ref->instances;
}

void SetCurrentKeyModifiers(UInt32 modifiers) { gModifiers = modifiers; }

ScopedEvent::ScopedEvent(EventClass cls, EventKind kind) { CreateEvent(nullptr, cls, kind, 0, 0, &event_); }

}  // namespace toolbox
