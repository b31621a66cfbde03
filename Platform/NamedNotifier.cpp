#include "NamedNotifier.h"

namespace ondrake {

NotificationObservation &NotificationObservation::operator=(NotificationObservation &&other) noexcept {
    if (this != &other) {
        cancel();
        unregister_ = std::exchange(other.unregister_, {});
    }
    return *this;
}

void NotificationObservation::cancel() {
    if (auto unregister = std::exchange(unregister_, {})) unregister();
}

}  // namespace ondrake
