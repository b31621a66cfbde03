#include "Accessibility.h"

namespace ondrake {

QString toString(AXError error) {
    switch (error) {
    case AXError::success: return QStringLiteral("success");
    case AXError::failure: return QStringLiteral("failure");
    case AXError::illegalArgument: return QStringLiteral("illegalArgument");
    case AXError::invalidUIElement: return QStringLiteral("invalidUIElement");
    case AXError::invalidUIElementObserver: return QStringLiteral("invalidUIElementObserver");
    case AXError::cannotComplete: return QStringLiteral("cannotComplete");
    case AXError::attributeUnsupported: return QStringLiteral("attributeUnsupported");
    case AXError::notificationUnsupported: return QStringLiteral("notificationUnsupported");
    case AXError::notImplemented: return QStringLiteral("notImplemented");
    case AXError::notificationAlreadyRegistered: return QStringLiteral("notificationAlreadyRegistered");
    case AXError::notificationNotRegistered: return QStringLiteral("notificationNotRegistered");
    case AXError::apiDisabled: return QStringLiteral("apiDisabled");
    case AXError::noValue: return QStringLiteral("noValue");
    }
    return QString::number(std::int32_t(error));
}

AXUIElement::AXUIElement(std::shared_ptr<const AccessibilityNode> node) : node_(std::move(node)) {
    Q_ASSERT(node_);
}

AXResult<AXValue> AXUIElement::copyAttributeValue(const QString &attribute) const {
    return node_->attributeValue(attribute);
}

AXResult<QStringList> AXUIElement::copyAttributeNames() const { return node_->attributeNames(); }

AXError AXUIElement::setMessagingTimeout(double seconds) const {
    if (!(seconds >= 0)) return AXError::illegalArgument;
    return node_->setMessagingTimeout(seconds);
}

bool AXUIElement::operator==(const AXUIElement &other) const {
    return node_ == other.node_ || node_->isSameElement(*other.node_);
}

}  // namespace ondrake
