#pragma once

#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace ondrake {

// The platform's Accessibility interface: elements of another process's user interface, their
// attributes, and observers of that process's notifications. Whether this process may use it at
// all is answered by Privacy; without that trust every read fails.

class AXValue;

enum class AXError : std::int32_t {
    success = 0,
    failure = -25200,
    illegalArgument = -25201,
    invalidUIElement = -25202,
    invalidUIElementObserver = -25203,
    cannotComplete = -25204,  // also what a read that ran past the messaging timeout answers
    attributeUnsupported = -25205,
    notificationUnsupported = -25207,
    notImplemented = -25208,
    notificationAlreadyRegistered = -25209,
    notificationNotRegistered = -25210,
    apiDisabled = -25211,
    noValue = -25212,
};

QString toString(AXError error);

// A reply of the interface: a value, or the error that took its place.
template<typename T>
class AXResult {
public:
    AXResult(T value) : value_(std::move(value)), error_(AXError::success) {}
    AXResult(AXError error) : error_(error == AXError::success ? AXError::failure : error) {}

    bool ok() const { return value_.has_value(); }
    AXError error() const { return error_; }
    const std::optional<T> &value() const & { return value_; }
    std::optional<T> &&value() && { return std::move(value_); }

private:
    std::optional<T> value_;
    AXError error_;
};

// What stands behind an element reference. Implemented by each Accessibility world.
class AccessibilityNode {
public:
    virtual ~AccessibilityNode() = default;

    virtual AXResult<AXValue> attributeValue(const QString &attribute) const = 0;
    virtual AXResult<QStringList> attributeNames() const = 0;
    virtual AXError setMessagingTimeout(double seconds) const = 0;
    virtual bool isSameElement(const AccessibilityNode &other) const = 0;
};

// A reference to one element of another process's interface. Copies refer to the same element;
// two references are equal when they name the same element, however they were obtained.
class AXUIElement {
public:
    explicit AXUIElement(std::shared_ptr<const AccessibilityNode> node);

    AXResult<AXValue> copyAttributeValue(const QString &attribute) const;
    AXResult<QStringList> copyAttributeNames() const;
    // Bounds how long one message to the element's process may take before it fails.
    AXError setMessagingTimeout(double seconds) const;

    const AccessibilityNode &node() const { return *node_; }
    bool operator==(const AXUIElement &other) const;

private:
    std::shared_ptr<const AccessibilityNode> node_;
};

// One attribute value: text, a Boolean, a number, a point, a size, an element or a list.
class AXValue {
public:
    using Array = std::vector<AXValue>;

    AXValue(QString text) : data_(std::move(text)) {}
    AXValue(const char *text) : data_(QString::fromUtf8(text)) {}
    AXValue(bool flag) : data_(flag) {}
    AXValue(double number) : data_(number) {}
    AXValue(int number) : data_(double(number)) {}
    AXValue(QPointF point) : data_(point) {}
    AXValue(QSizeF size) : data_(size) {}
    AXValue(AXUIElement element) : data_(std::move(element)) {}
    AXValue(Array items) : data_(std::move(items)) {}

    template<typename T>
    const T *get() const { return std::get_if<T>(&data_); }

private:
    std::variant<QString, bool, double, QPointF, QSizeF, AXUIElement, Array> data_;
};

// Receives the notifications registered on elements of one process.
class AXObserver {
public:
    using Callback = std::function<void(const AXUIElement &element, const QString &notification)>;

    // Every registration ends with the observer, and no callback runs after it is gone.
    virtual ~AXObserver() = default;

    virtual AXError addNotification(const AXUIElement &element, const QString &notification) = 0;
    virtual AXError removeNotification(const AXUIElement &element, const QString &notification) = 0;
    // Notifications reach the callback on the main thread, and only while the observer's source
    // is on the main run loop.
    virtual void addToMainRunLoop() = 0;
    virtual void removeFromMainRunLoop() = 0;
};

class Accessibility {
public:
    static constexpr double defaultMessagingTimeout = 6.0;

    virtual ~Accessibility() = default;

    // Always answers an element; reads through it fail when no such process runs.
    virtual AXUIElement createApplication(std::int64_t processIdentifier) = 0;
    virtual AXResult<std::unique_ptr<AXObserver>> createObserver(std::int64_t processIdentifier,
                                                                  AXObserver::Callback callback) = 0;
};

}  // namespace ondrake
