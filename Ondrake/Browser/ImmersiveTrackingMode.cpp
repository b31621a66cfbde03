#include "ImmersiveTrackingMode.h"

#include "UserDefaults.h"

namespace ondrake {

QString toString(ImmersiveTrackingMode mode) {
    switch (mode) {
    case ImmersiveTrackingMode::hideWhileMoving: return QStringLiteral("hideWhileMoving");
    case ImmersiveTrackingMode::follow: return QStringLiteral("follow");
    case ImmersiveTrackingMode::followPredicted: return QStringLiteral("followPredicted");
    }
    return {};
}

std::optional<ImmersiveTrackingMode> immersiveTrackingModeFrom(const QString &rawValue) {
    for (const auto mode : {ImmersiveTrackingMode::hideWhileMoving, ImmersiveTrackingMode::follow,
                            ImmersiveTrackingMode::followPredicted})
        if (toString(mode) == rawValue) return mode;
    return std::nullopt;
}

ImmersiveTrackingMode currentImmersiveTrackingMode(const UserDefaults &defaults) {
    const auto stored = defaults.stringForKey(QString::fromLatin1(kImmersiveTrackingModeKey));
    return stored ? immersiveTrackingModeFrom(*stored).value_or(ImmersiveTrackingMode::hideWhileMoving)
                  : ImmersiveTrackingMode::hideWhileMoving;
}

}  // namespace ondrake
