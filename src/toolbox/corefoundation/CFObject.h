// The common base of Core Foundation objects: a reference count and a virtual destructor.
#pragma once

namespace toolbox {

struct CFObject {
    CFObject();
    virtual ~CFObject();
    CFObject(const CFObject&) = delete;
    CFObject& operator=(const CFObject&) = delete;
    long refCount = 1;
    bool immortal = false;  // constant strings are never freed
};

}  // namespace toolbox
