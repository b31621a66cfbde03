#pragma once

#include <QString>

#include <optional>

namespace ondrake {

class UserDefaults;

// How the immersive bar follows a moving browser window.
enum class ImmersiveTrackingMode { hideWhileMoving, follow, followPredicted };

inline constexpr const char *kImmersiveTrackingModeKey = "ImmersiveTrackingMode";

QString toString(ImmersiveTrackingMode mode);
std::optional<ImmersiveTrackingMode> immersiveTrackingModeFrom(const QString &rawValue);
// The stored choice, read afresh on every call; `hideWhileMoving` when absent or unknown.
ImmersiveTrackingMode currentImmersiveTrackingMode(const UserDefaults &defaults);

}  // namespace ondrake
