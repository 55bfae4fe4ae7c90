// The event source and the alert presenter of a scope, both put back when it ends.
#include "input/ScopedEventSource.h"

#include "alerts/AlertWindow.h"

struct toolbox::ScopedEventSource::SavedPresenter {
    AlertPresenter presenter;
};

namespace toolbox {

ScopedEventSource::ScopedEventSource(EventSource* source)
    : previous_(SetEventSource(source)),
      savedPresenter_(std::make_unique<SavedPresenter>(SavedPresenter{SetAlertPresenter(PresentAlertInWindow)})) {}

ScopedEventSource::~ScopedEventSource() {
    SetAlertPresenter(std::move(savedPresenter_->presenter));
    SetEventSource(previous_);
}

}  // namespace toolbox
