// Reference counting shared by every Core Foundation object of the stand-in.
#include "corefoundation/CFObject.h"

#include "corefoundation/CFString.h"

namespace {
long gLiveObjects = 0;
}

namespace toolbox {

CFObject::CFObject() { ++gLiveObjects; }
CFObject::~CFObject() { --gLiveObjects; }
long LiveCFObjectCount() { return gLiveObjects; }

}  // namespace toolbox

CFTypeRef CFRetain(CFTypeRef cf) {
    if (cf) ++static_cast<toolbox::CFObject*>(const_cast<void*>(cf))->refCount;
    return cf;
}

void CFRelease(CFTypeRef cf) {
    if (cf == nullptr) return;
    auto* object = static_cast<toolbox::CFObject*>(const_cast<void*>(cf));
    if (object->immortal) return;
    if (--object->refCount == 0) delete object;
}
