#pragma once

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <variant>
#include <vector>

namespace ondrake {

// A typed value of an Apple event: null, boolean, 32-bit integer, double, text or a list of
// descriptors (items are 1-based). The accessors coerce as the event system does and answer a
// neutral value (nothing, 0) when no coercion exists.
class AppleEventDescriptor {
public:
    enum class Type { null, boolean, int32, float64, text, list };

    AppleEventDescriptor() = default;
    static AppleEventDescriptor fromBool(bool value);
    static AppleEventDescriptor fromInt32(std::int32_t value);
    static AppleEventDescriptor fromDouble(double value);
    static AppleEventDescriptor fromString(const QString &value);
    static AppleEventDescriptor list(std::vector<AppleEventDescriptor> items = {});

    Type type() const;
    bool isNull() const { return type() == Type::null; }

    std::optional<QString> stringValue() const;
    std::int32_t int32Value() const;
    double doubleValue() const;
    bool booleanValue() const;

    std::int64_t numberOfItems() const;  // 0 for anything but a list
    std::optional<AppleEventDescriptor> atIndex(std::int64_t index) const;  // 1-based
    const AppleEventDescriptor *itemAt(std::int64_t index) const;  // 1-based, without a copy; null when out of range
    const std::vector<AppleEventDescriptor> &items() const;  // empty for anything but a list
    void appendItem(AppleEventDescriptor item);  // turns a null descriptor into a list

    bool operator==(const AppleEventDescriptor &) const = default;

private:
    using Items = std::vector<AppleEventDescriptor>;
    std::variant<std::monostate, bool, std::int32_t, double, QString, Items> value_;
};

// The target of an event sent to a process by its serial number.
struct ProcessSerialNumber {
    std::uint32_t highLongOfPSN = 0;
    std::uint32_t lowLongOfPSN = 0;
    bool operator==(const ProcessSerialNumber &) const = default;
};

// An Apple event: class and id (four-character codes), target, ids and keyword parameters.
struct AppleEvent {
    static constexpr std::int16_t kAutoGenerateReturnID = -1;
    static constexpr std::int32_t kAnyTransactionID = 0;
    static inline const QString keyDirectObject = QStringLiteral("----");

    QString eventClass;
    QString eventID;
    ProcessSerialNumber target;
    std::int16_t returnID = kAutoGenerateReturnID;
    std::int32_t transactionID = kAnyTransactionID;
    std::map<QString, AppleEventDescriptor> parameters;

    std::optional<AppleEventDescriptor> parameter(const QString &keyword) const;
    bool operator==(const AppleEvent &) const = default;
};

}  // namespace ondrake
