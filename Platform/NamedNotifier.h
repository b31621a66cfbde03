#pragma once

#include <QString>

#include <functional>
#include <utility>

namespace ondrake {

// Keeps one observer of a named notification registered. Destroying or cancelling it unregisters
// the observer, after which its callback never runs again, not even for a post already on its way.
// Main thread.
class NotificationObservation {
public:
    NotificationObservation() = default;
    explicit NotificationObservation(std::function<void()> unregister) : unregister_(std::move(unregister)) {}
    NotificationObservation(NotificationObservation &&other) noexcept : unregister_(std::exchange(other.unregister_, {})) {}
    NotificationObservation &operator=(NotificationObservation &&other) noexcept;
    NotificationObservation(const NotificationObservation &) = delete;
    NotificationObservation &operator=(const NotificationObservation &) = delete;
    ~NotificationObservation() { cancel(); }

    void cancel();
    bool isActive() const { return bool(unregister_); }

private:
    std::function<void()> unregister_;
};

// Notifications that carry nothing but a name and reach every process of the user that observes
// that name, this one included.
class NamedNotifier {
public:
    virtual ~NamedNotifier() = default;

    // Delivers `name` to its observers before returning where the transport allows. Any thread.
    virtual void post(const QString &name) = 0;
    // Calls `callback` on the main thread for every later post of `name`, from whatever thread or
    // process it came, until the observation ends.
    [[nodiscard]] virtual NotificationObservation observe(const QString &name, std::function<void()> callback) = 0;
};

}  // namespace ondrake
