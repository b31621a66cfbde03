#include "Overlay/AccessibilityElement.h"

namespace ondrake {

namespace {
template<typename T>
std::optional<T> read(const AXUIElement &element, const QString &attribute) {
    const auto result = element.copyAttributeValue(attribute);
    if (!result.ok()) return std::nullopt;
    if (const auto *value = result.value()->get<T>()) return *value;
    return std::nullopt;
}
}  // namespace

std::optional<QString> AccessibilityElement::string(const QString &attribute) const {
    return read<QString>(element, attribute);
}

std::optional<bool> AccessibilityElement::boolean(const QString &attribute) const {
    return read<bool>(element, attribute);
}

std::optional<AccessibilityElement> AccessibilityElement::elementValue(const QString &attribute) const {
    if (auto value = read<AXUIElement>(element, attribute)) return AccessibilityElement{std::move(*value)};
    return std::nullopt;
}

std::vector<AccessibilityElement> AccessibilityElement::children() const {
    const auto items = read<AXValue::Array>(element, QStringLiteral("AXChildren"));
    if (!items) return {};
    std::vector<AccessibilityElement> out;
    out.reserve(items->size());
    for (const auto &item : *items) {
        const auto *child = item.get<AXUIElement>();
        if (!child) return {};  // a list that is not all elements is no list of children
        out.push_back({*child});
    }
    return out;
}

TextSet AccessibilityElement::attributeNames() const {
    const auto result = element.copyAttributeNames();
    if (!result.ok()) return {};
    const auto &names = *result.value();
    return TextSet(names.begin(), names.end());
}

std::optional<QRectF> AccessibilityElement::frame(FirstScreenHeight firstScreenHeight) const {
    const auto position = read<QPointF>(element, QStringLiteral("AXPosition"));
    if (!position) return std::nullopt;
    const auto size = read<QSizeF>(element, QStringLiteral("AXSize"));
    if (!size) return std::nullopt;
    return cocoaFrame(QRectF(*position, *size), firstScreenHeight);
}

QRectF AccessibilityElement::cocoaFrame(const QRectF &r, FirstScreenHeight firstScreenHeight) {
    const double bottom = r.y() + r.height();
    const double screenHeight = firstScreenHeight.value_or(bottom);
    return QRectF(r.x(), screenHeight - bottom, r.width(), r.height());
}

}  // namespace ondrake
