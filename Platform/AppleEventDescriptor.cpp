#include "AppleEventDescriptor.h"

#include <cmath>
#include <limits>

namespace ondrake {

AppleEventDescriptor AppleEventDescriptor::fromBool(bool value) {
    AppleEventDescriptor d;
    d.value_ = value;
    return d;
}
AppleEventDescriptor AppleEventDescriptor::fromInt32(std::int32_t value) {
    AppleEventDescriptor d;
    d.value_ = value;
    return d;
}
AppleEventDescriptor AppleEventDescriptor::fromDouble(double value) {
    AppleEventDescriptor d;
    d.value_ = value;
    return d;
}
AppleEventDescriptor AppleEventDescriptor::fromString(const QString &value) {
    AppleEventDescriptor d;
    d.value_ = value;
    return d;
}
AppleEventDescriptor AppleEventDescriptor::list(std::vector<AppleEventDescriptor> items) {
    AppleEventDescriptor d;
    d.value_ = std::move(items);
    return d;
}

AppleEventDescriptor::Type AppleEventDescriptor::type() const { return static_cast<Type>(value_.index()); }

std::optional<QString> AppleEventDescriptor::stringValue() const {
    switch (type()) {
    case Type::text: return std::get<QString>(value_);
    case Type::int32: return QString::number(std::get<std::int32_t>(value_));
    case Type::float64: return QString::number(std::get<double>(value_), 'g', 17);
    case Type::boolean: return std::get<bool>(value_) ? QStringLiteral("true") : QStringLiteral("false");
    case Type::null:
    case Type::list: return std::nullopt;
    }
    return std::nullopt;
}

namespace {
std::int32_t clampToInt32(double v) {
    if (!std::isfinite(v)) return 0;
    const double r = std::round(v);
    if (r < std::numeric_limits<std::int32_t>::min() || r > std::numeric_limits<std::int32_t>::max()) return 0;
    return static_cast<std::int32_t>(r);
}
}  // namespace

std::int32_t AppleEventDescriptor::int32Value() const {
    switch (type()) {
    case Type::int32: return std::get<std::int32_t>(value_);
    case Type::float64: return clampToInt32(std::get<double>(value_));
    case Type::boolean: return std::get<bool>(value_) ? 1 : 0;
    case Type::text: {
        bool ok = false;
        const auto v = std::get<QString>(value_).trimmed().toInt(&ok);
        return ok ? v : 0;
    }
    case Type::null:
    case Type::list: return 0;
    }
    return 0;
}

double AppleEventDescriptor::doubleValue() const {
    switch (type()) {
    case Type::float64: return std::get<double>(value_);
    case Type::int32: return std::get<std::int32_t>(value_);
    case Type::boolean: return std::get<bool>(value_) ? 1 : 0;
    case Type::text: {
        bool ok = false;
        const auto v = std::get<QString>(value_).trimmed().toDouble(&ok);
        return ok ? v : 0;
    }
    case Type::null:
    case Type::list: return 0;
    }
    return 0;
}

bool AppleEventDescriptor::booleanValue() const {
    switch (type()) {
    case Type::boolean: return std::get<bool>(value_);
    case Type::int32: return std::get<std::int32_t>(value_) != 0;
    case Type::text: return std::get<QString>(value_).compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
    default: return false;
    }
}

std::int64_t AppleEventDescriptor::numberOfItems() const { return std::int64_t(items().size()); }

std::optional<AppleEventDescriptor> AppleEventDescriptor::atIndex(std::int64_t index) const {
    if (const auto *item = itemAt(index)) return *item;
    return std::nullopt;
}

const AppleEventDescriptor *AppleEventDescriptor::itemAt(std::int64_t index) const {
    const auto &all = items();
    if (index < 1 || index > std::int64_t(all.size())) return nullptr;
    return &all[std::size_t(index - 1)];
}

const std::vector<AppleEventDescriptor> &AppleEventDescriptor::items() const {
    static const Items none;
    if (const auto *list = std::get_if<Items>(&value_)) return *list;
    return none;
}

void AppleEventDescriptor::appendItem(AppleEventDescriptor item) {
    if (isNull()) value_ = Items{};
    if (auto *list = std::get_if<Items>(&value_)) list->push_back(std::move(item));
}

std::optional<AppleEventDescriptor> AppleEvent::parameter(const QString &keyword) const {
    const auto it = parameters.find(keyword);
    if (it == parameters.end()) return std::nullopt;
    return it->second;
}

}  // namespace ondrake
