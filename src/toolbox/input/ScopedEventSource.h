// Installing an event source for a scope, with standard alerts shown as windows that the
// source answers (a person at the display, or the script's `answer` lines).
#pragma once

#include <memory>

#include "events/EventSource.h"

namespace toolbox {

// Makes a source current for a scope, with standard alerts shown as windows that the
// source answers; both are put back as they were when the scope ends.
class ScopedEventSource {
public:
    explicit ScopedEventSource(EventSource* source);
    ~ScopedEventSource();
    ScopedEventSource(const ScopedEventSource&) = delete;
    ScopedEventSource& operator=(const ScopedEventSource&) = delete;

private:
    EventSource* previous_;
    struct SavedPresenter;
    std::unique_ptr<SavedPresenter> savedPresenter_;
};

}  // namespace toolbox
